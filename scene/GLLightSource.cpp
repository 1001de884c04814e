#include "scene/GLLightSource.h"

#include "scene/GLSceneBuffer.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// Light source

TGLLightSource::TGLLightSource(TComponent* owner)
    : TGLBaseSceneObject(owner),
      FSpotDirection(this, {0, 0, -1, 0}, csVector),
      FAmbient(this, {0, 0, 0, 1}),
      FDiffuse(this, {1, 1, 1, 1}),
      FSpecular(this, {0, 0, 0, 1}) {}

TGLLightSource::~TGLLightSource() {
  // The scene never reaches a light that is going.
  if (Scene()) Scene()->DetachLight(*this);
}

void TGLLightSource::SetParameter(float& field, float value, TGLChange change) {
  if (!StoreChanged(field, value)) return;
  IncludeChange(change);
  ReportChange(this);
}

void TGLLightSource::SetSpotExponent(float value) { SetParameter(FSpotExponent, value, TGLChange::LightChanged); }

void TGLLightSource::SetSpotCutOff(float value) { SetParameter(FSpotCutOff, value, TGLChange::LightChanged); }

void TGLLightSource::SetConstAttenuation(float value) {
  SetParameter(FConstAttenuation, value, TGLChange::AttenuationChanged);
}

void TGLLightSource::SetLinearAttenuation(float value) {
  SetParameter(FLinearAttenuation, value, TGLChange::AttenuationChanged);
}

void TGLLightSource::SetQuadraticAttenuation(float value) {
  SetParameter(FQuadraticAttenuation, value, TGLChange::AttenuationChanged);
}

void TGLLightSource::SetShining(bool value) {
  if (StoreChanged(FShining, value)) ReportChange(this);
}

void TGLLightSource::SetLightStyle(TLightStyle value) {
  if (!StoreChanged(FLightStyle, value)) return;
  IncludeChange(TGLChange::LightChanged);
  ReportChange(this);
}

void TGLLightSource::SetSpotDirection(const TGLCoordinates& value) {
  // Through the coordinates' own report, which marks the light and moves it.
  FSpotDirection.SetAsVector(value.AsVector());
}

void TGLLightSource::CoordinatesEdited(TGLCoordinates& sender) {
  if (&sender != &FSpotDirection) {
    TGLBaseSceneObject::CoordinatesEdited(sender);
    return;
  }
  FSpotDirection.AsAddress()[3] = 0;  // a direction, whatever was written to it
  IncludeChange(TGLChange::LightChanged);
  MarkTransformDirty();
}

GLuint TGLLightSource::GetHandle(TRenderContextInfo&) { return 0; }

void TGLLightSource::RenderNode(TRenderContextInfo& rci, bool, bool renderChildren) {
  TGLBaseSceneObject::RenderNode(rci, false, renderChildren);
}

bool TGLLightSource::IntersectRay(const TVector&, const TVector&, TVector*, TVector*) const { return false; }

void TGLLightSource::SendToGL() {
  RefreshLocalMatrix();
  if (FLightStyle == lsParallel) {
    // A direction (w = 0) in the light's own frame: light from infinitely far.
    GL->glMultMatrixf(&WorldMatrix()[0].x);
    GL->glLightfv(FLightID, GL_POSITION, FSpotDirection.AsAddress());
  } else {
    // The parent's frame as the tree sees it: a scene root adds nothing.
    if (const TGLBaseSceneObject* parent = MatrixParent()) GL->glMultMatrixf(&parent->WorldMatrix()[0].x);
    GL->glLightfv(FLightID, GL_POSITION, Position().AsAddress());
  }
  GL->glLightfv(FLightID, GL_AMBIENT, &FAmbient.Color().x);
  GL->glLightfv(FLightID, GL_DIFFUSE, &FDiffuse.Color().x);
  GL->glLightfv(FLightID, GL_SPECULAR, &FSpecular.Color().x);
  // GL refuses a cone wider than 90 degrees (180 aside), an exponent beyond
  // 0..128 and a negative attenuation, and would report it every frame: such a
  // light is sent without a cone, with the nearest exponent, unattenuated there.
  if (FLightStyle == lsSpot) {
    const float cutOff = FSpotCutOff >= 0 && FSpotCutOff <= 90 ? FSpotCutOff : 180;
    if (cutOff != 180) {
      const float exponent = std::clamp(FSpotExponent, 0.0f, 128.0f);
      GL->glLightfv(FLightID, GL_SPOT_DIRECTION, FSpotDirection.AsAddress());
      GL->glLightfv(FLightID, GL_SPOT_EXPONENT, &exponent);
    }
    GL->glLightfv(FLightID, GL_SPOT_CUTOFF, &cutOff);
  } else if (FLightStyle == lsOmni) {
    GL->glLightf(FLightID, GL_SPOT_CUTOFF, 180);
  }
  ExcludeChange(TGLChange::LightChanged);
  const float attenuations[] = {std::max(FConstAttenuation, 0.0f), std::max(FLinearAttenuation, 0.0f),
                                std::max(FQuadraticAttenuation, 0.0f)};
  GL->glLightfv(FLightID, GL_CONSTANT_ATTENUATION, &attenuations[0]);
  GL->glLightfv(FLightID, GL_LINEAR_ATTENUATION, &attenuations[1]);
  GL->glLightfv(FLightID, GL_QUADRATIC_ATTENUATION, &attenuations[2]);
  ExcludeChange(TGLChange::AttenuationChanged);
}

