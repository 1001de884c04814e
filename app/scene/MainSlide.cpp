#include "app/scene/MainSlide.h"

#include <algorithm>
#include <chrono>

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

TPieceSlide::TPieceSlide(TSlidePoint from, TSlidePoint to, double start, double seconds)
    : FFrom(from), FTo(to), FStart(start), FSeconds(std::max(seconds, 0.0)) {}

double TPieceSlide::Progress(double now) const {
  if (now >= FStart + FSeconds) return 1;
  if (now <= FStart) return 0;
  return (now - FStart) / FSeconds;
}

TSlidePoint TPieceSlide::At(double now) const {
  const double share = Progress(now);
  // The end is the end point itself, not a sum that rounding may leave beside it.
  if (share >= 1) return FTo;
  return {float(FFrom.X + (FTo.X - FFrom.X) * share), float(FFrom.Z + (FTo.Z - FFrom.Z) * share)};
}
