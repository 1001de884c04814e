#pragma once
// The actor: a mesh that plays frame animations, each frame a morph target of its
// mesh objects or a frame of its skeleton, stepped by the scene's time; its named
// animations, and the controllers that blend further skeleton animations in.
//
//   auto& actor = scene.Objects().AddChild(std::make_unique<TActor>(nullptr));
//   actor.LoadFromFile("walk.md2");       // frames 0..FrameCount-1
//   actor.SetAnimationMode(aamLoop);      // the cadencer's steps now play it
//
// The actor owns its animations. A controller belongs to its own owner and registers
// with one actor; whichever of the two is freed first, the other forgets it.

#include "base/Collections.h"
#include "base/Components.h"
#include "base/WeakReference.h"
#include "meshes/GLVectorFileObjectsBaseMesh.h"
#include "meshes/GLVectorFileObjectsSkeleton.h"
#include "scene/GLMisc.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TActor;
class TAnimationControler;

// Whether an actor's frames are the morph targets of its mesh objects or the
// frames of its skeleton.
enum TActorAnimationReference : std::uint8_t { aarMorph, aarSkeleton };
// Whether an actor blends from one frame to the next as time goes.
enum TActorFrameInterpolation : std::uint8_t { afpNone, afpLinear };
// How an actor's frames advance: not by time, to the end frame once, round and
// round, or back and forth between the start and end frames.
enum TActorAnimationMode : std::uint8_t { aamNone, aamPlayOnce, aamLoop, aamBounceForward, aamBounceBackward };

// A named range of an actor's frames.
class TActorAnimation : public TCollectionItem {
  BRV_COLLECTION_ITEM_CLASS(TActorAnimation, TCollectionItem)

public:
  explicit TActorAnimation(TCollection* collection) : TCollectionItem(collection) {}
  // The actor forgets it as the animation to change to.
  ~TActorAnimation() override;

  // From another animation: name, frames and reference as they stand; other
  // sources go to the collection item's rule.
  void Assign(const TPersistent* source) override;
  // "2 - walk [10 - 20]": index, name, start and end frame.
  std::string GetDisplayName() const override;

  // The actor whose animations hold this one; null outside one.
  TActor* Actor() const;
  const std::string& Name() const { return FName; }
  void SetName(const std::string& name) { FName = name; }
  // Both clamp to 0..FrameCount-1 (-1 when there are no frames) and pull the
  // other end along so that StartFrame <= EndFrame.
  int StartFrame() const { return FStartFrame; }
  void SetStartFrame(int value);
  int EndFrame() const { return FEndFrame; }
  void SetEndFrame(int value);
  // A change clamps both frames again.
  TActorAnimationReference Reference() const { return FReference; }
  void SetReference(TActorAnimationReference value);
  // The actor's frame count for this animation's reference; 0 outside an actor.
  int FrameCount() const;

private:
  int Clamped(int value) const;

  std::string FName;
  int FStartFrame = 0;
  int FEndFrame = 0;
  TActorAnimationReference FReference = aarMorph;
};

// The animations of an actor.
class TActorAnimations : public TOwnedCollection {
  BRV_CLASS(TActorAnimations, TOwnedCollection)

public:
  explicit TActorAnimations(TActor* owner);

  TActor* Owner() const;
  TActorAnimation& Add() { return static_cast<TActorAnimation&>(TCollection::Add()); }
  TActorAnimation& Items(int index) const { return static_cast<TActorAnimation&>(TCollection::Items(index)); }
  // The first animation of that name, without regard to case; null when none.
  TActorAnimation* FindByName(std::string_view name) const;
};

// A mesh that plays frame animations: each frame is a morph target of its mesh
// objects or a frame of its skeleton. Time from the scene's steps moves a position
// between the current frame and the next; whole frames are stepped as the
// animation mode says, and the shape in between is interpolated. An actor without
// frames (a 3DS model) shows its loaded shape and never steps.
class TActor : public TBaseMesh {
  BRV_SCENE_OBJECT_CLASS(TActor, TBaseMesh)

public:
  // Drawn directly every frame: its shape changes with time.
  explicit TActor(TComponent* owner);
  ~TActor() override;

