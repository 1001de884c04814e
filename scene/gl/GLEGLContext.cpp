#include "scene/gl/GLEGLContext.h"

#include "EGLApi.h"
#include "scene/gl/GLWindowTracking.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

// More configurations than any driver offers means the count is garbage.
constexpr EGLint MAX_CONFIGS = 4096;

std::string Hex(EGLint code) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(code));
  return buffer;
}

[[noreturn]] void RaiseEGLError(const std::string& what) {
  throw EGLContext(what + " (EGL error 0x" + Hex(EGLApi().eglGetError()) + ")");
}

// The one EGL display of the process, with its pixel formats and the hidden
// root context that every context is created sharing with.
struct TEGLDisplay {
  std::mutex Mutex;
  void* NativeDisplay = nullptr;
  EGLDisplay Display = EGL_NO_DISPLAY;
  bool Windows = false;
  bool NoConfigContexts = false;
  std::vector<EGLConfig> Configs;
  std::vector<TPixelFormatInfo> Formats;
  bool SoftwareDriver = false;
  EGLContextHandle Root = EGL_NO_CONTEXT;
  // What the last activation saw: its pixel format and the GL vendor.
  int LastFormat = -1;
  std::string LastVendor;
};

TEGLDisplay& DisplayState() {
  static TEGLDisplay state;
  return state;
}

// EGL's extension strings; null when EGL cannot answer.
bool HasEGLExtension(const char* list, const char* name) { return list && HasExtension(list, name); }

// The client API that eglCreateContext makes contexts for is a setting of the
// calling thread: each thread binds desktop GL before it makes a context.
void BindDesktopGL(const TEGLApi& egl) {
  if (!egl.eglBindAPI(EGL_OPENGL_API)) RaiseEGLError("Desktop OpenGL is not offered");
}

EGLDisplay OpenDisplay(const TEGLApi& egl, EGLenum platform, void* native) {
  EGLDisplay display = egl.eglGetPlatformDisplay(platform, native, nullptr);
  if (display == EGL_NO_DISPLAY) return EGL_NO_DISPLAY;
  EGLint major = 0, minor = 0;
  if (!egl.eglInitialize(display, &major, &minor)) return EGL_NO_DISPLAY;
  return display;
}

TPixelFormatInfo DescribeConfig(const TEGLApi& egl, EGLDisplay display, EGLConfig config) {
  auto attribute = [&](EGLint name, EGLint fallback) {
    EGLint value = fallback;
    if (!egl.eglGetConfigAttrib(display, config, name, &value)) value = fallback;
    return static_cast<int>(value);
  };
  TPixelFormatInfo f;
  f.Id = attribute(EGL_CONFIG_ID, 0);
  f.RedBits = attribute(EGL_RED_SIZE, 0);
  f.GreenBits = attribute(EGL_GREEN_SIZE, 0);
  f.BlueBits = attribute(EGL_BLUE_SIZE, 0);
  f.AlphaBits = attribute(EGL_ALPHA_SIZE, 0);
  f.BufferBits = attribute(EGL_BUFFER_SIZE, 0);
  f.DepthBits = attribute(EGL_DEPTH_SIZE, 0);
  f.StencilBits = attribute(EGL_STENCIL_SIZE, 0);
  f.SampleBuffers = attribute(EGL_SAMPLE_BUFFERS, 0);
  f.Samples = attribute(EGL_SAMPLES, 0);
  int surfaces = attribute(EGL_SURFACE_TYPE, 0);
  f.Window = (surfaces & EGL_WINDOW_BIT) != 0;
  f.Pbuffer = (surfaces & EGL_PBUFFER_BIT) != 0;
  f.OpenGL = (attribute(EGL_RENDERABLE_TYPE, 0) & EGL_OPENGL_BIT) != 0;
  // Floating-point and luminance buffers are of no use to a byte-based scene.
  f.RGBA = attribute(EGL_COLOR_BUFFER_TYPE, EGL_RGB_BUFFER) == EGL_RGB_BUFFER &&
           attribute(EGL_COLOR_COMPONENT_TYPE_EXT, EGL_COLOR_COMPONENT_TYPE_FIXED_EXT) ==
               EGL_COLOR_COMPONENT_TYPE_FIXED_EXT;
  f.Slow = attribute(EGL_CONFIG_CAVEAT, EGL_NONE) == EGL_SLOW_CONFIG;
  return f;
}

