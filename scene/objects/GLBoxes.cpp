#include "scene/objects/GLBoxes.h"

#include "scene/gl/XOpenGL.h"

#include <cmath>

namespace {

// The six faces a cube and a frustum share, in the order they are drawn. A
// corner is its texture point and the signs of its position: Y +1 on the top
// rim, -1 on the bottom one. Each face's part bit is the same for both shapes.
struct TBoxCorner {
  GLfloat S, T;
  float X, Y, Z;
};
struct TBoxFace {
  std::uint8_t Part;
  TBoxCorner Corners[4];
};
constexpr TBoxFace BOX_FACES[6] = {
    {cpFront, {{1, 1, 1, 1, 1}, {0, 1, -1, 1, 1}, {0, 0, -1, -1, 1}, {1, 0, 1, -1, 1}}},
    {cpBack, {{0, 1, 1, 1, -1}, {0, 0, 1, -1, -1}, {1, 0, -1, -1, -1}, {1, 1, -1, 1, -1}}},
    {cpLeft, {{1, 1, -1, 1, 1}, {0, 1, -1, 1, -1}, {0, 0, -1, -1, -1}, {1, 0, -1, -1, 1}}},
    {cpRight, {{0, 1, 1, 1, 1}, {0, 0, 1, -1, 1}, {1, 0, 1, -1, -1}, {1, 1, 1, 1, -1}}},
    {cpTop, {{0, 1, -1, 1, -1}, {0, 0, -1, 1, 1}, {1, 0, 1, 1, 1}, {1, 1, 1, 1, -1}}},
    {cpBottom, {{0, 0, -1, -1, -1}, {1, 0, 1, -1, -1}, {1, 1, 1, -1, 1}, {0, 1, -1, -1, 1}}},
};
static_assert(int(cpFront) == fpFront && int(cpBack) == fpBack && int(cpLeft) == fpLeft && int(cpRight) == fpRight &&
              int(cpTop) == fpTop && int(cpBottom) == fpBottom);

// The faces of `parts` in one quad list, face i with normals[i]. A corner lies at
// (X top.x, top.y, Z top.z) on the top rim and (X base.x, base.y, Z base.z) on
// the bottom one.
void EmitBoxFaces(std::uint8_t parts, const TAffineVector (&normals)[6], const TAffineVector& top,
                  const TAffineVector& base) {
  GL->glBegin(GL_QUADS);
  for (int i = 0; i < 6; ++i) {
    const TBoxFace& face = BOX_FACES[i];
    if (!(parts & face.Part)) continue;
    GL->glNormal3f(normals[i].x, normals[i].y, normals[i].z);
    for (const TBoxCorner& corner : face.Corners) {
      const TAffineVector& rim = corner.Y > 0 ? top : base;
      xglTexCoord2fv(&corner.S);
      GL->glVertex3f(corner.X * rim.x, rim.y, corner.Z * rim.z);
    }
  }
  GL->glEnd();
}

float NormalSign(TNormalDirection direction) { return direction == ndOutside ? 1.0f : -1.0f; }

// The twelve bytes of three singles, little-endian, as the first twelve of a vector's.
constexpr std::size_t CUBE_SIZE_BYTES = 12;

}  // namespace

// ---------------------------------------------------------------------------
// TCube

TCube::TCube(TComponent* owner) : TGLSceneObject(owner) {
  SetObjectStyle(ObjectStyle() | StyleBit(TGLObjectStyle::DirectDraw));
}

bool TCube::StoresCubeSize() const { return FCubeWidth != 1 || FCubeHeight != 1 || FCubeDepth != 1; }

void TCube::WriteCubeSize(TStream& stream) const {
  const TStoredVector bytes = StoredVectorBytes({FCubeWidth, FCubeHeight, FCubeDepth, 0});
  stream.WriteBuffer(bytes.data(), CUBE_SIZE_BYTES);
}

void TCube::ReadCubeSize(TStream& stream) {
  TStoredVector bytes{};
  stream.ReadBuffer(bytes.data(), CUBE_SIZE_BYTES);
  const TVector size = VectorFromStoredBytes(bytes);
  FCubeWidth = size.x;
  FCubeHeight = size.y;
  FCubeDepth = size.z;
}

TVector TCube::HalfExtents() const {
  return ScaledHalfExtents(*this, {FCubeWidth / 2, FCubeHeight / 2, FCubeDepth / 2, 0});
}

