#include "scene/objects/GLGraph.h"

#include "scene/gl/XOpenGL.h"

#include <cmath>
#include <vector>

// ---------------------------------------------------------------------------
// TGLSamplingScale

void TGLSamplingScale::SetMin(float value) {
  FMin = value;
  if (FMax < FMin) FMax = FMin;
  ReportChange(this);
}

void TGLSamplingScale::SetMax(float value) {
  FMax = value;
  if (FMin > FMax) FMin = FMax;
  ReportChange(this);
}

void TGLSamplingScale::SetOrigin(float value) {
  FOrigin = value;
  ReportChange(this);
}

void TGLSamplingScale::SetStep(float value) {
  FStep = value > 0 ? value : 1;
  ReportChange(this);
}

void TGLSamplingScale::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TGLSamplingScale*>(source);
  if (!other) {
    TGLUpdateAbleObject::Assign(source);
    return;
  }
  FMin = other->FMin;
  FMax = other->FMax;
  FOrigin = other->FOrigin;
  FStep = other->FStep;
  ReportChange(this);
}

float TGLSamplingScale::StepBase() const {
  if (FOrigin == FMin) return FMin;
  // Steps from Min back to the grid point just below it (or on it).
  const float k = std::floor((FOrigin - FMin) / FStep);
  return FOrigin - FStep * k;
}

int TGLSamplingScale::MaxStepCount() const {
  return static_cast<int>(std::nearbyint((FMax - FMin) / FStep + 0.5f));
}

void TGLSamplingScale::SetBaseStepMaxToVars(float& base, float& step, float& max, bool samplingEnabled) const {
  step = FStep;
  if (samplingEnabled) {
    base = StepBase();
    max = FMax + ((FMax - base) / step) * 1e-6f;
  } else {
    base = FOrigin;
    max = base;
  }
}

namespace {

// The samples base, base + step, ... that `keep` accepts, stopping at the first
// it refuses. Computed from the index, so that no rounding piles up along a row.
template <class TKeep>
std::vector<float> Samples(float base, float step, TKeep keep) {
  std::vector<float> samples;
  for (int i = 0;; ++i) {
    const float v = base + float(i) * step;
    // A step too small to move a value this large ends the samples too.
    if (!keep(v) || (i > 0 && !(v > samples.back()))) break;
    samples.push_back(v);
  }
  return samples;
}

}  // namespace

// ---------------------------------------------------------------------------
// THeightField

THeightField::THeightField(TComponent* owner)
    : TGLSceneObject(owner), FXSamplingScale(this), FYSamplingScale(this) {
  SetObjectStyle(ObjectStyle() | StyleBit(TGLObjectStyle::DirectDraw));
}

void THeightField::SetColorMode(THeightFieldColorMode value) {
  FColorMode = value;
  MarkStructureDirty();
}

void THeightField::SetOptions(THeightFieldOptions value) {
  FOptions = value;
  MarkStructureDirty();
}

void THeightField::SetOnGetHeight(THeightFieldGetHeightEvent value) {
  FOnGetHeight = std::move(value);
  MarkStructureDirty();
}

void THeightField::SetOnGetHeight2(THeightFieldGetHeight2Event value) {
  FOnGetHeight2 = std::move(value);
  MarkStructureDirty();
}

void THeightField::ReportChange(TObject* sender) {
  if (sender == &FXSamplingScale || sender == &FYSamplingScale) IncludeChange(TGLChange::ListStale);
  TGLSceneObject::ReportChange(sender);
}

namespace {

struct THeightSample {
  float Z;
  TVector Color;
  TTexPoint TexPoint;
  TAffineVector Normal;
};

struct THeightRow {
  float Y = 0;
  std::vector<THeightSample> Samples;
};

// The normals of `row` from its neighbours in X and in Y (either row may be missing).
void ComputeNormals(THeightRow& row, const THeightRow* before, const THeightRow* after, float invX, float invY) {
  const std::size_t count = row.Samples.size();
  for (std::size_t i = 0; i < count; ++i) {
    const float z = row.Samples[i].Z;
    float nx = 0, ny = 0;
    if (i > 0) nx += (row.Samples[i - 1].Z - z) * invX;
    if (i + 1 < count) nx += (z - row.Samples[i + 1].Z) * invX;
    if (before) ny += (before->Samples[i].Z - z) * invY;
    if (after) ny += (z - after->Samples[i].Z) * invY;
    row.Samples[i].Normal = Vec3Normalized({nx, ny, 1});
  }
}

}  // namespace

