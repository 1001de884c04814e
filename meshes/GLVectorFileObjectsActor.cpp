// The actor: frame animation of a mesh by the morph targets of its mesh objects or
// the frames of its skeleton, stepped by the scene's time; its named animations,
// and the controllers that blend further skeleton animations in.

#include "meshes/GLVectorFileObjectsActor.h"

#include "base/Strings.h"

#include <cmath>

namespace {

// The frames an actor has by one kind of frame.
int FrameCountOf(const TBaseMesh& mesh, TActorAnimationReference reference) {
  switch (reference) {
    case aarMorph:
      return mesh.MeshObjects().CommonTargetCount();
    case aarSkeleton:
      return mesh.Skeleton().Frames().Count();
  }
  AssertionFailure("FrameCount(): unknown animation reference", __FILE__, __LINE__);
}

// More whole frames than this in one time step are cut down by whole rounds of the
// range, which end on the same frame: an absurd step (a clock that jumped by days)
// takes no longer to play than a few rounds.
constexpr double MAX_STEPS_AT_ONCE = 1 << 20;

}  // namespace

// ---------------------------------------------------------------------------
// TActorAnimation

TActorAnimation::~TActorAnimation() {
  if (TActor* actor = Actor(); actor && actor->TargetSmoothAnimation() == this) actor->ClearTargetSmoothAnimation();
}

void TActorAnimation::Assign(const TPersistent* source) {
  if (auto* from = dynamic_cast<const TActorAnimation*>(source)) {
    FName = from->FName;
    FStartFrame = from->FStartFrame;
    FEndFrame = from->FEndFrame;
    FReference = from->FReference;
    return;
  }
  TCollectionItem::Assign(source);
}

std::string TActorAnimation::GetDisplayName() const {
  return std::to_string(Index()) + " - " + FName + " [" + std::to_string(FStartFrame) + " - " +
         std::to_string(FEndFrame) + "]";
}

TActor* TActorAnimation::Actor() const {
  return Collection() ? dynamic_cast<TActor*>(Collection()->GetOwner()) : nullptr;
}

int TActorAnimation::FrameCount() const {
  const TActor* actor = Actor();
  return actor ? FrameCountOf(*actor, FReference) : 0;
}

int TActorAnimation::Clamped(int value) const {
  if (value < 0) return 0;
  const int count = FrameCount();
  return value >= count ? count - 1 : value;
}

void TActorAnimation::SetStartFrame(int value) {
  FStartFrame = Clamped(value);
  if (FEndFrame < FStartFrame) FEndFrame = FStartFrame;
}

void TActorAnimation::SetEndFrame(int value) {
  FEndFrame = Clamped(value);
  if (FStartFrame > FEndFrame) FStartFrame = FEndFrame;
}

void TActorAnimation::SetReference(TActorAnimationReference value) {
  if (value == FReference) return;
  FReference = value;
  SetStartFrame(FStartFrame);
  SetEndFrame(FEndFrame);
}

TActorAnimations::TActorAnimations(TActor* owner) : TOwnedCollection(owner, TActorAnimation::StaticClass()) {}

TActor* TActorAnimations::Owner() const { return static_cast<TActor*>(GetOwner()); }

TActorAnimation* TActorAnimations::FindByName(std::string_view name) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(Items(i).Name(), name)) return &Items(i);
  return nullptr;
}

// ---------------------------------------------------------------------------
// TActor

TActor::TActor(TComponent* owner) : TBaseMesh(owner), FAnimations(std::make_unique<TActorAnimations>(this)) {
  SetObjectStyle(ObjectStyle() | StyleBit(TGLObjectStyle::DirectDraw));
}

TActor::~TActor() {
  FTargetSmoothAnimation = nullptr;
  FAnimations.reset();
  FControllers.reset();
}

int TActor::FrameCount() const { return FrameCountOf(*this, FReference); }

void TActor::SetStartFrame(int value) {
  if (value >= 0 && value < FrameCount() && value != FStartFrame) FStartFrame = value;
  if (FEndFrame < FStartFrame) FEndFrame = FStartFrame;
  if (FCurrentFrame < FStartFrame) SetCurrentFrame(FStartFrame);
}

void TActor::SetEndFrame(int value) {
  if (value >= 0 && value < FrameCount() && value != FEndFrame) FEndFrame = value;
  if (FCurrentFrame > FEndFrame) SetCurrentFrame(FEndFrame);
}

void TActor::SetReference(TActorAnimationReference value) {
  if (value == FReference) return;
  FReference = value;
  MarkStructureDirty();
}