void SetWindowSystemFlags(const TEGLDisplay& state) {
  TGLBinding& binding = RealGLBinding();
  binding.WS_pixel_format = true;
  binding.WS_multisample = false;
  binding.WS_pbuffer = false;
  for (const TPixelFormatInfo& f : state.Formats) {
    binding.WS_multisample = binding.WS_multisample || f.SampleBuffers > 0;
    binding.WS_pbuffer = binding.WS_pbuffer || f.Pbuffer;
  }
  binding.WS_swap_control = state.Windows;
}

// Opens the display once: X11 when the program runs on a display, surfaceless
// otherwise; reads its pixel formats.
TEGLDisplay& Display() {
  TEGLDisplay& state = DisplayState();
  const TEGLApi& egl = EGLApi();
  std::lock_guard<std::mutex> lock(state.Mutex);
  if (state.Display != EGL_NO_DISPLAY) return state;
  const char* clientExtensions = egl.eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  const char* x11 = std::getenv("DISPLAY");
  if ((state.NativeDisplay || (x11 && *x11)) && HasEGLExtension(clientExtensions, "EGL_KHR_platform_x11")) {
    state.Display = OpenDisplay(egl, EGL_PLATFORM_X11_KHR, state.NativeDisplay);
    state.Windows = state.Display != EGL_NO_DISPLAY;
  }
  if (state.Display == EGL_NO_DISPLAY && HasEGLExtension(clientExtensions, "EGL_MESA_platform_surfaceless"))
    state.Display = OpenDisplay(egl, EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY);
  if (state.Display == EGL_NO_DISPLAY) RaiseEGLError("No EGL display could be opened");
  BindDesktopGL(egl);

  EGLint count = 0;
  if (!egl.eglGetConfigs(state.Display, nullptr, 0, &count)) RaiseEGLError("The pixel formats cannot be read");
  if (count < 0 || count > MAX_CONFIGS) throw EGLContext("The driver reports " + std::to_string(count) + " pixel formats");
  state.Configs.resize(static_cast<std::size_t>(count));
  EGLint returned = 0;
  if (count > 0 && !egl.eglGetConfigs(state.Display, state.Configs.data(), count, &returned))
    RaiseEGLError("The pixel formats cannot be read");
  state.Configs.resize(static_cast<std::size_t>(std::min(std::max(returned, 0), count)));
  for (EGLConfig config : state.Configs) state.Formats.push_back(DescribeConfig(egl, state.Display, config));

  state.NoConfigContexts = HasEGLExtension(egl.eglQueryString(state.Display, EGL_EXTENSIONS), "EGL_KHR_no_config_context");
  if (egl.eglGetDisplayDriverName) {
    const char* driver = egl.eglGetDisplayDriverName(state.Display);
    state.SoftwareDriver = driver && (std::strcmp(driver, "swrast") == 0 || std::strcmp(driver, "kms_swrast") == 0);
  }
  SetWindowSystemFlags(state);
  return state;
}

// The root of the sharing group, made with the first context's pixel format
// when the driver needs one.
EGLContextHandle RootContext(TEGLDisplay& state, EGLConfig config) {
  std::lock_guard<std::mutex> lock(state.Mutex);
  if (state.Root == EGL_NO_CONTEXT) {
    const TEGLApi& egl = EGLApi();
    BindDesktopGL(egl);
    state.Root = egl.eglCreateContext(state.Display, state.NoConfigContexts ? EGL_NO_CONFIG_KHR : config,
                                      EGL_NO_CONTEXT, nullptr);
    if (state.Root == EGL_NO_CONTEXT) RaiseEGLError("The shared root context cannot be made");
  }
  return state.Root;
}

}  // namespace

