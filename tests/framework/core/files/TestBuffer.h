// A byte buffer for the loader tests that records what the loader did with it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace testsupport {

struct TestBuffer {
    unsigned char* Allocate(std::size_t count)
    {
        bytes.assign(count + 1, 0);
        size = count;
        ++allocations;
        return bytes.data();
    }
    void Free()
    {
        bytes.clear();
        size = 0;
    }
    std::string Text() const { return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)); }
    // The byte the loader keeps after the data, for text parsers.
    unsigned char Terminator() const { return bytes.at(size); }

    std::vector<unsigned char> bytes;
    std::size_t size = 0;
    int allocations = 0;
};

}  // namespace testsupport
