#include "scene/GLBehaviours.h"

#include <cfloat>
#include <cmath>
#include <sstream>

namespace {

constexpr double SUBSTEP = 0.01;

// A stored value as a single; EReadError unless it is a finite single.
float ReadSingle(TReader& reader, const std::string& what) {
  const long double value = reader.ReadFloat();
  if (!(std::fabs(value) <= FLT_MAX)) {
    std::ostringstream text;
    text << what << ": " << static_cast<double>(value) << " in the stream, a finite single expected";
    throw EReadError(text.str());
  }
  return static_cast<float>(value);
}

void CheckVersion(TReader& reader, const std::string& className) {
  const int version = reader.ReadInteger();
  if (version != 0)
    throw EReadError(className + ": stored version " + std::to_string(version) + ", version 0 expected");
}

}  // namespace

// ---------------------------------------------------------------------------
// TGLDamping

double TGLDamping::Calculate(double speed, double deltaTime) const {
  for (long step = 0; deltaTime > 0 && step < MAX_SUBSTEPS; ++step) {
    double dt = deltaTime;
    if (deltaTime > SUBSTEP) {
      dt = SUBSTEP;
      deltaTime -= SUBSTEP;
    } else {
      deltaTime = 0;
    }
    const double next = speed - ((FQuadratic * speed + FLinear) * speed + FConstant) * dt;
    // A step that leaves the speed as it is leaves it so at every later step
    // (the last, shorter one changes it even less); a speed that ran off to
    // infinity or to no number stays one.
    if (next == speed || !std::isfinite(next)) return next;
    speed = next;
  }
  return speed;
}

void TGLDamping::WriteToFiler(TWriter& writer) const {
  writer.WriteInteger(0);  // version
  const bool stored = FConstant != 0 || FLinear != 0 || FQuadratic != 0;
  writer.WriteBoolean(stored);
  if (!stored) return;
  writer.WriteFloat(FConstant);
  writer.WriteFloat(FLinear);
  writer.WriteFloat(FQuadratic);
}

void TGLDamping::ReadFromFiler(TReader& reader) {
  CheckVersion(reader, ClassName());
  float constant = 0, linear = 0, quadratic = 0;
  if (reader.ReadBoolean()) {
    constant = ReadSingle(reader, "TGLDamping: the constant term");
    linear = ReadSingle(reader, "TGLDamping: the linear term");
    quadratic = ReadSingle(reader, "TGLDamping: the quadratic term");
  }
  FConstant = constant;
  FLinear = linear;
  FQuadratic = quadratic;
}

void TGLDamping::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TGLDamping*>(source)) {
    FConstant = other->FConstant;
    FLinear = other->FLinear;
    FQuadratic = other->FQuadratic;
  } else {
    TGLUpdateAbleObject::Assign(source);
  }
}

// ---------------------------------------------------------------------------
// TGLBInertia

TGLBInertia::TGLBInertia(TXCollection* owner)
    : TGLBehaviour(owner),
      FTranslationSpeed(this, {0, 0, 0, 0}, csVector),
      FTranslationDamping(this),
      FRotationDamping(this) {}

TGLBaseSceneObject* TGLBInertia::OwnerBaseSceneObject() const {
  return Owner() ? dynamic_cast<TGLBaseSceneObject*>(Owner()->GetOwner()) : nullptr;
}

namespace {

// A rotation speed after damping: its size is damped as a translation speed's
// length is, and a size damped to zero or below stops it, whichever way it turns.
float DampedRotation(const TGLDamping& damping, float speed, double deltaTime) {
  if (speed == 0) return 0;
  const double size = damping.Calculate(std::fabs(speed), deltaTime);
  if (!(size > 0)) return 0;
  return static_cast<float>(std::copysign(size, speed));
}

}  // namespace

void TGLBInertia::AdvanceTime(const TProgressTimes& progressTimes) {
  const double dt = progressTimes.DeltaTime;
  if (FDampingEnabled) {
    const double speed = FTranslationSpeed.VectorLength();
    if (speed > 0) {
      const double damped = FTranslationDamping.Calculate(speed, dt);
      if (damped > 0)
        FTranslationSpeed.Scale(static_cast<float>(damped / speed));
      else
        FTranslationSpeed.SetAsVector({0, 0, 0, 0});
    }
    FTurnSpeed = DampedRotation(FRotationDamping, FTurnSpeed, dt);
    FRollSpeed = DampedRotation(FRotationDamping, FRollSpeed, dt);
    FPitchSpeed = DampedRotation(FRotationDamping, FPitchSpeed, dt);
  }
  TGLBaseSceneObject* object = OwnerBaseSceneObject();
  if (!object) return;
  // Zero speeds are passed over: they would move nothing, and zero times an
  // endless step is no number.
  const float step = static_cast<float>(dt);
  if (FTranslationSpeed.VectorLength() > 0) object->Position().AddScaledVector(step, FTranslationSpeed.AsVector());
  if (FTurnSpeed != 0) object->SetTurnAngle(object->TurnAngle() + FTurnSpeed * step);
  if (FRollSpeed != 0) object->SetRollAngle(object->RollAngle() + FRollSpeed * step);
  if (FPitchSpeed != 0) object->SetPitchAngle(object->PitchAngle() + FPitchSpeed * step);
}

void TGLBInertia::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TGLBInertia*>(source)) {
    FMass = other->FMass;
    FTranslationSpeed.Assign(&other->FTranslationSpeed);
    FTurnSpeed = other->FTurnSpeed;
    FRollSpeed = other->FRollSpeed;
    FPitchSpeed = other->FPitchSpeed;
    FDampingEnabled = other->FDampingEnabled;
    FTranslationDamping.Assign(&other->FTranslationDamping);
    FRotationDamping.Assign(&other->FRotationDamping);
  }
  TGLBehaviour::Assign(source);
}

void TGLBInertia::WriteItemFields(TWriter& writer) const {
  TGLBehaviour::WriteItemFields(writer);
  writer.WriteInteger(0);  // version
  writer.WriteFloat(FMass);
  FTranslationSpeed.WriteToFiler(writer);
  writer.WriteFloat(FTurnSpeed);
  writer.WriteFloat(FRollSpeed);
  writer.WriteFloat(FPitchSpeed);
  writer.WriteBoolean(FDampingEnabled);
  FTranslationDamping.WriteToFiler(writer);
  FRotationDamping.WriteToFiler(writer);
}

void TGLBInertia::ReadItemFields(TReader& reader) {
  TGLBehaviour::ReadItemFields(reader);
  CheckVersion(reader, ClassName());
  FMass = ReadSingle(reader, "TGLBInertia: the mass");
  FTranslationSpeed.ReadFromFiler(reader);
  const TVector speed = FTranslationSpeed.AsVector();
  if (!(std::isfinite(speed.x) && std::isfinite(speed.y) && std::isfinite(speed.z)))
    throw EReadError("TGLBInertia: a translation speed that is not a finite vector in the stream");
  // A speed is a vector: whatever W was stored, it moves no point's W.
  FTranslationSpeed.SetAsVector(speed);
  FTurnSpeed = ReadSingle(reader, "TGLBInertia: the turn speed");
  FRollSpeed = ReadSingle(reader, "TGLBInertia: the roll speed");
  FPitchSpeed = ReadSingle(reader, "TGLBInertia: the pitch speed");
  FDampingEnabled = reader.ReadBoolean();
  FTranslationDamping.ReadFromFiler(reader);
  FRotationDamping.ReadFromFiler(reader);
}

void InitializeGLBehaviours() { RegisterItemClass(TGLBInertia::StaticClass()); }
