#include "scene/objects/GLQuadrics.h"

#include "base/Polynomials.h"
#include "scene/gl/XOpenGL.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

// ---------------------------------------------------------------------------
// GLU quadrics
//
// GLU reports a quadric's errors (a radius or a division it refuses) through a
// C callback that gets no data pointer: the callback only records the first
// error of the quadric being drawn on this thread, and never raises. The quadric
// is freed on every way out, and the error, once it is freed, is logged: the
// values come from properties that no setter checks, and a display list that
// failed to build would fail again on every frame.

namespace {

thread_local GLenum* CurrentQuadricError = nullptr;

void QuadricError(GLenum error) noexcept {
  if (CurrentQuadricError && *CurrentQuadricError == 0) *CurrentQuadricError = error;
}

}  // namespace

// A new GLU quadric set up as `object` asks (filled, its normals, texture
// coordinates on), freed when the object goes.
class TGLUQuadric {
public:
  explicit TGLUQuadric(const TQuadricObject& object) : FObject(object), FOuterError(CurrentQuadricError) {
    FQuadric = GL->gluNewQuadric();
    if (!FQuadric) throw EOpenGLError("GLU could not make a quadric");
    CurrentQuadricError = &FError;
    try {
      GL->gluQuadricCallback(FQuadric, GLU_ERROR, reinterpret_cast<_GLUfuncptr>(QuadricError));
      GL->gluQuadricDrawStyle(FQuadric, GLU_FILL);
      static constexpr GLenum NORMALS[] = {GLU_FLAT, GLU_SMOOTH, GLU_NONE};
      GL->gluQuadricNormals(FQuadric, NORMALS[object.Normals()]);
      NormalOrientation();
      GL->gluQuadricTexture(FQuadric, GL_TRUE);
    } catch (...) {
      Release();
      throw;
    }
  }
  ~TGLUQuadric() {
    Release();
    if (FError == 0) return;
    try {
      LogGLProblem(FObject.ClassName() + ": GLU refused to draw a quadric: " + GLErrorText(FError));
    } catch (...) {
      // GLU's text is a nicety; nothing may leave a destructor.
    }
  }
  TGLUQuadric(const TGLUQuadric&) = delete;
  TGLUQuadric& operator=(const TGLUQuadric&) = delete;

  GLUquadric* Get() const { return FQuadric; }
  // Normals the way the object says, or the other way (bottom faces, inner walls).
  void NormalOrientation() { Orient(FObject.NormalDirection() == ndOutside); }
  void InvertedOrientation() { Orient(FObject.NormalDirection() != ndOutside); }

  void Cylinder(double base, double top, double height, int slices, int stacks) {
    GL->gluCylinder(FQuadric, base, top, height, slices, stacks);
  }
  void Disk(double inner, double outer, int slices, int loops) { GL->gluDisk(FQuadric, inner, outer, slices, loops); }

private:
  void Orient(bool outside) { GL->gluQuadricOrientation(FQuadric, outside ? GLU_OUTSIDE : GLU_INSIDE); }
  void Release() noexcept {
    CurrentQuadricError = FOuterError;
    try {
      GL->gluDeleteQuadric(FQuadric);
    } catch (...) {
      // Only a missing entry point raises here, and then no quadric was made.
    }
  }

  const TQuadricObject& FObject;
  GLUquadric* FQuadric = nullptr;
  GLenum FError = 0;
  GLenum* FOuterError;
};

// ---------------------------------------------------------------------------
// TQuadricObject

void TQuadricObject::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TQuadricObject*>(source)) {
    SetNormals(other->FNormals);
    SetNormalDirection(other->FNormalDirection);
  }
  TGLSceneObject::Assign(source);
}

// ---------------------------------------------------------------------------
// TSphere

void TSphere::SetSlices(int value) { StoreAndRebuild(*this, FSlices, value == 0 ? 1 : value); }

void TSphere::SetStacks(int value) { StoreAndRebuild(*this, FStacks, value == 0 ? 1 : value); }

namespace {

void CheckLatitude(int value) {
  if (value < -90 || value > 90) throw ERangeError();
}

void CheckLongitude(int value) {
  if (value < 0 || value > 360) throw ERangeError();
}

}  // namespace

