#include "scene/objects/GLSolids.h"

#include "base/Polynomials.h"
#include "scene/gl/XOpenGL.h"

#include <array>
#include <cmath>
#include <numbers>

// ---------------------------------------------------------------------------
// TTorus

void TTorus::SetRings(unsigned value) { StoreAndRebuild(*this, FRings, std::max(value, 2u)); }

void TTorus::SetSides(unsigned value) { StoreAndRebuild(*this, FSides, std::max(value, 2u)); }

TVector TTorus::HalfExtents() const {
  // The tube reaches the minor radius beyond the centre circle, in the XY plane
  // and along Z alike.
  const float outer = std::fabs(FMajorRadius) + std::fabs(FMinorRadius);
  TVector half{outer, outer, std::fabs(FMinorRadius), 0};
  Vec4MultiplyComponentsInPlace(half, Scale().AsVector());
  return half;
}

bool TTorus::IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint,
                          TVector* intersectNormal) const {
  const TVector o = WorldPointToLocal(rayStart);
  TVector d = Vec4Transform({rayVector.x, rayVector.y, rayVector.z, 0}, InverseWorldMatrix());
  Vec4NormalizeXYZInPlace(d);
  const double major2 = double(FMajorRadius) * FMajorRadius, minor2 = double(FMinorRadius) * FMinorRadius;
  const double a = double(d.x) * o.x + double(d.y) * o.y + double(d.z) * o.z;
  const double b = double(o.x) * o.x + double(o.y) * o.y + double(o.z) * o.z - (major2 + minor2);
  // |o + t d|^2 - (R^2 + r^2) squared equals 4 R^2 (r^2 - z^2) on the surface.
  const TDoubleArray roots = QuarticRoots({b * b - 4 * major2 * (minor2 - double(o.z) * o.z),
                                           4 * a * b + 8 * major2 * d.z * o.z,
                                           4 * a * a + 2 * b + 4 * major2 * d.z * d.z, 4 * a, 1});
  // Roots behind the start are no hit.
  double t;
  if (!SmallestNonNegativeRoot(roots, t)) return false;
  const TVector point{float(o.x + t * d.x), float(o.y + t * d.y), float(o.z + t * d.z), 1};
  if (intersectPoint) *intersectPoint = LocalPointToWorld(point);
  if (intersectNormal) {
    // The nearest point of the centre circle; the small constant keeps a point
    // on the axis from dividing by zero.
    constexpr float EPSILON = 1e-6f;
    const float scale = FMajorRadius / (Hypot2D(point.x, point.y) + EPSILON);
    const TVector normal{point.x - point.x * scale, point.y - point.y * scale, point.z, 0};
    *intersectNormal = Vec4Transform(normal, WorldMatrix());
  }
  return true;
}

void TTorus::EmitGeometry(TRenderContextInfo&) {
  const float ringStep = 2 * std::numbers::pi_v<float> / float(FRings);
  const float sideStep = 2 * std::numbers::pi_v<float> / float(FSides);
  const float rings = float(FRings), sides = float(FSides);
  float theta = 0;
  for (int i = int(FRings) - 1; i >= 0; --i) {
    const float theta1 = theta + ringStep;
    GL->glBegin(GL_QUAD_STRIP);
    float phi = 0;
    for (int j = int(FSides); j >= 0; --j) {
      phi += sideStep;
      const float cosPhi = std::cos(phi), sinPhi = std::sin(phi);
      const float dist = FMinorRadius * cosPhi + FMajorRadius;
      for (const auto& [angle, s] : {std::pair{theta1, float(i + 1) / rings}, std::pair{theta, float(i) / rings}}) {
        const float c = std::cos(angle), sn = std::sin(angle);
        xglTexCoord2f(s, float(j) / sides);
        GL->glNormal3f(c * cosPhi, -sn * cosPhi, sinPhi);
        GL->glVertex3f(c * dist, -sn * dist, FMinorRadius * sinPhi);
      }
    }
    GL->glEnd();
    theta = theta1;
  }
}

// ---------------------------------------------------------------------------
// TTeapot

