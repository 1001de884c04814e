#include "scene/gl/XOpenGL.h"

namespace {

// The unit-1 calls of the second and dual mappings: the ARB names of GL 1.2's units.
constexpr GLenum TEXTURE0 = 0x84C0;
constexpr GLenum TEXTURE1 = 0x84C1;

// Coordinates go to unit 1 through the multi-texture coordinate call.
template <auto Multi>
struct TOnUnit1Coordinates {
  template <typename... Args>
  static void Call(Args... args) {
    (GL->*Multi)(TEXTURE1, args...);
  }
};

// Texture generation and its enables act on the active unit, arrays and client
// states on the client's active unit: `Select` picks unit 1 for the call, then
// unit 0 again.
template <auto Select, auto Plain>
struct TOnUnit1 {
  template <typename... Args>
  static void Call(Args... args) {
    (GL->*Select)(TEXTURE1);
    (GL->*Plain)(args...);
    (GL->*Select)(TEXTURE0);
  }
};
template <auto Plain>
using TOnUnit1Active = TOnUnit1<&TGLBinding::glActiveTextureARB, Plain>;
template <auto Plain>
using TOnUnit1Client = TOnUnit1<&TGLBinding::glClientActiveTextureARB, Plain>;

// One entry's four behaviours. `Plain` is the GL call of the entry's own name,
// `Unit1` what the second mapping does instead; the dual mapping does both in
// turn. Every call reads the GL table at call time, so a table installed later
// is used.
template <auto Plain, typename Unit1, typename Signature>
struct TEntry;

template <auto Plain, typename Unit1, typename... Args>
struct TEntry<Plain, Unit1, void(Args...)> {
  static void Null(Args...) {}
  static void Main(Args... args) { (GL->*Plain)(args...); }
  static void Second(Args... args) { Unit1::Call(args...); }
  static void Dual(Args... args) {
    (GL->*Plain)(args...);
    Unit1::Call(args...);
  }
};

// The fifteen entries, in table order, with what each does on unit 1.
#define BRV_XGL_ENTRIES(X)                                                \
  X(TexCoord2f, TOnUnit1Coordinates<&TGLBinding::glMultiTexCoord2fARB>)   \
  X(TexCoord2fv, TOnUnit1Coordinates<&TGLBinding::glMultiTexCoord2fvARB>) \
  X(TexCoord3f, TOnUnit1Coordinates<&TGLBinding::glMultiTexCoord3fARB>)   \
  X(TexCoord3fv, TOnUnit1Coordinates<&TGLBinding::glMultiTexCoord3fvARB>) \
  X(TexCoord4f, TOnUnit1Coordinates<&TGLBinding::glMultiTexCoord4fARB>)   \
  X(TexCoord4fv, TOnUnit1Coordinates<&TGLBinding::glMultiTexCoord4fvARB>) \
  X(TexGenf, TOnUnit1Active<&TGLBinding::glTexGenf>)                      \
  X(TexGenfv, TOnUnit1Active<&TGLBinding::glTexGenfv>)                    \
  X(TexGeni, TOnUnit1Active<&TGLBinding::glTexGeni>)                      \
  X(TexGeniv, TOnUnit1Active<&TGLBinding::glTexGeniv>)                    \
  X(Enable, TOnUnit1Active<&TGLBinding::glEnable>)                        \
  X(Disable, TOnUnit1Active<&TGLBinding::glDisable>)                      \
  X(TexCoordPointer, TOnUnit1Client<&TGLBinding::glTexCoordPointer>)      \
  X(EnableClientState, TOnUnit1Client<&TGLBinding::glEnableClientState>)  \
  X(DisableClientState, TOnUnit1Client<&TGLBinding::glDisableClientState>)

#define BRV_XGL_ALIAS(name, unit1) using T##name = TEntry<&TGLBinding::gl##name, unit1, BRV_GL_SIGNATURE(gl##name)>;
BRV_XGL_ENTRIES(BRV_XGL_ALIAS)
#undef BRV_XGL_ALIAS

template <typename Entry, typename Pointer>
void Point(Pointer& entry, TXGLMapping to) {
  switch (to) {
    case xmNull: entry = &Entry::Null; break;
    case xmMain: entry = &Entry::Main; break;
    case xmSecond: entry = &Entry::Second; break;
    case xmDual: entry = &Entry::Dual; break;
    case xmNone: break;
  }
}

// The entries start as no-ops: the null mapping is in force from the start.
TXGLMapping mapping = xmNull;
TXGLMapping pendingMapping = xmNull;
int updateCount = 0;

void PointEntries(TXGLMapping to) {
#define BRV_XGL_POINT(name, unit1) Point<T##name>(xgl##name, to);
  BRV_XGL_ENTRIES(BRV_XGL_POINT)
#undef BRV_XGL_POINT
}

void MapTo(TXGLMapping to) {
  if (updateCount > 0) {
    pendingMapping = to;
    return;
  }
  if (mapping == to) return;
  mapping = to;
  PointEntries(to);
}

void RequireMultitexture() {
  BRV_ASSERT_MSG(GL->ARB_multitexture, "XGLMapTo(): texture unit 1 needs GL_ARB_multitexture");
}

}  // namespace

#define BRV_XGL_DEFINE(name, unit1) decltype(xgl##name) xgl##name = &T##name::Null;
BRV_XGL_ENTRIES(BRV_XGL_DEFINE)
#undef BRV_XGL_DEFINE

TXGLMapping XGLMapping() { return mapping; }

void XGLMapToNull() { MapTo(xmNull); }
void XGLMapToMain() { MapTo(xmMain); }

void XGLMapToSecond() {
  RequireMultitexture();
  MapTo(xmSecond);
}

void XGLMapToDual() {
  RequireMultitexture();
  MapTo(xmDual);
}

void XGLBeginUpdate() {
  if (updateCount == 0) pendingMapping = mapping;
  ++updateCount;
}

void XGLEndUpdate() {
  BRV_ASSERT_MSG(updateCount > 0, "XGLEndUpdate(): no update is open");
  if (--updateCount > 0 || pendingMapping == mapping) return;
  switch (pendingMapping) {
    case xmNull: XGLMapToNull(); break;
    case xmMain: XGLMapToMain(); break;
    case xmSecond: XGLMapToSecond(); break;
    case xmDual: XGLMapToDual(); break;
    default: BRV_ASSERT(false);
  }
}
