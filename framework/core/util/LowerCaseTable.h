#pragma once

#include <cstdint>

namespace Qmv2 {

// One row of the built-in lower-case table: a code point and its full
// lower-case mapping of one to four code points (unused places 0).
struct LowerCaseRow {
    std::uint32_t codePoint;
    std::uint32_t lower[4];
};

// The read-only lower-case table, in ascending code-point order and ended by
// a row whose code point is 0.
class LowerCaseTable {
public:
    // The rows, the closing row of zeros included.
    static const LowerCaseRow* Rows();

    // Number of rows before the closing row; counted once, on first use.
    static int RowCount();

    // The row of a code point, or null when it has no lower-case mapping.
    static const LowerCaseRow* Find(std::uint32_t codePoint);
};

} // namespace Qmv2
