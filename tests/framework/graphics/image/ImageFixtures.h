// Test pictures written once per test process by make_images.py into a
// folder below the run folder (resource names are relative and lower case),
// the tables they were made from, and pixel reading from textures.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/graphics/render/ImageData.h"

namespace imagetest {

// "<folder>/<name>", relative to the run folder; the folder is made on the
// first call and removed when the process ends.
std::string Fixture(const std::string& name);
std::vector<std::uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

// The texture pixel (ARGB); reading leaves the modified flag as it was.
std::uint32_t PixelAt(Qmv2::ImageData& data, std::int32_t x, std::int32_t y);

constexpr std::uint32_t Argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// The 4 x 2 tables of make_images.py.
inline constexpr std::array<std::uint8_t, 8> kGrey = {0, 85, 170, 255, 255, 170, 85, 0};
inline constexpr std::array<std::uint8_t, 8> kAlpha = {255, 0, 128, 255, 64, 255, 255, 10};
inline constexpr std::array<std::array<std::uint8_t, 3>, 8> kColours = {{{255, 0, 0},
                                                                        {0, 255, 0},
                                                                        {0, 0, 255},
                                                                        {255, 255, 0},
                                                                        {0, 255, 255},
                                                                        {255, 0, 255},
                                                                        {10, 20, 30},
                                                                        {200, 100, 50}}};

}  // namespace imagetest
