// The byte buffer the fuzz targets hand to the file loader.
#pragma once

#include <cstddef>
#include <vector>

struct FuzzBuffer {
    unsigned char* Allocate(std::size_t count)
    {
        bytes.assign(count + 1, 0);
        size = count;
        return bytes.data();
    }
    void Free()
    {
        bytes.clear();
        size = 0;
    }
    std::vector<unsigned char> bytes;
    std::size_t size = 0;
};
