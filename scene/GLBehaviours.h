#pragma once
// The inertia behaviour: it moves and turns its scene object by speeds that a
// damping law slows down at every time step.
//
//   auto& inertia = cube.Behaviours().Add<TGLBInertia>();
//   inertia.TranslationSpeed().SetVector(1, 0, 0);     // one unit a second along X
//   inertia.TranslationDamping().SetLinear(0.5f);      // slowing down as it goes

#include "scene/GLScene.h"

// Slows a speed down: the damping of a speed s is Constant + Linear s + Quadratic s².
class TGLDamping : public TGLUpdateAbleObject {
  BRV_CLASS(TGLDamping, TGLUpdateAbleObject)

public:
  explicit TGLDamping(TPersistent* owner) : TGLUpdateAbleObject(owner) {}

  float Constant() const { return FConstant; }
  void SetConstant(float value) { FConstant = value; }
  float Linear() const { return FLinear; }
  void SetLinear(float value) { FLinear = value; }
  float Quadratic() const { return FQuadratic; }
  void SetQuadratic(float value) { FQuadratic = value; }

  // The speed after `deltaTime` seconds of damping, integrated in steps of 0.01 s
  // and a last shorter one: Calculate(10, 0.025) with Constant 1 is 9.975. The
  // result may fall below zero; callers stop the speed there. However long the
  // time, the work is bounded: it ends once the speed no longer changes, or is no
  // longer a finite number, and after MAX_SUBSTEPS steps at most.
  static constexpr long MAX_SUBSTEPS = 1'000'000;
  double Calculate(double speed, double deltaTime) const;

  // Version 0, a flag that is true when any value is not 0, and then Constant,
  // Linear and Quadratic as floats. Reading raises EReadError for another
  // version or a value that is not a finite single.
  void WriteToFiler(TWriter& writer) const;
  void ReadFromFiler(TReader& reader);

  void Assign(const TPersistent* source) override;

private:
  float FConstant = 0;
  float FLinear = 0;
  float FQuadratic = 0;
};

// Moves its scene object by TranslationSpeed and turns it by the three rotation
// speeds (degrees a second), slowing both down by their dampings unless damping
// is off. One per object.
class TGLBInertia : public TGLBehaviour {
  BRV_XCOLLECTION_ITEM_CLASS(TGLBInertia, TGLBehaviour, .DisplayName = "Simple Inertia",
                             .DisplayDescription = "A simple translation and rotation inertia",
                             .OnePerCollection = true)

public:
  explicit TGLBInertia(TXCollection* owner);

  // Kept with the behaviour; the motion does not use it.
  float Mass() const { return FMass; }
  void SetMass(float value) { FMass = value; }
  TGLCoordinates& TranslationSpeed() { return FTranslationSpeed; }
  const TGLCoordinates& TranslationSpeed() const { return FTranslationSpeed; }
  void SetTranslationSpeed(const TGLCoordinates& value) { FTranslationSpeed.Assign(&value); }
  float TurnSpeed() const { return FTurnSpeed; }
  void SetTurnSpeed(float value) { FTurnSpeed = value; }
  float RollSpeed() const { return FRollSpeed; }
  void SetRollSpeed(float value) { FRollSpeed = value; }
  float PitchSpeed() const { return FPitchSpeed; }
  void SetPitchSpeed(float value) { FPitchSpeed = value; }
  bool DampingEnabled() const { return FDampingEnabled; }
  void SetDampingEnabled(bool value) { FDampingEnabled = value; }
  TGLDamping& TranslationDamping() { return FTranslationDamping; }
  const TGLDamping& TranslationDamping() const { return FTranslationDamping; }
  void SetTranslationDamping(const TGLDamping& value) { FTranslationDamping.Assign(&value); }
  TGLDamping& RotationDamping() { return FRotationDamping; }
  const TGLDamping& RotationDamping() const { return FRotationDamping; }
  void SetRotationDamping(const TGLDamping& value) { FRotationDamping.Assign(&value); }

  // The scene object whose behaviours hold this one; null outside such a collection.
  TGLBaseSceneObject* OwnerBaseSceneObject() const;

  // Damps the speeds (a speed damped to zero or below stops), then moves and turns
  // the object by the speeds over the step. A speed of zero leaves its part of
  // the placement alone.
  void AdvanceTime(const TProgressTimes& progressTimes) override;
  // From another inertia: every value; then the name.
  void Assign(const TPersistent* source) override;
  // The behaviour's fields, version 0, Mass, TranslationSpeed, the turn, roll and
  // pitch speeds, DampingEnabled, then both dampings. Reading raises EReadError
  // for another version or a value that is not a finite single.
  void WriteItemFields(TWriter& writer) const override;
  void ReadItemFields(TReader& reader) override;

private:
  float FMass = 1;
  TGLCoordinates FTranslationSpeed;
  float FTurnSpeed = 0;
  float FRollSpeed = 0;
  float FPitchSpeed = 0;
  bool FDampingEnabled = true;
  TGLDamping FTranslationDamping;
  TGLDamping FRotationDamping;
};

// Start-up registration of TGLBInertia, so that stored behaviours of its class
// are read back. Running it again does nothing.
void InitializeGLBehaviours();
