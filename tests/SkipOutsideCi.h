// A test that cannot run on this machine (a missing locale, tool or processor
// feature) skips with the reason, except in a CI run (CI=true): there every
// test must run, so the same reason fails it.
#pragma once

#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

namespace qmvtest {

inline bool UnderCi()
{
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::strcmp(ci, "true") == 0;
}

}  // namespace qmvtest

#define QMV_SKIP_OUTSIDE_CI(why)                                                      \
    do {                                                                               \
        if (qmvtest::UnderCi()) {                                                      \
            GTEST_FAIL() << (why) << " (in a CI run, CI=true, no test may skip)";      \
        }                                                                              \
        GTEST_SKIP() << (why);                                                         \
    } while (false)
