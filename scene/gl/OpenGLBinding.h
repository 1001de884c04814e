#pragma once
// The OpenGL binding: one table of entry points for OpenGL 1.1, GLU and the
// extensions the scene uses, filled at run time from the system's libraries
// (opened by name, never linked), and the capability flags read from the
// implementation's version and extension strings.
//
// Scene code calls GL through the current table: GL->glClear(GL_COLOR_BUFFER_BIT).
// Tests point GL at a recording table instead (see SetGLBinding).
//
// Adding an entry point is a one-line change in one of the lists below; its
// signature comes from the system's GL headers, which are used for their types
// and constants only.

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include "base/Exceptions.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

// An OpenGL call failed or reported an error; the text is GLU's description of
// the error ("invalid enumerant").
class EOpenGLError : public Exception {
public:
  using Exception::Exception;
};

// GLU's text for a GL or GLU error code through the current table ("invalid
// enumerant"), or "GL error 0x0500" for a code GLU does not know.
std::string GLErrorText(GLenum error);

// Whether the blank-separated `list` (an extension string) names `name` as a
// whole word.
bool HasExtension(std::string_view list, std::string_view name);

// OpenGL 1.1 core: bound by name from the GL library.
#define BRV_GL_CORE_ENTRIES(X) \
  X(glClearIndex) X(glClearColor) X(glClear) X(glIndexMask) X(glColorMask) \
  X(glAlphaFunc) X(glBlendFunc) X(glLogicOp) X(glCullFace) X(glFrontFace) \
  X(glPointSize) X(glLineWidth) X(glLineStipple) X(glPolygonMode) \
  X(glPolygonOffset) X(glPolygonStipple) X(glGetPolygonStipple) X(glEdgeFlag) \
  X(glEdgeFlagv) X(glScissor) X(glClipPlane) X(glGetClipPlane) X(glDrawBuffer) \
  X(glReadBuffer) X(glEnable) X(glDisable) X(glIsEnabled) X(glEnableClientState) \
  X(glDisableClientState) X(glGetBooleanv) X(glGetDoublev) X(glGetFloatv) \
  X(glGetIntegerv) X(glPushAttrib) X(glPopAttrib) X(glPushClientAttrib) \
  X(glPopClientAttrib) X(glRenderMode) X(glGetError) X(glGetString) X(glFinish) \
  X(glFlush) X(glHint) X(glClearDepth) X(glDepthFunc) X(glDepthMask) \
  X(glDepthRange) X(glClearAccum) X(glAccum) X(glMatrixMode) X(glOrtho) \
  X(glFrustum) X(glViewport) X(glPushMatrix) X(glPopMatrix) X(glLoadIdentity) \
  X(glLoadMatrixd) X(glLoadMatrixf) X(glMultMatrixd) X(glMultMatrixf) X(glRotated) \
  X(glRotatef) X(glScaled) X(glScalef) X(glTranslated) X(glTranslatef) X(glIsList) \
  X(glDeleteLists) X(glGenLists) X(glNewList) X(glEndList) X(glCallList) \
  X(glCallLists) X(glListBase) X(glBegin) X(glEnd) X(glVertex2d) X(glVertex2f) \
  X(glVertex2i) X(glVertex2s) X(glVertex3d) X(glVertex3f) X(glVertex3i) \
  X(glVertex3s) X(glVertex4d) X(glVertex4f) X(glVertex4i) X(glVertex4s) \
  X(glVertex2dv) X(glVertex2fv) X(glVertex2iv) X(glVertex2sv) X(glVertex3dv) \
  X(glVertex3fv) X(glVertex3iv) X(glVertex3sv) X(glVertex4dv) X(glVertex4fv) \
  X(glVertex4iv) X(glVertex4sv) X(glNormal3b) X(glNormal3d) X(glNormal3f) \
  X(glNormal3i) X(glNormal3s) X(glNormal3bv) X(glNormal3dv) X(glNormal3fv) \
  X(glNormal3iv) X(glNormal3sv) X(glIndexd) X(glIndexf) X(glIndexi) X(glIndexs) \
  X(glIndexub) X(glIndexdv) X(glIndexfv) X(glIndexiv) X(glIndexsv) X(glIndexubv) \
  X(glColor3b) X(glColor3d) X(glColor3f) X(glColor3i) X(glColor3s) X(glColor3ub) \
  X(glColor3ui) X(glColor3us) X(glColor4b) X(glColor4d) X(glColor4f) X(glColor4i) \
  X(glColor4s) X(glColor4ub) X(glColor4ui) X(glColor4us) X(glColor3bv) \
  X(glColor3dv) X(glColor3fv) X(glColor3iv) X(glColor3sv) X(glColor3ubv) \
  X(glColor3uiv) X(glColor3usv) X(glColor4bv) X(glColor4dv) X(glColor4fv) \
  X(glColor4iv) X(glColor4sv) X(glColor4ubv) X(glColor4uiv) X(glColor4usv) \
  X(glTexCoord1d) X(glTexCoord1f) X(glTexCoord1i) X(glTexCoord1s) X(glTexCoord2d) \
  X(glTexCoord2f) X(glTexCoord2i) X(glTexCoord2s) X(glTexCoord3d) X(glTexCoord3f) \
  X(glTexCoord3i) X(glTexCoord3s) X(glTexCoord4d) X(glTexCoord4f) X(glTexCoord4i) \
  X(glTexCoord4s) X(glTexCoord1dv) X(glTexCoord1fv) X(glTexCoord1iv) \
  X(glTexCoord1sv) X(glTexCoord2dv) X(glTexCoord2fv) X(glTexCoord2iv) \
  X(glTexCoord2sv) X(glTexCoord3dv) X(glTexCoord3fv) X(glTexCoord3iv) \
  X(glTexCoord3sv) X(glTexCoord4dv) X(glTexCoord4fv) X(glTexCoord4iv) \
  X(glTexCoord4sv) X(glRasterPos2d) X(glRasterPos2f) X(glRasterPos2i) \
  X(glRasterPos2s) X(glRasterPos3d) X(glRasterPos3f) X(glRasterPos3i) \
  X(glRasterPos3s) X(glRasterPos4d) X(glRasterPos4f) X(glRasterPos4i) \
  X(glRasterPos4s) X(glRasterPos2dv) X(glRasterPos2fv) X(glRasterPos2iv) \
  X(glRasterPos2sv) X(glRasterPos3dv) X(glRasterPos3fv) X(glRasterPos3iv) \
  X(glRasterPos3sv) X(glRasterPos4dv) X(glRasterPos4fv) X(glRasterPos4iv) \
  X(glRasterPos4sv) X(glRectd) X(glRectf) X(glRecti) X(glRects) X(glRectdv) \
  X(glRectfv) X(glRectiv) X(glRectsv) X(glVertexPointer) X(glNormalPointer) \
  X(glColorPointer) X(glIndexPointer) X(glTexCoordPointer) X(glEdgeFlagPointer) \
  X(glGetPointerv) X(glArrayElement) X(glDrawArrays) X(glDrawElements) \
  X(glInterleavedArrays) X(glShadeModel) X(glLightf) X(glLighti) X(glLightfv) \
  X(glLightiv) X(glGetLightfv) X(glGetLightiv) X(glLightModelf) X(glLightModeli) \
  X(glLightModelfv) X(glLightModeliv) X(glMaterialf) X(glMateriali) \
  X(glMaterialfv) X(glMaterialiv) X(glGetMaterialfv) X(glGetMaterialiv) \
  X(glColorMaterial) X(glPixelZoom) X(glPixelStoref) X(glPixelStorei) \
  X(glPixelTransferf) X(glPixelTransferi) X(glPixelMapfv) X(glPixelMapuiv) \
  X(glPixelMapusv) X(glGetPixelMapfv) X(glGetPixelMapuiv) X(glGetPixelMapusv) \
  X(glBitmap) X(glReadPixels) X(glDrawPixels) X(glCopyPixels) X(glStencilFunc) \
  X(glStencilMask) X(glStencilOp) X(glClearStencil) X(glTexGend) X(glTexGenf) \
  X(glTexGeni) X(glTexGendv) X(glTexGenfv) X(glTexGeniv) X(glGetTexGendv) \
  X(glGetTexGenfv) X(glGetTexGeniv) X(glTexEnvf) X(glTexEnvi) X(glTexEnvfv) \
  X(glTexEnviv) X(glGetTexEnvfv) X(glGetTexEnviv) X(glTexParameterf) \
  X(glTexParameteri) X(glTexParameterfv) X(glTexParameteriv) \
  X(glGetTexParameterfv) X(glGetTexParameteriv) X(glGetTexLevelParameterfv) \
  X(glGetTexLevelParameteriv) X(glTexImage1D) X(glTexImage2D) X(glGetTexImage) \
  X(glGenTextures) X(glDeleteTextures) X(glBindTexture) X(glPrioritizeTextures) \
  X(glAreTexturesResident) X(glIsTexture) X(glTexSubImage1D) X(glTexSubImage2D) \
  X(glCopyTexImage1D) X(glCopyTexImage2D) X(glCopyTexSubImage1D) \
  X(glCopyTexSubImage2D) X(glMap1d) X(glMap1f) X(glMap2d) X(glMap2f) X(glGetMapdv) \
  X(glGetMapfv) X(glGetMapiv) X(glEvalCoord1d) X(glEvalCoord1f) X(glEvalCoord1dv) \
  X(glEvalCoord1fv) X(glEvalCoord2d) X(glEvalCoord2f) X(glEvalCoord2dv) \
  X(glEvalCoord2fv) X(glMapGrid1d) X(glMapGrid1f) X(glMapGrid2d) X(glMapGrid2f) \
  X(glEvalPoint1) X(glEvalPoint2) X(glEvalMesh1) X(glEvalMesh2) X(glFogf) \
  X(glFogi) X(glFogfv) X(glFogiv) X(glFeedbackBuffer) X(glPassThrough) \
  X(glSelectBuffer) X(glInitNames) X(glLoadName) X(glPushName) X(glPopName)