void TSphere::SetTop(TAngleLimit1 value) {
  CheckLatitude(value);
  StoreAndRebuild(*this, FTop, value);
}

void TSphere::SetBottom(TAngleLimit1 value) {
  CheckLatitude(value);
  StoreAndRebuild(*this, FBottom, value);
}

void TSphere::SetStart(TAngleLimit2 value) {
  CheckLongitude(value);
  BRV_ASSERT_MSG(value <= FStop, "TSphere::SetStart(): the start lies beyond the stop");
  StoreAndRebuild(*this, FStart, value);
}

void TSphere::SetStop(TAngleLimit2 value) {
  CheckLongitude(value);
  BRV_ASSERT_MSG(value >= FStart, "TSphere::SetStop(): the stop lies before the start");
  StoreAndRebuild(*this, FStop, value);
}

TVector TSphere::HalfExtents() const {
  return Vec4Scaled(Scale().AsVector(), std::fabs(FRadius));
}

bool TSphere::IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint,
                           TVector* intersectNormal) const {
  TLocalRay ray = LocalRay(*this, rayStart, rayVector);
  Vec4NormalizeXYZInPlace(ray.Vector);
  TVector nearer, farther;
  if (IntersectRaySphere(ray.Start, ray.Vector, WHmgPoint, FRadius, nearer, farther) == 0) return false;
  PutHit(*this, nearer, nearer, intersectPoint, intersectNormal);
  return true;
}

namespace {

TAffineVector SpherePoint(float latitude, float longitude) {
  const float c = std::cos(latitude);
  return {c * std::sin(longitude), std::sin(latitude), c * std::cos(longitude)};
}

void SendNormal(const TAffineVector& n, bool inward) {
  if (inward)
    GL->glNormal3f(-n.x, -n.y, -n.z);
  else
    GL->glNormal3f(n.x, n.y, n.z);
}

}  // namespace

void TSphere::EmitCap(bool top, float latitude, TCapType cap, bool inward) const {
  const float start = DegToRadSingle(float(FStart)), stop = DegToRadSingle(float(FStop));
  const float step = (stop - start) / float(FSlices);
  const TAffineVector pole{0, top ? 1.0f : -1.0f, 0};
  GL->glBegin(GL_TRIANGLE_FAN);
  xglTexCoord2f(0.5f, 0.5f);
  SendNormal(pole, inward);
  GL->glVertex3f(0, cap == ctCenter ? 0 : std::sin(latitude), 0);
  for (int i = 0; i <= FSlices; ++i) {
    // The bottom fan runs the other way round, so that it faces down.
    const float theta = top ? start + float(i) * step : stop - float(i) * step;
    const TAffineVector v = SpherePoint(latitude, theta);
    xglTexCoord2f(std::sin(theta) / 2 + 0.5f, std::cos(theta) / 2 + 0.5f);
    // A centre cap is a cone: its rim normal is the pole's direction without its
    // part along the rim radius.
    SendNormal(cap == ctFlat ? pole : Vec3Sub(pole, Vec3Scaled(v, Vec3Dot(pole, v))), inward);
    GL->glVertex3f(v.x, v.y, v.z);
  }
  GL->glEnd();
}

void TSphere::EmitGeometry(TRenderContextInfo&) {
  const bool inward = NormalDirection() == ndInside;
  GL->glPushAttrib(GL_POLYGON_BIT);
  if (inward) FlipFrontFace();
  const float top = DegToRadSingle(float(FTop)), bottom = DegToRadSingle(float(FBottom));
  const float start = DegToRadSingle(float(FStart)), stop = DegToRadSingle(float(FStop));
  const float thetaStep = (stop - start) / float(FSlices);
  const float phiStep = (top - bottom) / float(FStacks);
  GL->glPushMatrix();
  GL->glScalef(FRadius, FRadius, FRadius);

  if (FTop < 90 && (FTopCap == ctCenter || FTopCap == ctFlat)) EmitCap(true, top, FTopCap, inward);
  for (int j = 0; j < FStacks; ++j) {
    const float phi1 = top - float(j) * phiStep, phi2 = phi1 - phiStep;
    const float t1 = 1 - float(j) / float(FStacks), t2 = 1 - float(j + 1) / float(FStacks);
    GL->glBegin(GL_TRIANGLE_STRIP);
    for (int i = 0; i <= FSlices; ++i) {
      const float theta = start + float(i) * thetaStep;
      const float s = float(i) / float(FSlices);
      for (const auto& [phi, t] : {std::pair{phi1, t1}, std::pair{phi2, t2}}) {
        const TAffineVector p = SpherePoint(phi, theta);
        xglTexCoord2f(s, t);
        SendNormal(p, inward);
        GL->glVertex3f(p.x, p.y, p.z);
      }
    }
    GL->glEnd();
  }
  if (FBottom > -90 && (FBottomCap == ctCenter || FBottomCap == ctFlat)) EmitCap(false, bottom, FBottomCap, inward);

  if (inward) FlipFrontFace();
  GL->glPopMatrix();
  GL->glPopAttrib();
}

