#include "base/Geometry.h"

#include <array>
#include <bit>
#include <cpuid.h>
#include <climits>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "base/Exceptions.h"

// ---------------------------------------------------------------------------
// Processor test and component access

bool FastVectorPath = false;
bool WideVectorPath = false;

namespace {

// True when the processor reports SSE (CPUID function 1, EDX bit 25).
inline bool ProcessorHasPackedSingle() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  return (edx & bit_SSE) != 0;
}

// True when the processor and the system support AVX2 (the operating system saves
// the upper halves of the registers: OSXSAVE and XCR0 bits 1-2).
inline bool ProcessorHasWideVectors() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  if (!(ecx & bit_OSXSAVE) || !(ecx & bit_AVX)) return false;
  unsigned xcr0Low = 0, xcr0High = 0;
  __asm__("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
  if ((xcr0Low & 0x6) != 0x6) return false;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
  return (ebx & bit_AVX2) != 0;
}

// The packed path needs SSE, its wide forms AVX2; the flags are set once, before main runs.
const bool kProcessorTested =
    (FastVectorPath = ProcessorHasPackedSingle(), WideVectorPath = ProcessorHasWideVectors(), true);

using TRows = std::array<std::array<float, 4>, 4>;

TRows RowsOf(const TMatrix4& m) { return std::bit_cast<TRows>(m); }
TMatrix4 MatrixOf(const TRows& r) { return std::bit_cast<TMatrix4>(r); }

constexpr float TAffineVector::* kAffineComponents[3] = {&TAffineVector::x, &TAffineVector::y, &TAffineVector::z};
constexpr float TVector::* kVectorComponents[4] = {&TVector::x, &TVector::y, &TVector::z, &TVector::w};

void CheckCount(int n) {
  if (n < 0) throw ERangeError();
}

// Component `index` of v through the table of its members; ERangeError outside it.
template <class V, int N>
auto& ComponentOf(V& v, float std::remove_const_t<V>::* const (&members)[N], int index) {
  if (index < 0 || index >= N) throw ERangeError();
  return v.*members[index];
}

}  // namespace

float& TAffineVector::operator[](int index) { return ComponentOf(*this, kAffineComponents, index); }
const float& TAffineVector::operator[](int index) const { return ComponentOf(*this, kAffineComponents, index); }
float& TVector::operator[](int index) { return ComponentOf(*this, kVectorComponents, index); }
const float& TVector::operator[](int index) const { return ComponentOf(*this, kVectorComponents, index); }
TVector& TMatrix4::operator[](int row) {
  if (row < 0 || row > 3) throw ERangeError();
  return Rows[row];
}
const TVector& TMatrix4::operator[](int row) const {
  if (row < 0 || row > 3) throw ERangeError();
  return Rows[row];
}

// ---------------------------------------------------------------------------
// Construction and copy

void Vec4Clear(TVector& v) { v = {0, 0, 0, 0}; }

TDblMatrix4 MatrixToDouble(const TMatrix4& m) {
  TRows r = RowsOf(m);
  TDblMatrix4 out;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) out.Rows[i][j] = r[i][j];
  return out;
}

// ---------------------------------------------------------------------------
// Arithmetic

