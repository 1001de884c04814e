#pragma once
// The engine reader: a thread that reads everything the engine writes, cuts it into
// whole lines, finds the engine's moves and its few other messages in them, and
// hands what it found to the main thread. There the move is checked and applied to
// the shared position, so that the position, the calls into the rules library and
// the board window are only ever touched by the main thread.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class TChildProcess;
struct TBoardMove;

// Runs a piece of work on the main thread, later (the program posts it to the Qt
// event loop; tests to a queue they run by hand). Called from the reader thread.
using TDispatcher = std::function<void(std::function<void()>)>;

// What the board window offers the engine front end; called on the main thread only.
class TEngineBoard {
public:
  virtual ~TEngineBoard() = default;
  // Starts sliding the engine's piece; the position already holds the move. Board
  // coordinates: rows are ranks 1-8, columns run from the h-file (1) to the a-file (8).
  virtual void StartEngineMoveAnimation(int fromCol, int fromRow, int toCol, int toRow) = 0;
  // The bytes of one read of the engine's output, unchanged, for the received-text
  // log (which starts each on a new line).
  virtual void AppendEngineOutput(const std::string& text) = 0;
  // A line sent to the engine, without its line feed, for the sent-text log.
  virtual void AppendSentCommand(const std::string& text) = 0;
  // Puts `text` on the main window's status line in place of "Thinking...": the
  // engine's result or resignation in its own words, or how the engine ended.
  virtual void ShowEngineStatus(const std::string& text) = 0;
  // The engine takes no "setboard" (its features say so): positions go to it in edit
  // mode.
  virtual void EngineRefusesSetBoard() {}
};

// The messages the reader shows.
inline constexpr char USER_MATED_TEXT[] = "mate3";
inline constexpr char ENGINE_MATES_TEXT[] = "Mate4";
inline constexpr char ILLEGAL_ENGINE_MOVE_TEXT[] = "Illegal move from host engine";

// What one line of the engine's output says.
struct TEngineLine {
  // The word after "move " at the start of the line ("move e7e5") or after a move
  // number and ". ... " there ("1. ... e7e5"): the engine's move, whatever the word
  // (empty when there is none), not yet read or checked against the board.
  bool HasMove = false;
  std::string MoveText;
  // The line itself when it holds a move, for a report of a move that cannot be applied.
  std::string Line;
  // "mates}" in any letter case, as in the result lines "0-1 {Black mates}" and
  // "1-0 {White Mates}".
  bool Mates = false;
  // "Illegal" or "Invalid move": the engine refused the last move we sent.
  bool Illegal = false;
  // The whole line when it is a result ("1-0 ...", "0-1 ...", "1/2-1/2 ...") or a
  // resignation ("resign"), else empty.
  std::string Result;
  // A line of the engine's features says "setboard=0": it sets up positions only in
  // edit mode.
  bool RefusesSetBoard = false;

  bool SaysAnything() const { return HasMove || Mates || Illegal || !Result.empty() || RefusesSetBoard; }
};

// Reads one line (without its line end). A line holding "My move is" or a refusal
// never yields a move: the first repeats a move in the engine's other notation, the
// second quotes the move it refused. Comment lines ("# best move e2e4") and messages
// ("telluser I would remove e2e4") yield none either: a move starts its line.
TEngineLine ParseEngineLine(std::string_view line);

// The move an engine playing `engineSide` means by a move word of ParseEngineLine:
// a castle word is its king's move of two columns. False for a word that names none.
bool EngineMoveOfText(std::string_view text, int engineSide, TBoardMove& move);

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

// What one read of the engine's output brought.
struct TEngineChunk {
  std::string Text;                // the bytes read
  std::vector<TEngineLine> Found;  // the lines it completed that say something
  bool Ended = false;              // the output has ended (Text is then empty)
};

// What the reader hands over for the bytes of one read, or for the end of the output
// when `ended` is set (a last line without line feed then counts).
TEngineChunk MakeEngineChunk(TLineSplitter& splitter, std::string_view bytes, bool ended);

// Main thread: acts on one chunk. An engine move is read (a coordinate move or a
// castle), checked (squares a1-h8, a piece of `engineSide` on its from-square, no
// capture of its own piece) and applied to `BitBoards` and `GameRights`, then `board`
// animates it and the user's side is tested for mate. A move that cannot be applied
// changes nothing: it is reported with the engine's line, to the user and on the
// status line, and the board is unlocked so that the user can go on. "mates}" and
// refusals are reported, a result goes to the status line, an engine without
// "setboard" is made known; last the text goes to the log. `board` may be null.
void HandleEngineChunk(const TEngineChunk& chunk, int engineSide, TEngineBoard* board);

// Main thread: the engine has ended, as `text` says. The board is unlocked, and the
// text goes to the status line and to the user. `board` may be null.
void ReportEngineEnded(const std::string& text, TEngineBoard* board);

// The reader thread of one engine.
class tsreadengine {
public:
  using TChunkHandler = std::function<void(const TEngineChunk&)>;

  // Starts reading `process`'s output at once. Each read is handed to `onChunk` on the
  // main thread through `dispatch`, but only while `owner` is alive: work still
  // queued when the engine object is freed is dropped. `process` must outlive the reader.
  tsreadengine(TChildProcess& process, TDispatcher dispatch, TChunkHandler onChunk, std::weak_ptr<void> owner);
  // Stop().
  ~tsreadengine();
  tsreadengine(const tsreadengine&) = delete;
  tsreadengine& operator=(const tsreadengine&) = delete;

  // Wakes the thread if it waits for output and joins it. Main thread.
  void Stop();

  // The size of one read.
  static constexpr std::size_t CHUNK_SIZE = 4096;

private:
  void Execute();
  void Post(TEngineChunk chunk);

  TChildProcess& FProcess;
  TDispatcher FDispatch;
  TChunkHandler FOnChunk;
  std::weak_ptr<void> FOwner;
  std::thread FThread;  // last: it starts once everything above is set
};
