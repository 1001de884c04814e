#pragma once
// The switchable texture-coordinate entry points. Scene objects emit texture
// coordinates, texture generation and texture-coordinate arrays through these
// fifteen pointers instead of GL directly; a mapping points them at nothing, at
// the ordinary GL calls, at texture unit 1, or at units 0 and 1 together, so that
// one drawing routine serves single, second-unit and dual texturing.
//
//   XGLMapToMain();
//   xglTexCoord2f(0.5f, 1);   // glTexCoord2f(0.5, 1)
//
// Each entry takes the arguments of the GL function of the same name. Until a
// mapping is chosen they do nothing.

#include "scene/gl/OpenGLBinding.h"

#include <cstdint>

extern void (*xglTexCoord2f)(GLfloat s, GLfloat t);
extern void (*xglTexCoord2fv)(const GLfloat* v);
extern void (*xglTexCoord3f)(GLfloat s, GLfloat t, GLfloat r);
extern void (*xglTexCoord3fv)(const GLfloat* v);
extern void (*xglTexCoord4f)(GLfloat s, GLfloat t, GLfloat r, GLfloat q);
extern void (*xglTexCoord4fv)(const GLfloat* v);
extern void (*xglTexGenf)(GLenum coord, GLenum pname, GLfloat param);
extern void (*xglTexGenfv)(GLenum coord, GLenum pname, const GLfloat* params);
extern void (*xglTexGeni)(GLenum coord, GLenum pname, GLint param);
extern void (*xglTexGeniv)(GLenum coord, GLenum pname, const GLint* params);
// For the texture-generation enables (GL_TEXTURE_GEN_S ...).
extern void (*xglEnable)(GLenum cap);
extern void (*xglDisable)(GLenum cap);
extern void (*xglTexCoordPointer)(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer);
extern void (*xglEnableClientState)(GLenum array);
extern void (*xglDisableClientState)(GLenum array);

// The current mapping; xmNull from the start, xmNone never.
enum TXGLMapping : std::uint8_t { xmNone, xmNull, xmMain, xmSecond, xmDual };
TXGLMapping XGLMapping();

// Re-point the entries: to no-ops, to the plain GL calls, to texture unit 1, or to
// the plain call followed by the same call on unit 1. Inside XGLBeginUpdate /
// XGLEndUpdate only the last request is kept, and applied by the last
// XGLEndUpdate. The second and dual mappings need GL_ARB_multitexture.
void XGLMapToNull();
void XGLMapToMain();
void XGLMapToSecond();
void XGLMapToDual();

void XGLBeginUpdate();
void XGLEndUpdate();
