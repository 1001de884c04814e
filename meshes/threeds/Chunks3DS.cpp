#include "meshes/threeds/Chunks3DS.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <new>

static_assert(std::endian::native == std::endian::little, "3DS values are read in place as little-endian");

// ---------------------------------------------------------------------------
// Errors

std::string Text3DSError(int code) {
  switch (code) {
    case ERR_3DS_OUT_OF_MEMORY:
      return "Not enough memory to complete operation.";
    case ERR_3DS_INVALID_CHUNK:
      return "An invalid Chunk structure was encountered while reading\rthe database. Usually caused by a corrupt "
             "database or file.";
    case ERR_3DS_NO_DATABASE:
      return "The database passed as an argument has not be created yet.";
    case ERR_3DS_WRONG_DATABASE:
      return "The database passed as an argument is the wrong kind of\rdatabase for this function.";
    case ERR_3DS_WRONG_OBJECT:
      return "The Name passed to the functions exists but is not the type of object asked for.\rFor example asking "
             "for a mesh object with the GetCameraByName3DS function.";
    default:
      AssertionFailure("Text3DSError(): unknown message " + std::to_string(code), __FILE__, __LINE__);
  }
}

void Raise3DSError(int code) { throw E3DSError(code, Text3DSError(code)); }

void Raise3DSIndexError(int index) {
  throw E3DSError(ERR_3DS_INVALID_INDEX, "Invalid index " + std::to_string(index) + ".");
}

void Raise3DSInvalidChunk(const std::string& detail) {
  throw E3DSError(ERR_3DS_INVALID_CHUNK, Text3DSError(ERR_3DS_INVALID_CHUNK) + "\r" + detail);
}

std::string TagText(std::uint16_t tag) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", tag);
  return text;
}

// ---------------------------------------------------------------------------
// Nodes and the tree

namespace {

// The first child and the next sibling make a binary tree; rotating each left link
// to the right frees it node by node in constant stack space and without allocating.
void Dismantle(std::unique_ptr<TChunkNode> root) {
  while (root) {
    if (root->Children) {
      std::unique_ptr<TChunkNode> left = std::move(root->Children);
      root->Children = std::move(left->Sibling);
      left->Sibling = std::move(root);
      root = std::move(left);
    } else {
      std::unique_ptr<TChunkNode> next = std::move(root->Sibling);
      root.reset();
      root = std::move(next);
    }
  }
}

}  // namespace

TChunkNode::~TChunkNode() {
  Dismantle(std::move(Children));
  Dismantle(std::move(Sibling));
}

std::unique_ptr<TChunkNode> NewChunk() {
  try {
    return std::make_unique<TChunkNode>();
  } catch (const std::bad_alloc&) {
    Raise3DSError(ERR_3DS_OUT_OF_MEMORY);
  }
}

void AppendChild(TChunkNode& parent, std::unique_ptr<TChunkNode> child) {
  BRV_ASSERT(child);
  std::unique_ptr<TChunkNode>* link = &parent.Children;
  while (*link) link = &(*link)->Sibling;
  *link = std::move(child);
}

void InsertChildOrdered(TChunkNode& parent, std::unique_ptr<TChunkNode> child) {
  BRV_ASSERT(child && !child->Sibling);
  int order = ChunkOrder(child->Tag);
  std::unique_ptr<TChunkNode>* link = &parent.Children;
  while (*link && ChunkOrder((*link)->Tag) >= order) link = &(*link)->Sibling;
  child->Sibling = std::move(*link);
  *link = std::move(child);
}

TChunkNode* FindChunkByTag(TChunkNode* node, std::uint16_t tag) {
  if (!node) return nullptr;
  if (node->Tag == tag) return node;
  // Pre-order over the sub-trees below `node`: each node's sibling is visited after
  // the node's own sub-tree, so it waits on the stack beneath its children.
  std::vector<TChunkNode*> pending;
  if (node->Children) pending.push_back(node->Children.get());
  while (!pending.empty()) {
    TChunkNode* current = pending.back();
    pending.pop_back();
    if (current->Tag == tag) return current;
    if (current->Sibling) pending.push_back(current->Sibling.get());
    if (current->Children) pending.push_back(current->Children.get());
  }
  return nullptr;
}