void TGLScene::ApplyLights(int maxLights) {
  GL->glPushMatrix();
  const int slots = std::min(maxLights, LIGHT_SLOTS);
  for (int i = 0; i < slots; ++i) {
    TGLLightSource* light = FLights[static_cast<std::size_t>(i)].Get();
    if (!light) {
      GL->glDisable(GL_LIGHT0 + static_cast<GLenum>(i));
    } else if (!light->Shining()) {
      GL->glDisable(light->LightID());
    } else {
      GL->glEnable(light->LightID());
      // Back to the viewing matrix for each light.
      GL->glPopMatrix();
      GL->glPushMatrix();
      light->SendToGL();
    }
  }
  GL->glPopMatrix();
}

// ---------------------------------------------------------------------------
// Fog

TGLFogEnvironment::TGLFogEnvironment(TGLSceneBuffer* owner)
    : TGLUpdateAbleObject(owner), FBuffer(owner), FFogColor(this, {0, 0, 0, 1}) {}

void TGLFogEnvironment::SetFogColor(const TGLColor* value) {
  if (value) FFogColor.Assign(value);
}

void TGLFogEnvironment::SetFogStart(float value) {
  if (StoreChanged(FFogStart, value)) ReportChange(this);
}

void TGLFogEnvironment::SetFogEnd(float value) {
  if (StoreChanged(FFogEnd, value)) ReportChange(this);
}

void TGLFogEnvironment::SetFogMode(TFogMode value) {
  if (StoreChanged(FFogMode, value)) ReportChange(this);
}

void TGLFogEnvironment::SetFogDistance(TFogDistance value) {
  if (StoreChanged(FFogDistance, value)) ReportChange(this);
}

void TGLFogEnvironment::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TGLFogEnvironment*>(source);
  if (!other) {
    TGLUpdateAbleObject::Assign(source);
    return;
  }
  BeginUpdate();
  FFogColor.Assign(&other->FFogColor);
  FFogStart = other->FFogStart;
  FFogEnd = other->FFogEnd;
  FFogMode = other->FFogMode;
  FFogDistance = other->FFogDistance;
  EndUpdate();
}

void TGLFogEnvironment::ReportChange(TObject* sender) {
  FChanged = true;
  TGLUpdateAbleObject::ReportChange(sender);
}

bool TGLFogEnvironment::IsAtDefaultValues() const {
  return Vec4Equal(FFogColor.Color(), {0, 0, 0, 1}) && FFogStart == 10 && FFogEnd == 1000 && FFogMode == fmLinear &&
         FFogDistance == fdDefault;
}

void TGLFogEnvironment::ApplyFog() {
  if (!FChanged || !FBuffer) return;
  TGLContext* context = FBuffer->RenderingContext();
  if (!context || !context->IsValid()) return;
  context->Activate();
  try {
    static constexpr GLint MODES[] = {GL_LINEAR, GL_EXP, GL_EXP2};
    GL->glFogi(GL_FOG_MODE, MODES[FFogMode]);
    // GL refuses a negative density (and would say so every frame).
    if (FFogMode != fmLinear) GL->glFogf(GL_FOG_DENSITY, std::max(FFogColor.Alpha(), 0.0f));
    GL->glFogfv(GL_FOG_COLOR, &FFogColor.Color().x);
    GL->glFogf(GL_FOG_START, FFogStart);
    GL->glFogf(GL_FOG_END, FFogEnd);
    if (GL->NV_fog_distance) {
      // The implementation's own mode is read before the fog first sets one, so
      // that fdDefault can go back to it.
      if (FDefaultDistanceMode < 0) GL->glGetIntegerv(GL_FOG_DISTANCE_MODE_NV, &FDefaultDistanceMode);
      switch (FFogDistance) {
        case fdDefault: GL->glFogi(GL_FOG_DISTANCE_MODE_NV, FDefaultDistanceMode); break;
        case fdEyeRadial: GL->glFogi(GL_FOG_DISTANCE_MODE_NV, GL_EYE_RADIAL_NV); break;
        case fdEyePlane: GL->glFogi(GL_FOG_DISTANCE_MODE_NV, GL_EYE_PLANE); break;
        default: AssertionFailure("TGLFogEnvironment::ApplyFog(): unknown fog distance", __FILE__, __LINE__);
      }
    }
  } catch (...) {
    context->Deactivate();
    throw;
  }
  context->Deactivate();
  FChanged = false;
}
