#include "scene/gl/GLStateCache.h"

#include "scene/gl/GLContext.h"

#include <cstring>

namespace {

constexpr GLenum STATE_VALUES[GL_STATE_COUNT] = {
    GL_ALPHA_TEST,     GL_AUTO_NORMAL,     GL_BLEND,        GL_COLOR_MATERIAL,  GL_CULL_FACE,
    GL_DEPTH_TEST,     GL_DITHER,          GL_FOG,          GL_LIGHTING,        GL_LINE_SMOOTH,
    GL_LINE_STIPPLE,   GL_INDEX_LOGIC_OP,  GL_NORMALIZE,    GL_POINT_SMOOTH,    GL_POLYGON_SMOOTH,
    GL_POLYGON_STIPPLE, GL_SCISSOR_TEST,   GL_STENCIL_TEST, GL_TEXTURE_1D,      GL_TEXTURE_2D,
    GL_TEXTURE_CUBE_MAP};

// Groups of cached values a display list can change.
enum : std::uint32_t {
  tgPolygonFront = 1 << 0,
  tgPolygonBack = 1 << 1,
  tgMaterialFront = 1 << 2,
  tgMaterialBack = 1 << 3,
  tgTextureMatrix = 1 << 4,
  tgFrontFace = 1 << 5,
};

constexpr int FRONT = 0;
constexpr int BACK = 1;

TVector UnknownColor() {
  TVector color;
  std::memset(&color, 0x7F, sizeof color);
  return color;
}

bool SameBits(const float* a, const float* b, int count) { return std::memcmp(a, b, sizeof(float) * count) == 0; }

void ForgetMaterialColors(TGLCachedStates::TFaceMaterial& material) {
  material.Emission = material.Ambient = material.Diffuse = material.Specular = UnknownColor();
}

void ForgetTextureBindings(TGLCachedStates& states) {
  for (auto& unit : states.Texture)
    for (std::int64_t& name : unit) name = -1;
}

// Everything unknown but the front face, which is kept: FlipFrontFace works
// relative to it, and a list's flips are relative to the winding at compile time.
void MakeUnknown(TGLCachedStates& states) {
  states.PolygonMode[FRONT] = states.PolygonMode[BACK] = 0;
  for (auto& material : states.Material) {
    ForgetMaterialColors(material);
    material.Shininess = -1;
  }
  ForgetTextureBindings(states);
  states.TextureMatrixIdentity = -1;
}

TGLCachedStates InitialStates() {
  TGLCachedStates states;
  MakeUnknown(states);
  states.TextureMatrixIdentity = 1;
  states.FrontFaceCCW = 1;
  return states;
}

// The caches mirror the context current on this thread.
thread_local TGLCachedStates current = InitialStates();
thread_local TGLListStateEffect* compiling = nullptr;

int TextureTargetSlot(GLenum target) {
  switch (target) {
    case GL_TEXTURE_1D: return 0;
    case GL_TEXTURE_2D: return 1;
    case GL_TEXTURE_CUBE_MAP: return 2;
    default: return -1;
  }
}

// The cache faces a GL face enumerant writes: GL_FRONT the front one, GL_FRONT_AND_BACK
// both, anything else the back one.
struct TFaces {
  int First, Last;
};
TFaces FacesOf(GLenum face) {
  if (face == GL_FRONT) return {FRONT, FRONT};
  if (face == GL_FRONT_AND_BACK) return {FRONT, BACK};
  return {BACK, BACK};
}
std::uint32_t MaterialGroup(int face) { return face == FRONT ? tgMaterialFront : tgMaterialBack; }

}  // namespace

// Reaches the recorded effect of a list for the operations of this unit.
struct TGLStateCacheAccess {
  // The values cached operations read and write: the list's own record while one
  // is compiled, the current context's otherwise.
  static TGLCachedStates& Target() { return compiling ? compiling->FValues : current; }

  static void Touch(std::uint32_t groups) {
    if (compiling) compiling->FTouched |= groups;
  }
  static void TouchTexture(int unit, int slot) {
    if (compiling) compiling->FTouchedTextures |= std::uint32_t(1) << (unit * TGLCachedStates::TEXTURE_TARGETS + slot);
  }

