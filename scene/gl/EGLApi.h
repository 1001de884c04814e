#pragma once
// The EGL entry points the rendering-context layer uses, bound by name from the
// EGL library that the OpenGL binding opened.

// The EGL header names its context type EGLContext, which is also the name of
// our context exception: the EGL type is renamed while the header is read.
#define EGLContext EGLContextHandle
#define EGL_NO_X11 1
#define EGL_EGLEXT_PROTOTYPES 1
#include <EGL/egl.h>
#include <EGL/eglext.h>
#undef EGLContext
#undef EGL_NO_CONTEXT
#define EGL_NO_CONTEXT static_cast<EGLContextHandle>(nullptr)

#include <type_traits>

#define BRV_EGL_ENTRIES(X) \
  X(eglGetError) X(eglGetProcAddress) X(eglGetPlatformDisplay) X(eglInitialize) \
  X(eglQueryString) X(eglGetConfigs) X(eglGetConfigAttrib) X(eglBindAPI) \
  X(eglCreateContext) X(eglDestroyContext) X(eglMakeCurrent) \
  X(eglCreatePbufferSurface) X(eglCreatePlatformWindowSurface) X(eglDestroySurface) \
  X(eglSwapBuffers) X(eglSwapInterval)

struct TEGLApi {
#define BRV_EGL_MEMBER(name) std::remove_pointer_t<decltype(&::name)>* name = nullptr;
  BRV_EGL_ENTRIES(BRV_EGL_MEMBER)
#undef BRV_EGL_MEMBER
  // Optional: the driver's name ("swrast" for the software rasteriser).
  decltype(&::eglGetDisplayDriverName) eglGetDisplayDriverName = nullptr;
};

// The bound EGL entry points; loads the libraries first. Raises EGLContext
// when they cannot be loaded or an entry point is missing.
const TEGLApi& EGLApi();