void TActor::SetCurrentFrame(int value) {
  // Clamped to the frames there are; without any the actor rests on frame 0, its
  // loaded shape, rather than on frame -1.
  value = std::max(std::min(value, FrameCount() - 1), 0);
  if (value == FCurrentFrame) return;
  FCurrentFrame = value;
  FCurrentFrameDelta = 0;
  switch (FAnimationMode) {
    case aamPlayOnce:
      if (FCurrentFrame == FEndFrame) FAnimationMode = aamNone;
      break;
    case aamBounceForward:
      if (FCurrentFrame == FEndFrame) FAnimationMode = aamBounceBackward;
      break;
    case aamBounceBackward:
      if (FCurrentFrame == FStartFrame) FAnimationMode = aamBounceForward;
      break;
    default:
      break;
  }
  MarkStructureDirty();
  if (OnFrameChanged) OnFrameChanged(this);
}

int TActor::FollowingFrame() const {
  int next;
  switch (FAnimationMode) {
    case aamNone:
    case aamPlayOnce:
    case aamLoop:
    case aamBounceForward:
      next = FCurrentFrame + 1;
      if (next > FEndFrame) {
        next = FStartFrame + (next - FEndFrame - 1);
        if (next > FEndFrame) next = FEndFrame;
      }
      break;
    case aamBounceBackward:
      next = FCurrentFrame - 1;
      if (next < FStartFrame) {
        next = FEndFrame - (FStartFrame - next - 1);
        if (next < FStartFrame) next = FStartFrame;
      }
      break;
    default:
      AssertionFailure("TActor::FollowingFrame(): unknown animation mode", __FILE__, __LINE__);
  }
  return FTargetSmoothAnimation ? FTargetSmoothAnimation->StartFrame() : next;
}

void TActor::StepFrames(int n) {
  if (n < 1 || FrameCount() < 1) return;
  for (int i = 0; i < n; ++i) {
    const bool playingOnce = FAnimationMode == aamPlayOnce;
    SetCurrentFrame(FollowingFrame());
    if (OnEndFrameReached && FCurrentFrame == FEndFrame) OnEndFrameReached(this);
    if (OnStartFrameReached && FCurrentFrame == FStartFrame) OnStartFrameReached(this);
    // Played once to the end: the steps left would start it over.
    if (playingOnce && FAnimationMode == aamNone) break;
  }
}

void TActor::ChangeAnimation(TActorAnimation* animation, bool smooth) {
  if (!animation) return;
  if (smooth) {
    FTargetSmoothAnimation = animation;
    FCurrentFrameDelta = 0;
    return;
  }
  SetReference(animation->Reference());
  SetStartFrame(animation->StartFrame());
  SetEndFrame(animation->EndFrame());
  SetCurrentFrame(FStartFrame);
}

void TActor::AddController(TAnimationControler& controller) {
  if (!FControllers) FControllers = std::make_unique<std::vector<std::unique_ptr<TWeakRef<TAnimationControler>>>>();
  for (const auto& registered : *FControllers)
    if (registered->Get() == &controller) return;
  FControllers->push_back(std::make_unique<TWeakRef<TAnimationControler>>());
  *FControllers->back() = &controller;
}

void TActor::RemoveController(TAnimationControler& controller) {
  BRV_ASSERT_MSG(FControllers, "TActor::RemoveController(): the actor has no controllers");
  std::erase_if(*FControllers, [&](const auto& registered) { return registered->Get() == &controller; });
  if (ControllerCount() == 0) FControllers.reset();
}

int TActor::ControllerCount() const {
  if (!FControllers) return 0;
  return static_cast<int>(
      std::count_if(FControllers->begin(), FControllers->end(), [](const auto& registered) { return bool(*registered); }));
}

void TActor::AfterLoad() {
  FStartFrame = 0;
  FEndFrame = FrameCount() - 1;
  FCurrentFrame = 0;
  if (OnFrameChanged) OnFrameChanged(this);
  TBaseMesh::AfterLoad();
}

void TActor::AdvanceTime(const TProgressTimes& progressTimes) {
  TBaseMesh::AdvanceTime(progressTimes);
  if (FAnimationMode == aamNone || FInterval <= 0 || FStartFrame == FEndFrame || FrameCount() <= 1) return;
  FCurrentFrameDelta += static_cast<float>(progressTimes.DeltaTime * 1000 / FInterval);
  if (!(FCurrentFrameDelta > 1)) {
    // The interpolated shape moves on.
    if (FFrameInterpolation != afpNone) MarkStructureDirty();
    return;
  }
  const float delta = FCurrentFrameDelta;
  if (TActorAnimation* target = FTargetSmoothAnimation) {
    FTargetSmoothAnimation = nullptr;
    ChangeAnimation(target, false);
  }
  double steps = std::floor(delta);
  if (steps > MAX_STEPS_AT_ONCE) {
    const int span = std::abs(FEndFrame - FStartFrame);
    const double round = FAnimationMode == aamBounceForward || FAnimationMode == aamBounceBackward ? 2.0 * span
                                                                                                     : span + 1.0;
    steps = round + std::fmod(steps, round);
  }
  const bool playingOnce = FAnimationMode == aamPlayOnce;
  StepFrames(static_cast<int>(steps));
  // A play-once animation that ended rests on its end frame, not on the way back
  // to its start.
  FCurrentFrameDelta = playingOnce && FAnimationMode == aamNone ? 0 : delta - static_cast<float>(std::floor(delta));
  MarkStructureDirty();
}