void TSphere::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TSphere*>(source)) {
    SetRadius(other->FRadius);
    SetSlices(other->FSlices);
    SetStacks(other->FStacks);
    // Straight into the fields: the limits of the source hold together, but
    // one at a time they may cross this sphere's.
    StoreAndRebuild(*this, FBottom, other->FBottom);
    StoreAndRebuild(*this, FTop, other->FTop);
    StoreAndRebuild(*this, FStart, other->FStart);
    StoreAndRebuild(*this, FStop, other->FStop);
  }
  TQuadricObject::Assign(source);
}

// ---------------------------------------------------------------------------
// TDisk

TVector TDisk::HalfExtents() const {
  const TVector scale = Scale().AsVector();
  const float r = std::fabs(FOuterRadius);
  return {r * scale.x, r * scale.y, 0, 0};
}

bool TDisk::IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint,
                         TVector* intersectNormal) const {
  const TVector axis = WorldDirection();
  TVector point;
  if (!IntersectRayPlane(rayStart, rayVector, WorldPosition(), axis, &point)) return false;
  const TVector local = WorldPointToLocal(point);
  const float squared = Vec3SquaredLength(Vec3Of(local));
  if (squared < FInnerRadius * FInnerRadius || squared > FOuterRadius * FOuterRadius) return false;
  if (intersectPoint) *intersectPoint = point;
  if (intersectNormal) *intersectNormal = axis;
  return true;
}

void TDisk::EmitGeometry(TRenderContextInfo&) {
  TGLUQuadric quadric(*this);
  GL->gluPartialDisk(quadric.Get(), FInnerRadius, FOuterRadius, FSlices, FLoops, FStartAngle, FSweepAngle);
}

void TDisk::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TDisk*>(source)) {
    SetStartAngle(other->FStartAngle);
    SetSweepAngle(other->FSweepAngle);
    SetOuterRadius(other->FOuterRadius);
    SetInnerRadius(other->FInnerRadius);
    SetSlices(other->FSlices);
    SetLoops(other->FLoops);
  }
  TQuadricObject::Assign(source);
}

// ---------------------------------------------------------------------------
// TCylinderBase and the upright quadrics

void TCylinderBase::SetLoops(int value) {
  if (value >= 1) StoreAndRebuild(*this, FLoops, value);
}

void TCylinderBase::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TCylinderBase*>(source)) {
    SetBottomRadius(other->FBottomRadius);
    SetSlices(other->FSlices);
    SetStacks(other->FStacks);
    SetLoops(other->FLoops);
    SetHeight(other->FHeight);
  }
  TQuadricObject::Assign(source);
}

TVector TCone::HalfExtents() const {
  const float r = std::fabs(BottomRadius());
  return ScaledHalfExtents(*this, {r, Height() / 2, r, 0});
}

void TCone::EmitGeometry(TRenderContextInfo&) {
  GL->glPushMatrix();
  {
    TGLUQuadric quadric(*this);
    // GLU's axis (+Z) onto +Y.
    GL->glRotated(-90, 1, 0, 0);
    GL->glTranslatef(0, 0, -Height() / 2);
    if (FParts & coSides) quadric.Cylinder(BottomRadius(), 0, Height(), Slices(), Stacks());
    if (FParts & coBottom) {
      quadric.InvertedOrientation();
      quadric.Disk(0, BottomRadius(), Slices(), Loops());
    }
  }
  GL->glPopMatrix();
}

void TCone::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TCone*>(source)) SetParts(other->FParts);
  TCylinderBase::Assign(source);
}

