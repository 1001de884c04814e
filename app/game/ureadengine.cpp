#include "app/game/ureadengine.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "app/game/Game.h"
#include "app/game/utility.h"
#include "base/Dialogs.h"
#include "base/Strings.h"
#include "platform/ChildProcess.h"

namespace {

constexpr std::string_view MOVE_COMMAND = "move ";
constexpr std::string_view PONG_COMMAND = "pong ";

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The word that starts at or after `start`.
std::string_view WordAt(std::string_view line, std::size_t start) {
  while (start < line.size() && IsBlank(line[start])) ++start;
  std::size_t end = start;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  return line.substr(start, end - start);
}

bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsCastleWord(std::string_view word) {
  return word == "O-O" || word == "O-O-O" || word == "0-0" || word == "0-0-0";
}

// Letter, digit, letter, digit and maybe a promotion letter, or a castle: what an engine
// means as a move, whether or not its squares exist.
bool ShapedLikeMove(std::string_view word) {
  if (IsCastleWord(word)) return true;
  if (word.size() != 4 && word.size() != 5) return false;
  if (!IsLower(word[0]) || !IsDigit(word[1]) || !IsLower(word[2]) || !IsDigit(word[3])) return false;
  return word.size() == 4 || IsLower(word[4]);
}

bool StartsWith(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }

// Where the move word of a line starts: after "move " at the start of the line, or
// after a move number and ". ... " there. npos for any other line, such as a comment,
// a message to the user or a thinking line whose variation holds ". ... ".
std::size_t MoveWordStart(std::string_view line) {
  if (StartsWith(line, MOVE_COMMAND)) return MOVE_COMMAND.size();
  std::size_t digits = 0;
  while (digits < line.size() && IsDigit(line[digits])) ++digits;
  if (digits > 0 && StartsWith(line.substr(digits), ". ... ")) return digits + 6;
  return std::string_view::npos;
}

// A result ("1-0 {White mates}", "1/2-1/2 {Stalemate}") or a resignation.
bool IsResultLine(std::string_view line) {
  for (std::string_view start : {"1-0", "0-1", "1/2-1/2", "resign"})
    if (StartsWith(line, start)) return true;
  return false;
}

// Names the engine's `line` that the board could not follow, on the status line and to
// the user.
void ReportEngineLine(const std::string& line, TEngineBoard* board) {
  const std::string report = std::string(ILLEGAL_ENGINE_MOVE_TEXT) + ": " + line;
  if (board) board->ShowEngineStatus(report);
  Dialogs().ShowMessage(report);
}

void ApplyEngineMove(const TEngineLine& line, TGame& game, TSide engineSide, TEngineBoard* board) {
  TBoardMove move;
  const bool named = EngineMoveOfText(line.MoveText, engineSide, move);
  if (board) board->EngineMoveArrived();
  TMoveEffects effects;
  // An engine that lost track of the game, or a faulty one, may name any move: only one
  // the rules allow on the board is played.
  if (!named || !game.IsLegal(move, engineSide) || game.Apply(move, engineSide, &effects) != TMoveResult::Applied) {
    // No answer is coming: the board is the user's again, in the position it had.
    game.SetEngineThinking(false);
    ReportEngineLine(line.Line, board);
    return;
  }
  if (board) board->StartEngineMoveAnimation(move, effects);
  // The user's side is to move now.
  ReportGameEnd(game, OtherSide(engineSide), USER_MATED_TEXT);
}

}  // namespace

TEngineLine ParseEngineLine(std::string_view line) {
  TEngineLine found;
  found.Mates = Contains(LowerCase(line), "mates}");
  found.Illegal = Contains(line, "Illegal") || Contains(line, "Invalid move");
  std::size_t first = line.find_first_not_of(" \t");
  if (first != std::string_view::npos && IsResultLine(line.substr(first)))
    found.Result = std::string(line.substr(first, line.find_last_not_of(" \t") + 1 - first));
  // The engine's answer to "protover 2": "feature ping=1 setboard=0 xedit=1".
  if (StartsWith(line, "feature ")) {
    found.Features = ParseFeatureLine(line);
    return found;
  }
  if (StartsWith(line, PONG_COMMAND)) {
    const std::string_view number = WordAt(line, PONG_COMMAND.size());
    long long value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc() && end == number.data() + number.size() && value > 0) found.Pong = value;
    return found;
  }
  if (found.Illegal || found.Mates || !found.Result.empty()) found.Line = std::string(line);
  if (found.Illegal || Contains(line, "My move is")) return found;
  std::size_t start = MoveWordStart(line);
  if (start == std::string_view::npos) return found;
  std::string_view word = WordAt(line, start);
  // "move" starts nothing but the engine's move, whatever follows it; after a move
  // number only a word shaped like a move counts, as the number may start a line of
  // the engine's thinking in another notation.
  if (!StartsWith(line, MOVE_COMMAND) && !ShapedLikeMove(word)) return found;
  found.HasMove = true;
  found.MoveText = std::string(word);
  found.Line = std::string(line);
  return found;
}