  static void StartRecording(TGLListStateEffect& effect) {
    MakeUnknown(effect.FValues);
    effect.FValues.FrontFaceCCW = current.FrontFaceCCW;
    effect.FTouched = effect.FTouchedTextures = 0;
    effect.FStatesKnown = effect.FStatesOn = 0;
  }

  static bool Empty(const TGLListStateEffect& effect) {
    return effect.FTouched == 0 && effect.FTouchedTextures == 0 && effect.FStatesKnown == 0;
  }

  // Enable state `bit` set on or off inside the list being compiled; false when the
  // list already sets it so.
  static bool RecordState(TGLStates bit, bool on) {
    TGLListStateEffect& effect = *compiling;
    if ((effect.FStatesKnown & bit) && ((effect.FStatesOn & bit) != 0) == on) return false;
    effect.FStatesKnown |= bit;
    effect.FStatesOn = on ? (effect.FStatesOn | bit) : (effect.FStatesOn & ~bit);
    return true;
  }

  // What calling a list leaves: its effect laid over `values` and `states`.
  static void Apply(const TGLListStateEffect& effect, TGLCachedStates& values, TGLStates& states) {
    const TGLCachedStates& from = effect.FValues;
    if (effect.FTouched & tgPolygonFront) values.PolygonMode[FRONT] = from.PolygonMode[FRONT];
    if (effect.FTouched & tgPolygonBack) values.PolygonMode[BACK] = from.PolygonMode[BACK];
    if (effect.FTouched & tgMaterialFront) values.Material[FRONT] = from.Material[FRONT];
    if (effect.FTouched & tgMaterialBack) values.Material[BACK] = from.Material[BACK];
    if (effect.FTouched & tgTextureMatrix) values.TextureMatrixIdentity = from.TextureMatrixIdentity;
    if (effect.FTouched & tgFrontFace) values.FrontFaceCCW = from.FrontFaceCCW;
    for (int unit = 0; unit < TGLCachedStates::TEXTURE_UNITS; ++unit)
      for (int slot = 0; slot < TGLCachedStates::TEXTURE_TARGETS; ++slot)
        if (effect.FTouchedTextures & (std::uint32_t(1) << (unit * TGLCachedStates::TEXTURE_TARGETS + slot)))
          values.Texture[unit][slot] = from.Texture[unit][slot];
    states = (states & ~effect.FStatesKnown) | effect.FStatesOn;
  }

  // A list called inside the list being compiled: its effect becomes part of the outer one.
  static void ApplyToCompiling(const TGLListStateEffect& effect) {
    TGLListStateEffect& outer = *compiling;
    TGLStates on = outer.FStatesOn;
    Apply(effect, outer.FValues, on);
    outer.FStatesOn = on;
    outer.FStatesKnown |= effect.FStatesKnown;
    outer.FTouched |= effect.FTouched;
    outer.FTouchedTextures |= effect.FTouchedTextures;
  }

  static void ApplyToCurrent(const TGLListStateEffect& effect, TGLStates& states) { Apply(effect, current, states); }
};

using Access = TGLStateCacheAccess;

GLenum GLStateValue(TGLState state) {
  if (state >= GL_STATE_COUNT) throw ERangeError();
  return STATE_VALUES[state];
}

namespace {

void SetGLState(TGLStates& states, TGLState state, bool on) {
  GLenum value = GLStateValue(state);
  TGLStates bit = GLStateBit(state);
  // Inside a list the set says nothing: the list's own record decides.
  bool known = compiling ? !Access::RecordState(bit, on) : ((states & bit) != 0) == on;
  if (known) return;
  if (on)
    GL->glEnable(value);
  else
    GL->glDisable(value);
  if (!compiling) states = on ? (states | bit) : (states & ~bit);
}

}  // namespace

void EnableGLState(TGLStates& states, TGLState state) { SetGLState(states, state, true); }
void DisableGLState(TGLStates& states, TGLState state) { SetGLState(states, state, false); }

