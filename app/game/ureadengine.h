#pragma once
// The engine reader: a thread that reads everything the engine writes, cuts it into
// whole lines, finds the engine's moves and its few other messages in them, and
// hands what it found to the main thread. There the move is checked and applied to
// the game, so that the position, the calls into the rules library and the board
// window are only ever touched by the main thread.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/game/BoardMove.h"
#include "app/game/Side.h"

class TChildProcess;
class TGame;

// Runs a piece of work on the main thread, later (the program posts it to the Qt
// event loop; tests to a queue they run by hand). Called from the reader thread.
using TDispatcher = std::function<void(std::function<void()>)>;

// What the board window offers the engine front end; called on the main thread only.
class TEngineBoard {
public:
  virtual ~TEngineBoard() = default;
  // Starts sliding the engine's piece, and with it the rook of a castle and the pawn
  // taken en passant as `effects` name them; the position already holds the move.
  virtual void StartEngineMoveAnimation(const TBoardMove& move, const TMoveEffects& effects) = 0;
  // The engine's output for the received-text log, piece by piece in the order read. A
  // piece may end inside a line that the next piece goes on with; a flood comes thinned
  // (TEngineLog).
  virtual void AppendEngineOutput(const std::string& text) = 0;
  // A line sent to the engine, without its line feed, for the sent-text log.
  virtual void AppendSentCommand(const std::string& text) = 0;
  // A line of our own for the received-text log, after the engine's output so far: what
  // was done with a line of the engine's, such as a move dropped as the game's it left.
  virtual void AppendEngineNote(const std::string& text) = 0;
  // Puts `text` on the main window's status line in place of "Thinking...", where it
  // stays until the game changes: the engine's result or resignation in its own words,
  // a move of the engine's that could not be applied, or how the engine ended.
  virtual void ShowEngineStatus(const std::string& text) = 0;
  // Puts `text` on the status line until the game's state next changes: the engine's
  // refusal of a line that was not the user's move.
  virtual void ShowEngineNotice(const std::string& text) = 0;
  // The engine refused a move in the line `refusal`. When the move it names is the
  // user's move that waits for the engine's answer, the board goes back to the position
  // before that move, is the user's again, and true is returned; else nothing changes.
  virtual bool TakeBackUserMove([[maybe_unused]] const std::string& refusal) { return false; }
  // The engine's move has come and is about to be checked and applied: the user's move
  // that it answers stands.
  virtual void EngineMoveArrived() {}
};

// The messages the reader shows.
inline constexpr char USER_MATED_TEXT[] = "mate3";
inline constexpr char ENGINE_MATES_TEXT[] = "Mate4";
inline constexpr char ILLEGAL_ENGINE_MOVE_TEXT[] = "Illegal move from host engine";

// What an engine's "feature" lines said of the features the program looks at; a
// feature not named stays unknown.
struct TEngineFeatures {
  std::optional<bool> SetBoard;  // "setboard=0": positions only in edit mode
  std::optional<bool> Colors;    // "colors=0": never send "white" or "black"
  std::optional<bool> Done;      // "done=1": all features said; "done=0": more to come
  std::optional<bool> Ping;      // "ping=1": answers "ping N" with "pong N"

  bool Any() const { return SetBoard || Colors || Done || Ping; }
  // Adds what `later` said, which stands over what was said before.
  void Merge(const TEngineFeatures& later);
};

// The features a "feature" line names ("feature ping=1 setboard=0 done=1"); values in
// quotes ("myname=\"Fairy-Max 5.0b\"", "option=\"Resign -check 0\"") are passed over
// whole, so that a word inside them is never taken for a feature. Nothing for another
// line.
TEngineFeatures ParseFeatureLine(std::string_view line);

// What one line of the engine's output says.
struct TEngineLine {
  // The word after "move " at the start of the line ("move e7e5") or after a move
  // number and ". ... " there ("1. ... e7e5"): the engine's move, whatever the word
  // (empty when there is none), not yet read or checked against the board.
  bool HasMove = false;
  std::string MoveText;
  // The line itself when it holds a move, a refusal, a mate or a result, for the report
  // of a move that cannot be applied, to find the move refused and to name a line dropped.
  std::string Line;
  // "mates}" in any letter case, as in the result lines "0-1 {Black mates}" and
  // "1-0 {White Mates}".
  bool Mates = false;
  // "Illegal" or "Invalid move": the engine refused the last move we sent.
  bool Illegal = false;
  // The whole line when it is a result ("1-0 ...", "0-1 ...", "1/2-1/2 ...") or a
  // resignation ("resign"), else empty.
  std::string Result;
  // What a line of the engine's features says ("feature setboard=0 colors=0 done=1").
  TEngineFeatures Features;
  // The number of a "pong N": the engine has read everything up to our "ping N".
  std::optional<long long> Pong;

