#include "scene/GLColor.h"

#include "scene/GLSceneObjectHooks.h"

#include <cmath>

namespace {

// Our system colours, in the platform's order: scroll bar, desktop, active and
// inactive caption, menu, window, window frame, menu text, window text, caption
// text, active and inactive border, application workspace, highlight, highlight
// text, button face, button shadow, grey text, button text, inactive caption
// text, button highlight, 3D dark shadow, 3D light, info text, info background.
constexpr TColorValue SYSTEM_COLORS[SYSTEM_COLOR_COUNT] = {
    MakeRGB(0xC8, 0xC8, 0xC8), MakeRGB(0x2F, 0x4F, 0x6F), MakeRGB(0x1F, 0x5F, 0xA8), MakeRGB(0x9A, 0xA5, 0xB1),
    MakeRGB(0xF0, 0xF0, 0xF0), MakeRGB(0xFF, 0xFF, 0xFF), MakeRGB(0x64, 0x64, 0x64), MakeRGB(0x00, 0x00, 0x00),
    MakeRGB(0x00, 0x00, 0x00), MakeRGB(0xFF, 0xFF, 0xFF), MakeRGB(0xB4, 0xB4, 0xB4), MakeRGB(0xD2, 0xD2, 0xD2),
    MakeRGB(0xAB, 0xAB, 0xAB), MakeRGB(0x33, 0x77, 0xCC), MakeRGB(0xFF, 0xFF, 0xFF), MakeRGB(0xD8, 0xD8, 0xD8),
    MakeRGB(0xA0, 0xA0, 0xA0), MakeRGB(0x80, 0x80, 0x80), MakeRGB(0x00, 0x00, 0x00), MakeRGB(0x40, 0x40, 0x40),
    MakeRGB(0xFF, 0xFF, 0xFF), MakeRGB(0x3C, 0x3C, 0x3C), MakeRGB(0xE3, 0xE3, 0xE3), MakeRGB(0x00, 0x00, 0x00),
    MakeRGB(0xFF, 0xF8, 0xDC)};

std::uint8_t ColorByte(float component) {
  // Rounded half to even, as the platform's rounding does.
  const double scaled = std::nearbyint(double(component) * 255.0);
  if (!(scaled >= 0 && scaled <= 255)) throw ERangeError();
  return static_cast<std::uint8_t>(scaled);
}

}  // namespace

TColorValue ColorToRGB(TColorValue color) {
  if (color >= 0) return color;
  const int index = color & 0xFF;
  return index < SYSTEM_COLOR_COUNT ? SYSTEM_COLORS[index] : 0;
}

TVector ConvertWinColor(TColorValue color, float alpha) {
  const TColorValue rgb = ColorToRGB(color);
  constexpr double SCALE = 1.0 / 255;
  return {float(RedOf(rgb) * SCALE), float(GreenOf(rgb) * SCALE), float(BlueOf(rgb) * SCALE), alpha};
}

TColorValue ConvertColorVector(const TVector& color) {
  return MakeRGB(ColorByte(color.x), ColorByte(color.y), ColorByte(color.z));
}

const std::array<TVector, SYSTEM_COLOR_COUNT>& GLSystemColors() {
  static const std::array<TVector, SYSTEM_COLOR_COUNT> colors = [] {
    std::array<TVector, SYSTEM_COLOR_COUNT> table;
    for (int i = 0; i < SYSTEM_COLOR_COUNT; ++i) table[i] = ConvertWinColor(SystemColorValue(i), 1);
    return table;
  }();
  return colors;
}

// ---------------------------------------------------------------------------
// TGLColor

TGLColor::TGLColor(TPersistent* owner) : TGLColor(owner, {0, 0, 0, 1}) {}

TGLColor::TGLColor(TPersistent* owner, const TVector& color, TNotifyEvent changeEvent)
    : TGLUpdateAbleObject(owner), FColor(color) {
  OnNotifyChange = std::move(changeEvent);
}

void TGLColor::Assign(const TPersistent* source) {
  if (auto* color = dynamic_cast<const TGLColor*>(source))
    SetColor(color->FColor);
  else
    TGLUpdateAbleObject::Assign(source);
}

void TGLColor::ReportChange(TObject* sender) {
  if (UpdateCount() > 0 || !Owner()) return;
  if (auto* sceneObject = dynamic_cast<TGLSceneObjectHooks*>(Owner())) sceneObject->MarkStructureDirty();
  TGLUpdateAbleObject::ReportChange(sender);
}

void TGLColor::SetComponent(int index, float value) {
  float& component = FColor[index];
  if (component == value) return;
  component = value;
  ReportChange(this);
}

void TGLColor::SetColor(const TVector& color) {
  FColor = color;
  ReportChange(this);
}

TColorValue TGLColor::AsWinColor() const { return ConvertColorVector(FColor); }

void TGLColor::SetAsWinColor(TColorValue color) { SetColor(ConvertWinColor(color, 1)); }

void TGLColor::WriteData(TStream& stream) const { WriteStoredVector(stream, FColor); }

void TGLColor::ReadData(TStream& stream) { FColor = ReadStoredVector(stream); }