void THeightField::EmitGeometry(TRenderContextInfo&) {
  FTriangleCount = 0;
  if (!FXSamplingScale.IsValid() || !FYSamplingScale.IsValid()) return;
  // A sample that misses Max by rounding alone counts as lying on it: never a
  // column there, always a row.
  const float xEnd = FXSamplingScale.Max() - FXSamplingScale.Step() * 1e-3f;
  const float yEnd = FYSamplingScale.Max() + FYSamplingScale.Step() * 1e-3f;
  const std::vector<float> xs = Samples(FXSamplingScale.StepBase(), FXSamplingScale.Step(), [&](float x) { return x < xEnd; });
  const std::vector<float> ys = Samples(FYSamplingScale.StepBase(), FYSamplingScale.Step(), [&](float y) { return y <= yEnd; });
  const float invX = 1 / FXSamplingScale.Step(), invY = 1 / FYSamplingScale.Step();
  const bool colored = FColorMode != hfcmNone, textured = FOptions & hfoTextureCoordinates;

  auto height = [&](float x, float y, THeightSample& sample) {
    if (FOnGetHeight) {
      FOnGetHeight(x, y, sample.Z, sample.Color, sample.TexPoint);
    } else if (FOnGetHeight2) {
      FOnGetHeight2(this, x, y, sample.Z, sample.Color, sample.TexPoint);
    } else {
      const float r = std::sqrt(x * x + y * y);
      sample.Z = std::cos(12 * r) / ((6.28f * r + 1) * 2);
    }
  };
  auto vertex = [&](float x, float y, const THeightSample& sample) {
    GL->glNormal3fv(&sample.Normal.x);
    if (colored) GL->glColor4fv(&sample.Color.x);
    if (textured) xglTexCoord2fv(&sample.TexPoint.S);
    GL->glVertex3f(x, y, sample.Z);
  };
  // The upper row of each pair first: seen from +Z the triangles wind
  // counter-clockwise, so the surface's front faces +Z.
  auto strip = [&](const THeightRow& lower, const THeightRow& upper) {
    GL->glBegin(GL_TRIANGLE_STRIP);
    for (std::size_t i = 0; i < xs.size(); ++i) {
      vertex(xs[i], upper.Y, upper.Samples[i]);
      vertex(xs[i], lower.Y, lower.Samples[i]);
    }
    GL->glEnd();
  };

  const bool saveEnables = (FOptions & hfoTwoSided) || colored;
  if (saveEnables) GL->glPushAttrib(GL_ENABLE_BIT);
  if (FOptions & hfoTwoSided) {
    GL->glDisable(GL_CULL_FACE);
    static constexpr GLenum MODES[] = {GL_FILL, GL_LINE, GL_POINT};
    SetPolygonModeCached(GL_FRONT_AND_BACK, MODES[Material().FrontProperties().PolygonMode()]);
  }
  if (colored) {
    static constexpr GLenum COLOR_MODES[] = {0, GL_EMISSION, GL_AMBIENT, GL_DIFFUSE, GL_AMBIENT_AND_DIFFUSE};
    GL->glEnable(GL_COLOR_MATERIAL);
    GL->glColorMaterial(GL_FRONT_AND_BACK, COLOR_MODES[FColorMode]);
  }

  // Three rows in turn: a row's normals need the row after it, and a strip
  // joins two rows that have their normals.
  THeightRow rows[3];
  std::size_t count = 0;
  auto row = [&](std::size_t k) -> THeightRow& { return rows[k % 3]; };
  for (const float y : ys) {
    THeightRow& newest = row(count);
    newest.Y = y;
    newest.Samples.assign(xs.size(), THeightSample{0, {1, 1, 1, 1}, {0, 0}, {0, 0, 1}});
    for (std::size_t i = 0; i < xs.size(); ++i) {
      newest.Samples[i].TexPoint = {xs[i], y};
      height(xs[i], y, newest.Samples[i]);
    }
    if (count >= 1) {
      ComputeNormals(row(count - 1), count >= 2 ? &row(count - 2) : nullptr, &newest, invX, invY);
      if (count >= 2) strip(row(count - 2), row(count - 1));
    }
    ++count;
  }
  if (count >= 1) {
    ComputeNormals(row(count - 1), count >= 2 ? &row(count - 2) : nullptr, nullptr, invX, invY);
    if (count >= 2) strip(row(count - 2), row(count - 1));
  }

  if (colored) ResetMaterialColorCache();
  if (saveEnables) GL->glPopAttrib();
  const int rowsDrawn = static_cast<int>(count), columns = static_cast<int>(xs.size());
  FTriangleCount = rowsDrawn > 1 && columns > 1 ? (rowsDrawn - 1) * 2 * (columns - 1) : 0;
}