void TActor::PoseSkeleton(int next) {
  TSkeleton& skeleton = Skeleton();
  const bool linear = FFrameInterpolation == afpLinear;
  if (ControllerCount() == 0) {
    if (linear)
      skeleton.Lerp(FCurrentFrame, next, FCurrentFrameDelta);
    else
      skeleton.SelectFrame(FCurrentFrame);
  } else {
    std::vector<TBlendedLerpInfo> lerps;
    lerps.push_back(linear ? TBlendedLerpInfo{FCurrentFrame, next, FCurrentFrameDelta, 1}
                           : TBlendedLerpInfo{FCurrentFrame, FCurrentFrame, 0, 1});
    const int frames = skeleton.Frames().Count();
    auto has = [frames](int frame) { return frame >= 0 && frame < frames; };
    for (const auto& registered : *FControllers) {
      TBlendedLerpInfo lerp;
      // An animation whose frames the skeleton lacks has nothing to blend in.
      if (*registered && (*registered)->Apply(lerp) && has(lerp.FrameIndex1) && has(lerp.FrameIndex2))
        lerps.push_back(lerp);
    }
    skeleton.BlendFrames(lerps);
  }
  skeleton.ApplyBoneDeformation();
}

void TActor::EmitGeometry(TRenderContextInfo& rci) {
  const int next = FollowingFrame();
  // Only frames the actor has: an actor without frames shows its mesh as loaded.
  if (HasFrame(FCurrentFrame) && HasFrame(next)) {
    switch (FReference) {
      case aarMorph:
        if (FFrameInterpolation == afpLinear)
          MeshObjects().Lerp(FCurrentFrame, next, FCurrentFrameDelta);
        else
          MeshObjects().SelectMorphTarget(FCurrentFrame);
        break;
      case aarSkeleton:
        PoseSkeleton(next);
        break;
    }
  }
  TBaseMesh::EmitGeometry(rci);
  if (OverlaySkeleton()) {
    // The bones show through the mesh.
    GL->glPushAttrib(GL_ENABLE_BIT);
    try {
      GL->glDisable(GL_DEPTH_TEST);
      Skeleton().Roots().EmitGeometry(rci);
    } catch (...) {
      GL->glPopAttrib();
      throw;
    }
    GL->glPopAttrib();
  }
}

// ---------------------------------------------------------------------------
// TAnimationControler

TAnimationControler::TAnimationControler(TComponent* owner) : TComponent(owner) {}

TAnimationControler::~TAnimationControler() {
  try {
    SetActor(nullptr);
  } catch (...) {
    // Nothing may leave a destructor.
  }
}

void TAnimationControler::SetActor(TActor* actor) {
  if (actor == FActor.Get()) return;
  if (TActor* old = FActor.Get()) old->RemoveController(*this);
  FActor = actor;
  if (actor) actor->AddController(*this);
  NotifyActor();
}

void TAnimationControler::SetAnimationName(const std::string& name) {
  if (name == FAnimationName) return;
  FAnimationName = name;
  NotifyActor();
}

void TAnimationControler::SetRatio(float value) {
  if (value == FRatio) return;
  FRatio = ClampSingle(value, 0, 1);
  NotifyActor();
}

void TAnimationControler::NotifyActor() {
  if (FActor && !FAnimationName.empty()) FActor->ReportChange(this);
}

bool TAnimationControler::Apply(TBlendedLerpInfo& lerp) const {
  const TActor* actor = FActor.Get();
  const TActorAnimation* animation = actor ? actor->Animations().FindByName(FAnimationName) : nullptr;
  if (!animation) return false;
  if (FRatio == 0) {
    lerp.FrameIndex1 = lerp.FrameIndex2 = animation->StartFrame();
    lerp.LerpFactor = 0;
  } else if (FRatio == 1) {
    lerp.FrameIndex1 = lerp.FrameIndex2 = animation->EndFrame();
    lerp.LerpFactor = 0;
  } else {
    const float f = static_cast<float>(animation->EndFrame() - animation->StartFrame()) * FRatio +
                    static_cast<float>(animation->StartFrame());
    lerp.FrameIndex1 = TruncToInt(f);
    lerp.FrameIndex2 = lerp.FrameIndex1 + 1;
    lerp.LerpFactor = FracSingle(f);
  }
  lerp.Weight = 1;
  return true;
}
