#include "intake/JobHeader.h"

#include <gtest/gtest.h>

using namespace quillon;

TEST(JobHeader, OrientationMarkers)
{
    EXPECT_EQ(jobOrientation("\x1bX0", "P"), vxLandscape);
    EXPECT_EQ(jobOrientation("\x1bX1", "L"), vxPortrait);
    // Both present: portrait wins wherever each stands.
    EXPECT_EQ(jobOrientation("\x1bX0.....\x1bX1", "L"), vxPortrait);
    EXPECT_EQ(jobOrientation("\x1bX1.....\x1bX0", "L"), vxPortrait);
    EXPECT_EQ(jobOrientation("plain", "L"), vxLandscape);
    EXPECT_EQ(jobOrientation("plain", "l"), vxPortrait) << "the comparison is exact";
    EXPECT_EQ(jobOrientation("", "P"), vxPortrait);
}

TEST(JobHeader, FontSizeMarkers)
{
    EXPECT_EQ(jobFontSize("\x1bX" "C" "\x1bX" "A", 9), 12) << "ESC X A is tested first";
    EXPECT_EQ(jobFontSize("\x1bXG", 12), 6);
    EXPECT_EQ(jobFontSize("\x1bXB", 12), 11);
    EXPECT_EQ(jobFontSize("nothing", 9), 9);
    // A marker from byte 15 to 17 lies outside the 16-byte header.
    std::string late = std::string(14, ' ') + "\x1bXA";
    EXPECT_EQ(jobFontSize(late, 9), 9);
    std::string inside = std::string(13, ' ') + "\x1bXA";
    EXPECT_EQ(jobFontSize(inside, 9), 12);
}
