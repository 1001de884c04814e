#pragma once
// The slides of the board window: a piece's way across the board in the X/Z plane of
// its squares, followed by the time that has passed rather than by timer ticks, so that
// a slide takes the same time whatever the frame rate and however late the ticks come.
//
//   TPieceSlide slide({410, 150}, {410, 90}, clock(), 0.5);
//   slide.X(clock()), slide.Z(clock());   // where the piece is now
//   if (slide.Ended(clock())) ...         // X and Z are exactly (410, 90) from here on

#include <functional>

// Seconds from any fixed start; the board window reads its slides' time from one.
using TSlideClock = std::function<double()>;
// Seconds on the steady clock: it never jumps with the time of day.
double SteadySeconds();

struct TSlidePoint {
  float X = 0;
  float Z = 0;
};

// A straight line from `from` to `to` at a steady speed, begun at `start` and ended
// `seconds` later. A default slide has ended at once where it stands (0, 0).
class TPieceSlide {
public:
  TPieceSlide() = default;
  TPieceSlide(TSlidePoint from, TSlidePoint to, double start, double seconds);

  // The share of the way covered at `now`: 0 up to the start, 1 from the end on.
  double Progress(double now) const;
  bool Ended(double now) const { return Progress(now) >= 1; }
  // The point reached at `now`; `to` itself once ended.
  TSlidePoint At(double now) const;
  float X(double now) const { return At(now).X; }
  float Z(double now) const { return At(now).Z; }
  double Start() const { return FStart; }
  double End() const { return FStart + FSeconds; }
  TSlidePoint To() const { return FTo; }

private:
  TSlidePoint FFrom, FTo;
  double FStart = 0;
  double FSeconds = 0;
};
