#pragma once
// Vectors, 4x4 matrices, quaternions, scalar helpers and the ray and view tests of
// the 3D layers.
//
// Conventions every caller relies on:
// - Row vectors: v' = v x M, so v'[j] = sum over i of v[i] * M[i][j]. Rows 0-2 are the
//   images of the X, Y and Z axes, row 3 holds the translation; A x B applies A first.
// - A point has w = 1, a direction w = 0; the 4-component dot products include w.
// - Angles are radians unless a routine's name says degrees.
// - Routines whose name ends in "Extended" work in the 80-bit long double.
// - Routines returning a value never alias their operands; "InPlace" routines change
//   their first argument.
// - Normalising a zero vector gives non-finite components: callers test first.

#include <cstdint>

// ---------------------------------------------------------------------------
// Types

struct TAffineVector {
  float x, y, z;
  // Component 0-2; another index raises ERangeError.
  float& operator[](int index);
  const float& operator[](int index) const;
};

struct TVector {
  float x, y, z, w;
  // Component 0-3; another index raises ERangeError.
  float& operator[](int index);
  const float& operator[](int index) const;
};

// Four rows, row 0 first; M[i][j] is row i, component j.
struct TMatrix4 {
  TVector Rows[4];
  TVector& operator[](int row);
  const TVector& operator[](int row) const;
};

struct TAffineDblVector {
  double x, y, z;
};

struct TDblMatrix4 {
  double Rows[4][4];
};

// Imaginary part, then the real part; the identity is (0, 0, 0, 1).
struct TQuaternion {
  TAffineVector ImagPart;
  float RealPart;
};

// Result of MatrixToTransformParts, sixteen singles in this order.
struct TMatrixParts {
  float ScaleX, ScaleY, ScaleZ;
  float ShearXY, ShearXZ, ShearYZ;
  float RotateX, RotateY, RotateZ;  // radians
  float TranslateX, TranslateY, TranslateZ;
  float PerspectiveX, PerspectiveY, PerspectiveZ, PerspectiveW;
};

// What the culling tests know of the view; filled by the scene's render context.
struct TViewClippingInfo {
  TVector Origin;        // the eye
  TVector Direction;     // unit viewing direction
  float ViewportRadius;  // half-width of the view per unit of depth
  float FarDistance;     // depth of the far clipping plane
};

// 0-5: the order in which the X, Y and Z rotations are multiplied, see QuatFromEuler.
using TEulerOrder = std::uint8_t;

static_assert(sizeof(TAffineVector) == 12 && sizeof(TVector) == 16 && sizeof(TMatrix4) == 64);
static_assert(sizeof(TQuaternion) == 16 && sizeof(TMatrixParts) == 64);

// ---------------------------------------------------------------------------
// Constants and the processor flag

// Below this in absolute value a determinant or a squared scale counts as zero.
inline constexpr float SingularThreshold = 1e-40f;
// Tolerance of the quaternion, slerp and intersection tests.
inline constexpr float CloseThreshold = 1e-30f;

