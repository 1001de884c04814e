#include "app/scene/MainSlide.h"

#include <gtest/gtest.h>

namespace {

// A slide is where its share of the time says on the straight line between its ends,
// stays at its start before it begins and at its end point itself after it ends,
// whatever the clock reads.
TEST(PieceSlide, GoesStraightAtASteadySpeedAndEndsExactlyOnItsPoint) {
  struct TCase {
    TSlidePoint From, To;
    double Seconds, After;  // the clock's reading from the start
    double Progress;
    TSlidePoint At;
  };
  const TCase cases[] = {
      {{410, 150}, {410, 90}, 0.5, -1, 0, {410, 150}},
      {{410, 150}, {410, 90}, 0.5, 0, 0, {410, 150}},
      {{410, 150}, {410, 90}, 0.5, 0.125, 0.25, {410, 135}},
      {{350, -30}, {380, 30}, 0.5, 0.25, 0.5, {365, 0}},
      {{350, -30}, {380, 30}, 0.5, 0.5, 1, {380, 30}},
      {{350, -30}, {380, 30}, 0.5, 1e6, 1, {380, 30}},
      // Ends that sums of shares would miss by a rounding.
      {{0.1f, 0.7f}, {0.3f, -0.9f}, 0.3, 0.3, 1, {0.3f, -0.9f}},
      // No time: at its end from the start on.
      {{440, 90}, {210, 90}, 0, 0, 1, {210, 90}},
      {{440, 90}, {210, 90}, -2, 0, 1, {210, 90}},
  };
  for (const double start : {0.0, 1e5}) {
    for (const TCase& c : cases) {
      const TPieceSlide slide(c.From, c.To, start, c.Seconds);
      const double now = start + c.After;
      EXPECT_DOUBLE_EQ(slide.Progress(now), c.Progress) << c.Seconds << " " << c.After;
      EXPECT_EQ(slide.Ended(now), c.Progress == 1) << c.Seconds << " " << c.After;
      const TSlidePoint at = slide.At(now);
      if (c.Progress == 1) {
        EXPECT_EQ(at.X, c.At.X);
        EXPECT_EQ(at.Z, c.At.Z);
      } else {
        EXPECT_FLOAT_EQ(at.X, c.At.X) << c.Seconds << " " << c.After;
        EXPECT_FLOAT_EQ(at.Z, c.At.Z) << c.Seconds << " " << c.After;
      }
    }
  }
}

}  // namespace
