#include <gtest/gtest.h>

#include <set>

#include "draw/pen.h"

namespace {

struct SeedVector {
    DWORD seed;
    int draws[4];
    COLORREF colour;
    int width;
};

// Known sequences of the generator: the pen follows from the four draws.
const SeedVector kSeedVectors[] = {
    {1, {41, 18467, 6334, 26500}, 0x00BE2329, 0},
    {0, {38, 7719, 21238, 2437}, 0x00F62726, 7},
};

TEST(PenGenerator, KnownSeedsGiveKnownDraws)
{
    for (const SeedVector &v : kSeedVectors) {
        SeedPenGenerator(v.seed);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(NextPenRandom(), v.draws[i]) << "seed " << v.seed << " draw " << i;
    }
}

TEST(PenGenerator, KnownSeedsGiveKnownPens)
{
    for (const SeedVector &v : kSeedVectors) {
        COLORREF colour = 0xFFFFFFFF;
        int width = -1;
        RandomPenParameters(v.seed, &colour, &width);
        EXPECT_EQ(colour, v.colour) << "seed " << v.seed;
        EXPECT_EQ(width, v.width) << "seed " << v.seed;
    }
}

TEST(PenGenerator, DrawsStayInRangeAndCoverIt)
{
    std::set<int> widths;
    std::set<int> reds;
    int maxDraw = 0;
    for (DWORD seed = 0; seed < 20000; ++seed) {
        SeedPenGenerator(seed * 2654435761u);
        for (int i = 0; i < 4; ++i) {
            int r = NextPenRandom();
            ASSERT_GE(r, 0);
            ASSERT_LE(r, 32767);
            maxDraw = r > maxDraw ? r : maxDraw;
        }
        COLORREF colour;
        int width;
        RandomPenParameters(seed * 2654435761u, &colour, &width);
        ASSERT_GE(width, 0);
        ASSERT_LE(width, 9);
        ASSERT_EQ(colour & 0xFF000000u, 0u);
        widths.insert(width);
        reds.insert(GetRValue(colour));
    }
    // Every width 0..9 and every red value occurs; high draws occur too.
    EXPECT_EQ(widths.size(), 10u);
    EXPECT_EQ(reds.size(), 256u);
    EXPECT_GT(maxDraw, 32000);
}

TEST(PenGenerator, OneSeedAlwaysGivesOnePen)
{
    const DWORD seeds[] = {0, 1, 2, 1700000000u, 0x7FFFFFFFu, 0xFFFFFFFFu};
    for (DWORD seed : seeds) {
        COLORREF first;
        int firstWidth;
        RandomPenParameters(seed, &first, &firstWidth);
        // Draw from other seeds in between: nothing carries over.
        COLORREF other;
        int otherWidth;
        RandomPenParameters(seed + 12345u, &other, &otherWidth);
        COLORREF again;
        int againWidth;
        RandomPenParameters(seed, &again, &againWidth);
        EXPECT_EQ(first, again) << "seed " << seed;
        EXPECT_EQ(firstWidth, againWidth) << "seed " << seed;
    }
}

}  // namespace