void TCube::EmitGeometry(TRenderContextInfo&) {
  const float s = NormalSign(FNormalDirection);
  const TAffineVector normals[6] = {{0, 0, s}, {0, 0, -s}, {-s, 0, 0}, {s, 0, 0}, {0, s, 0}, {0, -s, 0}};
  const float w = FCubeWidth / 2, h = FCubeHeight / 2, d = FCubeDepth / 2;
  EmitBoxFaces(FParts, normals, {w, h, d}, {w, -h, d});
}

void TCube::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TCube*>(source)) {
    FCubeWidth = other->FCubeWidth;
    FCubeHeight = other->FCubeHeight;
    FCubeDepth = other->FCubeDepth;
    FParts = other->FParts;
    FNormalDirection = other->FNormalDirection;
  }
  TGLSceneObject::Assign(source);
}

// ---------------------------------------------------------------------------
// TFrustrum

TFrustrum::TFrustrum(TComponent* owner) : TGLSceneObject(owner) {}

// A size that is negative (or not a number) is ignored.
void TFrustrum::SetApexHeight(float value) {
  if (!(value >= 0) || value == FApexHeight) return;
  FApexHeight = value;
  if (value < FHeight) FHeight = value;
  MarkStructureDirty();
}

void TFrustrum::SetHeight(float value) {
  if (!(value >= 0) || value == FHeight) return;
  FHeight = value;
  if (value > FApexHeight) FApexHeight = value;
  MarkStructureDirty();
}

void TFrustrum::SetBaseDepth(float value) {
  if (value >= 0) StoreAndRebuild(*this, FBaseDepth, value);
}

void TFrustrum::SetBaseWidth(float value) {
  if (value >= 0) StoreAndRebuild(*this, FBaseWidth, value);
}

bool TFrustrum::StoresFrustrumSize() const {
  return FApexHeight != 1 || FBaseDepth != 1 || FBaseWidth != 1 || FHeight != 0.5f;
}

void TFrustrum::WriteFrustrumSize(TStream& stream) const {
  WriteStoredVector(stream, {FApexHeight, FBaseDepth, FBaseWidth, FHeight});
}

void TFrustrum::ReadFrustrumSize(TStream& stream) {
  const TVector size = ReadStoredVector(stream);
  FApexHeight = size.x;
  FBaseDepth = size.y;
  FBaseWidth = size.z;
  FHeight = size.w;
}

TVector TFrustrum::HalfExtents() const {
  return ScaledHalfExtents(*this, {std::fabs(FBaseWidth) / 2, std::fabs(FHeight), std::fabs(FBaseDepth) / 2, 0});
}

namespace {

// The slope of a side that rises `rise` over `run`, in radians; a side of no
// rise and no run (a flat frustum with a base of no extent) lies flat.
float SlopeAngle(float rise, float run) { return rise == 0 && run == 0 ? 0 : std::atan(rise / run); }

}  // namespace

void TFrustrum::EmitGeometry(TRenderContextInfo&) {
  const float w = FBaseWidth / 2, d = FBaseDepth / 2, a = FApexHeight, h = FHeight;
  // The top rim shrinks towards the apex; a frustum of no apex height is flat,
  // its top the base itself.
  const float ratio = a != 0 ? (a - h) / a : 1;
  const float s = NormalSign(FNormalDirection);
  const float alpha = SlopeAngle(a, d), beta = SlopeAngle(a, w);
  const float ca = s * std::cos(alpha), sa = s * std::sin(alpha);
  const float cb = s * std::cos(beta), sb = s * std::sin(beta);
  const TAffineVector normals[6] = {{0, ca, sa}, {0, ca, -sa}, {-sb, cb, 0}, {sb, cb, 0}, {0, s, 0}, {0, -s, 0}};
  // A whole pyramid has no top face: its sides meet at the apex.
  const TFrustrumParts parts = h < a ? FParts : FParts & ~fpTop;
  EmitBoxFaces(parts, normals, {ratio * w, h, ratio * d}, {w, 0, d});
}

void TFrustrum::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TFrustrum*>(source)) {
    FApexHeight = other->FApexHeight;
    FBaseDepth = other->FBaseDepth;
    FBaseWidth = other->FBaseWidth;
    FHeight = other->FHeight;
    FParts = other->FParts;
    FNormalDirection = other->FNormalDirection;
  }
  TGLSceneObject::Assign(source);
}
