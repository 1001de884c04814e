#include "base/WeakReference.h"

#include <algorithm>

void TFreeNotifier::NotifyFree() noexcept {
  FFreeing = true;
  // One reference at a time, taken out before its event runs: an event may free
  // other holders, whose references then leave the list on their own.
  while (!FReferences.empty()) {
    TWeakRefBase* reference = FReferences.back();
    FReferences.pop_back();
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

void TWeakRefBase::Bind(TFreeNotifier* target) {
  if (target == FTarget) return;
  if (FTarget) {
    auto& list = FTarget->FReferences;
    auto found = std::find(list.begin(), list.end(), this);
    if (found != list.end()) list.erase(found);
    FTarget = nullptr;
  }
  if (target && !target->FFreeing) {
    target->FReferences.push_back(this);
    FTarget = target;
  }
}