namespace {

// The teapot Martin Newell modelled at the University of Utah in 1975, a data
// set in the public domain: 10 bicubic patches (rim, body, lid, bottom, handle
// and spout) over 127 control points, as the data is commonly published. The
// first six patches are a quarter of the pot and are drawn four times, mirrored
// in X and in Y; the handle and spout patches are a half, drawn twice.
constexpr int TEAPOT_PATCHES[10][16] = {
    // rim
    {102, 103, 104, 105, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
    // body
    {12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27},
    {24, 25, 26, 27, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40},
    // lid
    {96, 96, 96, 96, 97, 98, 99, 100, 101, 101, 101, 101, 0, 1, 2, 3},
    {0, 1, 2, 3, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 117},
    // bottom
    {118, 118, 118, 118, 124, 122, 119, 121, 123, 126, 125, 120, 40, 39, 38, 37},
    // handle
    {41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56},
    {53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64, 28, 65, 66, 67},
    // spout
    {68, 69, 70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 80, 81, 82, 83},
    {80, 81, 82, 83, 84, 85, 86, 87, 88, 89, 90, 91, 92, 93, 94, 95}};

constexpr float TEAPOT_POINTS[127][3] = {
    {0.2f, 0, 2.7f}, {0.2f, -0.112f, 2.7f}, {0.112f, -0.2f, 2.7f}, {0, -0.2f, 2.7f},
    {1.3375f, 0, 2.53125f}, {1.3375f, -0.749f, 2.53125f}, {0.749f, -1.3375f, 2.53125f}, {0, -1.3375f, 2.53125f},
    {1.4375f, 0, 2.53125f}, {1.4375f, -0.805f, 2.53125f}, {0.805f, -1.4375f, 2.53125f}, {0, -1.4375f, 2.53125f},
    {1.5f, 0, 2.4f}, {1.5f, -0.84f, 2.4f}, {0.84f, -1.5f, 2.4f}, {0, -1.5f, 2.4f},
    {1.75f, 0, 1.875f}, {1.75f, -0.98f, 1.875f}, {0.98f, -1.75f, 1.875f}, {0, -1.75f, 1.875f},
    {2, 0, 1.35f}, {2, -1.12f, 1.35f}, {1.12f, -2, 1.35f}, {0, -2, 1.35f},
    {2, 0, 0.9f}, {2, -1.12f, 0.9f}, {1.12f, -2, 0.9f}, {0, -2, 0.9f},
    {-2, 0, 0.9f}, {2, 0, 0.45f}, {2, -1.12f, 0.45f}, {1.12f, -2, 0.45f},
    {0, -2, 0.45f}, {1.5f, 0, 0.225f}, {1.5f, -0.84f, 0.225f}, {0.84f, -1.5f, 0.225f},
    {0, -1.5f, 0.225f}, {1.5f, 0, 0.15f}, {1.5f, -0.84f, 0.15f}, {0.84f, -1.5f, 0.15f},
    {0, -1.5f, 0.15f}, {-1.6f, 0, 2.025f}, {-1.6f, -0.3f, 2.025f}, {-1.5f, -0.3f, 2.25f},
    {-1.5f, 0, 2.25f}, {-2.3f, 0, 2.025f}, {-2.3f, -0.3f, 2.025f}, {-2.5f, -0.3f, 2.25f},
    {-2.5f, 0, 2.25f}, {-2.7f, 0, 2.025f}, {-2.7f, -0.3f, 2.025f}, {-3, -0.3f, 2.25f},
    {-3, 0, 2.25f}, {-2.7f, 0, 1.8f}, {-2.7f, -0.3f, 1.8f}, {-3, -0.3f, 1.8f},
    {-3, 0, 1.8f}, {-2.7f, 0, 1.575f}, {-2.7f, -0.3f, 1.575f}, {-3, -0.3f, 1.35f},
    {-3, 0, 1.35f}, {-2.5f, 0, 1.125f}, {-2.5f, -0.3f, 1.125f}, {-2.65f, -0.3f, 0.9375f},
    {-2.65f, 0, 0.9375f}, {-2, -0.3f, 0.9f}, {-1.9f, -0.3f, 0.6f}, {-1.9f, 0, 0.6f},
    {1.7f, 0, 1.425f}, {1.7f, -0.66f, 1.425f}, {1.7f, -0.66f, 0.6f}, {1.7f, 0, 0.6f},
    {2.6f, 0, 1.425f}, {2.6f, -0.66f, 1.425f}, {3.1f, -0.66f, 0.825f}, {3.1f, 0, 0.825f},
    {2.3f, 0, 2.1f}, {2.3f, -0.25f, 2.1f}, {2.4f, -0.25f, 2.025f}, {2.4f, 0, 2.025f},
    {2.7f, 0, 2.4f}, {2.7f, -0.25f, 2.4f}, {3.3f, -0.25f, 2.4f}, {3.3f, 0, 2.4f},
    {2.8f, 0, 2.475f}, {2.8f, -0.25f, 2.475f}, {3.525f, -0.25f, 2.49375f}, {3.525f, 0, 2.49375f},
    {2.9f, 0, 2.475f}, {2.9f, -0.15f, 2.475f}, {3.45f, -0.15f, 2.5125f}, {3.45f, 0, 2.5125f},
    {2.8f, 0, 2.4f}, {2.8f, -0.15f, 2.4f}, {3.2f, -0.15f, 2.4f}, {3.2f, 0, 2.4f},
    {0, 0, 3.15f}, {0.8f, 0, 3.15f}, {0.8f, -0.45f, 3.15f}, {0.45f, -0.8f, 3.15f},
    {0, -0.8f, 3.15f}, {0, 0, 2.85f}, {1.4f, 0, 2.4f}, {1.4f, -0.784f, 2.4f},
    {0.784f, -1.4f, 2.4f}, {0, -1.4f, 2.4f}, {0.4f, 0, 2.55f}, {0.4f, -0.224f, 2.55f},
    {0.224f, -0.4f, 2.55f}, {0, -0.4f, 2.55f}, {1.3f, 0, 2.55f}, {1.3f, -0.728f, 2.55f},
    {0.728f, -1.3f, 2.55f}, {0, -1.3f, 2.55f}, {1.3f, 0, 2.4f}, {1.3f, -0.728f, 2.4f},
    {0.728f, -1.3f, 2.4f}, {0, -1.3f, 2.4f}, {0, 0, 0}, {1.425f, -0.798f, 0},
    {1.5f, 0, 0.075f}, {1.425f, 0, 0}, {0.798f, -1.425f, 0}, {0, -1.5f, 0.075f},
    {0, -1.425f, 0}, {1.5f, -0.84f, 0.075f}, {0.84f, -1.5f, 0.075f}};

// The texture coordinates of a patch's four corners.
constexpr float TEAPOT_TEXTURE_CORNERS[2][2][2] = {{{0, 0}, {1, 0}}, {{0, 1}, {1, 1}}};

using TPatch = std::array<std::array<std::array<float, 3>, 4>, 4>;

// Patch `index`'s control points; `reversed` takes each row backwards, and each
// coordinate is multiplied by its sign.
TPatch TeapotPatch(int index, bool reversed, float signX, float signY) {
  TPatch patch;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      const float* p = TEAPOT_POINTS[TEAPOT_PATCHES[index][i * 4 + (reversed ? 3 - j : j)]];
      patch[i][j] = {p[0] * signX, p[1] * signY, p[2]};
    }
  return patch;
}

}  // namespace

