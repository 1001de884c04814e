#include "scene/objects/GLPlanes.h"

#include "scene/gl/XOpenGL.h"

#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------------------
// TPlane

TPlane::TPlane(TComponent* owner) : TGLSceneObject(owner) {
  SetObjectStyle(ObjectStyle() | StyleBit(TGLObjectStyle::DirectDraw));
}

void TPlane::SetXTiles(std::uint32_t value) { StoreAndRebuild(*this, FXTiles, std::max(value, 1u)); }

void TPlane::SetYTiles(std::uint32_t value) { StoreAndRebuild(*this, FYTiles, std::max(value, 1u)); }

TVector TPlane::HalfExtents() const {
  return ScaledHalfExtents(*this, {std::fabs(FWidth) / 2, std::fabs(FHeight) / 2, 0, 0});
}

bool TPlane::IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint,
                          TVector* intersectNormal) const {
  const TLocalRay ray = LocalRay(*this, rayStart, rayVector);
  const TVector& s = ray.Start;
  const TVector& d = ray.Vector;
  // Only a ray that runs towards the plane from the side it starts on crosses it.
  const bool front = s.z >= 0;
  if (front ? !(d.z < 0) : !(d.z > 0)) return false;
  const float t = s.z / d.z;
  const float x = s.x - t * d.x, y = s.y - t * d.y;
  if (std::fabs(x) > std::fabs(FWidth) / 2 || std::fabs(y) > std::fabs(FHeight) / 2) return false;
  if (intersectPoint) *intersectPoint = LocalPointToWorld({x, y, 0, 1});
  if (intersectNormal) {
    TVector normal = WorldDirection();
    if (!front) Vec4NegateInPlace(normal);
    *intersectNormal = normal;
  }
  return true;
}

void TPlane::EmitGeometry(TRenderContextInfo&) {
  static constexpr GLfloat NORMAL[3] = {0, 0, 1};
  const float hw = FWidth / 2, hh = FHeight / 2;
  GL->glNormal3fv(NORMAL);
  float s0 = 0, s1 = 1, t0 = 0, t1 = 1;
  if (FStyle & psTileTexture) {
    s0 = FXOffset;
    s1 = FXOffset + float(FXTiles);
    t0 = FYOffset;
    t1 = FYOffset + float(FYTiles);
  }
  if (FStyle & psSingleQuad) {
    GL->glBegin(GL_QUADS);
    xglTexCoord2f(s1, t1);
    GL->glVertex2f(hw, hh);
    xglTexCoord2f(s0, t1);
    GL->glVertex2f(-hw, hh);
    xglTexCoord2f(s0, t0);
    GL->glVertex2f(-hw, -hh);
    xglTexCoord2f(s1, t0);
    GL->glVertex2f(hw, -hh);
    GL->glEnd();
    return;
  }
  // One strip of cells per row, each cell one tile; the setters keep both counts at 1 or more.
  const float columns = float(FXTiles), rows = float(FYTiles);
  const float dx = FWidth / columns, dy = FHeight / rows;
  const float ds = (s1 - s0) / columns, dt = (t1 - t0) / rows;
  for (std::uint32_t y = 0; y < FYTiles; ++y) {
    GL->glBegin(GL_TRIANGLE_STRIP);
    for (std::uint32_t x = 0; x <= FXTiles; ++x) {
      for (const std::uint32_t row : {y + 1, y}) {
        xglTexCoord2f(s0 + float(x) * ds, t0 + float(row) * dt);
        GL->glVertex2f(float(x) * dx - hw, float(row) * dy - hh);
      }
    }
    GL->glEnd();
  }
}

void TPlane::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TPlane*>(source)) {
    FWidth = other->FWidth;
    FHeight = other->FHeight;
  }
  TGLSceneObject::Assign(source);
}

// ---------------------------------------------------------------------------
// TSprite

TSprite::TSprite(TComponent* owner) : TGLSceneObject(owner) {
  SetObjectStyle(ObjectStyle() | StyleBit(TGLObjectStyle::DirectDraw) | StyleBit(TGLObjectStyle::NeverCulled));
}

