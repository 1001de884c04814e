#pragma once
// Shadow copies of the GL states that materials, textures and the frame's render
// path change most often. A cached operation sends its GL call only when the
// state is not already known to hold the requested value.
//
// The caches describe the context current on the calling thread: making a
// context current leaves them unknown, and the render path resets them at the
// start of a frame. They stay right only while every change of these states goes
// through them: bind textures with BindTextureCached (a raw glBindTexture leaves
// the cache believing an old binding), compile display lists with
// TGLListCompilation and call them with CallListCached.

#include "base/Geometry.h"
#include "scene/gl/OpenGLBinding.h"

#include <cstdint>

// The GL enable states tracked in a state set, one bit per index.
enum TGLState : std::uint8_t {
  stAlphaTest, stAutoNormal, stBlend, stColorMaterial, stCullFace, stDepthTest, stDither, stFog,
  stLighting, stLineSmooth, stLineStipple, stLogicOp, stNormalize, stPointSmooth, stPolygonSmooth,
  stPolygonStipple, stScissorTest, stStencilTest, stTexture1D, stTexture2D, stTextureCubeMap
};
inline constexpr int GL_STATE_COUNT = 21;

// A set of TGLState bits; a set bit means the state is known to be on. The
// caller owns the set (the frame keeps one in its render information).
using TGLStates = std::uint32_t;

constexpr TGLStates GLStateBit(TGLState state) { return TGLStates(1) << state; }
// The GL enumerant of a state (stBlend -> GL_BLEND); ERangeError beyond the table.
GLenum GLStateValue(TGLState state);

// glEnable/glDisable of the state unless the set already records it so.
void EnableGLState(TGLStates& states, TGLState state);
void DisableGLState(TGLStates& states, TGLState state);

// face GL_FRONT, GL_BACK or GL_FRONT_AND_BACK (any other face does nothing);
// mode GL_FILL, GL_LINE or GL_POINT.
void SetPolygonModeCached(GLenum face, GLenum mode);
void ResetPolygonModeCache();

// Material colours of GL_FRONT (any other face uses the back cache). Emission,
// ambient and specular are compared on red, green and blue only; diffuse on all
// four components, bit for bit.
void CacheMaterialColors(GLenum face, const TVector& emission, const TVector& ambient, const TVector& diffuse,
                         const TVector& specular, GLint shininess);
// Sends the face's cached diffuse colour with a new alpha. The diffuse colour
// must be known (set through CacheMaterialColors since the last reset).
void CacheMaterialAlpha(GLenum face, GLfloat alpha);
// Sends GL's default material to both faces, then leaves both colour caches
// unknown so that the next CacheMaterialColors sends every colour.
void ResetMaterialColorCache();

// Binds `name` to `target` on texture unit `unit` (0-7, ERangeError otherwise);
// the caller has made that unit active. Bindings are cached per unit and target
// (GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_CUBE_MAP; other targets always bind).
void BindTextureCached(int unit, GLenum target, GLuint name);
void ResetTextureBindingCache();
// A texture name was deleted: GL may hand it out again, so no cached binding
// may still claim it.
void ForgetTextureBinding(GLuint name);

// Loads `matrix` as the texture matrix (the model-view matrix mode is restored).
void LoadTextureMatrixCached(const TMatrix4& matrix);
// Back to the identity texture matrix, unless it is known to be the identity.
void ResetTextureMatrixCache();

// Swaps the winding of front faces. ResetFrontFaceCache sets counter-clockwise.
void FlipFrontFace();
void ResetFrontFaceCache();

// Every cache to unknown, without a GL call (a context became current).
void InvalidateGLStateCaches();

// The cached values. Unknown values: polygon mode 0, a colour whose bytes are all
// 0x7F (an impossible colour), shininess -1, texture name -1, flags -1.
struct TGLCachedStates {
  static constexpr int TEXTURE_UNITS = 8;
  static constexpr int TEXTURE_TARGETS = 3;  // 1D, 2D, cube map
  struct TFaceMaterial {
    TVector Emission, Ambient, Diffuse, Specular;
    GLint Shininess;
  };
  GLenum PolygonMode[2];  // front, back
  TFaceMaterial Material[2];
  std::int64_t Texture[TEXTURE_UNITS][TEXTURE_TARGETS];
  std::int8_t TextureMatrixIdentity;
  std::int8_t FrontFaceCCW;
};

// What calling a display list does to the cached states: recorded while the list
// is compiled, applied to the caches each time it is called. Keep one beside the
// list handle; compiling the list again replaces it.
class TGLListStateEffect {
public:
  TGLListStateEffect();
  // True when the list changes no cached state.
  bool Empty() const;

private:
  friend struct TGLStateCacheAccess;
  TGLCachedStates FValues;       // the state the list leaves, where it touched it
  std::uint32_t FTouched = 0;    // groups of FValues the list changed
  std::uint32_t FTouchedTextures = 0;  // bit unit * TEXTURE_TARGETS + target
  TGLStates FStatesKnown = 0;    // enable states the list sets ...
  TGLStates FStatesOn = 0;       // ... and those it leaves on
};

// Compiles display list `name` (glNewList ... glEndList) for the lifetime of the
// object. Cached operations meanwhile send every change into the list, never
// skip one because of the current state (which the compiled calls do not change),
// and record their effect in `effect`. With GL_COMPILE_AND_EXECUTE the effect is
// applied to the caches and to `states` at the end. Lists do not nest.
class TGLListCompilation {
public:
  TGLListCompilation(GLuint name, GLenum mode, TGLListStateEffect& effect, TGLStates& states);
  ~TGLListCompilation();
  TGLListCompilation(const TGLListCompilation&) = delete;
  TGLListCompilation& operator=(const TGLListCompilation&) = delete;

private:
  GLenum FMode;
  TGLListStateEffect& FEffect;
  TGLStates& FStates;
};

// True while a display list is being compiled through TGLListCompilation.
bool CompilingGLList();

// glCallList(name), then the list's recorded effect on the caches and on `states`.
// Inside a compilation the effect goes to the list being compiled.
void CallListCached(GLuint name, const TGLListStateEffect& effect, TGLStates& states);