  bool SaysAnything() const { return HasMove || Mates || Illegal || !Result.empty() || Features.Any() || Pong; }
  // A move, a mate or a result: what the engine says of the game it plays.
  bool SaysOfItsGame() const { return HasMove || Mates || !Result.empty(); }
};

// Reads one line (without its line end). A line holding "My move is" or a refusal
// never yields a move: the first repeats a move in the engine's other notation, the
// second quotes the move it refused. Comment lines ("# best move e2e4") and messages
// ("telluser I would remove e2e4") yield none either: a move starts its line.
TEngineLine ParseEngineLine(std::string_view line);

// The move an engine playing `engineSide` means by a move word of ParseEngineLine:
// a castle word is its king's move of two columns. False for a word that names none.
bool EngineMoveOfText(std::string_view text, TSide engineSide, TBoardMove& move);

// Cuts a stream of output into whole lines, however the reads split it.
class TLineSplitter {
public:
  // Longer lines keep their first MAX_LINE_LENGTH bytes; the rest is dropped, so an
  // engine printing without end cannot use up the memory.
  static constexpr std::size_t MAX_LINE_LENGTH = 64 * 1024;

  // Adds the bytes of one read and appends the lines they complete to `lines`, without
  // their line feed or a carriage return before it.
  void Add(std::string_view bytes, std::vector<std::string>& lines);
  // The output has ended: appends a last line that had no line feed, if any.
  void Finish(std::vector<std::string>& lines);

private:
  void Complete(std::vector<std::string>& lines);

  std::string FPending;
};

// What the reader hands over: the engine's output since the last hand-over.
struct TEngineChunk {
  std::string Text;                // for the log: the bytes read (from the reader, thinned)
  std::vector<TEngineLine> Found;  // the lines completed that say something, in order
  bool Ended = false;              // the output has ended after Text
};

// Tells the engine's lines about the game on the board from those about a game the
// user has left. When the user leaves a game while the engine may still be searching
// in it (New Match, a position loaded or pasted), most engines finish that search
// before they read anything, and its move belongs to the game left. An engine whose
// features say "ping=1" is sent "ping N" after the lines that leave the game, and
// answers "pong N" once it has read them: what it says of its game before that pong
// (moves, mates, results) is of the game left. An engine without ping that was
// searching owes the move of that search: the lines that leave the game wait until
// that move has come (tloadengine), and it is left out. The engine's lines are taken
// one by one as they are acted on, since acting on one (a refused move taken back) may
// leave a game.
class TEngineGames {
public:
  // "ping `number`" has gone to the engine after the lines that leave a game.
  void PingSent(long long number) { FAwaitedPong = number; }
  // The engine, without ping, was searching when the user left the game.
  void MoveOwed() { FMoveOwed = true; }
  // The owed move will not be waited for any longer.
  void ForgetOwedMove() { FMoveOwed = false; }
  bool AwaitsPong() const { return FAwaitedPong != 0; }
  bool OwesMove() const { return FMoveOwed; }

  // Takes the engine's next line: true when it says something of a game left.
  bool OfGameLeft(const TEngineLine& line);

private:
  long long FAwaitedPong = 0;  // 0: none
  bool FMoveOwed = false;
};

// The received-text log's share of the engine's output, gathered between two
// hand-overs to the main thread. An engine that floods its output must not flood the
// log, which the main thread shows: a line keeps its first MAX_LINE_LENGTH bytes and
// " [...]", and of the lines gathered between two hand-overs the last MAX_LINES stay,
// a line "[N lines left out]" standing for the others. Every line is still parsed.
class TEngineLog {
public:
  static constexpr std::size_t MAX_LINE_LENGTH = 1024;
  static constexpr std::size_t MAX_LINES = 500;

