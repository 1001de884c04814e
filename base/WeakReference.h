#pragma once
// Weak references: a pointer to an object that someone else owns, set to null
// when that object is freed, with an optional event that tells the holder.
//
//   TWeakRef<TGLCamera> camera([this] { ReportChange(this); });
//   camera = &someCamera;   // freeing someCamera later nulls `camera`, then runs the event
//   if (camera) camera->Apply();
//   TGLCamera* raw = camera.Get();   // the pointer only when asked for
//
// The object pointed at derives from TFreeNotifier. Binding, rebinding and
// dropping a reference take constant time, however many references the object
// has. Everything here runs on the thread that owns the objects; nothing is guarded.

#include "base/Exceptions.h"

#include <functional>

class TWeakRefBase;

// An object that weak references may point at. Its destructor (or an earlier
// NotifyFree from a derived destructor) nulls every weak reference to it.
class TFreeNotifier {
public:
  TFreeNotifier() = default;
  TFreeNotifier(const TFreeNotifier&) = delete;
  TFreeNotifier& operator=(const TFreeNotifier&) = delete;

  // True once the object has begun telling its references that it goes.
  bool FreeNotified() const { return FFreeing; }

protected:
  ~TFreeNotifier() { NotifyFree(); }
  // Nulls every weak reference and runs their events, one at a time, the last
  // bound first; references bound afterwards stay null. A derived destructor
  // calls it first, so that no event reaches an object whose derived parts are
  // already gone.
  void NotifyFree() noexcept;

private:
  friend class TWeakRefBase;
  // The references to this object, linked through the references themselves.
  TWeakRefBase* FFirstReference = nullptr;
  bool FFreeing = false;
};

class TWeakRefBase {
public:
  using TFreedEvent = std::function<void()>;

  TWeakRefBase(const TWeakRefBase&) = delete;
  TWeakRefBase& operator=(const TWeakRefBase&) = delete;

  // Runs after the reference has become null, when the object it pointed at is freed.
  TFreedEvent OnFreed;

protected:
  explicit TWeakRefBase(TFreedEvent onFreed) : OnFreed(std::move(onFreed)) {}
  ~TWeakRefBase() { Bind(nullptr); }

  // Points at `target` (null for none); an object that is being freed is not taken.
  void Bind(TFreeNotifier* target);
  TFreeNotifier* Target() const { return FTarget; }
  // The object is going: forget it (the typed pointer too).
  virtual void TargetFreed() { FTarget = nullptr; }

private:
  friend class TFreeNotifier;
  void Unlink();

  TFreeNotifier* FTarget = nullptr;
  // Neighbours in the target's list of references.
  TWeakRefBase* FPrevious = nullptr;
  TWeakRefBase* FNext = nullptr;
};

// A weak reference to a T, which derives from TFreeNotifier. It turns into a
// pointer only through Get (or ->), never on its own.
template <class T>
class TWeakRef : public TWeakRefBase {
public:
  explicit TWeakRef(TFreedEvent onFreed = nullptr) : TWeakRefBase(std::move(onFreed)) {}
  ~TWeakRef() = default;

  TWeakRef& operator=(T* object) {
    Bind(object);
    FObject = Target() ? object : nullptr;
    return *this;
  }

  T* Get() const { return FObject; }
  explicit operator bool() const { return FObject != nullptr; }
  T* operator->() const {
    BRV_ASSERT_MSG(FObject != nullptr, "TWeakRef: the object is not there");
    return FObject;
  }

private:
  void TargetFreed() override {
    TWeakRefBase::TargetFreed();
    FObject = nullptr;
  }

  T* FObject = nullptr;
};
