#pragma once
// The component base of the scene's non-visual parts (scenes, material libraries,
// cadencers, scene objects): a persistent object with an owner component, a name,
// a state that says whether it is being read from a layout or freed, and free
// notification: weak references to a component (TWeakRef) become null when it is
// freed. The owner here is who the component reports to; who frees it is a
// matter of the code that made it.

#include <cstdint>
#include <string>

#include "base/ClassRegistry.h"
#include "base/WeakReference.h"

enum TComponentStateFlag : std::uint8_t {
  csLoading = 0x01,     // read from a layout, Loaded not called yet
  csReading = 0x02,     // its own properties are being read
  csDestroying = 0x04,  // being freed
  csDesigning = 0x08,   // shown in a designer
};
using TComponentState = std::uint8_t;

class TComponent : public TPersistent, public TFreeNotifier {
  BRV_CLASS(TComponent, TPersistent)

public:
  explicit TComponent(TComponent* owner) : FOwner(owner) {}
  // Marks the component as being freed and nulls the weak references to it.
  ~TComponent() override;

  TComponent* Owner() const { return FOwner; }
  TPersistent* GetOwner() const override { return FOwner; }

  const std::string& Name() const { return FName; }
  virtual void SetName(const std::string& name) { FName = name; }
  int Tag() const { return FTag; }
  void SetTag(int tag) { FTag = tag; }

  TComponentState ComponentState() const { return FComponentState; }
  bool Loading() const { return FComponentState & csLoading; }
  bool Reading() const { return FComponentState & csReading; }
  bool Destroying() const { return FComponentState & csDestroying; }

  // A layout reader marks the component before it reads its properties
  // (csLoading | csReading), ends the reading after them, and calls Loaded once
  // the whole layout is read.
  void BeginReading() { FComponentState |= csLoading | csReading; }
  void EndReading() { FComponentState &= ~csReading; }
  // The layout is read: clears csLoading. Descendants finish their own set-up here.
  virtual void Loaded() { FComponentState &= ~csLoading; }

protected:
  // Marks the component as being freed; a derived destructor calls it before it
  // takes its parts down, so that nothing reports changes from them.
  void BeginDestruction() { FComponentState |= csDestroying; }

private:
  TComponent* FOwner;
  std::string FName;
  int FTag = 0;
  TComponentState FComponentState = 0;
};

inline TComponent::~TComponent() {
  BeginDestruction();
  NotifyFree();
}
