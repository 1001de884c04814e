#pragma once
// Change notification of the scene layer, its owned coordinates, and two small
// text and number helpers.
//
// A value object (coordinates, a colour, a texture, a material) reports a change
// to its owner, and the report travels up the owner chain until the scene asks
// its buffers to redraw. The owner always hears first, then the object's own
// OnNotifyChange event. BeginUpdate/EndUpdate hold reports back and send one at
// the end.

#include "base/ClassRegistry.h"
#include "base/Components.h"
#include "base/Geometry.h"
#include "base/Streams.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

using TNotifyEvent = std::function<void(TObject* sender)>;

// Stores `value` in `field` when it differs; true when it did, and the caller
// reports the change.
template <class T>
bool StoreChanged(T& field, T value) {
  if (field == value) return false;
  field = value;
  return true;
}

// An owned value that reports its changes to its owner.
class TGLUpdateAbleObject : public TPersistent {
  BRV_CLASS(TGLUpdateAbleObject, TPersistent)

public:
  explicit TGLUpdateAbleObject(TPersistent* owner) : FOwner(owner) {}

  TPersistent* Owner() const { return FOwner; }
  TPersistent* GetOwner() const override { return FOwner; }

  // Passes the change to an update-able owner (object or component), then fires
  // OnNotifyChange; nothing while updating or without an owner.
  virtual void ReportChange(TObject* sender);

  // Reports are held back until the matching EndUpdate, which sends one.
  // An EndUpdate without BeginUpdate fails with "Unbalanced Begin/EndUpdate".
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }

  TNotifyEvent OnNotifyChange;

private:
  TPersistent* FOwner;
  int FUpdateCount = 0;
};

// The time step the cadencer hands out, in seconds.
struct TProgressTimes {
  double DeltaTime = 0;
  double NewTime = 0;
};

// A component that the cadencer steps through time.
class TGLCadenceAbleComponent : public TComponent {
  BRV_CLASS(TGLCadenceAbleComponent, TComponent)

public:
  using TComponent::TComponent;
  virtual void AdvanceTime(const TProgressTimes& progressTimes);
};

// A component in the change chain: it passes a report on to its owner when that
// owner is an update-able component too.
class TGLUpdateAbleComponent : public TGLCadenceAbleComponent {
  BRV_CLASS(TGLUpdateAbleComponent, TGLCadenceAbleComponent)

public:
  using TGLCadenceAbleComponent::TGLCadenceAbleComponent;
  virtual void ReportChange(TObject* sender);
};

// A point keeps W = 1, a vector W = 0; free coordinates take W as given.
enum TGLCoordinatesStyle : std::uint8_t { csPoint, csVector, csFree };

// Four singles owned by an object. Setters report the change; an owner that is a
// scene object is told through TGLSceneObjectHooks::CoordinatesEdited instead of
// the report going up the chain.
class TGLCoordinates : public TGLUpdateAbleObject {
  BRV_CLASS(TGLCoordinates, TGLUpdateAbleObject)

public:
  // The value is stored as given, whatever the style.
  TGLCoordinates(TPersistent* owner, const TVector& value, TGLCoordinatesStyle style);

  // From other coordinates: the four singles, without a report.
  void Assign(const TPersistent* source) override;
  void ReportChange(TObject* sender) override;

  TGLCoordinatesStyle Style() const { return FStyle; }
  float X() const { return FValue.x; }
  float Y() const { return FValue.y; }
  float Z() const { return FValue.z; }
  float W() const { return FValue.w; }
  // Store and report, also when the value is unchanged.
  void SetX(float value) { SetCoordinate(0, value); }
  void SetY(float value) { SetCoordinate(1, value); }
  void SetZ(float value) { SetCoordinate(2, value); }
  // Component 0-3; another index raises ERangeError.
  float Coordinate(int index) const { return FValue[index]; }
  void SetCoordinate(int index, float value);