void THeightField::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const THeightField*>(source)) {
    FXSamplingScale.Assign(&other->FXSamplingScale);
    FYSamplingScale.Assign(&other->FYSamplingScale);
    FOnGetHeight = other->FOnGetHeight;
    FOptions = other->FOptions;
    FColorMode = other->FColorMode;
  }
  TGLSceneObject::Assign(source);
}

// ---------------------------------------------------------------------------
// TXYZGrid

TXYZGrid::TXYZGrid(TComponent* owner)
    : TLineBase(owner), FXSamplingScale(this), FYSamplingScale(this), FZSamplingScale(this) {}

const TGLSamplingScale& TXYZGrid::Scale(int axis) const {
  return axis == 0 ? FXSamplingScale : axis == 1 ? FYSamplingScale : FZSamplingScale;
}

void TXYZGrid::SetParts(TXYZGridParts value) { StoreAndRebuild(*this, FParts, value); }

void TXYZGrid::SetLinesStyle(TXYZGridLinesStyle value) { StoreAndRebuild(*this, FLinesStyle, value); }

void TXYZGrid::SetLinesSmoothing(bool value) { StoreAndRebuild(*this, FLinesSmoothing, value); }

void TXYZGrid::ReportChange(TObject* sender) {
  if (sender == &FXSamplingScale || sender == &FYSamplingScale || sender == &FZSamplingScale)
    IncludeChange(TGLChange::ListStale);
  TLineBase::ReportChange(sender);
}

void TXYZGrid::EmitGeometry(TRenderContextInfo&) {
  std::vector<float> samples[3];
  float ends[3][2];
  for (int axis = 0; axis < 3; ++axis) {
    float base, step, max;
    Scale(axis).SetBaseStepMaxToVars(base, step, max, FParts & (1 << axis));
    samples[axis] = Samples(base, step, [max](float v) { return v <= max; });
    ends[axis][0] = base;
    ends[axis][1] = max;
  }
  SetupLineStyle();
  for (int axis = 0; axis < 3; ++axis) {
    if (!(FParts & (1 << axis))) continue;
    const int b = (axis + 1) % 3, c = (axis + 2) % 3;
    for (const float vb : samples[b])
      for (const float vc : samples[c]) {
        float p[3];
        p[b] = vb;
        p[c] = vc;
        GL->glBegin(GL_LINE_STRIP);
        if (FLinesStyle == glsSegments) {
          for (const float va : samples[axis]) {
            p[axis] = va;
            GL->glVertex3fv(p);
          }
        } else {
          for (const float va : ends[axis]) {
            p[axis] = va;
            GL->glVertex3fv(p);
          }
        }
        GL->glEnd();
      }
  }
  RestoreLineStyle();
}

void TXYZGrid::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TXYZGrid*>(source)) {
    FXSamplingScale.Assign(&other->FXSamplingScale);
    FYSamplingScale.Assign(&other->FYSamplingScale);
    FZSamplingScale.Assign(&other->FZSamplingScale);
    FParts = other->FParts;
    FLinesStyle = other->FLinesStyle;
    FLinesSmoothing = other->FLinesSmoothing;
  }
  TLineBase::Assign(source);
}

void InitializeGLGraph() {
  RegisterClass(THeightField::StaticClass());
  RegisterClass(TXYZGrid::StaticClass());
}
