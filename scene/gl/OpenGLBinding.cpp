#include "scene/gl/OpenGLBinding.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <mutex>

namespace {

constexpr std::array<const char*, static_cast<std::size_t>(TGLEntry::Count)> ENTRY_NAMES = {
#define BRV_GL_NAME(name) #name,
    BRV_GL_ALL_ENTRIES(BRV_GL_NAME)
#undef BRV_GL_NAME
};

// What an entry point that the libraries do not offer does when called: raise,
// instead of jumping through a null pointer.
template <TGLEntry Entry, typename Signature>
struct TMissingEntry;

template <TGLEntry Entry, typename Result, typename... Args>
struct TMissingEntry<Entry, Result(Args...)> {
  static Result Call(Args...) {
    throw EOpenGLError(std::string("OpenGL entry point ") + GLEntryName(Entry) + " is not available");
  }
};

void PointAtMissingEntries(TGLBinding& binding) {
#define BRV_GL_MISSING(name) binding.name = &TMissingEntry<TGLEntry::name, BRV_GL_SIGNATURE(name)>::Call;
  BRV_GL_ALL_ENTRIES(BRV_GL_MISSING)
#undef BRV_GL_MISSING
}

TGLBinding& MakeRealBinding() {
  static TGLBinding binding;
  PointAtMissingEntries(binding);
  return binding;
}

struct TLibraries {
  void* OpenGL = nullptr;
  void* GLU = nullptr;
  void* EGL = nullptr;
  bool Loaded = false;
  std::string Error;
};

TLibraries& Libraries() {
  static TLibraries libraries;
  return libraries;
}

void* OpenFirst(std::initializer_list<const char*> names, std::string& error) {
  for (const char* name : names) {
    if (void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL)) return handle;
    const char* message = dlerror();
    error = message ? message : name;
  }
  return nullptr;
}

}  // namespace

std::string GLErrorText(GLenum error) {
  const GLubyte* text = GL->gluErrorString(error);
  if (text) return reinterpret_cast<const char*>(text);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "GL error 0x%04X", static_cast<unsigned>(error));
  return buffer;
}

bool HasExtension(std::string_view list, std::string_view name) {
  std::size_t start = 0;
  while (start < list.size()) {
    const std::size_t end = std::min(list.find(' ', start), list.size());
    if (list.substr(start, end - start) == name) return true;
    start = end + 1;
  }
  return false;
}

TGLBinding* GL = &RealGLBinding();

const char* GLEntryName(TGLEntry entry) {
  std::size_t index = static_cast<std::size_t>(entry);
  if (index >= ENTRY_NAMES.size()) throw ERangeError();
  return ENTRY_NAMES[index];
}

TGLBinding& RealGLBinding() {
  static TGLBinding& binding = MakeRealBinding();
  return binding;
}

void SetGLBinding(TGLBinding* binding) { GL = binding ? binding : &RealGLBinding(); }

void* TGLBinding::Entry(TGLEntry entry) const {
  switch (entry) {
#define BRV_GL_GET(name) \
  case TGLEntry::name:   \
    return reinterpret_cast<void*>(name);
    BRV_GL_ALL_ENTRIES(BRV_GL_GET)
#undef BRV_GL_GET
    case TGLEntry::Count:
      break;
  }
  throw ERangeError();
}

void TGLBinding::SetEntry(TGLEntry entry, void* function) {
  switch (entry) {
#define BRV_GL_SET(name)                                          \
  case TGLEntry::name:                                            \
    name = reinterpret_cast<BRV_GL_SIGNATURE(name)*>(function);   \
    return;
    BRV_GL_ALL_ENTRIES(BRV_GL_SET)
#undef BRV_GL_SET
    case TGLEntry::Count:
      break;
  }
  throw ERangeError();
}

void TGLBinding::ReadExtensionStrings(const std::string& version, const std::string& extensions) {
  // "major.minor[.release] [vendor text]"; anything unreadable counts as 0.0.
  int major = 0, minor = 0;
  if (std::sscanf(version.c_str(), "%d.%d", &major, &minor) != 2) major = minor = 0;
  VersionMajor = major;
  VersionMinor = minor;
#define BRV_GL_READ_FLAG(name) name = HasExtension(extensions, "GL_" #name);
  BRV_GL_EXTENSION_FLAGS(BRV_GL_READ_FLAG)
#undef BRV_GL_READ_FLAG
}

void TGLBinding::ReadExtensions() {
  auto text = [this](GLenum name) {
    const GLubyte* value = glGetString(name);
    return value ? std::string(reinterpret_cast<const char*>(value)) : std::string();
  };
  std::string version = text(GL_VERSION);
  ReadExtensionStrings(version, text(GL_EXTENSIONS));
}

bool InitOpenGL(std::string* error) {
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  TLibraries& libs = Libraries();
  if (!libs.Loaded) {
    std::string message;
    // The vendor-neutral GL library first; the older combined one where it is missing.
    void* opengl = OpenFirst({"libOpenGL.so.0", "libGL.so.1"}, message);
    void* glu = opengl ? OpenFirst({"libGLU.so.1"}, message) : nullptr;
    void* egl = glu ? OpenFirst({"libEGL.so.1"}, message) : nullptr;
    if (!egl) {
      for (void* handle : {glu, opengl})
        if (handle) dlclose(handle);
      libs.Error = message;
    } else {
      libs.OpenGL = opengl;
      libs.GLU = glu;
      libs.EGL = egl;
      libs.Loaded = true;
      libs.Error.clear();
      ReadGLEntryPoints();
    }
  }
  if (error) *error = libs.Error;
  return libs.Loaded;
}

void* EGLLibraryHandle() { return Libraries().EGL; }

void ReadGLEntryPoints() {
  TLibraries& libs = Libraries();
  if (!libs.Loaded) return;
  using TGetProcAddress = void* (*)(const char*);
  auto getProcAddress = reinterpret_cast<TGetProcAddress>(dlsym(libs.EGL, "eglGetProcAddress"));
  TGLBinding& binding = RealGLBinding();
  // What the libraries lack keeps raising when called.
  PointAtMissingEntries(binding);
  auto bind = [&](TGLEntry entry, void* library) {
    const char* name = GLEntryName(entry);
    if (void* function = library ? dlsym(library, name) : (getProcAddress ? getProcAddress(name) : nullptr))
      binding.SetEntry(entry, function);
  };
#define BRV_GL_BIND_CORE(name) bind(TGLEntry::name, libs.OpenGL);
#define BRV_GL_BIND_GLU(name) bind(TGLEntry::name, libs.GLU);
#define BRV_GL_BIND_EXT(name) bind(TGLEntry::name, nullptr);
  BRV_GL_CORE_ENTRIES(BRV_GL_BIND_CORE)
  BRV_GLU_ENTRIES(BRV_GL_BIND_GLU)
  BRV_GL_EXTENSION_ENTRIES(BRV_GL_BIND_EXT)
#undef BRV_GL_BIND_CORE
#undef BRV_GL_BIND_GLU
#undef BRV_GL_BIND_EXT
}