void TEngineFeatures::Merge(const TEngineFeatures& later) {
  if (later.SetBoard) SetBoard = later.SetBoard;
  if (later.Colors) Colors = later.Colors;
  if (later.Done) Done = later.Done;
  if (later.Ping) Ping = later.Ping;
}

TEngineFeatures ParseFeatureLine(std::string_view line) {
  TEngineFeatures features;
  if (!StartsWith(line, "feature ")) return features;
  std::size_t at = std::string_view("feature ").size();
  while (at < line.size()) {
    while (at < line.size() && IsBlank(line[at])) ++at;
    const std::size_t nameStart = at;
    while (at < line.size() && line[at] != '=' && !IsBlank(line[at])) ++at;
    const std::string_view name = line.substr(nameStart, at - nameStart);
    if (at >= line.size() || line[at] != '=') continue;
    ++at;
    std::string_view value;
    if (at < line.size() && line[at] == '"') {
      // A quoted value runs to the next quote (to the line's end if none comes).
      const std::size_t close = line.find('"', at + 1);
      value = line.substr(at + 1, close == std::string_view::npos ? std::string_view::npos : close - at - 1);
      at = close == std::string_view::npos ? line.size() : close + 1;
    } else {
      const std::size_t valueStart = at;
      while (at < line.size() && !IsBlank(line[at])) ++at;
      value = line.substr(valueStart, at - valueStart);
    }
    if (value != "0" && value != "1") continue;
    const bool on = value == "1";
    if (name == "setboard") features.SetBoard = on;
    if (name == "colors") features.Colors = on;
    if (name == "done") features.Done = on;
    if (name == "ping") features.Ping = on;
  }
  return features;
}

bool EngineMoveOfText(std::string_view text, TSide engineSide, TBoardMove& move) {
  if (!IsCastleWord(text)) return ParseMoveText(text, move);
  // The king goes from the e-file to the g-file (king side) or the c-file (queen side).
  int row = engineSide == TSide::Light ? 1 : 8;
  move = TBoardMove{{row, 4}, {row, text.size() == 3 ? 2 : 6}};
  return true;
}

void TLineSplitter::Add(std::string_view bytes, std::vector<std::string>& lines) {
  while (!bytes.empty()) {
    std::size_t end = bytes.find('\n');
    std::string_view part = bytes.substr(0, end);
    std::size_t room = MAX_LINE_LENGTH - FPending.size();
    FPending.append(part.substr(0, std::min(room, part.size())));
    if (end == std::string_view::npos) return;
    Complete(lines);
    bytes.remove_prefix(end + 1);
  }
}

void TLineSplitter::Finish(std::vector<std::string>& lines) {
  if (!FPending.empty()) Complete(lines);
}

void TLineSplitter::Complete(std::vector<std::string>& lines) {
  // Engines built for Windows end their lines with CR LF.
  if (!FPending.empty() && FPending.back() == '\r') FPending.pop_back();
  lines.push_back(std::move(FPending));
  FPending.clear();
}

TEngineChunk MakeEngineChunk(TLineSplitter& splitter, std::string_view bytes, bool ended) {
  TEngineChunk chunk;
  chunk.Text = std::string(bytes);
  chunk.Ended = ended;
  std::vector<std::string> lines;
  splitter.Add(bytes, lines);
  if (ended) splitter.Finish(lines);
  for (const std::string& line : lines) {
    TEngineLine found = ParseEngineLine(line);
    if (found.SaysAnything()) chunk.Found.push_back(std::move(found));
  }
  return chunk;
}

void TEngineLog::Add(std::string_view bytes) {
  while (!bytes.empty()) {
    if (FLines.empty() || FLines.back().ends_with('\n')) FLines.emplace_back();
    std::string& line = FLines.back();
    std::size_t end = bytes.find('\n');
    std::string_view part = bytes.substr(0, end);
    std::size_t kept = std::min(part.size(), MAX_LINE_LENGTH - FLineLength);
    line.append(part.substr(0, kept));
    FLineLength += kept;
    if (kept < part.size() && !FLineCut) {
      line += " [...]";
      FLineCut = true;
    }
    if (end == std::string_view::npos) return;
    line += '\n';
    FLineLength = 0;
    FLineCut = false;
    ++FWholeLines;
    Thin();
    bytes.remove_prefix(end + 1);
  }
}

void TEngineLog::Thin() {
  const std::size_t oldest = FGoesOn ? 1 : 0;
  while (FWholeLines > MAX_LINES && FLines.size() > oldest + 1) {
    FLines.erase(FLines.begin() + static_cast<std::ptrdiff_t>(oldest));
    --FWholeLines;
    ++FLeftOut;
  }
}

std::string TEngineLog::Take() {
  std::string text;
  std::size_t next = 0;
  // The end of a line shown before comes first, the note only after it.
  if (FGoesOn && !FLines.empty()) text += FLines[next++];
  if (FLeftOut > 0) text += "[" + std::to_string(FLeftOut) + " lines left out]\n";
  for (; next < FLines.size(); ++next) text += FLines[next];
  if (!FLines.empty()) FGoesOn = !FLines.back().ends_with('\n');
  FLines.clear();
  FWholeLines = 0;
  FLeftOut = 0;
  return text;
}