TVector TCylinder::HalfExtents() const {
  const float r = std::max(std::fabs(BottomRadius()), std::fabs(FTopRadius));
  return ScaledHalfExtents(*this, {r, Height() / 2, r, 0});
}

void TCylinder::EmitGeometry(TRenderContextInfo&) {
  GL->glPushMatrix();
  {
    TGLUQuadric quadric(*this);
    GL->glRotatef(-90, 1, 0, 0);
    if (FAlignment == caCenter)
      GL->glTranslatef(0, 0, -Height() / 2);
    else if (FAlignment == caTop)
      GL->glTranslatef(0, 0, -Height());
    if (FParts & cySides) quadric.Cylinder(BottomRadius(), FTopRadius, Height(), Slices(), Stacks());
    if (FParts & cyTop) {
      GL->glPushMatrix();
      GL->glTranslatef(0, 0, Height());
      quadric.Disk(0, FTopRadius, Slices(), Loops());
      GL->glPopMatrix();
    }
    if (FParts & cyBottom) {
      quadric.InvertedOrientation();
      quadric.Disk(0, BottomRadius(), Slices(), Loops());
    }
  }
  GL->glPopMatrix();
}

bool TCylinder::IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint,
                             TVector* intersectNormal) const {
  const TLocalRay ray = LocalRay(*this, rayStart, rayVector);
  const TVector& s = ray.Start;
  const TVector& d = ray.Vector;
  const float h = Height();
  const float top = FAlignment == caCenter ? h / 2 : FAlignment == caTop ? 0 : h;
  const float bottom = top - h;
  const float radius2 = FTopRadius * FTopRadius;
  auto withinRadius = [&](double t) {
    const double x = s.x + t * d.x, z = s.z + t * d.z;
    return x * x + z * z <= radius2;
  };

  // The nearest hit ahead of the start wins, whichever test finds it.
  double nearest = std::numeric_limits<double>::infinity();
  TVector point{}, normal{};
  auto take = [&](double t, const TVector& hitNormal) {
    if (t >= nearest) return;
    nearest = t;
    point = {float(s.x + t * d.x), float(s.y + t * d.y), float(s.z + t * d.z), 1};
    normal = hitNormal;
  };

  // The part of the ray between the cap planes, as a range of t.
  double low = -std::numeric_limits<double>::infinity(), high = -low;
  if (d.y == 0) {
    if (s.y > top || s.y < bottom) return false;
  } else {
    const double tTop = (top - s.y) / double(d.y), tBottom = (bottom - s.y) / double(d.y);
    if (tTop > 0 && (FParts & cyTop) && withinRadius(tTop)) take(tTop, {0, 1, 0, 0});
    if (tBottom > 0 && (FParts & cyBottom) && withinRadius(tBottom)) take(tBottom, {0, -1, 0, 0});
    low = std::min(tTop, tBottom);
    high = std::max(tTop, tBottom);
  }
  // A ray along the axis never meets the side: no quadratic to solve.
  const double a = double(d.x) * d.x + double(d.z) * d.z;
  if ((FParts & cySides) && a > 0) {
    TDoubleArray roots = QuadraticRoots(
        {double(s.x) * s.x + double(s.z) * s.z - radius2, 2 * (double(s.x) * d.x + double(s.z) * d.z), a});
    std::sort(roots.begin(), roots.end());
    for (double t : roots) {
      if (t < 0 || t < low || t >= high) continue;
      take(t, {float(s.x + t * d.x), 0, float(s.z + t * d.z), 0});
      break;
    }
  }
  if (nearest == std::numeric_limits<double>::infinity()) return false;
  PutHit(*this, point, normal, intersectPoint, intersectNormal);
  return true;
}

void TCylinder::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TCylinder*>(source)) {
    SetParts(other->FParts);
    SetTopRadius(other->FTopRadius);
  }
  TCylinderBase::Assign(source);
}

TVector TAnnulus::HalfExtents() const {
  const float r = std::max(std::fabs(BottomRadius()), std::fabs(FTopRadius));
  return ScaledHalfExtents(*this, {r, Height() / 2, r, 0});
}

