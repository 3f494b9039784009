#include "platform/Twips.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(TwipsTest, ConvertsToTheNearestPixelAndBack) {
  const struct {
    double twips;
    int dpi;
    int pixels;
  } cases[] = {{1440, 96, 96}, {1000, 96, 67}, {7, 96, 0},         {8, 96, 1},
               {-1000, 96, -67}, {1440, 120, 120}, {1000, 144, 100}};
  for (const auto& c : cases) {
    EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " twips at " << c.dpi;
  }
  for (int dpi : {96, 120, 144, 192}) {
    for (int pixels : {-500, -1, 0, 1, 66, 67, 433, 1279}) {
      EXPECT_EQ(TwipsToPixels(PixelsToTwips(pixels, dpi), dpi), pixels) << pixels << " at " << dpi;
    }
  }
}

}  // namespace
}  // namespace corvane
