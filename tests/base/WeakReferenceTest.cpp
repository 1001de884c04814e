#include "base/WeakReference.h"

#include "base/Components.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

class TTarget : public TComponent {
  BRV_CLASS(TTarget, TComponent)

public:
  TTarget() : TComponent(nullptr) {}
};

// Holds a reference to a target and says so when it hears that the target went.
struct THolder {
  THolder(std::vector<std::string>& log, std::string name) : Ref([&log, name] { log.push_back(name); }) {}
  TWeakRef<TTarget> Ref;
};

TEST(WeakReference, FreeingTheTargetNullsEveryReferenceAndTellsEachHolderOnce) {
  std::vector<std::string> log;
  auto target = std::make_unique<TTarget>();
  THolder a(log, "a"), b(log, "b");
  TWeakRef<TTarget> silent;
  a.Ref = target.get();
  b.Ref = target.get();
  b.Ref = target.get();  // bound twice, told once
  silent = target.get();
  EXPECT_EQ(a.Ref.Get(), target.get());

  target.reset();
  EXPECT_EQ(a.Ref.Get(), nullptr);
  EXPECT_EQ(b.Ref.Get(), nullptr);
  EXPECT_EQ(silent.Get(), nullptr);
  std::sort(log.begin(), log.end());
  EXPECT_EQ(log, (std::vector<std::string>{"a", "b"}));
}

TEST(WeakReference, ReboundOrDeadReferencesHearNothing) {
  std::vector<std::string> log;
  auto first = std::make_unique<TTarget>();
  auto second = std::make_unique<TTarget>();
  THolder holder(log, "holder");
  holder.Ref = first.get();
  holder.Ref = second.get();
  first.reset();
  EXPECT_EQ(holder.Ref.Get(), second.get());
  {
    THolder gone(log, "gone");
    gone.Ref = second.get();
  }
  holder.Ref = nullptr;
  second.reset();
  EXPECT_TRUE(log.empty());
}

TEST(WeakReference, AnEventMayFreeOtherHoldersOfTheSameTarget) {
  std::vector<std::string> log;
  auto target = std::make_unique<TTarget>();
  auto victim = std::make_unique<THolder>(log, "victim");
  TWeakRef<TTarget> killer([&] {
    victim.reset();
    log.push_back("killer");
  });
  victim->Ref = target.get();
  killer = target.get();  // told first: the last bound is taken first
  target.reset();
  EXPECT_EQ(log, (std::vector<std::string>{"killer"}));
}

TEST(WeakReference, ATargetThatIsGoingCannotBeBoundAgain) {
  auto target = std::make_unique<TTarget>();
  TTarget* raw = target.get();
  TWeakRef<TTarget> late;
  TWeakRef<TTarget> rebinder([&] { late = raw; });
  rebinder = raw;
  target.reset();
  EXPECT_EQ(late.Get(), nullptr);
}

TEST(WeakReference, ManyReferencesToOneTargetComeAndGoOneStepEach) {
  // A search of the target's list for each reference that leaves would make
  // this a matter of minutes rather than milliseconds.
  constexpr int COUNT = 1'000'000;
  auto target = std::make_unique<TTarget>();
  auto other = std::make_unique<TTarget>();
  std::vector<TWeakRef<TTarget>> references(COUNT);
  for (auto& reference : references) reference = target.get();
  for (int i = 0; i < COUNT; i += 2) references[i] = other.get();
  for (int i = 1; i < COUNT; i += 4) references[i] = nullptr;
  target.reset();
  for (int i = 0; i < COUNT; ++i) ASSERT_EQ(references[i].Get(), i % 2 == 0 ? other.get() : nullptr) << i;
  references.clear();
  other.reset();  // no reference left behind in its list
}

}  // namespace