inline constexpr TMatrix4 IdentityHmgMatrix{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
inline constexpr TMatrix4 EmptyHmgMatrix{{{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}};
inline constexpr TVector WHmgPoint{0, 0, 0, 1};
inline constexpr TAffineVector XVector{1, 0, 0};
inline constexpr TAffineVector YVector{0, 1, 0};
inline constexpr TAffineVector ZVector{0, 0, 1};
inline constexpr TQuaternion IdentityQuaternion{{0, 0, 0}, 1};

// True when the packed (SSE) path is in use: set once at start from the
// processor test. Tests may switch it to compare the two paths.
extern bool FastVectorPath;
// True when the processor has AVX2 as well: the packed path then computes the
// cofactors (determinant, adjoint, inverse) four doubles at a time, with the same
// results. Set once at start; tests may switch it.
extern bool WideVectorPath;

// ---------------------------------------------------------------------------
// Construction and copy

constexpr TAffineVector Vec3Make(float x, float y, float z) { return {x, y, z}; }
constexpr TAffineVector Vec3SetXYZ(float x, float y, float z) { return {x, y, z}; }
constexpr TAffineVector Vec3Set(float x, float y, float z) { return {x, y, z}; }
constexpr TAffineVector Vec3Assign(const TAffineVector& v) { return v; }
constexpr TAffineDblVector Vec3SingleToDouble(const TAffineVector& v) { return {v.x, v.y, v.z}; }
constexpr TVector Vec4Make(float x, float y, float z, float w) { return {x, y, z, w}; }
constexpr TVector Vec4Set(float x, float y, float z, float w) { return {x, y, z, w}; }
constexpr TVector Vec4FromVec3(const TAffineVector& v, float w) { return {v.x, v.y, v.z, w}; }
constexpr TVector Vec4Copy(const TVector& v) { return v; }
constexpr TVector PointMake(float x, float y, float z) { return {x, y, z, 1}; }
constexpr TVector Vec4PointFromVec3(const TAffineVector& v) { return {v.x, v.y, v.z, 1}; }
constexpr TVector Vec4DirectionFromVec3(const TAffineVector& v) { return {v.x, v.y, v.z, 0}; }
constexpr TAffineVector Vec3Of(const TVector& v) { return {v.x, v.y, v.z}; }
void Vec4Clear(TVector& v);
TDblMatrix4 MatrixToDouble(const TMatrix4& m);

// ---------------------------------------------------------------------------
// Arithmetic

TAffineVector Vec3Add(const TAffineVector& a, const TAffineVector& b);
TVector Vec4Add(const TVector& a, const TVector& b);
void Vec3AddInPlace(TAffineVector& a, const TAffineVector& b);
void Vec4AddInPlace(TVector& a, const TVector& b);
// out[i] = src[i] + delta for n vectors; src and out may be the same array.
void Vec3ArrayTranslate(const TAffineVector* src, const TAffineVector& delta, TAffineVector* out, int n);
TAffineVector Vec3Sub(const TAffineVector& a, const TAffineVector& b);
TAffineVector Vec3Difference(const TAffineVector& a, const TAffineVector& b);
// (a.xyz - b.xyz, 0)
TVector Vec4SubAsDirection(const TVector& a, const TVector& b);
// (a.xyz - b.xyz, a.w)
TVector Vec4SubKeepW(const TVector& a, const TVector& b);
TVector Vec4Sub(const TVector& a, const TVector& b);
TVector Vec4Difference(const TVector& a, const TVector& b);
void Vec4SubInPlace(TVector& a, const TVector& b);
// a += b * f
void Vec3AddScaledInPlace(TAffineVector& a, const TAffineVector& b, float f);
void Vec4AddScaledInPlace(TVector& a, const TVector& b, float f);
// a * f1 + b * f2
TAffineVector Vec3Combine(const TAffineVector& a, const TAffineVector& b, float f1, float f2);
// a + b * f
TAffineVector Vec3AddScaled(const TAffineVector& a, const TAffineVector& b, float f);
TVector Vec4Combine(const TVector& a, const TVector& b, float f1, float f2);
TVector Vec4CombineTo(const TVector& a, const TVector& b, float f1, float f2);
TAffineVector Vec3Negated(const TAffineVector& v);
TVector Vec4Negated(const TVector& v);
void Vec3NegateInPlace(TAffineVector& v);
void Vec4NegateInPlace(TVector& v);
void Vec3ScaleInPlace(TAffineVector& v, float f);
void Vec4ScaleInPlace(TVector& v, float f);
TAffineVector Vec3Scaled(const TAffineVector& v, float f);
TAffineVector Vec3ScaledTo(const TAffineVector& v, float f);
TVector Vec4Scaled(const TVector& v, float f);
// v[i] *= s[i] for the four components.
void Vec4MultiplyComponentsInPlace(TVector& v, const TVector& s);
TVector Vec4Abs(const TVector& v);
// v - (v . n) n; n is expected to be of unit length.
TAffineVector Vec3RemoveComponentAlong(const TAffineVector& v, const TAffineVector& n);

// ---------------------------------------------------------------------------
// Interpolation: a + (b - a) t; t is not clamped, so values outside 0..1 extrapolate.

TAffineVector Vec3Lerp(const TAffineVector& a, const TAffineVector& b, float t);
TAffineVector Vec3LerpTo(const TAffineVector& a, const TAffineVector& b, float t);
TVector Vec4Lerp(const TVector& a, const TVector& b, float t);
// out[i] = lerp(a[i], b[i], t) for n vectors; out may be a or b.
void Vec3ArrayLerp(const TAffineVector* a, const TAffineVector* b, float t, TAffineVector* out, int n);
void Vec4ArrayLerp(const TVector* a, const TVector* b, float t, TVector* out, int n);

// ---------------------------------------------------------------------------
// Products, lengths, comparisons

float Vec3Dot(const TAffineVector& a, const TAffineVector& b);
float Vec4DotXYZ(const TVector& a, const TVector& b);
float Vec4Dot(const TVector& a, const TVector& b);
TAffineVector Vec3Cross(const TAffineVector& a, const TAffineVector& b);
TAffineVector Vec3CrossTo(const TAffineVector& a, const TAffineVector& b);
TAffineVector Vec3CrossProduct(const TAffineVector& a, const TAffineVector& b);
// Cross product of the xyz parts, w = 0.
TVector Vec4Cross(const TVector& a, const TVector& b);
TVector Vec4CrossOfVec3(const TVector& a, const TVector& b);
float Hypot2D(float x, float y);
float SquaredHypot2D(float x, float y);
float Vec3Length(const TAffineVector& v);
float Vec4Length(const TVector& v);
float Vec3SquaredLength(const TAffineVector& v);
float Vec3Norm(const TAffineVector& v);
// (a . b) / sqrt(|a|^2 |b|^2)
float Vec3AngleCosine(const TAffineVector& a, const TAffineVector& b);
float Vec3Distance(const TAffineVector& a, const TAffineVector& b);
float Vec3SquaredDistance(const TAffineVector& a, const TAffineVector& b);
float Vec3SquaredDistanceTo(const TAffineVector& a, const TAffineVector& b);
float Vec3ManhattanDistance(const TAffineVector& a, const TAffineVector& b);
// Bit-for-bit identity of the components: -0 differs from +0, a NaN equals itself.
bool Vec3Equal(const TAffineVector& a, const TAffineVector& b);
bool Vec4Equal(const TVector& a, const TVector& b);
// x, y and z each compare equal to 0 (so -0 counts as zero).
bool Vec3IsNull(const TAffineVector& v);
bool Vec3IsZero(const TAffineVector& v);
float Vec3MaxComponent(const TAffineVector& v);

// ---------------------------------------------------------------------------
// Normalisation (no test for a zero vector)

void Vec3NormalizeInPlace(TAffineVector& v);
TAffineVector Vec3Normalized(const TAffineVector& v);
void Vec3ArrayNormalize(TAffineVector* v, int n);
// Normalises the xyz part and sets w = 0.
void Vec4NormalizeXYZInPlace(TVector& v);
// (v / |v|, 0)
TVector Vec4NormalizedFromVec3(const TAffineVector& v);
// normalize((p1 - p0) x (p2 - p0))
TAffineVector TriangleNormal(const TAffineVector& p0, const TAffineVector& p1, const TAffineVector& p2);
TAffineVector TriangleNormalOf(const TAffineVector& p0, const TAffineVector& p1, const TAffineVector& p2);
TAffineVector TriangleNormalTo(const TAffineVector& p0, const TAffineVector& p1, const TAffineVector& p2);

// ---------------------------------------------------------------------------
// Matrices

// Diagonal (s, 1), translation row (t, 1).
TMatrix4 MatrixScaleTranslate(const TAffineVector& s, const TAffineVector& t);
// Rotations from a sine and a cosine; for example MatrixRotationZSinCos(1, 0) takes X to Y.
TMatrix4 MatrixRotationXSinCos(float s, float c);
TMatrix4 MatrixRotationYSinCos(float s, float c);
TMatrix4 MatrixRotationZSinCos(float s, float c);
// Rotation by `angle` radians about `axis` (normalised here); the sense is that of
// the rows given by the formula: row 0 = (k x^2 + c, k x y - z s, k z x + y s, 0), ...
TMatrix4 MatrixRotationAxisAngle(const TAffineVector& axis, float angle);
// a x b: a first, then b.
TMatrix4 MatrixMultiply(const TMatrix4& a, const TMatrix4& b);
// a x b stored in `out`, which may be a or b.
void MatrixMultiplyTo(const TMatrix4& a, const TMatrix4& b, TMatrix4& out);
// v x m, four components.
TVector Vec4Transform(const TVector& v, const TMatrix4& m);
// (v, 1) x m, first three components.
TAffineVector Vec3TransformPoint(const TAffineVector& v, const TMatrix4& m);
// v = v x MatrixRotationAxisAngle(axis, angle).
void Vec4RotateAroundAxis(TVector& v, const TAffineVector& axis, float angle);
void Vec4TurnAroundAxis(TVector& v, const TAffineVector& axis, float angle);
// Determinant of the 3x3 matrix with rows (a1 b1 c1), (a2 b2 c2), (a3 b3 c3).
float Det3x3(float a1, float a2, float a3, float b1, float b2, float b3, float c1, float c2, float c3);
float MatrixDeterminant(const TMatrix4& m);
// Replaces m by its classical adjoint (transposed cofactor matrix).
void MatrixAdjoint(TMatrix4& m);
void MatrixScaleInPlace(TMatrix4& m, float f);
void MatrixTransposeInPlace(TMatrix4& m);
// out[j][i] = m[i][j] * f for i, j = 0..2; the other entries of out are untouched.
void MatrixTransposeScale3x3(const TMatrix4& m, float f, TMatrix4& out);
// Rows 0 and 1 normalised (w = 0), row 2 = row 0 x row 1, row 0 = row 1 x row 2,
// row 3 = (0, 0, 0, 1). Row 1's direction is kept; the cross products are not
// normalised again, so the result is orthonormal only when rows 0 and 1 were
// perpendicular.
void MatrixOrthonormalize(TMatrix4& m);
// In place; a matrix whose determinant is below SingularThreshold becomes the identity.
void MatrixInvert(TMatrix4& m);
// Inverse of a rotation times a uniform scale plus a translation; the identity when
// row 0's squared length is below SingularThreshold.
TMatrix4 MatrixInvertScaledRigid(const TMatrix4& m);

// ---------------------------------------------------------------------------
// Scalar helpers

// exponent = 0: 1; base = 0 and exponent > 0: 0; otherwise exp(exponent ln base)
// (a negative base gives NaN, base 0 with a negative exponent +infinity).
float PowerSingle(float base, float exponent);
// base to an integer power by repeated squaring; a negative exponent gives 1/result.
float RaiseToInteger(float base, int exponent);
long double DegToRadExtended(long double degrees);
float DegToRadSingle(float degrees);
long double RadToDegExtended(long double radians);
float RadToDegSingle(float radians);
// Folds an angle in degrees into -180..180, both ends kept: 540 -> 180, -190 -> 170.
float NormalizeDegrees(float angle);
void SinCosExtended(long double angle, long double& sine, long double& cosine);
void SinCosSingle(float angle, float& sine, float& cosine);
// Arc cosine and arc sine; an argument outside -1..1 (rounding past 1) is clamped.
long double ArcCosExtended(long double x);
float ArcCosSingle(float x);
long double ArcSinExtended(long double x);
long double ArcTan2Extended(long double y, long double x);
float ArcTan2Single(float y, float x);
// 1/sqrt(x); the packed path uses the estimate with one refinement step.
float RSqrt(float x);
// Toward zero. Out of the int range the result saturates to INT_MIN or INT_MAX; NaN gives 0.
int TruncToInt(float x);
long double IntExtended(long double x);
// x - trunc(x)
float FracSingle(float x);
// To nearest, ties to even; saturates like TruncToInt.
int RoundToInt(float x);
// The larger value, the first when equal.
long double MaxExtended(long double a, long double b);
float MaxOf3(float a, float b, float c);
// a[i] = b[i] where b[i] > a[i].
void Vec4MaxInPlace(TVector& a, const TVector& b);
// min when value < min; value when value <= max; otherwise max.
float ClampSingle(float value, float min, float max);
// Multiplies n singles in place by f.
void ScaleFloatArray(float* values, int n, float f);

// ---------------------------------------------------------------------------
// Quaternions

float QuatLength(const TQuaternion& q);
// A magnitude up to CloseThreshold gives the identity quaternion.
void QuatNormalize(TQuaternion& q);
// a (x) b
TQuaternion QuatMultiply(const TQuaternion& a, const TQuaternion& b);
// Rotation matrix of q (normalised first), in the row-vector convention.
TMatrix4 QuatToMatrix(const TQuaternion& q);
// Axis of any non-zero length, angle in degrees.
TQuaternion QuatFromAxisAngleDeg(const TAffineVector& axis, float angleDegrees);
// Angles in degrees; orders 0-5 multiply qX qY qZ, qX qZ qY, qY qX qZ, qY qZ qX,
// qZ qX qY, qZ qY qX. An order above 5 is an assertion failure.
TQuaternion QuatFromEuler(TEulerOrder order, float x, float y, float z);
// QuatFromEuler, except that a middle angle of +-90 degrees is replaced by the
// midpoint of the rotations 0.001 degree on either side of the pole.
TQuaternion QuatFromEulerSafe(TEulerOrder order, float x, float y, float z);
// Spherical interpolation the short way round; near-equal quaternions blend linearly.
TQuaternion QuatSlerp(const TQuaternion& a, const TQuaternion& b, float t);
// Interpolates two sets of X, Y, Z rotation angles (radians) through quaternions.
TAffineVector Vec3AngleLerp(const TAffineVector& a, const TAffineVector& b, float t);
// Splits m into scale (true lengths), shear, rotation, translation and perspective.
// False for m[3][3] = 0 or a singular upper part; `parts` is then all zero.
bool MatrixToTransformParts(const TMatrix4& m, TMatrixParts& parts);

// ---------------------------------------------------------------------------
// Intersection and culling tests

// Without `point`: true when the ray is not parallel to the plane. With `point`: true
// when the plane lies ahead of the ray start; `point` receives the hit.
bool IntersectRayPlane(const TVector& rayStart, const TVector& rayVector, const TVector& planePoint,
                       const TVector& planeNormal, TVector* point = nullptr);
// Unbounded ray against a two-sided triangle. `normal` receives (p2 - p1) x (p3 - p1),
// not normalised.
bool IntersectRayTriangle(const TVector& rayStart, const TVector& rayVector, const TAffineVector& p1,
                          const TAffineVector& p2, const TAffineVector& p3, TVector* point = nullptr,
                          TVector* normal = nullptr);
// `rayVector` of unit length. Returns 0, 1 or 2; with 2, point1 is the nearer hit;
// from inside the sphere, point1 is the exit point.
int IntersectRaySphere(const TVector& rayStart, const TVector& rayVector, const TVector& centre, float radius,
                       TVector& point1, TVector& point2);
// True when the sphere is certainly outside the view.
bool IsSphereOutsideViewTest(const TAffineVector& centre, float radius, const TViewClippingInfo& info);
bool SphereOutsideView(const TAffineVector& centre, float radius, const TViewClippingInfo& info);
// The bounding-sphere test of the box.
bool BoxOutsideView(const TAffineVector& min, const TAffineVector& max, const TViewClippingInfo& info);

// ---------------------------------------------------------------------------
// Inline definitions of the routines of inner loops

#include "GeometryPacked.h"

inline TMatrix4 MatrixMultiply(const TMatrix4& a, const TMatrix4& b) {
  // One named result, written in place on either path.
  TMatrix4 out;
  if (FastVectorPath) {
    packed::MultiplyInto(a, b, out);
    return out;
  }
  const TVector* r = b.Rows;
  for (int i = 0; i < 4; ++i) {
    const TVector& x = a.Rows[i];
    out.Rows[i] = {x.x * r[0].x + x.y * r[1].x + x.z * r[2].x + x.w * r[3].x,
                   x.x * r[0].y + x.y * r[1].y + x.z * r[2].y + x.w * r[3].y,
                   x.x * r[0].z + x.y * r[1].z + x.z * r[2].z + x.w * r[3].z,
                   x.x * r[0].w + x.y * r[1].w + x.z * r[2].w + x.w * r[3].w};
  }
  return out;
}

inline TVector Vec4Transform(const TVector& v, const TMatrix4& m) {
  if (FastVectorPath) return packed::Transform(v, m);
  const TVector* r = m.Rows;
  return {v.x * r[0].x + v.y * r[1].x + v.z * r[2].x + v.w * r[3].x,
          v.x * r[0].y + v.y * r[1].y + v.z * r[2].y + v.w * r[3].y,
          v.x * r[0].z + v.y * r[1].z + v.z * r[2].z + v.w * r[3].z,
          v.x * r[0].w + v.y * r[1].w + v.z * r[2].w + v.w * r[3].w};
}

inline TAffineVector Vec3TransformPoint(const TAffineVector& v, const TMatrix4& m) {
  if (FastVectorPath) return packed::TransformPoint(v, m);
  const TVector* r = m.Rows;
  return {v.x * r[0].x + v.y * r[1].x + v.z * r[2].x + r[3].x,
          v.x * r[0].y + v.y * r[1].y + v.z * r[2].y + r[3].y,
          v.x * r[0].z + v.y * r[1].z + v.z * r[2].z + r[3].z};
}
