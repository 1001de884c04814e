#pragma once
// The packed paths of the vector routines (SSE) and of the 4x4 cofactors (AVX2).
// Included at the end of Geometry.h, whose types it uses: include that instead.
// Loads and stores are unaligned: vectors live in lists and records at any 4-byte
// boundary. A 3-vector is never read as 16 bytes, since its fourth float may lie past
// the end of an array.

#if !defined(__SSE2__)
#error "The vector routines need SSE2 (x86-64)."
#endif

#include <bit>
#include <cstdint>
#include <immintrin.h>

namespace packed {

inline __m128 Load(const TVector& v) { return _mm_loadu_ps(&v.x); }

// Results leave a register as plain values rather than through the intrinsic
// stores: those may alias anything, which would make every loop around them reload
// its matrix and the path flag.
inline TVector Store(__m128 r) { return std::bit_cast<TVector>(r); }

// (x, y, z, 0) without reading past z.
inline __m128 Load3(const TAffineVector& v) {
  return _mm_movelh_ps(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(&v.x)), _mm_load_ss(&v.z));
}

inline TAffineVector Store3(__m128 r) {
  const TVector v = Store(r);
  return {v.x, v.y, v.z};
}

// Four floats at `floatOffset` floats from the start of the array item p (within the array).
inline __m128 LoadAt(const TAffineVector* p, int floatOffset) {
  return _mm_loadu_ps(reinterpret_cast<const float*>(reinterpret_cast<const char*>(p) + 4 * floatOffset));
}
inline void StoreAt(TAffineVector* p, int floatOffset, __m128 r) {
  _mm_storeu_ps(reinterpret_cast<float*>(reinterpret_cast<char*>(p) + 4 * floatOffset), r);
}

// Asks for the cache line 192 bytes ahead; a prefetch never faults, so the address
// may lie past the end of the array (it is computed as an integer, not a pointer).
inline void PrefetchAhead(const void* p) {
  _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(p) + 192), _MM_HINT_T0);
}

// Reciprocal square root: the estimate and one Newton step, y (3 - x y^2) / 2.
inline __m128 RSqrtRefined(__m128 x) {
  __m128 y = _mm_rsqrt_ps(x);
  __m128 xyy = _mm_mul_ps(_mm_mul_ps(x, y), y);
  return _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(0.5f), y), _mm_sub_ps(_mm_set1_ps(3.0f), xyy));
}

inline float RSqrt(float x) { return _mm_cvtss_f32(RSqrtRefined(_mm_set_ss(x))); }

inline TVector Add(const TVector& a, const TVector& b) { return Store(_mm_add_ps(Load(a), Load(b))); }
inline TVector Sub(const TVector& a, const TVector& b) { return Store(_mm_sub_ps(Load(a), Load(b))); }

inline TVector Combine(const TVector& a, const TVector& b, float f1, float f2) {
  return Store(_mm_add_ps(_mm_mul_ps(Load(a), _mm_set1_ps(f1)), _mm_mul_ps(Load(b), _mm_set1_ps(f2))));
}

inline __m128 Lerp(__m128 a, __m128 b, __m128 t) { return _mm_add_ps(a, _mm_mul_ps(_mm_sub_ps(b, a), t)); }

inline TAffineVector Lerp3(const TAffineVector& a, const TAffineVector& b, float t) {
  return Store3(Lerp(Load3(a), Load3(b), _mm_set1_ps(t)));
}

inline TVector Lerp4(const TVector& a, const TVector& b, float t) {
  return Store(Lerp(Load(a), Load(b), _mm_set1_ps(t)));
}

// Sum of the squares of x, y and z, in every lane.
inline __m128 SquaredLength3(__m128 v) {
  __m128 s = _mm_mul_ps(v, v);
  __m128 yy = _mm_shuffle_ps(s, s, _MM_SHUFFLE(1, 1, 1, 1));
  __m128 zz = _mm_shuffle_ps(s, s, _MM_SHUFFLE(2, 2, 2, 2));
  return _mm_add_ps(_mm_add_ps(_mm_shuffle_ps(s, s, 0), yy), zz);
}

inline TAffineVector Normalized3(const TAffineVector& v) {
  __m128 x = Load3(v);
  return Store3(_mm_mul_ps(x, RSqrtRefined(SquaredLength3(x))));
}


// (v, 1) x m: the translation row is added last, as on the plain path.
inline TAffineVector TransformPoint(const TAffineVector& v, const TMatrix4& m) {
  __m128 r = _mm_mul_ps(_mm_set1_ps(v.x), Load(m.Rows[0]));
  r = _mm_add_ps(r, _mm_mul_ps(_mm_set1_ps(v.y), Load(m.Rows[1])));
  r = _mm_add_ps(r, _mm_mul_ps(_mm_set1_ps(v.z), Load(m.Rows[2])));
  return Store3(_mm_add_ps(r, Load(m.Rows[3])));
}