TAffineVector Vec3Add(const TAffineVector& a, const TAffineVector& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

TVector Vec4Add(const TVector& a, const TVector& b) {
  if (FastVectorPath) return packed::Add(a, b);
  return {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w};
}

void Vec3AddInPlace(TAffineVector& a, const TAffineVector& b) { a = Vec3Add(a, b); }
void Vec4AddInPlace(TVector& a, const TVector& b) { a = Vec4Add(a, b); }

void Vec3ArrayTranslate(const TAffineVector* src, const TAffineVector& delta, TAffineVector* out, int n) {
  CheckCount(n);
  int i = 0;
  if (FastVectorPath) i = packed::ArrayTranslate(src, delta, out, n);
  for (; i < n; ++i) out[i] = Vec3Add(src[i], delta);
}

TAffineVector Vec3Sub(const TAffineVector& a, const TAffineVector& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
TAffineVector Vec3Difference(const TAffineVector& a, const TAffineVector& b) { return Vec3Sub(a, b); }
TVector Vec4SubAsDirection(const TVector& a, const TVector& b) { return {a.x - b.x, a.y - b.y, a.z - b.z, 0}; }
TVector Vec4SubKeepW(const TVector& a, const TVector& b) { return {a.x - b.x, a.y - b.y, a.z - b.z, a.w}; }

TVector Vec4Sub(const TVector& a, const TVector& b) {
  if (FastVectorPath) return packed::Sub(a, b);
  return {a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w};
}

TVector Vec4Difference(const TVector& a, const TVector& b) { return Vec4Sub(a, b); }
void Vec4SubInPlace(TVector& a, const TVector& b) { a = Vec4Sub(a, b); }

void Vec3AddScaledInPlace(TAffineVector& a, const TAffineVector& b, float f) {
  a = {a.x + b.x * f, a.y + b.y * f, a.z + b.z * f};
}

void Vec4AddScaledInPlace(TVector& a, const TVector& b, float f) { a = Vec4CombineTo(a, b, 1, f); }

TAffineVector Vec3Combine(const TAffineVector& a, const TAffineVector& b, float f1, float f2) {
  return {a.x * f1 + b.x * f2, a.y * f1 + b.y * f2, a.z * f1 + b.z * f2};
}

TAffineVector Vec3AddScaled(const TAffineVector& a, const TAffineVector& b, float f) {
  return Vec3Combine(a, b, 1, f);
}

TVector Vec4Combine(const TVector& a, const TVector& b, float f1, float f2) {
  return {a.x * f1 + b.x * f2, a.y * f1 + b.y * f2, a.z * f1 + b.z * f2, a.w * f1 + b.w * f2};
}

TVector Vec4CombineTo(const TVector& a, const TVector& b, float f1, float f2) {
  if (FastVectorPath) return packed::Combine(a, b, f1, f2);
  return Vec4Combine(a, b, f1, f2);
}

TAffineVector Vec3Negated(const TAffineVector& v) { return {-v.x, -v.y, -v.z}; }
TVector Vec4Negated(const TVector& v) { return {-v.x, -v.y, -v.z, -v.w}; }
void Vec3NegateInPlace(TAffineVector& v) { v = Vec3Negated(v); }
void Vec4NegateInPlace(TVector& v) { v = Vec4Negated(v); }
void Vec3ScaleInPlace(TAffineVector& v, float f) { v = Vec3Scaled(v, f); }
void Vec4ScaleInPlace(TVector& v, float f) { v = Vec4Scaled(v, f); }
TAffineVector Vec3Scaled(const TAffineVector& v, float f) { return {v.x * f, v.y * f, v.z * f}; }
TAffineVector Vec3ScaledTo(const TAffineVector& v, float f) { return Vec3Scaled(v, f); }
TVector Vec4Scaled(const TVector& v, float f) { return {v.x * f, v.y * f, v.z * f, v.w * f}; }

void Vec4MultiplyComponentsInPlace(TVector& v, const TVector& s) { v = {v.x * s.x, v.y * s.y, v.z * s.z, v.w * s.w}; }

TVector Vec4Abs(const TVector& v) { return {std::fabs(v.x), std::fabs(v.y), std::fabs(v.z), std::fabs(v.w)}; }

TAffineVector Vec3RemoveComponentAlong(const TAffineVector& v, const TAffineVector& n) {
  return Vec3Combine(v, n, 1, -Vec3Dot(v, n));
}

// ---------------------------------------------------------------------------
// Interpolation

TAffineVector Vec3Lerp(const TAffineVector& a, const TAffineVector& b, float t) {
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

TAffineVector Vec3LerpTo(const TAffineVector& a, const TAffineVector& b, float t) {
  if (FastVectorPath) return packed::Lerp3(a, b, t);
  return Vec3Lerp(a, b, t);
}

TVector Vec4Lerp(const TVector& a, const TVector& b, float t) {
  if (FastVectorPath) return packed::Lerp4(a, b, t);
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t, a.w + (b.w - a.w) * t};
}

void Vec3ArrayLerp(const TAffineVector* a, const TAffineVector* b, float t, TAffineVector* out, int n) {
  CheckCount(n);
  int i = 0;
  if (FastVectorPath) i = packed::ArrayLerp3(a, b, t, out, n);
  for (; i < n; ++i) out[i] = Vec3Lerp(a[i], b[i], t);
}

void Vec4ArrayLerp(const TVector* a, const TVector* b, float t, TVector* out, int n) {
  CheckCount(n);
  for (int i = 0; i < n; ++i) out[i] = Vec4Lerp(a[i], b[i], t);
}

// ---------------------------------------------------------------------------
// Products, lengths, comparisons

float Vec3Dot(const TAffineVector& a, const TAffineVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Vec4DotXYZ(const TVector& a, const TVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Vec4Dot(const TVector& a, const TVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }

TAffineVector Vec3Cross(const TAffineVector& a, const TAffineVector& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
TAffineVector Vec3CrossTo(const TAffineVector& a, const TAffineVector& b) { return Vec3Cross(a, b); }
TAffineVector Vec3CrossProduct(const TAffineVector& a, const TAffineVector& b) { return Vec3Cross(a, b); }
TVector Vec4Cross(const TVector& a, const TVector& b) { return Vec4DirectionFromVec3(Vec3Cross(Vec3Of(a), Vec3Of(b))); }
TVector Vec4CrossOfVec3(const TVector& a, const TVector& b) { return Vec4Cross(a, b); }

float Hypot2D(float x, float y) { return static_cast<float>(std::sqrt(double(x) * x + double(y) * y)); }
float SquaredHypot2D(float x, float y) { return x * x + y * y; }
float Vec3Length(const TAffineVector& v) { return std::sqrt(Vec3Dot(v, v)); }
float Vec4Length(const TVector& v) { return std::sqrt(Vec4Dot(v, v)); }
float Vec3SquaredLength(const TAffineVector& v) { return Vec3Dot(v, v); }
float Vec3Norm(const TAffineVector& v) { return Vec3Dot(v, v); }

float Vec3AngleCosine(const TAffineVector& a, const TAffineVector& b) {
  // In double: the product of two squared lengths overflows a single early.
  double ab = double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z;
  double aa = double(a.x) * a.x + double(a.y) * a.y + double(a.z) * a.z;
  double bb = double(b.x) * b.x + double(b.y) * b.y + double(b.z) * b.z;
  return static_cast<float>(ab / std::sqrt(aa * bb));
}

float Vec3Distance(const TAffineVector& a, const TAffineVector& b) { return Vec3Length(Vec3Sub(a, b)); }
float Vec3SquaredDistance(const TAffineVector& a, const TAffineVector& b) { return Vec3SquaredLength(Vec3Sub(a, b)); }
float Vec3SquaredDistanceTo(const TAffineVector& a, const TAffineVector& b) { return Vec3SquaredDistance(a, b); }

float Vec3ManhattanDistance(const TAffineVector& a, const TAffineVector& b) {
  return std::fabs(a.x - b.x) + std::fabs(a.y - b.y) + std::fabs(a.z - b.z);
}

bool Vec3Equal(const TAffineVector& a, const TAffineVector& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool Vec4Equal(const TVector& a, const TVector& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool Vec3IsNull(const TAffineVector& v) { return v.x == 0 && v.y == 0 && v.z == 0; }
bool Vec3IsZero(const TAffineVector& v) { return Vec3IsNull(v); }
float Vec3MaxComponent(const TAffineVector& v) { return MaxOf3(v.x, v.y, v.z); }

// ---------------------------------------------------------------------------
// Normalisation

void Vec3NormalizeInPlace(TAffineVector& v) { v = Vec3Normalized(v); }

TAffineVector Vec3Normalized(const TAffineVector& v) {
  if (FastVectorPath) return packed::Normalized3(v);
  return Vec3Scaled(v, 1.0f / std::sqrt(Vec3Dot(v, v)));
}

void Vec3ArrayNormalize(TAffineVector* v, int n) {
  CheckCount(n);
  int i = 0;
  if (FastVectorPath) i = packed::ArrayNormalize3(v, n);
  for (; i < n; ++i) v[i] = Vec3Normalized(v[i]);
}

void Vec4NormalizeXYZInPlace(TVector& v) { v = Vec4NormalizedFromVec3(Vec3Of(v)); }

TVector Vec4NormalizedFromVec3(const TAffineVector& v) { return Vec4DirectionFromVec3(Vec3Normalized(v)); }

TAffineVector TriangleNormal(const TAffineVector& p0, const TAffineVector& p1, const TAffineVector& p2) {
  return Vec3Normalized(Vec3Cross(Vec3Sub(p1, p0), Vec3Sub(p2, p0)));
}
TAffineVector TriangleNormalOf(const TAffineVector& p0, const TAffineVector& p1, const TAffineVector& p2) {
  return TriangleNormal(p0, p1, p2);
}
TAffineVector TriangleNormalTo(const TAffineVector& p0, const TAffineVector& p1, const TAffineVector& p2) {
  return TriangleNormal(p0, p1, p2);
}

// ---------------------------------------------------------------------------
// Matrices

TMatrix4 MatrixScaleTranslate(const TAffineVector& s, const TAffineVector& t) {
  return {{{s.x, 0, 0, 0}, {0, s.y, 0, 0}, {0, 0, s.z, 0}, {t.x, t.y, t.z, 1}}};
}

TMatrix4 MatrixRotationXSinCos(float s, float c) { return {{{1, 0, 0, 0}, {0, c, s, 0}, {0, -s, c, 0}, {0, 0, 0, 1}}}; }
TMatrix4 MatrixRotationYSinCos(float s, float c) { return {{{c, 0, -s, 0}, {0, 1, 0, 0}, {s, 0, c, 0}, {0, 0, 0, 1}}}; }
TMatrix4 MatrixRotationZSinCos(float s, float c) { return {{{c, s, 0, 0}, {-s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}}; }

TMatrix4 MatrixRotationAxisAngle(const TAffineVector& axis, float angle) {
  TAffineVector v = Vec3Normalized(axis);
  float s, c;
  SinCosSingle(angle, s, c);
  float k = 1 - c;
  float x = v.x, y = v.y, z = v.z;
  return {{{k * x * x + c, k * x * y - z * s, k * z * x + y * s, 0},
           {k * x * y + z * s, k * y * y + c, k * y * z - x * s, 0},
           {k * z * x - y * s, k * y * z + x * s, k * z * z + c, 0},
           {0, 0, 0, 1}}};
}

void MatrixMultiplyTo(const TMatrix4& a, const TMatrix4& b, TMatrix4& out) { out = MatrixMultiply(a, b); }

void Vec4RotateAroundAxis(TVector& v, const TAffineVector& axis, float angle) {
  v = Vec4Transform(v, MatrixRotationAxisAngle(axis, angle));
}
void Vec4TurnAroundAxis(TVector& v, const TAffineVector& axis, float angle) { Vec4RotateAroundAxis(v, axis, angle); }

float Det3x3(float a1, float a2, float a3, float b1, float b2, float b3, float c1, float c2, float c3) {
  double d = double(a1) * (double(b2) * c3 - double(b3) * c2) - double(b1) * (double(a2) * c3 - double(a3) * c2) +
             double(c1) * (double(a2) * b3 - double(a3) * b2);
  return static_cast<float>(d);
}

namespace {

// Writes the classical adjoint of m to out, divided by the determinant when `divide`
// is set (out is then meaningless for a zero determinant); returns the determinant.
// Computed in double, so that each entry is rounded to single once. With minors
// sij = a_i b_j - a_j b_i of two rows a and b, the cofactors of a third row x are,
// lane by lane,
//   x(1,0,0,0) s(23,23,13,12) - x(2,2,1,1) s(13,03,03,02) + x(3,3,3,2) s(12,02,01,01),
// signed + - + - or - + - +: rows 2, 3 give the cofactors of rows 0 (from row 1) and
// 1 (from row 0), rows 0, 1 those of rows 2 (from row 3) and 3 (from row 2). The
// packed path computes the same lanes four at a time, in the same order.
double ScaledAdjoint(const TMatrix4& m, bool divide, TMatrix4& out) {
  // Without the wide form the cofactors take the plain path: two lanes gain little.
  if (FastVectorPath && WideVectorPath) return packed::ScaledAdjoint4(m, divide, out);
  const TRows r = RowsOf(m);
  static constexpr int kP[4] = {1, 0, 0, 0}, kQ[4] = {2, 2, 1, 1}, kS[4] = {3, 3, 3, 2};
  double rows[4][4];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) rows[i][j] = r[i][j];
  // Minors (q.s, p.s, p.q) lane by lane, of rows 2, 3 (first) and of rows 0, 1.
  double minors[2][3][4];
  for (int pair = 0; pair < 2; ++pair) {
    const double *a = rows[2 - 2 * pair], *b = rows[3 - 2 * pair];
    for (int lane = 0; lane < 4; ++lane) {
      const int p = kP[lane], q = kQ[lane], s = kS[lane];
      minors[pair][0][lane] = a[q] * b[s] - a[s] * b[q];
      minors[pair][1][lane] = a[p] * b[s] - a[s] * b[p];
      minors[pair][2][lane] = a[p] * b[q] - a[q] * b[p];
    }
  }
  static constexpr int kSource[4] = {1, 0, 3, 2};
  double columns[4][4];
  for (int j = 0; j < 4; ++j) {
    const double* x = rows[kSource[j]];
    const double(&n)[3][4] = minors[j / 2];
    for (int lane = 0; lane < 4; ++lane) {
      double sum = x[kP[lane]] * n[0][lane] - x[kQ[lane]] * n[1][lane] + x[kS[lane]] * n[2][lane];
      columns[j][lane] = (lane + j) % 2 == 0 ? sum : -sum;
    }
  }
  // Expansion along row 0.
  const std::array<float, 4>& top = r[0];
  double det = (top[0] * columns[0][0] + top[2] * columns[0][2]) + (top[1] * columns[0][1] + top[3] * columns[0][3]);
  const double scale = divide ? 1 / det : 1;
  TRows adjoint;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) adjoint[i][j] = static_cast<float>(columns[j][i] * scale);
  out = MatrixOf(adjoint);
  return det;
}

}  // namespace

float MatrixDeterminant(const TMatrix4& m) {
  TMatrix4 unused;
  return static_cast<float>(ScaledAdjoint(m, false, unused));
}

void MatrixAdjoint(TMatrix4& m) { ScaledAdjoint(m, false, m); }

void MatrixScaleInPlace(TMatrix4& m, float f) {
  for (TVector& row : m.Rows) row = Vec4Scaled(row, f);
}

void MatrixTransposeInPlace(TMatrix4& m) {
  TRows r = RowsOf(m), t;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) t[j][i] = r[i][j];
  m = MatrixOf(t);
}

void MatrixTransposeScale3x3(const TMatrix4& m, float f, TMatrix4& out) {
  TRows r = RowsOf(m), o = RowsOf(out);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) o[j][i] = r[i][j] * f;
  out = MatrixOf(o);
}

void MatrixOrthonormalize(TMatrix4& m) {
  m.Rows[0].w = 0;
  Vec4NormalizeXYZInPlace(m.Rows[0]);
  m.Rows[1].w = 0;
  Vec4NormalizeXYZInPlace(m.Rows[1]);
  m.Rows[2] = Vec4Cross(m.Rows[0], m.Rows[1]);
  m.Rows[0] = Vec4Cross(m.Rows[1], m.Rows[2]);
  m.Rows[3] = WHmgPoint;
}

void MatrixInvert(TMatrix4& m) {
  // One rounding per entry: the adjoint scaled by 1/det in double.
  TMatrix4 inverse;
  double det = ScaledAdjoint(m, true, inverse);
  m = std::fabs(static_cast<float>(det)) < SingularThreshold ? IdentityHmgMatrix : inverse;
}

TMatrix4 MatrixInvertScaledRigid(const TMatrix4& m) {
  float s = Vec3SquaredLength(Vec3Of(m.Rows[0]));
  if (std::fabs(s) < SingularThreshold) return IdentityHmgMatrix;
  // The identity supplies the column of zeros and the 1 that the 3x3 part leaves.
  TMatrix4 out = IdentityHmgMatrix;
  MatrixTransposeScale3x3(m, 1 / s, out);
  TRows o = RowsOf(out);
  const TVector& t = m.Rows[3];
  for (int j = 0; j < 3; ++j) o[3][j] = -(o[0][j] * t.x + o[1][j] * t.y + o[2][j] * t.z);
  return MatrixOf(o);
}

// ---------------------------------------------------------------------------
// Scalar helpers

float PowerSingle(float base, float exponent) {
  if (exponent == 0) return 1;
  if (base == 0 && exponent > 0) return 0;
  return static_cast<float>(std::exp(double(exponent) * std::log(double(base))));
}

float RaiseToInteger(float base, int exponent) {
  // The magnitude as unsigned: -INT_MIN does not fit an int.
  unsigned n = exponent < 0 ? 0u - static_cast<unsigned>(exponent) : static_cast<unsigned>(exponent);
  double result = 1, power = base;
  for (; n != 0; n >>= 1) {
    if (n & 1) result *= power;
    power *= power;
  }
  return static_cast<float>(exponent < 0 ? 1 / result : result);
}

long double DegToRadExtended(long double degrees) { return degrees * (3.14159265358979323846264338327950288L / 180); }
float DegToRadSingle(float degrees) { return degrees * 0.017453292f; }
long double RadToDegExtended(long double radians) { return radians * (180 / 3.14159265358979323846264338327950288L); }
float RadToDegSingle(float radians) { return radians * 57.29578f; }

float NormalizeDegrees(float angle) {
  double a = angle;
  a -= std::trunc(a / 360) * 360;
  if (a > 180)
    a -= 360;
  else if (a < -180)
    a += 360;
  return static_cast<float>(a);
}

void SinCosExtended(long double angle, long double& sine, long double& cosine) {
  sine = std::sin(angle);
  cosine = std::cos(angle);
}

void SinCosSingle(float angle, float& sine, float& cosine) {
  sine = static_cast<float>(std::sin(double(angle)));
  cosine = static_cast<float>(std::cos(double(angle)));
}

namespace {

// Rounding can carry a cosine or sine just past 1, where the square root below
// would give NaN.
long double ClampUnit(long double x) { return x > 1 ? 1 : (x < -1 ? -1 : x); }

}  // namespace

long double ArcCosExtended(long double x) {
  x = ClampUnit(x);
  return std::atan2(std::sqrt(1 - x * x), x);
}

float ArcCosSingle(float x) { return static_cast<float>(ArcCosExtended(x)); }

long double ArcSinExtended(long double x) {
  x = ClampUnit(x);
  return std::atan2(x, std::sqrt(1 - x * x));
}

long double ArcTan2Extended(long double y, long double x) { return std::atan2(y, x); }
float ArcTan2Single(float y, float x) { return std::atan2(y, x); }

float RSqrt(float x) {
  if (FastVectorPath) return packed::RSqrt(x);
  return 1.0f / std::sqrt(x);
}

namespace {

// An integral value in double to int without the undefined conversion of NaN or of
// values outside the int range.
int SaturateToInt(double r) {
  if (std::isnan(r)) return 0;
  if (r <= double(INT_MIN)) return INT_MIN;
  if (r >= double(INT_MAX)) return INT_MAX;
  return static_cast<int>(r);
}

}  // namespace

int TruncToInt(float x) { return SaturateToInt(std::trunc(double(x))); }
long double IntExtended(long double x) { return std::trunc(x); }
float FracSingle(float x) { return x - std::trunc(x); }
int RoundToInt(float x) { return SaturateToInt(std::nearbyint(double(x))); }
long double MaxExtended(long double a, long double b) { return b > a ? b : a; }

float MaxOf3(float a, float b, float c) {
  float m = b > a ? b : a;
  return c > m ? c : m;
}

void Vec4MaxInPlace(TVector& a, const TVector& b) {
  if (b.x > a.x) a.x = b.x;
  if (b.y > a.y) a.y = b.y;
  if (b.z > a.z) a.z = b.z;
  if (b.w > a.w) a.w = b.w;
}

float ClampSingle(float value, float min, float max) {
  if (value < min) return min;
  if (value <= max) return value;
  return max;
}

void ScaleFloatArray(float* values, int n, float f) {
  CheckCount(n);
  int i = 0;
  if (FastVectorPath) i = packed::ScaleArray(values, n, f);
  for (; i < n; ++i) values[i] *= f;
}

// ---------------------------------------------------------------------------
// Quaternions

float QuatLength(const TQuaternion& q) {
  const TAffineVector& v = q.ImagPart;
  return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z + q.RealPart * q.RealPart);
}

void QuatNormalize(TQuaternion& q) {
  float m = QuatLength(q);
  if (m <= CloseThreshold) {
    q = IdentityQuaternion;
    return;
  }
  float f = 1 / m;
  q = {Vec3Scaled(q.ImagPart, f), q.RealPart * f};
}

TQuaternion QuatMultiply(const TQuaternion& a, const TQuaternion& b) {
  const TAffineVector &u = a.ImagPart, &v = b.ImagPart;
  float aw = a.RealPart, bw = b.RealPart;
  return {{aw * v.x + u.x * bw + u.y * v.z - u.z * v.y, aw * v.y + u.y * bw + u.z * v.x - u.x * v.z,
           aw * v.z + u.z * bw + u.x * v.y - u.y * v.x},
          aw * bw - u.x * v.x - u.y * v.y - u.z * v.z};
}

TMatrix4 QuatToMatrix(const TQuaternion& quaternion) {
  TQuaternion q = quaternion;
  QuatNormalize(q);
  float x = q.ImagPart.x, y = q.ImagPart.y, z = q.ImagPart.z, w = q.RealPart;
  return {{{1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0},
           {2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0},
           {2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0},
           {0, 0, 0, 1}}};
}

TQuaternion QuatFromAxisAngleDeg(const TAffineVector& axis, float angleDegrees) {
  long double s, c;
  SinCosExtended(DegToRadExtended(angleDegrees) / 2, s, c);
  return {Vec3Scaled(axis, static_cast<float>(s / Vec3Length(axis))), static_cast<float>(c)};
}

TQuaternion QuatFromEuler(TEulerOrder order, float x, float y, float z) {
  BRV_ASSERT(order <= 5);
  TQuaternion qx = QuatFromAxisAngleDeg(XVector, x);
  TQuaternion qy = QuatFromAxisAngleDeg(YVector, y);
  TQuaternion qz = QuatFromAxisAngleDeg(ZVector, z);
  const TQuaternion* const products[6][3] = {{&qx, &qy, &qz}, {&qx, &qz, &qy}, {&qy, &qx, &qz},
                                             {&qy, &qz, &qx}, {&qz, &qx, &qy}, {&qz, &qy, &qx}};
  const TQuaternion* const* p = products[order];
  return QuatMultiply(QuatMultiply(*p[0], *p[1]), *p[2]);
}

TQuaternion QuatFromEulerSafe(TEulerOrder order, float x, float y, float z) {
  BRV_ASSERT(order <= 5);
  // The angle in the middle of the product: Y for orders 0 and 5, Z for 1 and 3, X for 2 and 4.
  static constexpr int kMiddle[6] = {1, 2, 0, 2, 0, 1};
  float angles[3] = {x, y, z};
  float& middle = angles[kMiddle[order]];
  if (std::fabs(std::fabs(middle) - 90) > CloseThreshold) return QuatFromEuler(order, x, y, z);
  // At the pole the outer rotations share an axis: blend the rotations just either side.
  float pole = middle;
  middle = pole - 0.001f;
  TQuaternion below = QuatFromEuler(order, angles[0], angles[1], angles[2]);
  middle = pole + 0.001f;
  TQuaternion above = QuatFromEuler(order, angles[0], angles[1], angles[2]);
  return QuatSlerp(below, above, 0.5f);
}

TQuaternion QuatSlerp(const TQuaternion& a, const TQuaternion& b, float t) {
  TQuaternion to = b;
  float c = Vec3Dot(a.ImagPart, b.ImagPart) + a.RealPart * b.RealPart;
  if (c < 0) {
    c = -c;
    to = {Vec3Negated(b.ImagPart), -b.RealPart};
  }
  float s1, s2;
  if (1 - c <= CloseThreshold) {
    s1 = 1 - t;
    s2 = t;
  } else {
    long double theta = ArcCosExtended(c);
    long double sinTheta = std::sin(theta);
    s1 = static_cast<float>(std::sin((1 - t) * theta) / sinTheta);
    s2 = static_cast<float>(std::sin(t * theta) / sinTheta);
  }
  TQuaternion out{Vec3Combine(a.ImagPart, to.ImagPart, s1, s2), a.RealPart * s1 + to.RealPart * s2};
  QuatNormalize(out);
  return out;
}

TAffineVector Vec3AngleLerp(const TAffineVector& a, const TAffineVector& b, float t) {
  if (Vec3Equal(a, b)) return a;
  auto quaternionOf = [](const TAffineVector& v) {
    return QuatFromEulerSafe(5, RadToDegSingle(v.x), RadToDegSingle(v.y), RadToDegSingle(v.z));
  };
  TMatrixParts parts;
  MatrixToTransformParts(QuatToMatrix(QuatSlerp(quaternionOf(a), quaternionOf(b), t)), parts);
  return {parts.RotateX, parts.RotateY, parts.RotateZ};
}

bool MatrixToTransformParts(const TMatrix4& matrix, TMatrixParts& parts) {
  parts = {};
  TMatrix4 m = matrix;
  if (m.Rows[3].w == 0) return false;
  MatrixScaleInPlace(m, 1 / m.Rows[3].w);
  TMatrix4 p = m;
  for (int i = 0; i < 3; ++i) p.Rows[i].w = 0;
  p.Rows[3].w = 1;
  if (MatrixDeterminant(p) == 0) return false;

  TMatrixParts r{};
  if (m.Rows[0].w != 0 || m.Rows[1].w != 0 || m.Rows[2].w != 0) {
    TVector rhs{m.Rows[0].w, m.Rows[1].w, m.Rows[2].w, m.Rows[3].w};
    MatrixInvert(p);
    MatrixTransposeInPlace(p);
    TVector persp = Vec4Transform(rhs, p);
    r.PerspectiveX = persp.x;
    r.PerspectiveY = persp.y;
    r.PerspectiveZ = persp.z;
    r.PerspectiveW = persp.w;
    for (int i = 0; i < 3; ++i) m.Rows[i].w = 0;
    m.Rows[3].w = 1;
  }
  r.TranslateX = m.Rows[3].x;
  r.TranslateY = m.Rows[3].y;
  r.TranslateZ = m.Rows[3].z;

  TAffineVector row[3] = {Vec3Of(m.Rows[0]), Vec3Of(m.Rows[1]), Vec3Of(m.Rows[2])};
  // Each row is normalised by RSqrt of its squared length; the scale is its length.
  auto normalize = [](TAffineVector& v) {
    float squared = Vec3SquaredLength(v);
    v = Vec3Scaled(v, RSqrt(squared));
    return std::sqrt(squared);
  };
  r.ScaleX = normalize(row[0]);
  r.ShearXY = Vec3Dot(row[0], row[1]);
  row[1] = Vec3Combine(row[1], row[0], 1, -r.ShearXY);
  r.ScaleY = normalize(row[1]);
  r.ShearXY /= r.ScaleY;
  r.ShearXZ = Vec3Dot(row[0], row[2]);
  row[2] = Vec3Combine(row[2], row[0], 1, -r.ShearXZ);
  r.ShearYZ = Vec3Dot(row[1], row[2]);
  row[2] = Vec3Combine(row[2], row[1], 1, -r.ShearYZ);
  r.ScaleZ = normalize(row[2]);
  r.ShearXZ /= r.ScaleZ;
  r.ShearYZ /= r.ScaleZ;

  // A mirroring matrix: the scales turn negative.
  if (Vec3Dot(row[0], Vec3Cross(row[1], row[2])) < 0) {
    r.ScaleX = -r.ScaleX;
    r.ScaleY = -r.ScaleY;
    r.ScaleZ = -r.ScaleZ;
    for (TAffineVector& v : row) Vec3NegateInPlace(v);
  }

  r.RotateY = static_cast<float>(ArcSinExtended(-row[0].z));
  if (std::cos(r.RotateY) != 0) {
    r.RotateX = std::atan2(row[1].z, row[2].z);
    r.RotateZ = std::atan2(row[0].y, row[0].x);
  } else {
    r.RotateX = std::atan2(row[1].x, row[1].y);
    r.RotateZ = 0;
  }
  parts = r;
  return true;
}

// ---------------------------------------------------------------------------
// Intersection and culling tests

bool IntersectRayPlane(const TVector& rayStart, const TVector& rayVector, const TVector& planePoint,
                       const TVector& planeNormal, TVector* point) {
  float d = Vec4Dot(rayVector, planeNormal);
  bool crosses = std::fabs(d) > CloseThreshold;
  // A parallel ray meets nothing, even where the division below would give an
  // infinite distance.
  if (!point || !crosses) return crosses;
  float t = Vec4Dot(Vec4Sub(planePoint, rayStart), planeNormal) / d;
  if (!(t > 0)) return false;
  *point = Vec4Combine(rayStart, rayVector, 1, t);
  return true;
}

bool IntersectRayTriangle(const TVector& rayStart, const TVector& rayVector, const TAffineVector& p1,
                          const TAffineVector& p2, const TAffineVector& p3, TVector* point, TVector* normal) {
  TAffineVector dir = Vec3Of(rayVector);
  TAffineVector e1 = Vec3Sub(p2, p1), e2 = Vec3Sub(p3, p1);
  TAffineVector pvec = Vec3Cross(dir, e2);
  float det = Vec3Dot(e1, pvec);
  if (det > -CloseThreshold && det < CloseThreshold) return false;
  TAffineVector tvec = Vec3Sub(Vec3Of(rayStart), p1);
  float u = Vec3Dot(tvec, pvec) / det;
  if (u < 0 || u > 1) return false;
  TAffineVector qvec = Vec3Cross(tvec, e1);
  float v = Vec3Dot(dir, qvec) / det;
  if (v < 0 || u + v > 1) return false;
  float t = Vec3Dot(e2, qvec) / det;
  if (t <= 0) return false;
  if (point) *point = Vec4Combine(rayStart, rayVector, 1, t);
  if (normal) *normal = Vec4DirectionFromVec3(Vec3Cross(e1, e2));
  return true;
}

int IntersectRaySphere(const TVector& rayStart, const TVector& rayVector, const TVector& centre, float radius,
                       TVector& point1, TVector& point2) {
  float proj = Vec4DotXYZ(rayVector, Vec4Sub(centre, rayStart));
  TVector foot = Vec4Combine(rayStart, rayVector, 1, proj);
  TAffineVector toCentre = Vec3Of(Vec4Sub(centre, foot));
  float h = radius * radius - Vec3SquaredLength(toCentre);
  if (h < 0) return 0;
  if (h == 0) {
    if (proj <= 0) return 0;
    point1 = foot;
    return 1;
  }
  float s = std::sqrt(h);
  if (proj - s >= 0) {
    point1 = Vec4Combine(rayStart, rayVector, 1, proj - s);
    point2 = Vec4Combine(rayStart, rayVector, 1, proj + s);
    return 2;
  }
  if (proj + s >= 0) {
    point1 = Vec4Combine(rayStart, rayVector, 1, proj + s);
    return 1;
  }
  return 0;
}

bool IsSphereOutsideViewTest(const TAffineVector& centre, float radius, const TViewClippingInfo& info) {
  TAffineVector v = Vec3Sub(centre, Vec3Of(info.Origin));
  TAffineVector direction = Vec3Of(info.Direction);
  float depth = Vec3Dot(v, direction);
  if (depth + radius <= 0) return true;
  if (depth - radius >= info.FarDistance) return true;
  if (depth <= 0) return Vec3SquaredLength(v) > radius * radius;
  // A 10 % margin around the view's radius at that depth.
  float viewRadius = 1.1f * depth * info.ViewportRadius + radius;
  return viewRadius * viewRadius < Vec3SquaredLength(Vec3Combine(v, direction, 1, -depth));
}

bool SphereOutsideView(const TAffineVector& centre, float radius, const TViewClippingInfo& info) {
  return IsSphereOutsideViewTest(centre, radius, info);
}

bool BoxOutsideView(const TAffineVector& min, const TAffineVector& max, const TViewClippingInfo& info) {
  return IsSphereOutsideViewTest(Vec3Scaled(Vec3Add(min, max), 0.5f), Vec3Length(Vec3Sub(max, min)) / 2, info);
}