const TEGLApi& EGLApi() {
  static TEGLApi api;
  static std::once_flag once;
  static std::string failure;
  std::call_once(once, [] {
    std::string error;
    if (!InitOpenGL(&error)) {
      failure = "The OpenGL libraries cannot be loaded: " + error;
      return;
    }
    void* library = EGLLibraryHandle();
#define BRV_EGL_BIND(name)                                                     \
  api.name = reinterpret_cast<decltype(api.name)>(dlsym(library, #name));      \
  if (!api.name && failure.empty()) failure = "The EGL library lacks " #name;
    BRV_EGL_ENTRIES(BRV_EGL_BIND)
#undef BRV_EGL_BIND
    if (api.eglGetProcAddress)
      api.eglGetDisplayDriverName =
          reinterpret_cast<decltype(api.eglGetDisplayDriverName)>(api.eglGetProcAddress("eglGetDisplayDriverName"));
  });
  if (!failure.empty()) throw EGLContext(failure);
  return api;
}

void SetEGLNativeDisplay(void* x11Display) {
  TEGLDisplay& state = DisplayState();
  std::lock_guard<std::mutex> lock(state.Mutex);
  if (state.Display == EGL_NO_DISPLAY) state.NativeDisplay = x11Display;
}

void OpenEGLDisplay() noexcept {
  try {
    TEGLDisplay& state = Display();
    if (state.NoConfigContexts) RootContext(state, nullptr);
  } catch (...) {
    // The first context opens the display again and reports why it cannot.
  }
}

bool EGLDisplayHasWindows() { return Display().Windows; }

std::vector<TPixelFormatInfo> EGLPixelFormats() { return Display().Formats; }

// ---------------------------------------------------------------------------

std::unique_ptr<TGLContext> TGLEGLContext::Create() { return std::make_unique<TGLEGLContext>(); }

TGLEGLContext::~TGLEGLContext() {
  DestroyContextQuietly();
  ReleaseDriverObjects();
}

TPixelFormatSettings TGLEGLContext::Settings() const {
  TPixelFormatSettings s;
  s.ColorBits = ColorBits();
  s.AlphaBits = AlphaBits();
  s.DepthBits = DepthBits();
  s.StencilBits = StencilBits();
  s.AccumBits = AccumBits();
  s.AuxBuffers = AuxBuffers();
  s.Options = Options();
  s.AntiAliasing = AntiAliasing();
  s.Multisample = RealGLBinding().WS_multisample;
  return s;
}

void TGLEGLContext::CreateInDriver(TNativeDevice outputDevice) {
  if (WindowTracking())
    TrackWindow(outputDevice, [this] {
      if (IsValid()) DestroyContext();
    });
  FWindow = outputDevice;
  try {
    const TEGLApi& egl = EGLApi();
    TEGLDisplay& state = Display();
    int index = ForceLegacyPixelFormat ? -1 : ChoosePixelFormatStrict(Settings(), true, state.Formats);
    if (index < 0) index = ChoosePixelFormatLenient(Settings(), state.Formats);
    if (index < 0) RaiseEGLError("No pixel format can draw to a window");
    EGLint renderBuffer = (Options() & rcoDoubleBuffered) ? EGL_BACK_BUFFER : EGL_SINGLE_BUFFER;
    const EGLAttrib surfaceAttributes[] = {EGL_RENDER_BUFFER, renderBuffer, EGL_NONE};
    // The X11 platform takes a pointer to the window id.
    unsigned long window = static_cast<unsigned long>(outputDevice);
    FSurface = egl.eglCreatePlatformWindowSurface(state.Display, state.Configs[index], &window, surfaceAttributes);
    if (FSurface == EGL_NO_SURFACE) RaiseEGLError("The window surface cannot be made");
    MakeContext(index, state.Formats);
    if (!FContext) RaiseEGLError("The rendering context cannot be made");
  } catch (...) {
    ReleaseDriverObjects();
    throw;
  }
}

void TGLEGLContext::CreateMemoryInDriver(TNativeDevice, int width, int height) {
  try {
    const TEGLApi& egl = EGLApi();
    TEGLDisplay& state = Display();
    if (!RealGLBinding().WS_pbuffer) throw EGLContext("WGL_ARB_pbuffer support required.");
    int index = ChoosePixelFormatStrict(Settings(), false, state.Formats);
    if (index < 0) throw EGLContext("Format not supported for pbuffer operation.");
    const EGLint attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    FSurface = egl.eglCreatePbufferSurface(state.Display, state.Configs[index], attributes);
    if (FSurface == EGL_NO_SURFACE) throw EGLContext("Unabled to create pbuffer.");
    FPbuffer = true;
    MakeContext(index, state.Formats);
    if (!FContext) throw EGLContext("Unabled to create pbuffer's RC.");
  } catch (...) {
    ReleaseDriverObjects();
    throw;
  }
}

void TGLEGLContext::MakeContext(int formatIndex, const std::vector<TPixelFormatInfo>& formats) {
  TEGLDisplay& state = DisplayState();
  EGLConfig config = state.Configs[formatIndex];
  EGLContextHandle root = RootContext(state, config);
  FFormat = formats[formatIndex];
  SetAcceleration(FFormat.Slow || state.SoftwareDriver ? chaSoftware : chaHardware);
  BindDesktopGL(EGLApi());
  FContext = EGLApi().eglCreateContext(state.Display, config, root, nullptr);
  if (FContext) {
    std::lock_guard<std::mutex> lock(state.Mutex);
    state.LastFormat = -1;
  }
}

bool TGLEGLContext::ReleaseDriverObjects() noexcept {
  if (FWindow) UnTrackWindow(FWindow);
  FWindow = 0;
  bool deleted = true;
  // The EGL entry points were bound when these objects were made.
  if (FContext || FSurface) {
    const TEGLApi& egl = EGLApi();
    EGLDisplay display = DisplayState().Display;
    if (FContext) deleted = egl.eglDestroyContext(display, FContext);
    if (FSurface) egl.eglDestroySurface(display, FSurface);
  }
  FContext = nullptr;
  FSurface = nullptr;
  FPbuffer = false;
  FFormat = TPixelFormatInfo();
  return deleted;
}

void TGLEGLContext::ActivateInDriver() {
  const TEGLApi& egl = EGLApi();
  TEGLDisplay& state = DisplayState();
  if (!egl.eglMakeCurrent(state.Display, FSurface, FSurface, FContext))
    throw EGLContext("Context activation failed: " + Hex(egl.eglGetError()));
  TGLBinding& binding = RealGLBinding();
  if (FFormat.Id != state.LastFormat) {
    const GLubyte* text = binding.glGetString(GL_VENDOR);
    std::string vendor = text ? reinterpret_cast<const char*>(text) : "";
    // Another driver behind the new format may resolve names differently.
    if (vendor != state.LastVendor) ReadGLEntryPoints();
    binding.ReadExtensions();
    state.LastFormat = FFormat.Id;
    state.LastVendor = vendor;
  }
  if ((AntiAliasing() == aa2xHQ || AntiAliasing() == aa4xHQ) && binding.NV_multisample_filter_hint)
    binding.glHint(GL_MULTISAMPLE_FILTER_HINT_NV, GL_NICEST);
}

void TGLEGLContext::DeactivateInDriver() {
  const TEGLApi& egl = EGLApi();
  if (!egl.eglMakeCurrent(DisplayState().Display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT))
    throw EGLContext("Context deactivation failed");
}

void TGLEGLContext::ShareListsInDriver(TGLContext& otherContext) {
  // Every context was created sharing with the root, so the GL side is done.
  if (!dynamic_cast<TGLEGLContext*>(&otherContext)) throw EGLContext("Incompatible contexts");
}

void TGLEGLContext::DestroyInDriver() {
  if (!ReleaseDriverObjects()) throw EGLContext("Delete context failed");
}

void TGLEGLContext::SwapBuffers() {
  if (!FPbuffer && FSurface && (Options() & rcoDoubleBuffered))
    EGLApi().eglSwapBuffers(DisplayState().Display, FSurface);
}

void TGLEGLContext::SetSwapInterval(int interval) {
  // The interval belongs to the surface bound on the calling thread.
  BRV_ASSERT(ThreadGLContext() == this);
  if (!EGLApi().eglSwapInterval(DisplayState().Display, interval)) RaiseEGLError("The swap interval cannot be set");
  FSwapInterval = interval;
}

// Unit start: the EGL context is the system's context class. The symbol below
// is named at link time so that the registration is always linked in.
extern "C" const int BrovanelEGLContextUnit = [] {
  RegisterContextClass(&TGLEGLContext::Create);
  return 1;
}();
