#pragma once
// Writes 3DS files: a chunk writer that patches each chunk's size when it is closed,
// and a model writer for the records the reader hands out (materials, meshes) plus
// lights, cameras and key-framer nodes. The model writer writes only chunks that the
// reader understands; the chunk writer writes whatever data it is told, which is what
// tests of damaged files need, but it holds the chunk structure to the reader's tag
// table: a child begins where the reader looks for it, and siblings come in the
// table's write order.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "meshes/threeds/Records3DS.h"

class TChunkWriter3DS {
public:
  // Opens a chunk: its header now, its size when End closes it. A chunk opened
  // inside another must begin where the reader finds the parent's first child (after
  // the data the parent's tag announces), and must not come before a sibling of a
  // later write order; either mistake is an assertion failure.
  void Begin(std::uint16_t tag);
  void End();
  // A chunk without data or children.
  void Empty(std::uint16_t tag) {
    Begin(tag);
    End();
  }

  void Bytes(const void* data, std::size_t count) { FData.append(static_cast<const char*>(data), count); }
  template <class T>
  void Value(const T& value) {
    Bytes(&value, sizeof value);
  }
  // Zero-terminated.
  void String(std::string_view text);

  // A chunk holding one value, or one string.
  template <class T>
  void Chunk(std::uint16_t tag, const T& value) {
    Begin(tag);
    Value(value);
    End();
  }
  void StringChunk(std::uint16_t tag, std::string_view text);

  // The bytes written; every chunk must be closed.
  const std::string& Data() const;
  void SaveToFile(const std::string& fileName) const;

private:
  struct TOpenChunk {
    std::size_t Start;     // offset of the header
    bool HasChild = false;
    int LastOrder = 0;     // the highest write order among its children so far
  };
  void CheckChildStart(const TOpenChunk& parent) const;

  std::string FData;
  std::vector<TOpenChunk> FOpen;  // the chunks not yet closed, outermost first
};

struct TLight3DS {
  std::string Name;
  TAffineVector Position{0, 0, 0};
  TColor3DS Color{1, 1, 1};
  bool Spot = false;
  TAffineVector Target{0, 0, 0};
  float HotSpot = 0, FallOff = 0;
};

struct TCamera3DS {
  std::string Name;
  TAffineVector Position{0, 0, 0}, Target{0, 0, 0};
  float Roll = 0, FocalLength = 35;
  float NearRange = 1, FarRange = 1000;
};

// One node of the key framer; a NodeId of 0xFFFF writes none.
struct TKeyFramerNode3DS {
  std::uint16_t Tag = 0xB002;
  std::uint16_t NodeId = 0xFFFF;
  std::string Name;
  std::string InstanceName;
  std::uint16_t ParentIndex = 0xFFFF;
  TAffineVector Pivot{0, 0, 0};
  std::vector<std::pair<std::int32_t, TAffineVector>> PositionKeys;  // frame, position
};

struct TModel3DS {
  float MasterScale = 1;
  std::vector<TMaterialRecord3DS> Materials;
  std::vector<TMeshRecord3DS> Meshes;
  std::vector<TLight3DS> Lights;
  std::vector<TCamera3DS> Cameras;
  std::vector<TKeyFramerNode3DS> KeyFramerNodes;
  std::uint32_t AnimationLength = 100;
};

// The whole file: 0x4D4D with its version, the mesh data section and the key framer.
void WriteModel3DS(TChunkWriter3DS& writer, const TModel3DS& model);
std::string Model3DSBytes(const TModel3DS& model);

void WriteMaterial3DS(TChunkWriter3DS& writer, const TMaterialRecord3DS& material);
// A named object with its triangle mesh. Counts above 65535 do not fit the format.
void WriteMesh3DS(TChunkWriter3DS& writer, const TMeshRecord3DS& mesh);
void WriteLight3DS(TChunkWriter3DS& writer, const TLight3DS& light);
void WriteCamera3DS(TChunkWriter3DS& writer, const TCamera3DS& camera);

// Models that tests, benchmarks and the fuzzer's seeds share.
// A unit cube of 8 shared vertices and 12 faces in two materials ("Red", textured
// "Checker"), texture coordinates and smoothing groups.
TModel3DS CubeModel3DS();
// Three objects (the cube, a pyramid under a parent node, a hidden quad), a spotlight,
// an omni light and a camera, with key-framer nodes.
TModel3DS SceneModel3DS();
// A grid of about `faces` triangles split into meshes of at most 65,000 faces each.
TModel3DS GridModel3DS(int faces);
// One material and one mesh with every field away from its fresh value: every map
// with procedure data, mapping information, a box map and all object flags. A field
// that the writer or the reader drops, or a map read into the wrong slot, shows.
TModel3DS EveryFieldModel3DS();