void TSprite::SetWidth(float value) {
  if (StoreChanged(FWidth, value)) ReportChange(this);
}

void TSprite::SetHeight(float value) {
  if (StoreChanged(FHeight, value)) ReportChange(this);
}

void TSprite::SetRotation(float value) {
  if (StoreChanged(FRotation, value)) ReportChange(this);
}

void TSprite::SetAlphaChannel(float value) {
  if (value == FAlphaChannel) return;
  FAlphaChannel = std::clamp(value, 0.0f, 1.0f);
  ReportChange(this);
}

void TSprite::SetNoZWrite(bool value) {
  FNoZWrite = value;
  ReportChange(this);
}

void TSprite::ApplyAlpha(const TRenderContextInfo& rci, float alpha) {
  if (rci.GLStates & GLStateBit(stLighting)) {
    CacheMaterialAlpha(GL_FRONT, alpha);
    return;
  }
  // Unlit, the material has set the current colour and left the cached
  // material colours alone: they may be unknown.
  GLfloat color[4] = {1, 1, 1, 1};
  GL->glGetFloatv(GL_CURRENT_COLOR, color);
  GL->glColor4f(color[0], color[1], color[2], alpha);
}

namespace {

// `v` of unit length; a null vector (from a model-view matrix that flattens
// everything) stays null.
TAffineVector UnitOrNull(const TAffineVector& v) {
  const float length = Vec3Length(v);
  return length > 0 ? Vec3Scaled(v, 1 / length) : v;
}

}  // namespace

void TSprite::EmitGeometry(TRenderContextInfo& rci) {
  // Picking draws without materials, so there is no colour to make transparent.
  if (FAlphaChannel != 1 && !rci.IgnoreMaterials) ApplyAlpha(rci, FAlphaChannel);
  if (FNoZWrite) GL->glDepthMask(GL_FALSE);
  // The rows of the model-view matrix's rotation part are the screen's right
  // and up in object coordinates: the quad spans them, so it faces the viewer.
  TMatrix4 modelView{};
  GL->glGetFloatv(GL_MODELVIEW_MATRIX, &modelView[0].x);
  TAffineVector right = UnitOrNull({modelView[0].x, modelView[1].x, modelView[2].x});
  TAffineVector up = UnitOrNull({modelView[0].y, modelView[1].y, modelView[2].y});
  if (FRotation != 0) {
    // Right and up turned counter-clockwise before they are given the sprite's
    // width and height, so that a sprite that is not square turns whole
    // instead of shearing: at 90 degrees its width runs up the screen.
    const float angle = FRotation * 0.017453292f;
    const float s = std::sin(angle), c = std::cos(angle);
    const TAffineVector turnedRight = Vec3Combine(right, up, c, s);
    up = Vec3Combine(right, up, -s, c);
    right = turnedRight;
  }
  right = Vec3Scaled(right, FWidth / 2);
  up = Vec3Scaled(up, FHeight / 2);
  const TAffineVector corners[4] = {Vec3Add(right, up), Vec3Sub(up, right), Vec3Negated(Vec3Add(right, up)),
                                    Vec3Sub(right, up)};
  static constexpr GLfloat TEXTURE_CORNERS[4][2] = {{1, 1}, {0, 1}, {0, 0}, {1, 0}};
  GL->glBegin(GL_QUADS);
  for (int i = 0; i < 4; ++i) {
    xglTexCoord2fv(TEXTURE_CORNERS[i]);
    GL->glVertex3fv(&corners[i].x);
  }
  GL->glEnd();
  if (FNoZWrite) GL->glDepthMask(GL_TRUE);
}

void TSprite::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TSprite*>(source)) {
    FWidth = other->FWidth;
    FHeight = other->FHeight;
    FRotation = other->FRotation;
    FAlphaChannel = other->FAlphaChannel;
    FNoZWrite = other->FNoZWrite;
  }
  TGLSceneObject::Assign(source);
}
