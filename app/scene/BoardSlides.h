#pragma once
// The slides of the board's pieces: the engine's piece (and the piece it takes, which
// slides off beside it), the rook of the engine's castling once its king has arrived,
// and a piece the user took. Each tick puts the sliding pieces where their slides are
// at the clock's time, so that frames come as often as the window draws them and a
// slide ends on time however few come. The window's timers call the Step methods; the
// slides tell their host when a timer is to run or rest and when the engine's move has
// been shown whole.

#include "app/game/BoardMove.h"
#include "app/game/Game.h"
#include "app/scene/MainScene.h"
#include "app/scene/MainSlide.h"

// What the slides ask of the window that shows them.
class TSlideHost {
public:
  // The ticks that drive the slides, one timer each.
  enum class TTicker { EngineSlide, CastleRookSlide, UserVictimSlide };

  virtual ~TSlideHost() = default;
  // Starts (`run`) or stops the ticks that call the Step method of `ticker`.
  virtual void RunTicker(TTicker ticker, bool run) = 0;
  // The engine's move is on the board whole (or its slides were stopped).
  virtual void EngineMoveShown() = 0;
  // The board shows the game's position anew; the slides are stopped first.
  virtual void RefreshPieces() = 0;
};

class TBoardSlides {
public:
  // The time from the engine's move to its piece on its square; a castling's king
  // and rook each take half of it.
  static constexpr double ENGINE_SLIDE_SECONDS = 0.4;
  // A piece taken by the user slides off at this many units a second (10 every 10 ms).
  static constexpr double USER_VICTIM_SPEED = 1000;
  // A piece taken by the engine slides this far in -X while the engine's piece moves:
  // 5 units for each of the 5000 / 90 steps that a slide of fixed steps would take.
  static constexpr float ENGINE_VICTIM_DISTANCE = 5 * 5000.f / 90;
  // A piece taken by the user is parked once it has slid to this X.
  static constexpr float USER_VICTIM_END_X = 210;

  // The slides of `scene`'s pieces; a promoted pawn shows the piece of `game`'s
  // position. All three must outlive the slides.
  TBoardSlides(TBoardScene& scene, const TGame& game, TSlideHost& host);
  TBoardSlides(const TBoardSlides&) = delete;
  TBoardSlides& operator=(const TBoardSlides&) = delete;

  // The engine's `move`, already played in the game, slides from its square; a move
  // still sliding ends at once first. A move from a square the board shows empty is
  // reported, and the board is drawn anew from the game.
  void StartEngineMove(const TBoardMove& move, const TMoveEffects& effects);
  // The user's `move`, played by `mover`: a piece it took slides off the board and is
  // parked, and a piece the user took before that still slides is parked at once.
  void StartUserCapture(const TBoardMove& move, const TMoveEffects& effects, const TBoardPiece& mover);
  // One tick of each slide.
  void StepEngineSlide();
  void StepCastleRookSlide();
  void StepUserVictimSlide();
  // Stops every slide: what was on its way lands where it was going, taken pieces are
  // parked, and an engine move that was sliding is shown.
  void Stop();

  // The time the slides follow (tests set a clock of their own).
  void SetClock(TSlideClock clock) { FClock = std::move(clock); }
  // The piece the engine's move slides now (its king, then its castling rook), null
  // when none; the piece it takes; the piece the user took while it slides.
  TBoardPiece* MovingPiece() const { return FMovingPiece; }
  TBoardPiece* EngineVictim() const { return FEngineVictim; }
  TBoardPiece* UserVictim() const { return FUserVictim; }

private:
  // A slide of `piece` from where it stands to (toX, toZ).
  static TPieceSlide SlideFrom(const TBoardPiece& piece, float toX, float toZ, double start, double seconds);
  // Puts `piece` where `slide` is at `now`.
  static void MoveAlong(TBoardPiece& piece, const TPieceSlide& slide, double now);
  // One tick of `ticker`'s slide of `piece`: true once the slide has ended, and the
  // ticker rests then, and at once when no piece slides.
  bool Step(TSlideHost::TTicker ticker, TBoardPiece* piece, const TPieceSlide& slide, double now);
  // The piece that `move` takes: the one on its target, or the pawn `effects` name as
  // taken en passant; null for none.
  TBoardPiece* VictimOf(const TBoardMove& move, const TMoveEffects& effects) const;
  // Starts the castling rook's slide at `start`; false when there is none.
  bool StartCastleRookSlide(double start);
  void StartUserVictimSlide(TBoardPiece& victim);

  TBoardScene& FScene;
  const TGame& FGame;
  TSlideHost& FHost;
  TSlideClock FClock = SteadySeconds;
  TBoardPiece* FMovingPiece = nullptr;
  TBoardPiece* FEngineVictim = nullptr;
  TBoardPiece* FUserVictim = nullptr;
  // The rook of the engine's castling, slid to FCastleRookCol once its king has arrived.
  TBoardPiece* FCastleRook = nullptr;
  int FCastleRookCol = 0;
  TPieceSlide FMovingSlide;
  TPieceSlide FEngineVictimSlide;
  TPieceSlide FUserVictimSlide;
};
