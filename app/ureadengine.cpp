#include "app/ureadengine.h"

#include <algorithm>

#include "app/maindefine.h"
#include "app/utility.h"
#include "base/Dialogs.h"
#include "platform/ChildProcess.h"

namespace {

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

// Letter, digit, letter, digit and maybe a promotion letter: what an engine means as
// a move, whether or not its squares exist. Anything else after "move " is chatter.
bool ShapedLikeMove(std::string_view word) {
  if (word.size() != 4 && word.size() != 5) return false;
  if (!IsLower(word[0]) || !IsDigit(word[1]) || !IsLower(word[2]) || !IsDigit(word[3])) return false;
  return word.size() == 4 || IsLower(word[4]);
}

void ApplyEngineMove(const std::string& text, int engineSide, TEngineBoard* board) {
  TBoardMove move;
  if (!ParseMoveText(text, move) || ApplyMoveToBitboards(BitBoards, move, engineSide) != TMoveResult::Applied) {
    Dialogs().ShowMessage(ILLEGAL_ENGINE_MOVE_TEXT);
    return;
  }
  if (board) board->StartEngineMoveAnimation(move.FromCol, move.FromRow, move.ToCol, move.ToRow);
  // The user's side is to move now.
  if (IsMate(BitBoards, 1 - engineSide)) Dialogs().ShowMessage(USER_MATED_TEXT);
}

}  // namespace

TEngineLine ParseEngineLine(std::string_view line) {
  TEngineLine found;
  found.Mates = Contains(line, "mates}");
  found.Illegal = Contains(line, "Illegal");
  if (found.Illegal || Contains(line, "My move is")) return found;
  std::size_t start = line.find("move ");
  if (start != std::string_view::npos) {
    start += 5;
  } else if ((start = line.find(". ... ")) != std::string_view::npos) {
    start += 6;
  }
  if (start == std::string_view::npos) return found;
  std::string_view word = WordAt(line, start);
  if (ShapedLikeMove(word)) {
    found.HasMove = true;
    found.MoveText = std::string(word);
  }
  return found;
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

void HandleEngineChunk(const TEngineChunk& chunk, int engineSide, TEngineBoard* board) {
  for (const TEngineLine& line : chunk.Found) {
    if (line.HasMove) ApplyEngineMove(line.MoveText, engineSide, board);
    if (line.Mates) Dialogs().ShowMessage(ENGINE_MATES_TEXT);
    if (line.Illegal) Dialogs().ShowMessage(ILLEGAL_ENGINE_MOVE_TEXT);
  }
  if (board && !chunk.Text.empty()) board->AppendEngineOutput(chunk.Text);
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
      Post(MakeEngineChunk(splitter, std::string_view(buffer, ended ? 0 : count), ended));
      if (ended) return;
    }
  } catch (...) {
    // Only a failed allocation lands here: the owner is told the output has ended, as
    // of a dead engine, so that it does not wait for a move that cannot come.
    try {
      TEngineChunk ended;
      ended.Ended = true;
      Post(std::move(ended));
    } catch (...) {
    }
  }
}

void tsreadengine::Post(TEngineChunk chunk) {
  FDispatch([owner = FOwner, onChunk = FOnChunk, chunk = std::move(chunk)] {
    if (owner.lock()) onChunk(chunk);
  });
}
