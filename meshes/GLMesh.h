#pragma once
// A scene object that draws a list of interleaved vertex records with one GL
// primitive, and the list itself, which can move its records into driver memory
// for faster drawing where the driver offers the NV vertex-array-range extension.
//
//   auto& fan = scene.Objects().AddChild(std::make_unique<TMesh>(nullptr));
//   fan.SetMode(mmTriangleFan);
//   fan.Vertices().AddVertex({0, 0, 0}, {0, 0, 1}, {1, 0, 0, 1}, {0, 0});

#include "base/VectorLists.h"
#include "scene/GLSceneObjects.h"

#include <cstdint>
#include <vector>

// One vertex as GL_T2F_C4F_N3F_V3F lays it out: 48 bytes.
struct TVertexData {
  TTexPoint TextCoord;
  TVector Color;
  TAffineVector Normal;
  TAffineVector Coord;
};
static_assert(sizeof(TVertexData) == 48, "the record of GL_T2F_C4F_N3F_V3F");

// Memory of the driver for locked vertex lists, as the window system hands it out
// for the NV vertex-array-range extension. Both null where the window system
// offers none (EGL has no such call): lists then never lock.
struct TDriverMemory {
  void* (*Allocate)(GLsizei size, GLfloat readFrequency, GLfloat writeFrequency, GLfloat priority) = nullptr;
  void (*Free)(void* pointer) = nullptr;
};
TDriverMemory& VertexArrayDriverMemory();

// A growable array of vertex records.
class TVertexList : public TGLUpdateAbleObject {
  BRV_CLASS(TVertexList, TGLUpdateAbleObject)

public:
  static constexpr int GROWTH = 256;

  explicit TVertexList(TPersistent* owner);
  // Unlocks first.
  ~TVertexList() override;

  // From another list: its records and capacity; other sources as the base says.
  void Assign(const TPersistent* source) override;

  int Count() const { return FCount; }
  int Capacity() const { return FCapacity; }
  const TVertexData& Items(int index) const;
  // Appends a record, growing by GROWTH records when full, and reports the change.
  void AddVertex(const TAffineVector& vertex, const TAffineVector& normal, const TVector& color,
                 const TTexPoint& texPoint);
  // GROWTH more records of room; an assertion failure while locked.
  void Grow();

  // The fields of record 0, for the interleaved-array calls.
  const void* FirstTexPoint() const { return &Data()->TextCoord; }
  const void* FirstColor() const { return &Data()->Color; }
  const void* FirstNormal() const { return &Data()->Normal; }
  const void* FirstVertex() const { return &Data()->Coord; }

  // Locked, the records live in driver memory (room for Capacity of them) and the
  // list cannot grow. Locking needs the extension and the window system's driver
  // memory, and does nothing without them or when the memory is refused; unlocking
  // copies the records back.
  bool Locked() const { return FDriverRecords != nullptr; }
  void SetLocked(bool value);
  // While locked: the records' range is declared to GL and enabled, then
  // disabled and flushed.
  void EnterLockSection();
  void LeaveLockSection();

private:
  TVertexData* Data() { return Locked() ? FDriverRecords : FRecords.data(); }
  const TVertexData* Data() const { return Locked() ? FDriverRecords : FRecords.data(); }

  std::vector<TVertexData> FRecords;  // Capacity records
  TVertexData* FDriverRecords = nullptr;
  int FCount = 0;
  int FCapacity = 0;
};

// The GL primitive a mesh draws its list as.
enum TMeshMode : std::uint8_t { mmTriangleStrip, mmTriangleFan, mmTriangles, mmQuadStrip, mmQuads, mmPolygon };
// Which fields of the records a mesh hands GL: vertex, normal, colour, texture point.
enum TVertexMode : std::uint8_t { vmV, vmVN, vmVNC, vmVNCT, vmVNT, vmVT };

// Draws its vertex list with one primitive through interleaved arrays.
class TMesh : public TGLSceneObject {
  BRV_SCENE_OBJECT_CLASS(TMesh, TGLSceneObject)

public:
  // A triangle strip of the three unit points on the axes, facing +Z, black, with
  // every field handed to GL.
  explicit TMesh(TComponent* owner);
  ~TMesh() override;

  TVertexList& Vertices() { return *FVertices; }
  const TVertexList& Vertices() const { return *FVertices; }
  TMeshMode Mode() const { return FMode; }
  void SetMode(TMeshMode value);
  TVertexMode VertexMode() const { return FVertexMode; }
  void SetVertexMode(TVertexMode value);

  // From another mesh: the vertices, Mode and VertexMode; then as every scene object.
  void Assign(const TPersistent* source) override;
  // vmVT has no interleaved form: an assertion failure. With colours handed to GL,
  // they colour the material's ambient and diffuse light.
  void EmitGeometry(TRenderContextInfo& rci) override;

private:
  std::unique_ptr<TVertexList> FVertices;
  TMeshMode FMode = mmTriangleStrip;
  TVertexMode FVertexMode = vmVNCT;
};