void TTeapot::EmitGeometry(TRenderContextInfo&) {
  const int n = std::max(FGridResolution, 2);
  GL->glPushMatrix();
  GL->glTranslatef(0, -0.25f, 0);
  GL->glRotatef(-90, 1, 0, 0);
  GL->glScalef(0.15f, 0.15f, 0.15f);
  GL->glPushAttrib(GL_EVAL_BIT | GL_ENABLE_BIT | GL_POLYGON_BIT);
  // The patches wind clockwise seen from outside.
  FlipFrontFace();
  GL->glEnable(GL_AUTO_NORMAL);
  GL->glEnable(GL_MAP2_VERTEX_3);
  GL->glEnable(GL_MAP2_TEXTURE_COORD_2);
  for (int patch = 0; patch < 10; ++patch) {
    GL->glMapGrid2f(n, 0, 1, n, 0, 1);
    GL->glMap2f(GL_MAP2_TEXTURE_COORD_2, 0, 1, 2, 2, 0, 1, 4, 2, &TEAPOT_TEXTURE_CORNERS[0][0][0]);
    const int copies = patch < 6 ? 4 : 2;
    // The patch, mirrored in Y, then mirrored in X, then in both.
    static constexpr struct {
      bool Reversed;
      float SignX, SignY;
    } MIRRORS[4] = {{false, 1, 1}, {true, 1, -1}, {true, -1, 1}, {false, -1, -1}};
    for (int m = 0; m < copies; ++m) {
      const TPatch points = TeapotPatch(patch, MIRRORS[m].Reversed, MIRRORS[m].SignX, MIRRORS[m].SignY);
      GL->glMap2f(GL_MAP2_VERTEX_3, 0, 1, 3, 4, 0, 1, 12, 4, &points[0][0][0]);
      GL->glEvalMesh2(GL_FILL, 0, n, 0, n);
    }
  }
  // Back before the attributes restore GL's winding, so that the cache agrees.
  FlipFrontFace();
  GL->glPopAttrib();
  GL->glPopMatrix();
}