// GLU: bound by name from the GLU library.
#define BRV_GLU_ENTRIES(X) \
  X(gluErrorString) X(gluBuild2DMipmaps) X(gluScaleImage) \
  X(gluOrtho2D) X(gluLookAt) X(gluPickMatrix) X(gluUnProject) \
  X(gluNewQuadric) X(gluDeleteQuadric) X(gluQuadricCallback) X(gluQuadricDrawStyle) \
  X(gluQuadricNormals) X(gluQuadricOrientation) X(gluQuadricTexture) \
  X(gluCylinder) X(gluDisk) X(gluPartialDisk) \
  X(gluNewTess) X(gluDeleteTess) X(gluTessCallback) X(gluTessProperty) X(gluTessNormal) \
  X(gluTessBeginPolygon) X(gluTessBeginContour) X(gluTessVertex) \
  X(gluTessEndContour) X(gluTessEndPolygon)

// Extension entry points: asked of the window-system layer, which knows the
// driver's own names; usable only when their extension flag is set.
#define BRV_GL_EXTENSION_ENTRIES(X) \
  X(glActiveTextureARB) X(glClientActiveTextureARB) \
  X(glMultiTexCoord2fARB) X(glMultiTexCoord2fvARB) X(glMultiTexCoord3fARB) \
  X(glMultiTexCoord3fvARB) X(glMultiTexCoord4fARB) X(glMultiTexCoord4fvARB) \
  X(glLoadTransposeMatrixfARB) \
  X(glVertexArrayRangeNV) X(glFlushVertexArrayRangeNV)

