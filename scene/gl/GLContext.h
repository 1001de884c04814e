#pragma once
// Rendering contexts and the GL objects made in them: the platform-neutral
// context TGLContext (a platform class derives from it), the handles of display
// lists, textures and event-allocated objects, the process-wide context manager,
// and the two GL error checks every other unit uses.

#include "scene/gl/OpenGLBinding.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A rendering context was misused or could not be made ("Context not created").
class EGLContext : public Exception {
public:
  using Exception::Exception;
};

class TGLContext;
class TGLContextManager;

// The platform's output device for a window context: the native window id.
using TNativeDevice = std::uintptr_t;

// Multisampling choice of a context (read by the platform context).
enum TGLAntiAliasing : std::uint8_t { aaDefault, aaNone, aa2x, aa2xHQ, aa4x, aa4xHQ };

// Context options, a set of bits.
enum TGLRCOption : std::uint8_t { rcoDoubleBuffered = 1 << 0, rcoStereo = 1 << 1 };
using TGLRCOptions = std::uint8_t;

// Hardware or software rendering, as the platform context found it.
enum TGLContextAcceleration : std::uint8_t { chaUnknown, chaHardware, chaSoftware };

// The calling thread's active context, or nullptr.
TGLContext* ThreadGLContext();

// Reads glGetError; on an error drains up to 7 more queued errors and raises
// EOpenGLError with GLU's text for the first one.
void RaiseOnGLError();
// Calls glGetError until it reports no error, at most 8 times.
void DrainGLErrors();

// Where problems that cannot be raised go (a destructor cleaning up): standard
// error by default. nullptr restores the default.
using TGLLogSink = std::function<void(const std::string&)>;
void SetGLLogSink(TGLLogSink sink);
void LogGLProblem(const std::string& text);

// One GL object name tied to the context that made it. A handle object outlives
// its GL object: Handle 0 means not allocated.
class TGLContextHandle {
public:
  TGLContextHandle() = default;
  TGLContextHandle(const TGLContextHandle&) = delete;
  TGLContextHandle& operator=(const TGLContextHandle&) = delete;
  // Frees the GL object; a failure there is logged, never raised.
  virtual ~TGLContextHandle();

  TGLContext* RenderingContext() const { return FRenderingContext; }
  GLuint Handle() const { return FHandle; }

  // Makes the GL object in the calling thread's current context. The handle must
  // be free and a context must be current.
  void AllocateHandle();
  // Frees the GL object in its context (activating that context when needed) and
  // zeroes the handle. Nothing when the handle is 0.
  void DestroyHandle();

protected:
  // For the destructor of a derived class: DestroyHandle, logging any failure.
  void DestroyHandleQuietly() noexcept;

  virtual GLuint AllocateInDriver() = 0;
  virtual void FreeInDriver() = 0;

private:
  friend class TGLContext;
  TGLContext* FRenderingContext = nullptr;
  GLuint FHandle = 0;
};

// A display list.
class TGLListHandle : public TGLContextHandle {
public:
  ~TGLListHandle() override;

protected:
  GLuint AllocateInDriver() override;
  void FreeInDriver() override;
};

// A texture object.
class TGLTextureHandle : public TGLContextHandle {
public:
  ~TGLTextureHandle() override;

protected:
  GLuint AllocateInDriver() override;
  void FreeInDriver() override;
};

// An object made and freed by its owner's events.
class TGLVirtualHandle : public TGLContextHandle {
public:
  using THandleEvent = std::function<void(TGLVirtualHandle& sender, GLuint& handle)>;
  ~TGLVirtualHandle() override;

  THandleEvent OnAllocate;
  THandleEvent OnDestroy;

protected:
  GLuint AllocateInDriver() override;
  void FreeInDriver() override;
};

// The platform-neutral rendering context. Registers itself with the context
// manager on construction and unregisters on destruction.
class TGLContext {
public:
  TGLContext();
  TGLContext(const TGLContext&) = delete;
  TGLContext& operator=(const TGLContext&) = delete;
  // A derived class destroys its still valid GL context in its own destructor
  // (DestroyContextQuietly); this one detaches whatever is left and unregisters.
  virtual ~TGLContext();

  // Pixel-format settings; changing one while the context is active raises
  // "Cannot alter an active context". Each must lie in 0..255.
  int ColorBits() const { return FColorBits; }
  void SetColorBits(int value);
  int AlphaBits() const { return FAlphaBits; }
  void SetAlphaBits(int value);
  int DepthBits() const { return FDepthBits; }
  void SetDepthBits(int value);
  int StencilBits() const { return FStencilBits; }
  void SetStencilBits(int value);
  int AccumBits() const { return FAccumBits; }
  void SetAccumBits(int value);
  int AuxBuffers() const { return FAuxBuffers; }
  void SetAuxBuffers(int value);
  TGLAntiAliasing AntiAliasing() const { return FAntiAliasing; }
  void SetAntiAliasing(TGLAntiAliasing value);
  TGLRCOptions Options() const { return FOptions; }
  void SetOptions(TGLRCOptions value);