// ---------------------------------------------------------------------------
// TDodecahedron

namespace {

// A regular dodecahedron: the cube's corners and three golden rectangles
// (0.618034 and 1.618034 are 1/phi and phi).
constexpr float DODECAHEDRON_VERTICES[20][3] = {
    {1, 1, 1}, {1, 1, -1}, {1, -1, 1}, {1, -1, -1}, {-1, 1, 1}, {-1, 1, -1}, {-1, -1, 1}, {-1, -1, -1},
    {0, 0.618034f, 1.618034f}, {0, 0.618034f, -1.618034f}, {0, -0.618034f, 1.618034f}, {0, -0.618034f, -1.618034f},
    {0.618034f, 1.618034f, 0}, {0.618034f, -1.618034f, 0}, {-0.618034f, 1.618034f, 0}, {-0.618034f, -1.618034f, 0},
    {1.618034f, 0, 0.618034f}, {1.618034f, 0, -0.618034f}, {-1.618034f, 0, 0.618034f}, {-1.618034f, 0, -0.618034f}};

// Counter-clockwise seen from outside.
constexpr int DODECAHEDRON_FACES[12][5] = {
    {4, 8, 0, 12, 14},  {1, 12, 0, 16, 17}, {2, 16, 0, 8, 10},  {14, 12, 1, 9, 5},
    {17, 16, 2, 13, 3}, {11, 9, 1, 17, 3},  {15, 13, 2, 10, 6}, {19, 18, 4, 14, 5},
    {10, 8, 4, 18, 6},  {7, 11, 3, 13, 15}, {7, 15, 6, 18, 19}, {7, 19, 5, 9, 11}};

TAffineVector DodecahedronVertex(int index) {
  const float* v = DODECAHEDRON_VERTICES[index];
  return {v[0], v[1], v[2]};
}

}  // namespace

void DrawDodecahedron() {
  GL->glPushMatrix();
  GL->glScalef(0.3f, 0.3f, 0.3f);
  for (const auto& face : DODECAHEDRON_FACES) {
    const TAffineVector v0 = DodecahedronVertex(face[0]), v1 = DodecahedronVertex(face[1]),
                        v2 = DodecahedronVertex(face[2]);
    const TAffineVector normal = Vec3Normalized(Vec3Cross(Vec3Sub(v2, v1), Vec3Sub(v0, v1)));
    GL->glBegin(GL_TRIANGLE_FAN);
    GL->glNormal3fv(&normal.x);
    for (int index : face) GL->glVertex3fv(DODECAHEDRON_VERTICES[index]);
    GL->glEnd();
  }
  GL->glPopMatrix();
}

void TDodecahedron::EmitGeometry(TRenderContextInfo&) { DrawDodecahedron(); }