void SetPolygonModeCached(GLenum face, GLenum mode) {
  TGLCachedStates& states = Access::Target();
  GLenum* cached = states.PolygonMode;
  switch (face) {
    case GL_FRONT:
    case GL_BACK: {
      int index = face == GL_FRONT ? FRONT : BACK;
      if (cached[index] == mode) return;
      GL->glPolygonMode(face, mode);
      cached[index] = mode;
      Access::Touch(index == FRONT ? tgPolygonFront : tgPolygonBack);
      return;
    }
    case GL_FRONT_AND_BACK:
      if (cached[FRONT] == mode && cached[BACK] == mode) return;
      GL->glPolygonMode(face, mode);
      cached[FRONT] = cached[BACK] = mode;
      Access::Touch(tgPolygonFront | tgPolygonBack);
      return;
    default:
      return;
  }
}

void ResetPolygonModeCache() {
  TGLCachedStates& states = Access::Target();
  states.PolygonMode[FRONT] = states.PolygonMode[BACK] = 0;
}

void CacheMaterialColors(GLenum face, const TVector& emission, const TVector& ambient, const TVector& diffuse,
                         const TVector& specular, GLint shininess) {
  using TFaceMaterial = TGLCachedStates::TFaceMaterial;
  TGLCachedStates& states = Access::Target();
  TFaces faces = FacesOf(face);
  std::uint32_t changed = 0;
  // Sends the value when any written face caches another one, then caches it there.
  auto update = [&](auto&& differs, auto&& send, auto&& store) {
    bool any = false;
    for (int f = faces.First; f <= faces.Last; ++f) any = any || differs(states.Material[f]);
    if (!any) return;
    send();
    for (int f = faces.First; f <= faces.Last; ++f) {
      store(states.Material[f]);
      changed |= MaterialGroup(f);
    }
  };
  update([&](const TFaceMaterial& m) { return m.Shininess != shininess; },
         [&] { GL->glMateriali(face, GL_SHININESS, shininess); },
         [&](TFaceMaterial& m) { m.Shininess = shininess; });
  // Only the diffuse alpha reaches the pixels: the other alphas are not compared.
  struct TColor {
    GLenum Name;
    TVector TFaceMaterial::*Member;
    int Components;
    const TVector& Value;
  };
  const TColor colors[] = {{GL_EMISSION, &TFaceMaterial::Emission, 3, emission},
                           {GL_AMBIENT, &TFaceMaterial::Ambient, 3, ambient},
                           {GL_DIFFUSE, &TFaceMaterial::Diffuse, 4, diffuse},
                           {GL_SPECULAR, &TFaceMaterial::Specular, 3, specular}};
  for (const TColor& color : colors)
    update([&](const TFaceMaterial& m) { return !SameBits(&(m.*color.Member).x, &color.Value.x, color.Components); },
           [&] { GL->glMaterialfv(face, color.Name, &color.Value.x); },
           [&](TFaceMaterial& m) { m.*color.Member = color.Value; });
  Access::Touch(changed);
}

void CacheMaterialAlpha(GLenum face, GLfloat alpha) {
  TGLCachedStates& states = Access::Target();
  TFaces faces = FacesOf(face);
  const TVector unknown = UnknownColor();
  for (int f = faces.First; f <= faces.Last; ++f) {
    TVector& diffuse = states.Material[f].Diffuse;
    // After a reset the cache holds no real colour: sending it would paint with it.
    BRV_ASSERT_MSG(!SameBits(&diffuse.x, &unknown.x, 3), "CacheMaterialAlpha(): the diffuse colour is not known");
    if (SameBits(&diffuse.w, &alpha, 1)) continue;
    diffuse.w = alpha;
    GL->glMaterialfv(f == FRONT ? GL_FRONT : GL_BACK, GL_DIFFUSE, &diffuse.x);
    Access::Touch(MaterialGroup(f));
  }
}