  TGLContextManager* Manager() const { return FManager; }
  TGLContextAcceleration Acceleration() const { return FAcceleration; }
  int ActivationCount() const { return FActivationCount; }

  // True while the GL context exists.
  virtual bool IsValid() const = 0;
  virtual void SwapBuffers() = 0;

  // Makes the GL context on a window (outputDevice) or off-screen.
  void CreateContext(TNativeDevice outputDevice);
  void CreateMemoryContext(TNativeDevice outputDevice, int width, int height);
  // Puts this context and `otherContext` (with the contexts each already shares
  // with) into one group that shares GL objects.
  void ShareLists(TGLContext& otherContext);
  // Destroys the GL context. Its GL objects move to a context of its group, or
  // are freed when it is the group's last.
  void DestroyContext();

  // Nested activation on the calling thread.
  void Activate();
  void Deactivate();
  bool Active() const { return FActivationCount > 0; }
  void SetActive(bool value);

  // The contexts sharing GL objects with this one (this one included once its GL
  // context exists), and the handles allocated in it.
  const std::vector<TGLContext*>& SharedContexts() const { return FSharedList; }
  const std::vector<TGLContextHandle*>& OwnedHandles() const { return FOwnedHandles; }

protected:
  virtual void ActivateInDriver() = 0;
  virtual void DeactivateInDriver() = 0;
  virtual void CreateInDriver(TNativeDevice outputDevice) = 0;
  virtual void CreateMemoryInDriver(TNativeDevice outputDevice, int width, int height) = 0;
  virtual void ShareListsInDriver(TGLContext& otherContext) = 0;
  virtual void DestroyInDriver() = 0;

  void SetAcceleration(TGLContextAcceleration value) { FAcceleration = value; }
  // For the destructor of a derived class (the base destructor can no longer
  // reach the driver): destroys a still valid GL context, logging any failure.
  void DestroyContextQuietly() noexcept;

private:
  friend class TGLContextHandle;
  friend class TGLContextManager;

  void SetSetting(int& field, int value);
  void PropagateSharedContext();
  void AfterCreation();
  void ReleaseOwnedHandles(std::exception_ptr& firstError);

  int FColorBits = 32;
  int FAlphaBits = 0;
  int FDepthBits = 0;
  int FStencilBits = 0;
  int FAccumBits = 0;
  int FAuxBuffers = 0;
  TGLAntiAliasing FAntiAliasing = aaDefault;
  TGLRCOptions FOptions = 0;
  TGLContextManager* FManager = nullptr;
  // The manager this context is registered with, kept alive while the context
  // lives: a context may outlive the process-wide holder at the program's end.
  std::shared_ptr<TGLContextManager> FRegisteredWith;
  int FActivationCount = 0;
  std::vector<TGLContext*> FSharedList;
  std::vector<TGLContextHandle*> FOwnedHandles;
  TGLContextAcceleration FAcceleration = chaUnknown;
};

// A context class: makes a new context object of that class.
using TGLContextClass = std::unique_ptr<TGLContext> (*)();

// Appends a context class to the process-wide list; the manager makes contexts
// of the first registered class.
void RegisterContextClass(TGLContextClass contextClass);
// The registered classes (tests save and restore it).
std::vector<TGLContextClass>& ContextClasses();

// The process-wide registry of contexts.
class TGLContextManager {
public:
  TGLContextManager() = default;
  TGLContextManager(const TGLContextManager&) = delete;
  TGLContextManager& operator=(const TGLContextManager&) = delete;

  // A new context of the first registered class, or nullptr when none is registered.
  std::unique_ptr<TGLContext> CreateContext();

  // Called by the context constructor and destructor; a context registered twice,
  // or unregistered while unknown, raises "Invalid context registration".
  void RegisterContext(TGLContext& context);
  void UnRegisterContext(TGLContext& context);
  int ContextCount() const;

  void Lock() const { FLock.lock(); }
  void UnLock() const { FLock.unlock(); }

  // Counts live GL contexts; when the last one is destroyed the queued
  // notifications run, the last queued first.
  void NoteContextCreated(TGLContext& context);
  void NoteContextDestroying(TGLContext& context);
  void QueueNotification(std::function<void()> notification);
  int LiveContextCount() const;

  // Marks the manager as terminating and frees it when no context is registered.
  void Terminate();
  bool Terminated() const { return FTerminated; }

private:
  mutable std::recursive_mutex FLock;
  std::vector<TGLContext*> FContexts;
  std::vector<std::function<void()>> FNotifications;
  int FLiveContexts = 0;
  bool FTerminated = false;
};

// The process-wide manager; nullptr after Terminate has freed it.
TGLContextManager* GLContextManager();
