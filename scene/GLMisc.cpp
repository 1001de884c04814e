#include "scene/GLMisc.h"

#include "scene/GLSceneObjectHooks.h"

#include <bit>
#include <cmath>

// ---------------------------------------------------------------------------
// Notification

void TGLUpdateAbleObject::ReportChange(TObject*) {
  if (FUpdateCount > 0 || !FOwner) return;
  if (auto* object = dynamic_cast<TGLUpdateAbleObject*>(FOwner))
    object->ReportChange(this);
  else if (auto* component = dynamic_cast<TGLUpdateAbleComponent*>(FOwner))
    component->ReportChange(this);
  if (OnNotifyChange) OnNotifyChange(this);
}

void TGLUpdateAbleObject::EndUpdate() {
  BRV_ASSERT_MSG(FUpdateCount > 0, "Unbalanced Begin/EndUpdate");
  if (--FUpdateCount == 0) ReportChange(this);
}

void TGLCadenceAbleComponent::AdvanceTime(const TProgressTimes&) {}

void TGLUpdateAbleComponent::ReportChange(TObject*) {
  // Components owned by a form or by a plain component end the chain here.
  if (auto* owner = dynamic_cast<TGLUpdateAbleComponent*>(Owner())) owner->ReportChange(this);
}

// ---------------------------------------------------------------------------
// Coordinates

TGLCoordinates::TGLCoordinates(TPersistent* owner, const TVector& value, TGLCoordinatesStyle style)
    : TGLUpdateAbleObject(owner), FValue(value), FStyle(style) {}

void TGLCoordinates::Assign(const TPersistent* source) {
  if (auto* coordinates = dynamic_cast<const TGLCoordinates*>(source))
    FValue = coordinates->FValue;
  else
    TGLUpdateAbleObject::Assign(source);
}

void TGLCoordinates::ReportChange(TObject* sender) {
  if (UpdateCount() > 0) return;
  if (auto* sceneObject = dynamic_cast<TGLSceneObjectHooks*>(Owner()))
    sceneObject->CoordinatesEdited(*this);
  else
    TGLUpdateAbleObject::ReportChange(sender);
}

void TGLCoordinates::SetCoordinate(int index, float value) {
  FValue[index] = value;
  ReportChange(this);
}

void TGLCoordinates::SetVector(float x, float y, float z) {
  BRV_ASSERT_MSG(FStyle != csPoint, "TGLCoordinates::SetVector(): the coordinates are a point");
  FValue = {x, y, z, 0};
  ReportChange(this);
}

void TGLCoordinates::SetVector4(float x, float y, float z, float w) {
  BRV_ASSERT_MSG(FStyle != csPoint, "TGLCoordinates::SetVector4(): the coordinates are a point");
  FValue = {x, y, z, w};
  ReportChange(this);
}

void TGLCoordinates::SetPoint(float x, float y, float z) {
  BRV_ASSERT_MSG(FStyle != csVector, "TGLCoordinates::SetPoint(): the coordinates are a vector");
  FValue = {x, y, z, 1};
  ReportChange(this);
}

void TGLCoordinates::SetAsVector(const TVector& value) {
  FValue = value;
  if (FStyle == csPoint)
    FValue.w = 1;
  else if (FStyle == csVector)
    FValue.w = 0;
  ReportChange(this);
}

void TGLCoordinates::AddScaledVector(float factor, const TVector& vector) {
  Vec4AddScaledInPlace(FValue, vector, factor);
  ReportChange(this);
}

void TGLCoordinates::Rotate(const TAffineVector& axis, float angle) { Vec4RotateAroundAxis(FValue, axis, angle); }

void TGLCoordinates::Normalize() { Vec4NormalizeXYZInPlace(FValue); }

void TGLCoordinates::Scale(float factor) {
  FValue.x *= factor;
  FValue.y *= factor;
  FValue.z *= factor;
}

float TGLCoordinates::VectorLength() const { return Vec4Length(FValue); }

bool TGLCoordinates::Equals(const TVector& vector) const { return Vec4Equal(FValue, vector); }

void TGLCoordinates::WriteData(TStream& stream) const { WriteStoredVector(stream, FValue); }

void TGLCoordinates::ReadData(TStream& stream) { FValue = ReadStoredVector(stream); }

TStoredVector StoredVectorBytes(const TVector& value) {
  TStoredVector bytes;
  for (int i = 0; i < 4; ++i) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(value[i]);
    for (int b = 0; b < 4; ++b) bytes[i * 4 + b] = static_cast<std::uint8_t>(bits >> (8 * b));
  }
  return bytes;
}

TVector VectorFromStoredBytes(const TStoredVector& bytes) {
  TVector value;
  for (int i = 0; i < 4; ++i) {
    std::uint32_t bits = 0;
    for (int b = 0; b < 4; ++b) bits |= std::uint32_t(bytes[i * 4 + b]) << (8 * b);
    value[i] = std::bit_cast<float>(bits);
  }
  return value;
}

void WriteStoredVector(TStream& stream, const TVector& value) {
  const TStoredVector bytes = StoredVectorBytes(value);
  stream.WriteBuffer(bytes.data(), bytes.size());
}

TVector ReadStoredVector(TStream& stream) {
  TStoredVector bytes;
  stream.ReadBuffer(bytes.data(), bytes.size());
  return VectorFromStoredBytes(bytes);
}

// ---------------------------------------------------------------------------
// Helpers

int NextPowerOfTwo(int n) {
  int power = 1;
  while (power < n) power = CheckedMul(power, 2);
  return power;
}

double TextToFloatDef(std::string_view text, double defaultValue) {
  // Digits gather in the 80-bit type, so that long inputs round once at the end.
  long double value = 0;
  int decimals = 0;
  bool separator = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      value = value * 10 + (c - '0');
      if (separator) ++decimals;
    } else if ((c == '+' || c == '-') && i == 0) {
    } else if ((c == ',' || c == '.') && !separator) {
      separator = true;
    } else if (c == ' ' && !separator) {
    } else {
      return defaultValue;
    }
  }
  if (decimals > 0) value /= std::pow(10.0L, decimals);
  if (!text.empty() && text[0] == '-') value = -value;
  return static_cast<double>(value);
}
