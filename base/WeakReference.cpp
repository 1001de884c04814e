#include "base/WeakReference.h"

void TFreeNotifier::NotifyFree() noexcept {
  FFreeing = true;
  // One reference at a time, taken out before its event runs: an event may free
  // other holders, whose references then leave the list on their own.
  while (TWeakRefBase* reference = FFirstReference) {
    reference->Unlink();
    reference->TargetFreed();
    if (reference->OnFreed) {
      try {
        reference->OnFreed();
      } catch (...) {
        // A destructor cannot raise; the reference is null either way.
      }
    }
  }
}

void TWeakRefBase::Unlink() {
  if (FPrevious)
    FPrevious->FNext = FNext;
  else
    FTarget->FFirstReference = FNext;
  if (FNext) FNext->FPrevious = FPrevious;
  FPrevious = FNext = nullptr;
}

void TWeakRefBase::Bind(TFreeNotifier* target) {
  if (target == FTarget) return;
  if (FTarget) {
    Unlink();
    FTarget = nullptr;
  }
  if (target && !target->FFreeing) {
    FNext = target->FFirstReference;
    if (FNext) FNext->FPrevious = this;
    target->FFirstReference = this;
    FTarget = target;
  }
}