  // (x, y, z, 0) and (x, y, z, w): not for a point. (x, y, z, 1): not for a vector.
  void SetVector(float x, float y, float z);
  void SetVector4(float x, float y, float z, float w);
  void SetPoint(float x, float y, float z);

  const TVector& AsVector() const { return FValue; }
  // Copies the value, then forces W to 1 for a point and 0 for a vector.
  void SetAsVector(const TVector& value);
  // The four singles in place, for code that reads them directly.
  float* AsAddress() { return &FValue.x; }
  const float* AsAddress() const { return &FValue.x; }

  // value += factor * vector over all four components; reports.
  void AddScaledVector(float factor, const TVector& vector);
  // These three change the value without a report: the caller reports once when done.
  // Rotation by `angle` radians about `axis` through the origin.
  void Rotate(const TAffineVector& axis, float angle);
  // X, Y, Z to unit length, W = 0.
  void Normalize();
  // X, Y, Z multiplied by `factor`.
  void Scale(float factor);
  // Length over all four components.
  float VectorLength() const;
  // All four singles bit for bit.
  bool Equals(const TVector& vector) const;

  // The binary property "Coordinates" of layout streams: X, Y, Z, W as 16 bytes of
  // little-endian singles. Reading replaces the value without a report; fewer than
  // 16 bytes raise EReadError and leave the value as it was.
  static constexpr std::string_view STORED_PROPERTY = "Coordinates";
  void WriteData(TStream& stream) const;
  void ReadData(TStream& stream);

  // The form inside item streams (TWriter or TVirtualWriter): version 0, True, then
  // the 16 bytes raw. Reading takes the version (unchecked) and the flag, and the
  // bytes only when the flag is True.
  template <class TWriterKind>
  void WriteToFiler(TWriterKind& writer) const;
  template <class TReaderKind>
  void ReadFromFiler(TReaderKind& reader);

private:
  TVector FValue;
  TGLCoordinatesStyle FStyle;
};

// The 16 stored bytes of four singles, little-endian, and back; and the same
// through a stream (a short read raises EReadError).
using TStoredVector = std::array<std::uint8_t, 16>;
TStoredVector StoredVectorBytes(const TVector& value);
TVector VectorFromStoredBytes(const TStoredVector& bytes);
void WriteStoredVector(TStream& stream, const TVector& value);
TVector ReadStoredVector(TStream& stream);

template <class TWriterKind>
void TGLCoordinates::WriteToFiler(TWriterKind& writer) const {
  writer.WriteInteger(0);
  writer.WriteBoolean(true);
  const TStoredVector bytes = StoredVectorBytes(FValue);
  writer.Write(bytes.data(), bytes.size());
}

template <class TReaderKind>
void TGLCoordinates::ReadFromFiler(TReaderKind& reader) {
  reader.ReadInteger();
  if (!reader.ReadBoolean()) return;
  TStoredVector bytes;
  reader.Read(bytes.data(), bytes.size());
  FValue = VectorFromStoredBytes(bytes);
}

// Sets a flag for its lifetime and clears it on every way out: the guard of a
// step that must not run again while it runs.
class TScopedFlag {
public:
  explicit TScopedFlag(bool& flag) : FFlag(flag) { FFlag = true; }
  ~TScopedFlag() { FFlag = false; }
  TScopedFlag(const TScopedFlag&) = delete;
  TScopedFlag& operator=(const TScopedFlag&) = delete;

private:
  bool& FFlag;
};

// The smallest power of two that is at least n (1 for n <= 1); EIntOverflow beyond
// the integer range.
int NextPowerOfTwo(int n);

// A decimal number with "," or "." as its separator ("3,25", "-2", "1 000"). Blanks
// before the separator are skipped; any other character, a second separator, a
// sign after the first character or a blank after the separator give `defaultValue`.
// An empty text gives 0.
double TextToFloatDef(std::string_view text, double defaultValue);
