#pragma once
// The component base of the scene's non-visual parts (scenes, material libraries,
// cadencers, scene objects): a persistent object with an owner component. The
// owner here is who the component reports to; who frees it is a matter of the
// code that made it.

#include "ClassRegistry.h"

class TComponent : public TPersistent {
  BRV_CLASS(TComponent, TPersistent)

public:
  explicit TComponent(TComponent* owner) : FOwner(owner) {}

  TComponent* Owner() const { return FOwner; }
  TPersistent* GetOwner() const override { return FOwner; }

private:
  TComponent* FOwner;
};