void ResetMaterialColorCache() {
  static constexpr GLfloat AMBIENT[4] = {0.2f, 0.2f, 0.2f, 1};
  static constexpr GLfloat DIFFUSE[4] = {0.8f, 0.8f, 0.8f, 1};
  static constexpr GLfloat BLACK[4] = {0, 0, 0, 1};
  GL->glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, AMBIENT);
  GL->glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, DIFFUSE);
  GL->glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, BLACK);
  GL->glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, BLACK);
  GL->glMateriali(GL_FRONT_AND_BACK, GL_SHININESS, 0);
  TGLCachedStates& states = Access::Target();
  for (auto& material : states.Material) {
    ForgetMaterialColors(material);
    material.Shininess = 0;
  }
  Access::Touch(tgMaterialFront | tgMaterialBack);
}

void BindTextureCached(int unit, GLenum target, GLuint name) {
  if (unit < 0 || unit >= TGLCachedStates::TEXTURE_UNITS) throw ERangeError();
  int slot = TextureTargetSlot(target);
  if (slot < 0) {
    GL->glBindTexture(target, name);
    return;
  }
  std::int64_t& cached = Access::Target().Texture[unit][slot];
  if (cached == std::int64_t(name)) return;
  GL->glBindTexture(target, name);
  cached = name;
  Access::TouchTexture(unit, slot);
}

void ResetTextureBindingCache() { ForgetTextureBindings(Access::Target()); }

void ForgetTextureBinding(GLuint name) {
  for (auto& unit : current.Texture)
    for (std::int64_t& cached : unit)
      if (cached == std::int64_t(name)) cached = -1;
}

void LoadTextureMatrixCached(const TMatrix4& matrix) {
  Access::Target().TextureMatrixIdentity = 0;
  Access::Touch(tgTextureMatrix);
  GL->glMatrixMode(GL_TEXTURE);
  GL->glLoadMatrixf(&matrix.Rows[0].x);
  GL->glMatrixMode(GL_MODELVIEW);
}

void ResetTextureMatrixCache() {
  TGLCachedStates& states = Access::Target();
  if (states.TextureMatrixIdentity == 1) return;
  GL->glMatrixMode(GL_TEXTURE);
  GL->glLoadIdentity();
  GL->glMatrixMode(GL_MODELVIEW);
  states.TextureMatrixIdentity = 1;
  Access::Touch(tgTextureMatrix);
}

void FlipFrontFace() {
  TGLCachedStates& states = Access::Target();
  states.FrontFaceCCW = states.FrontFaceCCW ? 0 : 1;
  Access::Touch(tgFrontFace);
  GL->glFrontFace(states.FrontFaceCCW ? GL_CCW : GL_CW);
}

void ResetFrontFaceCache() {
  GL->glFrontFace(GL_CCW);
  Access::Target().FrontFaceCCW = 1;
  Access::Touch(tgFrontFace);
}

void InvalidateGLStateCaches() { MakeUnknown(current); }

TGLListStateEffect::TGLListStateEffect() { MakeUnknown(FValues); FValues.FrontFaceCCW = -1; }

bool TGLListStateEffect::Empty() const { return Access::Empty(*this); }

TGLListCompilation::TGLListCompilation(GLuint name, GLenum mode, TGLListStateEffect& effect, TGLStates& states)
    : FMode(mode), FEffect(effect), FStates(states) {
  BRV_ASSERT_MSG(!compiling, "TGLListCompilation(): display lists do not nest");
  GL->glNewList(name, mode);
  Access::StartRecording(effect);
  compiling = &effect;
}

TGLListCompilation::~TGLListCompilation() {
  compiling = nullptr;
  try {
    GL->glEndList();
  } catch (const std::exception& e) {
    LogGLProblem(e.what());
  }
  // The calls ran as they were compiled: the caches follow them.
  if (FMode == GL_COMPILE_AND_EXECUTE) Access::ApplyToCurrent(FEffect, FStates);
}

bool CompilingGLList() { return compiling != nullptr; }

void CallListCached(GLuint name, const TGLListStateEffect& effect, TGLStates& states) {
  GL->glCallList(name);
  if (compiling)
    Access::ApplyToCompiling(effect);
  else
    Access::ApplyToCurrent(effect, states);
}
