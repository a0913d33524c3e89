// The test framework's headers, compiled once (cmake/Qmv.cmake,
// qmv_test_headers) and reused by every test executable.
#include <gtest/gtest.h>
#include <gmock/gmock.h>