bool TEngineGames::OfGameLeft(const TEngineLine& line) {
  // Only the pong of the last ping says that the lines before it were read: one of an
  // earlier ping, or of a "ping" typed on the engine page, comes before.
  if (line.Pong && *line.Pong == FAwaitedPong) FAwaitedPong = 0;
  const bool ofGameLeft = line.SaysOfItsGame() && (AwaitsPong() || FMoveOwed);
  if (line.HasMove) FMoveOwed = false;
  return ofGameLeft;
}

void HandleEngineChunk(const TEngineChunk& chunk, TGame& game, TSide engineSide, TEngineBoard* board,
                       TEngineGames* games) {
  std::vector<std::string> notes;
  for (const TEngineLine& line : chunk.Found) {
    if (games && games->OfGameLeft(line)) {
      notes.push_back("[dropped, of the game left: " + line.Line + "]");
      continue;
    }
    if (line.HasMove) ApplyEngineMove(line, game, engineSide, board);
    if (line.Mates) Dialogs().ShowMessage(ENGINE_MATES_TEXT);
    if (line.Illegal && board) {
      // Its refusal of the user's move takes that move back; one of another line, such
      // as a command typed on the engine page, changes nothing but is shown.
      if (board->TakeBackUserMove(line.Line))
        ReportEngineLine(line.Line, board);
      else
        board->ShowEngineNotice(line.Line);
    }
    if (board && !line.Result.empty()) board->ShowEngineStatus(line.Result);
  }
  if (!board) return;
  if (!chunk.Text.empty()) board->AppendEngineOutput(chunk.Text);
  for (const std::string& note : notes) board->AppendEngineNote(note);
}

void ReportEngineEnded(const std::string& text, TGame& game, TEngineBoard* board) {
  game.SetEngineThinking(false);
  if (board) board->ShowEngineStatus(text);
  Dialogs().ShowMessage(text);
}

tsreadengine::tsreadengine(TChildProcess& process, TDispatcher dispatch, TChunkHandler onChunk,
                           std::weak_ptr<void> owner)
    : FProcess(process),
      FDispatch(std::move(dispatch)),
      FOnChunk(std::move(onChunk)),
      FOwner(std::move(owner)),
      FThread([this] { Execute(); }) {}

tsreadengine::~tsreadengine() { Stop(); }

void tsreadengine::Stop() {
  if (!FThread.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FStopping = true;
  }
  FTaken.notify_all();
  FProcess.WakeReader();
  FThread.join();
}

void tsreadengine::Execute() {
  try {
    TLineSplitter splitter;
    char buffer[CHUNK_SIZE];
    for (;;) {
      std::size_t count = 0;
      TChildProcess::TReadResult result = FProcess.ReadOutput(buffer, sizeof buffer, count);
      // Woken: the owner is stopping and drops whatever it would still be handed.
      if (result == TChildProcess::TReadResult::Woken) return;
      bool ended = result == TChildProcess::TReadResult::Ended;
      if (!Gather(MakeEngineChunk(splitter, std::string_view(buffer, ended ? 0 : count), ended)) || ended) return;
    }
  } catch (...) {
    // Only a failed allocation lands here: the owner is told the output has ended, as
    // of a dead engine, so that it does not wait for a move that cannot come.
    try {
      TEngineChunk ended;
      ended.Ended = true;
      Gather(ended);
    } catch (...) {
    }
  }
}

bool tsreadengine::Gather(const TEngineChunk& found) {
  std::unique_lock<std::mutex> lock(FMutex);
  FLog.Add(found.Text);
  FFound.insert(FFound.end(), found.Found.begin(), found.Found.end());
  for (const TEngineLine& line : found.Found) FFeatures.Merge(line.Features);
  FWaitingBytes += found.Text.size();
  FEnded = FEnded || found.Ended;
  if (!found.Text.empty() || found.Ended) FHeard = true;
  if (!FPosted) {
    FPosted = true;
    lock.unlock();
    FDispatch([owner = FOwner, onChunk = FOnChunk, this] {
      // While the owner lives, so does this reader.
      if (!owner.lock()) return;
      onChunk(Take());
    });
    lock.lock();
  }
  FTaken.wait(lock, [this] { return FStopping || FWaitingBytes < MAX_WAITING_BYTES; });
  return !FStopping;
}

TEngineFeatures tsreadengine::Features() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FFeatures;
}

TEngineChunk tsreadengine::Take() {
  TEngineChunk taken;
  {
    std::lock_guard<std::mutex> lock(FMutex);
    taken.Text = FLog.Take();
    taken.Found = std::exchange(FFound, {});
    taken.Ended = std::exchange(FEnded, false);
    FWaitingBytes = 0;
    FPosted = false;
  }
  FTaken.notify_all();
  return taken;
}