// The row x times the matrix with rows b0..b3.
inline __m128 RowTimes(__m128 x, __m128 b0, __m128 b1, __m128 b2, __m128 b3) {
  __m128 r = _mm_mul_ps(_mm_shuffle_ps(x, x, 0x00), b0);
  r = _mm_add_ps(r, _mm_mul_ps(_mm_shuffle_ps(x, x, 0x55), b1));
  r = _mm_add_ps(r, _mm_mul_ps(_mm_shuffle_ps(x, x, 0xAA), b2));
  return _mm_add_ps(r, _mm_mul_ps(_mm_shuffle_ps(x, x, 0xFF), b3));
}

inline TVector Transform(const TVector& v, const TMatrix4& m) {
  return Store(RowTimes(Load(v), Load(m.Rows[0]), Load(m.Rows[1]), Load(m.Rows[2]), Load(m.Rows[3])));
}

// out = a x b, written once all of a and b has been read.
inline void MultiplyInto(const TMatrix4& a, const TMatrix4& b, TMatrix4& out) {
  const __m128 b0 = Load(b.Rows[0]), b1 = Load(b.Rows[1]), b2 = Load(b.Rows[2]), b3 = Load(b.Rows[3]);
  const __m128 rows[4] = {RowTimes(Load(a.Rows[0]), b0, b1, b2, b3), RowTimes(Load(a.Rows[1]), b0, b1, b2, b3),
                          RowTimes(Load(a.Rows[2]), b0, b1, b2, b3), RowTimes(Load(a.Rows[3]), b0, b1, b2, b3)};
  out = std::bit_cast<TMatrix4>(rows);
}

// The array routines below handle four 3-vectors (three registers) per step and
// return how many items they did; the caller finishes the rest one at a time.

inline int ArrayTranslate(const TAffineVector* src, const TAffineVector& d, TAffineVector* out, int n) {
  __m128 d0 = _mm_setr_ps(d.x, d.y, d.z, d.x), d1 = _mm_setr_ps(d.y, d.z, d.x, d.y);
  __m128 d2 = _mm_setr_ps(d.z, d.x, d.y, d.z);
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    PrefetchAhead(src + i);
    __m128 a0 = LoadAt(src + i, 0), a1 = LoadAt(src + i, 4), a2 = LoadAt(src + i, 8);
    StoreAt(out + i, 0, _mm_add_ps(a0, d0));
    StoreAt(out + i, 4, _mm_add_ps(a1, d1));
    StoreAt(out + i, 8, _mm_add_ps(a2, d2));
  }
  return i;
}

inline int ArrayLerp3(const TAffineVector* a, const TAffineVector* b, float t, TAffineVector* out, int n) {
  __m128 tt = _mm_set1_ps(t);
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    PrefetchAhead(a + i);
    PrefetchAhead(b + i);
    __m128 r0 = Lerp(LoadAt(a + i, 0), LoadAt(b + i, 0), tt);
    __m128 r1 = Lerp(LoadAt(a + i, 4), LoadAt(b + i, 4), tt);
    __m128 r2 = Lerp(LoadAt(a + i, 8), LoadAt(b + i, 8), tt);
    StoreAt(out + i, 0, r0);
    StoreAt(out + i, 4, r1);
    StoreAt(out + i, 8, r2);
  }
  return i;
}

inline int ArrayNormalize3(TAffineVector* v, int n) {
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    PrefetchAhead(v + i);
    // m0 = x0 y0 z0 x1, m1 = y1 z1 x2 y2, m2 = z2 x3 y3 z3.
    __m128 m0 = LoadAt(v + i, 0), m1 = LoadAt(v + i, 4), m2 = LoadAt(v + i, 8);
    __m128 q0 = _mm_mul_ps(m0, m0), q1 = _mm_mul_ps(m1, m1), q2 = _mm_mul_ps(m2, m2);
    __m128 t0 = _mm_shuffle_ps(q1, q2, _MM_SHUFFLE(2, 1, 3, 2));  // x2 y2 x3 y3
    __m128 t1 = _mm_shuffle_ps(q0, q1, _MM_SHUFFLE(1, 0, 2, 1));  // y0 z0 y1 z1
    __m128 xx = _mm_shuffle_ps(q0, t0, _MM_SHUFFLE(2, 0, 3, 0));
    __m128 yy = _mm_shuffle_ps(t1, t0, _MM_SHUFFLE(3, 1, 2, 0));
    __m128 zz = _mm_shuffle_ps(t1, q2, _MM_SHUFFLE(3, 0, 3, 1));
    __m128 r = RSqrtRefined(_mm_add_ps(_mm_add_ps(xx, yy), zz));  // one factor per vector
    StoreAt(v + i, 0, _mm_mul_ps(m0, _mm_shuffle_ps(r, r, _MM_SHUFFLE(1, 0, 0, 0))));
    StoreAt(v + i, 4, _mm_mul_ps(m1, _mm_shuffle_ps(r, r, _MM_SHUFFLE(2, 2, 1, 1))));
    StoreAt(v + i, 8, _mm_mul_ps(m2, _mm_shuffle_ps(r, r, _MM_SHUFFLE(3, 3, 3, 2))));
  }
  return i;
}

