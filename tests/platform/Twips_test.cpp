#include "platform/Twips.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

struct TwipsCase {
  double twips;
  int dpi;
  int pixels;
};

TEST(TwipsTest, ConvertsToNearestPixel) {
  const TwipsCase cases[] = {
      {1440, 96, 96},   {1000, 96, 67},   {6500, 96, 433}, {15, 96, 1},
      {7, 96, 0},       {8, 96, 1},       {0, 96, 0},      {-1000, 96, -67},
      {1440, 120, 120}, {1000, 144, 100}, {5865, 96, 391}, {3630, 96, 242},
  };
  for (const TwipsCase& c : cases) {
    EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " twips at " << c.dpi;
  }
}

TEST(TwipsTest, WholePixelsSurviveTheRoundTrip) {
  for (int dpi : {96, 120, 144, 192}) {
    for (int pixels : {-500, -1, 0, 1, 66, 67, 433, 1279}) {
      EXPECT_EQ(TwipsToPixels(PixelsToTwips(pixels, dpi), dpi), pixels) << pixels << " at " << dpi;
    }
  }
  EXPECT_EQ(PixelsToTwips(67, 96), 1005);
  EXPECT_EQ(PixelsToTwips(100, 120), 1200);
}

TEST(TwipsTest, ScreenDpiIsPositive) {
  EXPECT_GT(ScreenDpi(), 0);
}

}  // namespace
}  // namespace corvane