void TAnnulus::EmitGeometry(TRenderContextInfo&) {
  GL->glPushMatrix();
  {
    TGLUQuadric quadric(*this);
    GL->glRotatef(-90, 1, 0, 0);
    GL->glTranslatef(0, 0, -Height() / 2);
    if (FParts & anOuterSides) quadric.Cylinder(BottomRadius(), FTopRadius, Height(), Slices(), Stacks());
    if (FParts & anTop) {
      GL->glPushMatrix();
      GL->glTranslatef(0, 0, Height());
      quadric.Disk(FTopInnerRadius, FTopRadius, Slices(), Loops());
      GL->glPopMatrix();
    }
    if (FParts & (anBottom | anInnerSides)) {
      quadric.InvertedOrientation();
      if (FParts & anBottom) quadric.Disk(FBottomInnerRadius, BottomRadius(), Slices(), Loops());
      if (FParts & anInnerSides) quadric.Cylinder(FBottomInnerRadius, FTopInnerRadius, Height(), Slices(), Stacks());
    }
  }
  GL->glPopMatrix();
}

void TAnnulus::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TAnnulus*>(source)) {
    SetParts(other->FParts);
    SetBottomInnerRadius(other->FBottomInnerRadius);
    SetTopInnerRadius(other->FTopInnerRadius);
    SetTopRadius(other->FTopRadius);
  }
  TCylinderBase::Assign(source);
}

// ---------------------------------------------------------------------------
// TArrowLine

TArrowLine::TArrowLine(TComponent* owner) : TCylinderBase(owner) { SetBottomRadius(0.1f); }

void TArrowLine::EmitGeometry(TRenderContextInfo&) {
  static constexpr float STACKING[] = {0, 0.5f, 1};
  const float f = STACKING[FHeadStackingStyle];
  const float h = Height();
  float length = h, z0 = -h / 2;
  const bool withLine = FParts & alLine;
  const bool topHead = FParts & alTopArrow, bottomHead = FParts & alBottomArrow;

  TGLUQuadric quadric(*this);
  if (topHead) {
    length -= FTopArrowHeadHeight * f;
    GL->glPushMatrix();
    GL->glTranslatef(0, 0, h / 2 - FTopArrowHeadHeight * f);
    quadric.Cylinder(FTopArrowHeadRadius, 0, FTopArrowHeadHeight, Slices(), Stacks());
    quadric.InvertedOrientation();
    quadric.Disk(withLine ? FTopRadius : 0, FTopArrowHeadRadius, Slices(), Loops());
    GL->glPopMatrix();
  }
  if (bottomHead) {
    length -= FBottomArrowHeadHeight * f;
    z0 += FBottomArrowHeadHeight * f;
    GL->glPushMatrix();
    GL->glRotatef(180, 1, 0, 0);
    GL->glTranslatef(0, 0, h / 2 - FBottomArrowHeadHeight * f);
    quadric.NormalOrientation();
    quadric.Cylinder(FBottomArrowHeadRadius, 0, FBottomArrowHeadHeight, Slices(), Stacks());
    quadric.InvertedOrientation();
    quadric.Disk(withLine ? BottomRadius() : 0, FBottomArrowHeadRadius, Slices(), Loops());
    GL->glPopMatrix();
  }
  if (length > 0 && withLine) {
    GL->glPushMatrix();
    GL->glTranslatef(0, 0, z0);
    quadric.NormalOrientation();
    quadric.Cylinder(BottomRadius(), FTopRadius, length, Slices(), Stacks());
    if (!topHead) {
      GL->glPushMatrix();
      GL->glTranslatef(0, 0, length);
      quadric.Disk(0, FTopRadius, Slices(), Loops());
      GL->glPopMatrix();
    }
    if (!bottomHead) {
      quadric.InvertedOrientation();
      quadric.Disk(0, BottomRadius(), Slices(), Loops());
    }
    GL->glPopMatrix();
  }
}

void TArrowLine::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TArrowLine*>(source)) {
    SetParts(other->FParts);
    SetTopRadius(other->FTopRadius);
    SetTopArrowHeadHeight(other->FTopArrowHeadHeight);
    SetTopArrowHeadRadius(other->FTopArrowHeadRadius);
    SetBottomArrowHeadHeight(other->FBottomArrowHeadHeight);
    SetBottomArrowHeadRadius(other->FBottomArrowHeadRadius);
    SetHeadStackingStyle(other->FHeadStackingStyle);
  }
  TCylinderBase::Assign(source);
}