// Four, then two, then one at a time.
inline int ScaleArray(float* values, int n, float f) {
  __m128 ff = _mm_set1_ps(f);
  int i = 0;
  for (; i + 4 <= n; i += 4) _mm_storeu_ps(values + i, _mm_mul_ps(_mm_loadu_ps(values + i), ff));
  if (i + 2 <= n) {
    __m64* p = reinterpret_cast<__m64*>(values + i);
    _mm_storel_pi(p, _mm_mul_ps(_mm_loadl_pi(_mm_setzero_ps(), p), ff));
    i += 2;
  }
  if (i < n) {
    _mm_store_ss(values + i, _mm_mul_ss(_mm_load_ss(values + i), ff));
    ++i;
  }
  return i;
}

// The cofactors of a 4x4 matrix in double, four lanes at once; see ScaledAdjoint in
// Geometry.cpp for the lane layout. (Lambdas would not inherit the target.)
#define BRV_AVX2 __attribute__((target("avx2")))

BRV_AVX2 inline __m256d LanesP(__m256d v) { return _mm256_permute4x64_pd(v, _MM_SHUFFLE(0, 0, 0, 1)); }
BRV_AVX2 inline __m256d LanesQ(__m256d v) { return _mm256_permute4x64_pd(v, _MM_SHUFFLE(1, 1, 2, 2)); }
BRV_AVX2 inline __m256d LanesS(__m256d v) { return _mm256_permute4x64_pd(v, _MM_SHUFFLE(2, 3, 3, 3)); }

// x(p) a - x(q) b + x(s) c, where a, b, c are the minors of two rows taken as
// q.s, p.s and p.q; times the sign pattern.
BRV_AVX2 inline __m256d ExpandCofactors(__m256d x, __m256d ra, __m256d rb, __m256d sign) {
  __m256d pa = LanesP(ra), qa = LanesQ(ra), sa = LanesS(ra), pb = LanesP(rb), qb = LanesQ(rb), sb = LanesS(rb);
  __m256d a = _mm256_sub_pd(_mm256_mul_pd(qa, sb), _mm256_mul_pd(sa, qb));
  __m256d b = _mm256_sub_pd(_mm256_mul_pd(pa, sb), _mm256_mul_pd(sa, pb));
  __m256d c = _mm256_sub_pd(_mm256_mul_pd(pa, qb), _mm256_mul_pd(qa, pb));
  __m256d sum = _mm256_sub_pd(_mm256_mul_pd(LanesP(x), a), _mm256_mul_pd(LanesQ(x), b));
  return _mm256_mul_pd(sign, _mm256_add_pd(sum, _mm256_mul_pd(LanesS(x), c)));
}

// Writes the adjoint of m to out, divided by the determinant when `divide` is set
// (out is then meaningless for a zero determinant); returns the determinant.
BRV_AVX2 inline double ScaledAdjoint4(const TMatrix4& m, bool divide, TMatrix4& out) {
  const __m256d r0 = _mm256_cvtps_pd(Load(m.Rows[0])), r1 = _mm256_cvtps_pd(Load(m.Rows[1]));
  const __m256d r2 = _mm256_cvtps_pd(Load(m.Rows[2])), r3 = _mm256_cvtps_pd(Load(m.Rows[3]));
  const __m256d plusFirst = _mm256_setr_pd(1, -1, 1, -1), minusFirst = _mm256_setr_pd(-1, 1, -1, 1);
  const __m256d c0 = ExpandCofactors(r1, r2, r3, plusFirst), c1 = ExpandCofactors(r0, r2, r3, minusFirst);
  const __m256d c2 = ExpandCofactors(r3, r0, r1, plusFirst), c3 = ExpandCofactors(r2, r0, r1, minusFirst);
  // Expansion along row 0, summed as (d0 + d2) + (d1 + d3).
  const __m256d d = _mm256_mul_pd(r0, c0);
  const __m128d pairs = _mm_add_pd(_mm256_castpd256_pd128(d), _mm256_extractf128_pd(d, 1));
  const double det = _mm_cvtsd_f64(_mm_add_sd(pairs, _mm_unpackhi_pd(pairs, pairs)));
  const __m256d f = _mm256_set1_pd(divide ? 1 / det : 1);
  __m128 a = _mm256_cvtpd_ps(_mm256_mul_pd(c0, f)), b = _mm256_cvtpd_ps(_mm256_mul_pd(c1, f));
  __m128 c = _mm256_cvtpd_ps(_mm256_mul_pd(c2, f)), e = _mm256_cvtpd_ps(_mm256_mul_pd(c3, f));
  // The columns of the adjoint become its rows.
  _MM_TRANSPOSE4_PS(a, b, c, e);
  _mm_storeu_ps(&out.Rows[0].x, a);
  _mm_storeu_ps(&out.Rows[1].x, b);
  _mm_storeu_ps(&out.Rows[2].x, c);
  _mm_storeu_ps(&out.Rows[3].x, e);
  return det;
}

}  // namespace packed

#undef BRV_AVX2
