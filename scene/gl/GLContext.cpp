#include "scene/gl/GLContext.h"

#include "scene/gl/GLStateCache.h"

#include <algorithm>
#include <iostream>

namespace {

thread_local TGLContext* threadContext = nullptr;

// glGetError calls after the first one while draining a queue of errors.
constexpr int MAX_EXTRA_ERROR_READS = 7;

TGLLogSink& LogSink() {
  static TGLLogSink sink;
  return sink;
}

template <typename T>
bool Contains(const std::vector<T*>& list, const T* item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

template <typename T>
void Remove(std::vector<T*>& list, const T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

// The context current on this thread, taken out of the way for as many levels as
// it was activated, and put back with the same depth later. A context activated
// twice by its user stays activated twice after a destroy path borrowed the thread.
class TSuspendedContext {
public:
  TSuspendedContext() : FContext(threadContext) {
    if (!FContext) return;
    FDepth = FContext->ActivationCount();
    FContext->SetActive(false);
  }
  void Resume() {
    if (!FContext) return;
    TGLContext* context = FContext;
    FContext = nullptr;
    for (int i = 0; i < FDepth; ++i) context->Activate();
  }

private:
  TGLContext* FContext;
  int FDepth = 0;
};

// The process-wide manager, shared with the contexts registered with it.
struct TManagerHolder {
  std::shared_ptr<TGLContextManager> Manager = std::make_shared<TGLContextManager>();
  // At program end the holder lets go of the manager; contexts still registered
  // keep it until the last of them goes.
  ~TManagerHolder() {
    if (Manager) Manager->Terminate();
  }
};

TManagerHolder& ManagerHolder() {
  static TManagerHolder holder;
  return holder;
}

}  // namespace

TGLContext* ThreadGLContext() { return threadContext; }

void RaiseOnGLError() {
  GLenum first = GL->glGetError();
  if (first == GL_NO_ERROR) return;
  try {
    for (int i = 0; i < MAX_EXTRA_ERROR_READS && GL->glGetError() != GL_NO_ERROR; ++i) {
    }
  } catch (...) {
    // The first error is what the caller needs to hear about.
  }
  throw EOpenGLError(GLErrorText(first));
}

void DrainGLErrors() {
  for (int i = 0; i <= MAX_EXTRA_ERROR_READS && GL->glGetError() != GL_NO_ERROR; ++i) {
  }
}

void SetGLLogSink(TGLLogSink sink) { LogSink() = std::move(sink); }

void LogGLProblem(const std::string& text) {
  if (LogSink())
    LogSink()(text);
  else
    std::cerr << text << std::endl;
}

// ---------------------------------------------------------------------------
// Handles

TGLContextHandle::~TGLContextHandle() {
  // The derived destructor has freed the GL object; only a handle whose freeing
  // failed half-way can still be listed in its context.
  if (FRenderingContext) Remove(FRenderingContext->FOwnedHandles, this);
}

void TGLContextHandle::AllocateHandle() {
  BRV_ASSERT(FHandle == 0);
  TGLContext* current = ThreadGLContext();
  BRV_ASSERT(current != nullptr);
  FHandle = AllocateInDriver();
  if (FHandle != 0) {
    FRenderingContext = current;
    current->FOwnedHandles.push_back(this);
  }
}

void TGLContextHandle::DestroyHandle() {
  if (FHandle == 0) return;
  TGLContext* owner = FRenderingContext;
  TGLContext* current = ThreadGLContext();
  std::exception_ptr error;
  if (!owner) {
    // Never tied to a context: nothing can free it any more.
  } else {
    Remove(owner->FOwnedHandles, this);
    if (owner == current || (current && Contains(current->FSharedList, owner))) {
      try {
        FreeInDriver();
      } catch (...) {
        error = std::current_exception();
      }
    } else {
      TSuspendedContext suspended;
      try {
        owner->Activate();
        try {
          FreeInDriver();
        } catch (...) {
          error = std::current_exception();
        }
        owner->Deactivate();
      } catch (...) {
        if (!error) error = std::current_exception();
      }
      try {
        suspended.Resume();
      } catch (...) {
        if (!error) error = std::current_exception();
      }
    }
  }
  FHandle = 0;
  FRenderingContext = nullptr;
  if (error) std::rethrow_exception(error);
}

void TGLContextHandle::DestroyHandleQuietly() noexcept {
  try {
    DestroyHandle();
  } catch (const std::exception& e) {
    LogGLProblem(std::string("Freeing a GL object failed: ") + e.what());
  } catch (...) {
    LogGLProblem("Freeing a GL object failed");
  }
}

TGLListHandle::~TGLListHandle() { DestroyHandleQuietly(); }

GLuint TGLListHandle::AllocateInDriver() {
  GLuint name = GL->glGenLists(1);
  // Names are 32-bit signed integers to the rest of the system.
  if (name > static_cast<GLuint>(INT32_MAX)) throw ERangeError();
  if (name == 0) {
    // GL hands out no list inside glNewList/glEndList or when it runs out of
    // memory; say so instead of leaving a handle that looks free.
    RaiseOnGLError();
    throw EOpenGLError("No display list could be allocated");
  }
  return name;
}

void TGLListHandle::FreeInDriver() {
  DrainGLErrors();
  GL->glDeleteLists(Handle(), 1);
  RaiseOnGLError();
}

TGLTextureHandle::~TGLTextureHandle() { DestroyHandleQuietly(); }

GLuint TGLTextureHandle::AllocateInDriver() {
  GLuint name = 0;
  GL->glGenTextures(1, &name);
  return name;
}

void TGLTextureHandle::FreeInDriver() {
  GL->glGetError();
  GLuint name = Handle();
  GL->glDeleteTextures(1, &name);
  // GL may hand the name out again for a new texture: no cached binding may claim it.
  ForgetTextureBinding(name);
  RaiseOnGLError();
}

TGLVirtualHandle::~TGLVirtualHandle() { DestroyHandleQuietly(); }

GLuint TGLVirtualHandle::AllocateInDriver() {
  GLuint name = 0;
  if (OnAllocate) OnAllocate(*this, name);
  return name;
}

void TGLVirtualHandle::FreeInDriver() {
  DrainGLErrors();
  if (OnDestroy) {
    GLuint name = Handle();
    OnDestroy(*this, name);
  }
  RaiseOnGLError();
}

// ---------------------------------------------------------------------------
// Contexts

TGLContext::TGLContext() {
  if (std::shared_ptr<TGLContextManager> manager = ManagerHolder().Manager) {
    manager->RegisterContext(*this);
    FRegisteredWith = std::move(manager);
  }
}

TGLContext::~TGLContext() {
  // Whatever a failed destruction left behind must not point at this object.
  for (TGLContextHandle* handle : FOwnedHandles) {
    handle->FRenderingContext = nullptr;
    handle->FHandle = 0;
  }
  FOwnedHandles.clear();
  for (TGLContext* other : FSharedList)
    if (other != this) Remove(other->FSharedList, this);
  if (threadContext == this) threadContext = nullptr;
  if (FRegisteredWith) {
    try {
      FRegisteredWith->UnRegisterContext(*this);
    } catch (const std::exception& e) {
      LogGLProblem(e.what());
    }
  }
}

void TGLContext::DestroyContextQuietly() noexcept {
  try {
    if (IsValid()) DestroyContext();
  } catch (const std::exception& e) {
    LogGLProblem(std::string("Destroying a rendering context failed: ") + e.what());
  } catch (...) {
    LogGLProblem("Destroying a rendering context failed");
  }
}

void TGLContext::SetSetting(int& field, int value) {
  if (Active()) throw EGLContext("Cannot alter an active context");
  // The platform takes these as byte fields of the pixel format.
  if (value < 0 || value > 255) throw ERangeError();
  field = value;
}

void TGLContext::SetColorBits(int value) { SetSetting(FColorBits, value); }
void TGLContext::SetAlphaBits(int value) { SetSetting(FAlphaBits, value); }
void TGLContext::SetDepthBits(int value) { SetSetting(FDepthBits, value); }
void TGLContext::SetStencilBits(int value) { SetSetting(FStencilBits, value); }
void TGLContext::SetAccumBits(int value) { SetSetting(FAccumBits, value); }
void TGLContext::SetAuxBuffers(int value) { SetSetting(FAuxBuffers, value); }

void TGLContext::SetAntiAliasing(TGLAntiAliasing value) {
  if (Active()) throw EGLContext("Cannot alter an active context");
  FAntiAliasing = value;
}

void TGLContext::SetOptions(TGLRCOptions value) {
  if (Active()) throw EGLContext("Cannot alter an active context");
  FOptions = value;
}

void TGLContext::AfterCreation() {
  if (!Contains(FSharedList, this)) FSharedList.push_back(this);
  if (FManager) FManager->NoteContextCreated(*this);
}

void TGLContext::CreateContext(TNativeDevice outputDevice) {
  if (IsValid()) throw EGLContext("Context already created");
  FAcceleration = chaUnknown;
  CreateInDriver(outputDevice);
  AfterCreation();
}

void TGLContext::CreateMemoryContext(TNativeDevice outputDevice, int width, int height) {
  if (IsValid()) throw EGLContext("Context already created");
  FAcceleration = chaUnknown;
  CreateMemoryInDriver(outputDevice, width, height);
  AfterCreation();
}

void TGLContext::ShareLists(TGLContext& otherContext) {
  if (!IsValid()) throw EGLContext("Context not created");
  ShareListsInDriver(otherContext);
  if (Contains(FSharedList, &otherContext)) return;
  // Both groups become one: every member of either sees every member of both.
  // (Adding only `otherContext` would drop the other group's members from it.)
  std::vector<TGLContext*> merged = FSharedList;
  if (!Contains(merged, this)) merged.push_back(this);
  for (TGLContext* member : otherContext.FSharedList)
    if (!Contains(merged, member)) merged.push_back(member);
  if (!Contains(merged, &otherContext)) merged.push_back(&otherContext);
  FSharedList = merged;
  PropagateSharedContext();
}

void TGLContext::PropagateSharedContext() {
  for (TGLContext* other : FSharedList)
    if (other != this) other->FSharedList = FSharedList;
}

void TGLContext::ReleaseOwnedHandles(std::exception_ptr& firstError) {
  TGLContext* heir = nullptr;
  for (TGLContext* other : FSharedList)
    if (other != this) {
      heir = other;
      break;
    }
  std::vector<TGLContextHandle*> handles;
  handles.swap(FOwnedHandles);
  for (auto it = handles.rbegin(); it != handles.rend(); ++it) {
    TGLContextHandle* handle = *it;
    if (heir) {
      // The GL objects live on in the sharing context.
      heir->FOwnedHandles.push_back(handle);
      handle->FRenderingContext = heir;
      continue;
    }
    try {
      handle->FreeInDriver();
    } catch (...) {
      if (!firstError) firstError = std::current_exception();
    }
    handle->FHandle = 0;
    handle->FRenderingContext = nullptr;
  }
}

void TGLContext::DestroyContext() {
  if (!IsValid()) throw EGLContext("Context not created");
  std::exception_ptr error;
  std::unique_ptr<TSuspendedContext> suspended;
  if (threadContext && threadContext != this) suspended = std::make_unique<TSuspendedContext>();
  bool activated = false;
  try {
    Activate();
    activated = true;
  } catch (...) {
    error = std::current_exception();
  }
  // Without an activation the objects cannot be deleted, but they must still be
  // handed over or forgotten, or they would point at a dead context.
  if (activated)
    ReleaseOwnedHandles(error);
  else
    for (TGLContextHandle* handle : FOwnedHandles) {
      handle->FHandle = 0;
      handle->FRenderingContext = nullptr;
    }
  FOwnedHandles.clear();
  if (FManager) FManager->NoteContextDestroying(*this);
  Remove(FSharedList, this);
  PropagateSharedContext();
  FSharedList.clear();
  try {
    SetActive(false);
  } catch (...) {
    if (!error) error = std::current_exception();
  }
  try {
    DestroyInDriver();
  } catch (...) {
    if (!error) error = std::current_exception();
  }
  if (suspended) {
    try {
      suspended->Resume();
    } catch (...) {
      if (!error) error = std::current_exception();
    }
  }
  FAcceleration = chaUnknown;
  if (error) std::rethrow_exception(error);
}

void TGLContext::Activate() {
  if (FActivationCount > 0) {
    BRV_ASSERT(threadContext == this);
  } else {
    if (!IsValid()) throw EGLContext("Context not created");
    ActivateInDriver();
    threadContext = this;
    // The state caches described whatever context was current before.
    InvalidateGLStateCaches();
  }
  ++FActivationCount;
}

void TGLContext::Deactivate() {
  // Checked before anything changes: an extra call leaves the count at 0.
  if (FActivationCount <= 0) throw EGLContext("Unbalanced context activations");
  BRV_ASSERT(threadContext == this);
  --FActivationCount;
  if (FActivationCount > 0) return;
  threadContext = nullptr;
  if (!IsValid()) throw EGLContext("Context not created");
  DeactivateInDriver();
}

void TGLContext::SetActive(bool value) {
  while (Active() != value) {
    if (value)
      Activate();
    else
      Deactivate();
  }
}

// ---------------------------------------------------------------------------
// Context classes and the manager

std::vector<TGLContextClass>& ContextClasses() {
  static std::vector<TGLContextClass> classes;
  return classes;
}

void RegisterContextClass(TGLContextClass contextClass) { ContextClasses().push_back(contextClass); }

std::unique_ptr<TGLContext> TGLContextManager::CreateContext() {
  if (ContextClasses().empty()) return nullptr;
  std::unique_ptr<TGLContext> context = ContextClasses().front()();
  if (context) context->FManager = this;
  return context;
}

void TGLContextManager::RegisterContext(TGLContext& context) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (Contains(FContexts, &context)) throw EGLContext("Invalid context registration");
  FContexts.push_back(&context);
}

void TGLContextManager::UnRegisterContext(TGLContext& context) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (!Contains(FContexts, &context)) throw EGLContext("Invalid context registration");
  Remove(FContexts, &context);
}

int TGLContextManager::ContextCount() const {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  return static_cast<int>(FContexts.size());
}

void TGLContextManager::NoteContextCreated(TGLContext&) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  ++FLiveContexts;
}

void TGLContextManager::NoteContextDestroying(TGLContext&) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  --FLiveContexts;
  if (FLiveContexts != 0) return;
  while (!FNotifications.empty()) {
    std::function<void()> notification = std::move(FNotifications.back());
    FNotifications.pop_back();
    notification();
  }
}

void TGLContextManager::QueueNotification(std::function<void()> notification) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  FNotifications.push_back(std::move(notification));
}

int TGLContextManager::LiveContextCount() const {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  return FLiveContexts;
}

TGLContextManager* GLContextManager() { return ManagerHolder().Manager.get(); }

void TGLContextManager::Terminate() {
  FTerminated = true;
  TManagerHolder& holder = ManagerHolder();
  if (holder.Manager.get() != this || ContextCount() != 0) return;
  holder.Manager.reset();  // may free this object: nothing may follow
}
