#pragma once
// Colours of the scene: TGLColor (four singles owned by a material, a light, the
// fog...), the conversions from and to the platform's colour integers, and the
// table of the 25 system colours.

#include "base/GLCrossPlatform.h"
#include "scene/GLMisc.h"

#include <array>

// Red, green, blue, alpha, each meant to lie in 0-1.
class TGLColor : public TGLUpdateAbleObject {
  BRV_CLASS(TGLColor, TGLUpdateAbleObject)

public:
  // Opaque black.
  explicit TGLColor(TPersistent* owner);
  // `color`, with `changeEvent` as OnNotifyChange.
  TGLColor(TPersistent* owner, const TVector& color, TNotifyEvent changeEvent = nullptr);

  // From another colour: the four singles, then a report.
  void Assign(const TPersistent* source) override;
  // An owner that is a scene object learns first that its drawing is stale.
  void ReportChange(TObject* sender) override;

  float Red() const { return FColor.x; }
  float Green() const { return FColor.y; }
  float Blue() const { return FColor.z; }
  float Alpha() const { return FColor.w; }
  // Store and report only when the value differs.
  void SetRed(float value) { SetComponent(0, value); }
  void SetGreen(float value) { SetComponent(1, value); }
  void SetBlue(float value) { SetComponent(2, value); }
  void SetAlpha(float value) { SetComponent(3, value); }
  // Component 0-3; another index raises ERangeError.
  float Component(int index) const { return FColor[index]; }
  void SetComponent(int index, float value);

  const TVector& Color() const { return FColor; }
  // Copies and reports, also when unchanged.
  void SetColor(const TVector& color);

  // The platform colour of red, green and blue; ERangeError for a component
  // outside 0-1. Setting takes a platform colour (system colours resolved) with
  // alpha 1.
  TColorValue AsWinColor() const;
  void SetAsWinColor(TColorValue color);

  // The binary property "Color" of layout streams: red, green, blue, alpha as 16
  // bytes of little-endian singles. Fewer than 16 bytes raise EReadError and leave
  // the colour as it was; reading reports nothing.
  static constexpr std::string_view STORED_PROPERTY = "Color";
  void WriteData(TStream& stream) const;
  void ReadData(TStream& stream);

private:
  TVector FColor;
};

// The number of platform system colours (scroll bar ... info background).
inline constexpr int SYSTEM_COLOR_COUNT = 25;
// The system colour value of index i: 0xFF000000 + i.
constexpr TColorValue SystemColorValue(int index) { return static_cast<TColorValue>(0xFF000000u + unsigned(index)); }

// A platform colour as an RGB value: a system colour (negative) is looked up in
// the system colour table (black beyond it), any other value is returned as is.
TColorValue ColorToRGB(TColorValue color);

// The colour of a platform colour value, with `alpha`.
TVector ConvertWinColor(TColorValue color, float alpha = 1);
// The platform colour of red, green and blue, each rounded from 0-255;
// ERangeError when one falls outside.
TColorValue ConvertColorVector(const TVector& color);

// The 25 system colours as colour vectors with alpha 1.
const std::array<TVector, SYSTEM_COLOR_COUNT>& GLSystemColors();