// Capability flags, each set when the extension string names the extension.
#define BRV_GL_EXTENSION_FLAGS(X) \
  X(ARB_multitexture) X(ARB_multisample) X(ARB_texture_compression) \
  X(ARB_texture_cube_map) X(ARB_transpose_matrix) \
  X(EXT_texture_filter_anisotropic) X(SGIS_generate_mipmap) \
  X(NV_fog_distance) X(NV_multisample_filter_hint) X(NV_vertex_array_range)

#define BRV_GL_ALL_ENTRIES(X) BRV_GL_CORE_ENTRIES(X) BRV_GLU_ENTRIES(X) BRV_GL_EXTENSION_ENTRIES(X)

// The index of every entry point in the table, in list order.
enum class TGLEntry : std::size_t {
#define BRV_GL_ENUM(name) name,
  BRV_GL_ALL_ENTRIES(BRV_GL_ENUM)
#undef BRV_GL_ENUM
  Count
};

// The function type of an entry point, e.g. void(GLbitfield) for glClear.
#define BRV_GL_SIGNATURE(name) std::remove_pointer_t<decltype(&::name)>

// The name of an entry point ("glClear").
const char* GLEntryName(TGLEntry entry);

struct TGLBinding {
#define BRV_GL_MEMBER(name) BRV_GL_SIGNATURE(name)* name = nullptr;
  BRV_GL_ALL_ENTRIES(BRV_GL_MEMBER)
#undef BRV_GL_MEMBER

  // Version from the GL_VERSION string ("1.1 ..." gives 1 and 1); 0 before the
  // first read.
  int VersionMajor = 0;
  int VersionMinor = 0;
  bool VERSION_1_1() const { return VersionMajor > 1 || (VersionMajor == 1 && VersionMinor >= 1); }

#define BRV_GL_FLAG(name) bool name = false;
  BRV_GL_EXTENSION_FLAGS(BRV_GL_FLAG)
#undef BRV_GL_FLAG

  // Window-system capabilities, set by the rendering-context layer: pixel-format
  // description, multisampled formats, off-screen pixel buffers, swap interval.
  bool WS_pixel_format = false;
  bool WS_multisample = false;
  bool WS_pbuffer = false;
  bool WS_swap_control = false;

  // Reads the version and extension strings of the current context through this
  // table's glGetString and sets the version and the flags. Needs a current context.
  void ReadExtensions();

  // Sets the version and the flags from the two strings, as ReadExtensions does.
  void ReadExtensionStrings(const std::string& version, const std::string& extensions);

  // The entry point `entry` as an untyped pointer, and setting it.
  void* Entry(TGLEntry entry) const;
  void SetEntry(TGLEntry entry, void* function);
};

// The table scene code calls through. Never null: before the libraries are loaded
// it is the real binding whose entries all raise EOpenGLError.
extern TGLBinding* GL;

// Makes `binding` the current table (tests install a recording one); nullptr
// restores the real binding. The caller keeps ownership.
void SetGLBinding(TGLBinding* binding);

// The binding over the system's libraries.
TGLBinding& RealGLBinding();

// Opens the GL, GLU and EGL libraries (once) and binds every entry point;
// returns false, with the loader's message in `error`, when a library is missing.
bool InitOpenGL(std::string* error = nullptr);

// Binds the entry points again: core and GLU names through the libraries'
// symbol tables, extension names through the window system. Entries that
// cannot be found raise EOpenGLError when called.
void ReadGLEntryPoints();

// The handle of the opened EGL library (for the rendering-context layer), or null.
void* EGLLibraryHandle();