TChunkNode* FindSiblingByTag(TChunkNode* node, std::uint16_t tag) {
  for (; node; node = node->Sibling.get())
    if (node->Tag == tag) return node;
  return nullptr;
}

TChunkNode* FindChildByTag(const TChunkNode& node, std::uint16_t tag) {
  return FindSiblingByTag(node.Children.get(), tag);
}

void ReleaseChunkData(TChunkNode& node) { node.Data.reset(); }

void FreeChunkTree(std::unique_ptr<TChunkNode>& node) { node.reset(); }

// ---------------------------------------------------------------------------
// Bounded reading

namespace {
constexpr std::size_t READ_BLOCK = 4096;
}

TChunkReader3DS::TChunkReader3DS(TStream& stream, std::uint64_t start, std::uint64_t end, std::uint16_t tag)
    : FStream(stream), FTag(tag), FEnd(end), FRemaining(end > start ? end - start : 0), FUnread(FRemaining) {
  FStream.SetPosition(static_cast<std::int64_t>(start));
}

void TChunkReader3DS::Need(std::uint64_t count, std::uint64_t width) const {
  // Divided rather than multiplied: a hostile count cannot overflow the test.
  if (count > FRemaining / width)
    Raise3DSInvalidChunk("Chunk " + TagText(FTag) + " needs " + std::to_string(count) + " x " +
                         std::to_string(width) + " bytes at offset " + std::to_string(Offset()) +
                         " but holds only " + std::to_string(FRemaining) + " more");
}

void TChunkReader3DS::Fill() {
  std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(FUnread, READ_BLOCK));
  FBuffer.resize(count);
  FStream.ReadBuffer(FBuffer.data(), count);
  FUnread -= count;
  FBufferPos = 0;
}

void TChunkReader3DS::Read(void* buffer, std::size_t count) {
  Need(count, 1);
  char* out = static_cast<char*>(buffer);
  std::size_t buffered = std::min(count, FBuffer.size() - FBufferPos);
  if (buffered) std::memcpy(out, FBuffer.data() + FBufferPos, buffered);
  FBufferPos += buffered;
  FRemaining -= buffered;
  out += buffered;
  count -= buffered;
  if (count == 0) return;
  if (count >= READ_BLOCK) {
    FStream.ReadBuffer(out, count);
    FUnread -= count;
  } else {
    Fill();
    std::memcpy(out, FBuffer.data(), count);
    FBufferPos = count;
  }
  FRemaining -= count;
}

void TChunkReader3DS::Skip(std::uint64_t count) {
  Need(count, 1);
  std::uint64_t buffered = std::min<std::uint64_t>(count, FBuffer.size() - FBufferPos);
  FBufferPos += static_cast<std::size_t>(buffered);
  FRemaining -= count;
  std::uint64_t rest = count - buffered;
  if (rest) {
    FStream.Seek(static_cast<std::int64_t>(rest), TSeekOrigin::Current);
    FUnread -= rest;
  }
}

bool TChunkReader3DS::ReadString(std::string* text) {
  while (FRemaining != 0) {
    if (FBufferPos == FBuffer.size()) Fill();
    char c = FBuffer[FBufferPos++];
    --FRemaining;
    if (c == '\0') return true;
    if (text && text->size() < MAX_CHUNK_STRING) *text += c;
  }
  return false;
}

std::string TChunkReader3DS::String() {
  std::string text;
  if (!ReadString(&text))
    Raise3DSInvalidChunk("Chunk " + TagText(FTag) + " ends inside a string at offset " + std::to_string(FEnd));
  return text;
}

bool TChunkReader3DS::TrySkipString() { return ReadString(nullptr); }