  int FrameCount() const;
  // Both take only a frame the actor has, and pull EndFrame and CurrentFrame into
  // the new range.
  int StartFrame() const { return FStartFrame; }
  void SetStartFrame(int value);
  int EndFrame() const { return FEndFrame; }
  void SetEndFrame(int value);
  TActorAnimationReference Reference() const { return FReference; }
  void SetReference(TActorAnimationReference value);
  // The value is clamped to the frames the actor has (0 when it has none); a frame
  // that differs from the current one resets CurrentFrameDelta, turns play-once off
  // and the bounce modes round at the ends of the range, and is reported through
  // OnFrameChanged.
  int CurrentFrame() const { return FCurrentFrame; }
  void SetCurrentFrame(int value);
  // 0..1 from CurrentFrame towards the following frame.
  float CurrentFrameDelta() const { return FCurrentFrameDelta; }
  void SetCurrentFrameDelta(float value) { FCurrentFrameDelta = value; }
  TActorFrameInterpolation FrameInterpolation() const { return FFrameInterpolation; }
  void SetFrameInterpolation(TActorFrameInterpolation value) { FFrameInterpolation = value; }
  // Milliseconds per frame.
  int Interval() const { return FInterval; }
  void SetInterval(int value) { FInterval = value; }
  TActorAnimationMode AnimationMode() const { return FAnimationMode; }
  void SetAnimationMode(TActorAnimationMode value) { FAnimationMode = value; }
  TActorAnimations& Animations() { return *FAnimations; }
  const TActorAnimations& Animations() const { return *FAnimations; }
  void SetAnimations(const TActorAnimations& value) { FAnimations->Assign(&value); }

  // After every change of CurrentFrame, and after a load.
  TNotifyEvent OnFrameChanged;
  // A step landed on EndFrame, or on StartFrame.
  TNotifyEvent OnEndFrameReached;
  TNotifyEvent OnStartFrameReached;

  // The frame after CurrentFrame in the range and mode (wrapping round at the
  // ends), or the start of the animation to change to.
  int FollowingFrame() const;
  // `n` steps to the following frame, each reported; nothing for n < 1 or without
  // frames. A play-once animation stops at its end frame.
  void StepFrames(int n = 1);
  // Smooth: the animation starts at the next whole step. Otherwise now: its
  // reference and range, and its start frame as the current one. Null does nothing.
  void ChangeAnimation(TActorAnimation* animation, bool smooth);
  TActorAnimation* TargetSmoothAnimation() const { return FTargetSmoothAnimation; }
  void ClearTargetSmoothAnimation() { FTargetSmoothAnimation = nullptr; }

  // Controllers blend skeleton animations into the actor, in order of registration.
  void AddController(TAnimationControler& controller);
  // Unregistering a controller from an actor that has none is an assertion failure.
  void RemoveController(TAnimationControler& controller);
  int ControllerCount() const;

  // The range becomes every frame the file gave, the current frame 0.
  void AfterLoad() override;
  // The inherited step, then the frames advance by the step's time.
  void AdvanceTime(const TProgressTimes& progressTimes) override;
  // The mesh in the current frame (interpolated towards the following one), then,
  // with OverlaySkeleton, the bones over it.
  void EmitGeometry(TRenderContextInfo& rci) override;

private:
  // Whether the actor has the frame.
  bool HasFrame(int frame) const { return frame >= 0 && frame < FrameCount(); }
  // The skeleton's pose for this frame: interpolated, or blended with the controllers.
  void PoseSkeleton(int next);

  int FStartFrame = 0;
  int FEndFrame = 0;
  TActorAnimationReference FReference = aarMorph;
  int FCurrentFrame = 0;
  float FCurrentFrameDelta = 0;
  TActorFrameInterpolation FFrameInterpolation = afpLinear;
  int FInterval = 100;
  TActorAnimationMode FAnimationMode = aamNone;
  TActorAnimation* FTargetSmoothAnimation = nullptr;
  std::unique_ptr<std::vector<std::unique_ptr<TWeakRef<TAnimationControler>>>> FControllers;
  std::unique_ptr<TActorAnimations> FAnimations;
};

// Blends an animation of its actor into the actor's skeleton pose, at a point of
// the animation's range given by Ratio.
class TAnimationControler : public TComponent {
  BRV_CLASS(TAnimationControler, TComponent)

public:
  explicit TAnimationControler(TComponent* owner);
  // Leaves its actor.
  ~TAnimationControler() override;

  // Registers with the actor (and leaves the old one); null once the actor is freed.
  TActor* Actor() const { return FActor.Get(); }
  void SetActor(TActor* actor);
  const std::string& AnimationName() const { return FAnimationName; }
  void SetAnimationName(const std::string& name);
  // 0 at the animation's start frame, 1 at its end frame; clamped to 0..1.
  float Ratio() const { return FRatio; }
  void SetRatio(float value);

  // The record of the named animation at Ratio; false when the actor has no such
  // animation. Ratio 0.25 on frames 10..18 gives frames 12 and 13, factor 0.
  bool Apply(TBlendedLerpInfo& lerp) const;

private:
  // Asks the actor for a redraw when there is something to blend.
  void NotifyActor();

  TWeakRef<TActor> FActor;
  std::string FAnimationName;
  float FRatio = 0;
};
