// Run-time type records. Every class that takes part in type tests carries one
// static record (its name and the records of its bases); type tests compare
// records by address and never use the language's own type information.
#pragma once

namespace Qmv2 {

class ClassType {
public:
    // `bases` is a null-terminated array of base records (just the null for a root).
    constexpr ClassType(const char* name, const ClassType* const* bases) noexcept
        : m_Name(name), m_Bases(bases) {}

    ClassType(const ClassType&) = delete;
    ClassType& operator=(const ClassType&) = delete;

    constexpr const char* GetName() const noexcept { return m_Name; }
    constexpr const ClassType* const* GetBases() const noexcept { return m_Bases; }

    // True when `other` is this record or is reached through the base lists,
    // searched depth first in declaration order.
    bool IsDerivedFrom(const ClassType* other) const noexcept;

private:
    const char* m_Name;
    const ClassType* const* m_Bases;
};

// The null-terminated base list of a record, built from the classes whose
// records are its bases. One array per distinct list, shared program-wide.
template <typename... Bases>
inline constexpr const ClassType* ClassTypeBases[sizeof...(Bases) + 1] = {&Bases::s_Type..., nullptr};

}  // namespace Qmv2

// Declares the static record `s_Type` of class `Name` whose record bases are the
// classes that follow (none for a root record). The record is constant-initialised,
// so it exists before any code runs and keeps its address for the whole run.
// The record names the bases that type tests should see, which need not be the
// class's language bases. Place it at the top of the class body; the access
// after it is public.
#define QMV_TYPE_RECORD(Name, ...)                                                  \
public:                                                                             \
    static constexpr ::Qmv2::ClassType s_Type{#Name, ::Qmv2::ClassTypeBases<__VA_ARGS__>};

// Declares the record and overrides `GetType` to answer it. A class that has no
// record of its own leaves this out and reports its base's record.
#define QMV_CLASS_TYPE(Name, ...)                                                   \
    QMV_TYPE_RECORD(Name, __VA_ARGS__)                                              \
    const ::Qmv2::ClassType* GetType() const override { return &s_Type; }
