#include "platform/win32/WinLastError.h"
#include "platform/win32/WinLibrary.h"

#include <gtest/gtest.h>

#include <cmath>

namespace win_library_test {

namespace {

int g_calls = 0;
int CountingEntry(int x)
{
    ++g_calls;
    return x * 2;
}

TEST(WinLibrary, WindowsOnlyLibrariesAreNotFound)
{
    for (const char* name : {"d3d9.dll", "pyro.dll", "wtsapi32.dll", "advapi32.dll", "D3D9.DLL"}) {
        SetLastError(0);
        EXPECT_EQ(LoadLibraryA(name), nullptr) << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND)) << name;
    }
    EXPECT_EQ(LoadLibraryA("libnothing-at-all.so"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(WinLibrary, RegisteredStandInAnswersItsEntryPoints)
{
    platform::RegisterLibrary("pyro.dll", {{"Double", platform::EntryPoint(&CountingEntry)}});
    HMODULE module = LoadLibraryA("Pyro.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(LoadLibraryA("pyro.dll"), module);
    auto entry = reinterpret_cast<int (*)(int)>(GetProcAddress(module, "Double"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry(21), 42);
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(GetProcAddress(module, "Missing"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));

    platform::UnregisterLibrary("PYRO.DLL");
    EXPECT_EQ(TRUE, FreeLibrary(module));
    EXPECT_NE(GetProcAddress(module, "Double"), nullptr) << "one load is still outstanding";
    EXPECT_EQ(TRUE, FreeLibrary(module));
    EXPECT_EQ(FALSE, FreeLibrary(module));
    EXPECT_EQ(LoadLibraryA("pyro.dll"), nullptr);
}

TEST(WinLibrary, NativeLibrariesLoadThroughTheDynamicLinker)
{
    HMODULE module = LoadLibraryA("libm.so.6");
    ASSERT_NE(module, nullptr);
    auto cosine = reinterpret_cast<double (*)(double)>(GetProcAddress(module, "cos"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(TRUE, FreeLibrary(module));
}

}  // namespace

}  // namespace win_library_test