  void Add(std::string_view bytes);
  // The text gathered since the last Take: whole lines with their line feeds, maybe
  // ending in a line not yet ended, which the next Take's text goes on with.
  std::string Take();

private:
  // Drops the oldest whole lines beyond MAX_LINES, but never the continuation of a line
  // that an earlier Take began.
  void Thin();

  std::deque<std::string> FLines;  // the last one may still be open (no line feed)
  std::size_t FWholeLines = 0;
  std::size_t FLeftOut = 0;
  std::size_t FLineLength = 0;  // bytes kept of the open line, over all Takes
  bool FLineCut = false;        // the open line has lost its tail
  bool FGoesOn = false;         // FLines.front() goes on with a line an earlier Take gave
};

// What the reader hands over for the bytes of one read, or for the end of the output
// when `ended` is set (a last line without line feed then counts).
TEngineChunk MakeEngineChunk(TLineSplitter& splitter, std::string_view bytes, bool ended);

// Main thread: acts on one chunk. An engine move is read (a coordinate move or a
// castle), checked against the rules (a legal move of `engineSide` on the board, with
// its castling rights and en passant) and applied to `game`, then `board` animates it
// with what it did besides (TMoveEffects) and the user's side is tested for mate. A
// move that is not legal changes nothing: it is reported with the engine's line, to the
// user and on the status line, and the game is unlocked so that the user can go on. A
// refusal of the user's move takes that move back (TEngineBoard::TakeBackUserMove) and
// is reported with the engine's line; a refusal of another line goes to the status line
// only; "mates}" is reported and a result goes to the status line. A line that `games`
// (may be null) finds of a game left is only named in a note. Last the text and the
// notes go to the log. `board` may be null.
void HandleEngineChunk(const TEngineChunk& chunk, TGame& game, TSide engineSide, TEngineBoard* board,
                       TEngineGames* games = nullptr);

// Main thread: the engine has ended, as `text` says. The game is unlocked, and the
// text goes to the status line and to the user. `board` may be null.
void ReportEngineEnded(const std::string& text, TGame& game, TEngineBoard* board);

// The reader thread of one engine.
class tsreadengine {
public:
  using TChunkHandler = std::function<void(const TEngineChunk&)>;

  // Starts reading `process`'s output at once. What it reads is gathered and handed to
  // `onChunk` on the main thread through `dispatch`, one hand-over posted at a time,
  // but only while `owner` is alive: work still queued when the engine object is freed
  // is dropped. `process` must outlive the reader.
  tsreadengine(TChildProcess& process, TDispatcher dispatch, TChunkHandler onChunk, std::weak_ptr<void> owner);
  // Stop().
  ~tsreadengine();
  tsreadengine(const tsreadengine&) = delete;
  tsreadengine& operator=(const tsreadengine&) = delete;

  // Wakes the thread if it waits for output and joins it. Main thread.
  void Stop();
  // True once the engine has written anything, or its output has ended; before the
  // main thread has been handed it.
  bool HasHeard() const { return FHeard; }
  // What the engine's feature lines have said so far, as soon as they are read: the
  // opening commands wait for them before the main thread has been handed them.
  TEngineFeatures Features() const;

  // The size of one read.
  static constexpr std::size_t CHUNK_SIZE = 4096;
  // While this many bytes have been read that the main thread has not taken, the
  // reader waits: a flooding engine then waits on its full pipe, and the main thread
  // never has more than one bounded hand-over waiting.
  static constexpr std::size_t MAX_WAITING_BYTES = 64 * 1024;

private:
  void Execute();
  // Adds what a read found to the waiting hand-over, posts it unless it is posted
  // already, and waits while it is full. False once the reader is to stop.
  bool Gather(const TEngineChunk& found);
  // Main thread: everything gathered since the last call.
  TEngineChunk Take();

  TChildProcess& FProcess;
  TDispatcher FDispatch;
  TChunkHandler FOnChunk;
  std::weak_ptr<void> FOwner;
  mutable std::mutex FMutex;
  std::condition_variable FTaken;  // the main thread took the hand-over, or Stop
  TEngineLog FLog;
  std::vector<TEngineLine> FFound;
  TEngineFeatures FFeatures;
  std::size_t FWaitingBytes = 0;
  bool FEnded = false;
  bool FPosted = false;
  bool FStopping = false;
  std::atomic<bool> FHeard = false;
  std::thread FThread;  // last: it starts once everything above is set
};
