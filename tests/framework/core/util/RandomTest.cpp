#include "framework/core/util/Random.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace random_test {

namespace {

// Reference draws of java.util.Random, which uses the same generator, made by
//   cd tests/framework/core/util/data && java RandomGolden.java > random_golden.txt
struct GoldenSeed {
    std::int64_t seed = 0;
    std::vector<std::int32_t> ints;
    std::vector<std::uint32_t> floatBits;
    std::vector<std::pair<std::int32_t, std::int32_t>> ranges;   // modulus, floorMod(nextInt, modulus)
    std::vector<std::pair<int, std::int32_t>> bits;              // bit count, next(bits) from a fresh seed
};

std::vector<GoldenSeed> ReadGolden()
{
    std::ifstream in(QMV_SOURCE_DIR "/tests/framework/core/util/data/random_golden.txt");
    std::vector<GoldenSeed> all;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        GoldenSeed g;
        std::string word;
        std::string section;
        words >> word >> g.seed;
        while (words >> word) {
            if (word == "int" || word == "float" || word == "range" || word == "bits") {
                section = word;
                continue;
            }
            const auto colon = word.find(':');
            if (section == "int")
                g.ints.push_back(std::stoi(word));
            else if (section == "float")
                g.floatBits.push_back(static_cast<std::uint32_t>(std::stoul(word)));
            else if (section == "range")
                g.ranges.emplace_back(std::stoi(word.substr(0, colon)), std::stoi(word.substr(colon + 1)));
            else if (section == "bits")
                g.bits.emplace_back(std::stoi(word.substr(0, colon)), std::stoi(word.substr(colon + 1)));
        }
        all.push_back(g);
    }
    return all;
}

std::uint32_t FloatBits(float f)
{
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

TEST(RandomTest, MatchesJavaRandomDrawForDraw)
{
    const std::vector<GoldenSeed> golden = ReadGolden();
    ASSERT_EQ(golden.size(), 8u);
    for (const GoldenSeed& g : golden) {
        SCOPED_TRACE("seed " + std::to_string(g.seed));
        ASSERT_EQ(g.ints.size(), 8u);
        Qmv2::Rand rand(g.seed);
        for (std::int32_t expected : g.ints)
            EXPECT_EQ(rand.NextInt(), expected);
        for (std::uint32_t expected : g.floatBits)
            EXPECT_EQ(FloatBits(rand.NextFloat()), expected);
        for (const auto& [modulus, expected] : g.ranges)
            EXPECT_EQ(rand.Range(0, modulus), expected) << "modulus " << modulus;

        Qmv2::Rand bits(g.seed);
        for (const auto& [count, expected] : g.bits)
            EXPECT_EQ(static_cast<std::int32_t>(bits.Next(count)), expected) << count << " bits";
    }
}

TEST(RandomTest, SeedResetsTheSequence)
{
    Qmv2::Random r;
    r.Seed(7);
    std::vector<std::int32_t> first;
    for (int i = 0; i < 20; ++i)
        first.push_back(r.Range(0, 10));
    r.Seed(7);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(r.Range(0, 10), first[i]);
    EXPECT_EQ(r.GetState() >> 48, 0u);
}

TEST(RandomTest, RangeStaysInsideItsBounds)
{
    Qmv2::Rand r(0);
    bool sawLow = false;
    bool sawTop = false;
    for (int i = 0; i < 2000; ++i) {
        const int up = r.Range(-3, 4);
        EXPECT_GE(up, -3);
        EXPECT_LT(up, 4);
        sawLow |= up == -3;
        sawTop |= up == 3;
        const int down = r.Range(5, 1);   // (1, 5]
        EXPECT_GT(down, 1);
        EXPECT_LE(down, 5);
    }
    EXPECT_TRUE(sawLow);
    EXPECT_TRUE(sawTop);
}

TEST(RandomTest, ExtremeAndEmptyRanges)
{
    Qmv2::Rand r(99);
    EXPECT_EQ(r.Range(5, 5), 5);
    EXPECT_EQ(r.Range(-8, -8), -8);
    for (int i = 0; i < 100; ++i) {
        const std::int32_t v = r.Range(INT32_MIN, INT32_MAX);   // the span does not fit 32 bits
        EXPECT_LT(v, INT32_MAX);
    }
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(r.Range(0, 1), 0);
}

} // namespace

}  // namespace random_test
