#pragma once
// Scene objects sampled on regular grids: THeightField, a surface z = f(x, y)
// drawn as triangle strips, and TXYZGrid, a grid of lines. Each axis is sampled
// by a TGLSamplingScale.
//
//   auto& board = scene.Objects().AddChild(std::make_unique<THeightField>(nullptr));
//   board.XSamplingScale().SetMax(1);
//   board.YSamplingScale().SetMax(1);
//   board.OnGetHeight = [](float, float, float& z, TVector&, TTexPoint&) { z = 0; };   // flat

#include "base/VectorLists.h"
#include "scene/GLMisc.h"
#include "scene/objects/GLLines.h"

#include <cstdint>
#include <functional>

// Samples along one axis: the points Origin + i x Step that lie between Min and Max.
class TGLSamplingScale : public TGLUpdateAbleObject {
  BRV_CLASS(TGLSamplingScale, TGLUpdateAbleObject)

public:
  explicit TGLSamplingScale(TPersistent* owner) : TGLUpdateAbleObject(owner) {}

  float Min() const { return FMin; }
  // Max is raised to Min when below it.
  void SetMin(float value);
  float Max() const { return FMax; }
  // Min is lowered to Max when above it.
  void SetMax(float value);
  float Origin() const { return FOrigin; }
  void SetOrigin(float value);
  float Step() const { return FStep; }
  // A value not above 0 is stored as 1.
  void SetStep(float value);

  // The four values, then a report.
  void Assign(const TPersistent* source) override;
  // Max differs from Min.
  bool IsValid() const { return FMax != FMin; }
  // The first sample that is not below Min: Min 0, Origin 0.25, Step 0.1 gives 0.05.
  float StepBase() const;
  // Round((Max - Min) / Step + 0.5).
  int MaxStepCount() const;
  // The first sample, the step and the last value to sample to (a hair beyond
  // Max against rounding); without sampling, Origin alone.
  void SetBaseStepMaxToVars(float& base, float& step, float& max, bool samplingEnabled) const;

private:
  float FMin = 0, FMax = 0, FOrigin = 0, FStep = 0.1f;
};

enum THeightFieldColorMode : std::uint8_t {
  hfcmNone, hfcmEmission, hfcmAmbient, hfcmDiffuse, hfcmAmbientAndDiffuse
};
// Options, one bit each.
enum THeightFieldOption : std::uint8_t { hfoTextureCoordinates = 0x01, hfoTwoSided = 0x02 };
using THeightFieldOptions = std::uint8_t;

// The height of (x, y): set z, and the colour and texture point when wanted.
using THeightFieldGetHeightEvent =
    std::function<void(float x, float y, float& z, TVector& color, TTexPoint& texPoint)>;
using THeightFieldGetHeight2Event =
    std::function<void(TObject* sender, float x, float y, float& z, TVector& color, TTexPoint& texPoint)>;

// A surface z = f(x, y) over the grid of its two scales, in the local XY plane,
// its front facing +Z; drawn every frame.
class THeightField : public TGLSceneObject {
  BRV_SCENE_OBJECT_CLASS(THeightField, TGLSceneObject)

public:
  explicit THeightField(TComponent* owner);

  TGLSamplingScale& XSamplingScale() { return FXSamplingScale; }
  TGLSamplingScale& YSamplingScale() { return FYSamplingScale; }
  const TGLSamplingScale& XSamplingScale() const { return FXSamplingScale; }
  const TGLSamplingScale& YSamplingScale() const { return FYSamplingScale; }
  void SetXSamplingScale(const TGLSamplingScale& value) { FXSamplingScale.Assign(&value); }
  void SetYSamplingScale(const TGLSamplingScale& value) { FYSamplingScale.Assign(&value); }
  THeightFieldColorMode ColorMode() const { return FColorMode; }
  void SetColorMode(THeightFieldColorMode value);
  THeightFieldOptions Options() const { return FOptions; }
  void SetOptions(THeightFieldOptions value);
  // The height source; without either, z = cos(12 r) / ((6.28 r + 1) 2), r the
  // distance from the origin.
  const THeightFieldGetHeightEvent& OnGetHeight() const { return FOnGetHeight; }
  void SetOnGetHeight(THeightFieldGetHeightEvent value);
  const THeightFieldGetHeight2Event& OnGetHeight2() const { return FOnGetHeight2; }
  void SetOnGetHeight2(THeightFieldGetHeight2Event value);

  // Triangles of the last drawing.
  int TriangleCount() const { return FTriangleCount; }

  // A change of a sampling scale makes the drawing stale.
  void ReportChange(TObject* sender) override;
  void EmitGeometry(TRenderContextInfo& rci) override;
  // Both scales, the first height event, options and colour mode.
  void Assign(const TPersistent* source) override;

private:
  TGLSamplingScale FXSamplingScale, FYSamplingScale;
  THeightFieldColorMode FColorMode = hfcmNone;
  THeightFieldOptions FOptions = hfoTwoSided;
  THeightFieldGetHeightEvent FOnGetHeight;
  THeightFieldGetHeight2Event FOnGetHeight2;
  int FTriangleCount = 0;
};

enum TXYZGridPart : std::uint8_t { gpX = 0x01, gpY = 0x02, gpZ = 0x04 };
using TXYZGridParts = std::uint8_t;
// Whole lines from end to end, or a vertex at every sample.
enum TXYZGridLinesStyle : std::uint8_t { glsLine, glsSegments };

// A grid of lines parallel to the axes of its parts, one line through every
// sample of the other two axes.
class TXYZGrid : public TLineBase {
  BRV_SCENE_OBJECT_CLASS(TXYZGrid, TLineBase)

public:
  explicit TXYZGrid(TComponent* owner);

  TGLSamplingScale& XSamplingScale() { return FXSamplingScale; }
  TGLSamplingScale& YSamplingScale() { return FYSamplingScale; }
  TGLSamplingScale& ZSamplingScale() { return FZSamplingScale; }
  void SetXSamplingScale(const TGLSamplingScale& value) { FXSamplingScale.Assign(&value); }
  void SetYSamplingScale(const TGLSamplingScale& value) { FYSamplingScale.Assign(&value); }
  void SetZSamplingScale(const TGLSamplingScale& value) { FZSamplingScale.Assign(&value); }
  TXYZGridParts Parts() const { return FParts; }
  void SetParts(TXYZGridParts value);
  TXYZGridLinesStyle LinesStyle() const { return FLinesStyle; }
  void SetLinesStyle(TXYZGridLinesStyle value);
  bool LinesSmoothing() const { return FLinesSmoothing; }
  void SetLinesSmoothing(bool value);

  void ReportChange(TObject* sender) override;
  void EmitGeometry(TRenderContextInfo& rci) override;
  void Assign(const TPersistent* source) override;

private:
  // Axis 0-2.
  const TGLSamplingScale& Scale(int axis) const;

  TGLSamplingScale FXSamplingScale, FYSamplingScale, FZSamplingScale;
  TXYZGridParts FParts = gpX | gpY;
  TXYZGridLinesStyle FLinesStyle = glsSegments;
  bool FLinesSmoothing = false;
};

// Start-up registration of THeightField and TXYZGrid for layouts.
void InitializeGLGraph();
