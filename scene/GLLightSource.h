#pragma once
// Lights and fog. A TGLLightSource is a scene object that stands for one GL
// light: while it is in a scene it holds one of the scene's eight light slots,
// and the scene's ApplyLights sends it to GL each frame in its parent's frame. A
// TGLFogEnvironment holds a buffer's fog and sends it to GL when it changed.
//
//   TGLLightSource& light = camera.AddChild(std::make_unique<TGLLightSource>(nullptr));
//   light.SetLightStyle(lsOmni);   // rides on the camera, lights every way

#include "scene/GLColor.h"
#include "scene/GLScene.h"

#include <cstdint>

enum TLightStyle : std::uint8_t { lsSpot, lsOmni, lsParallel };

class TGLLightSource : public TGLBaseSceneObject {
  BRV_SCENE_OBJECT_CLASS(TGLLightSource, TGLBaseSceneObject)

public:
  // A white spot light without a cone (cut-off 180), unattenuated, shining.
  explicit TGLLightSource(TComponent* owner);
  // Gives its slot back.
  ~TGLLightSource() override;

  // GL_LIGHT0 + its slot; 0 without a slot (outside a scene, or a ninth light).
  GLenum LightID() const { return FLightID; }

  // A vector (w = 0): a spot light's cone axis, in its parent's frame; for a
  // parallel light, the direction towards the light, in the light's own frame.
  TGLCoordinates& SpotDirection() { return FSpotDirection; }
  const TGLCoordinates& SpotDirection() const { return FSpotDirection; }
  void SetSpotDirection(const TGLCoordinates& value);
  float SpotExponent() const { return FSpotExponent; }
  void SetSpotExponent(float value);
  // Half the cone's angle in degrees; 180 is no cone.
  float SpotCutOff() const { return FSpotCutOff; }
  void SetSpotCutOff(float value);
  float ConstAttenuation() const { return FConstAttenuation; }
  void SetConstAttenuation(float value);
  float LinearAttenuation() const { return FLinearAttenuation; }
  void SetLinearAttenuation(float value);
  float QuadraticAttenuation() const { return FQuadraticAttenuation; }
  void SetQuadraticAttenuation(float value);
  // An unlit light keeps its slot but is switched off.
  bool Shining() const { return FShining; }
  void SetShining(bool value);
  TGLColor& Ambient() { return FAmbient; }
  TGLColor& Diffuse() { return FDiffuse; }
  TGLColor& Specular() { return FSpecular; }
  const TGLColor& Ambient() const { return FAmbient; }
  const TGLColor& Diffuse() const { return FDiffuse; }
  const TGLColor& Specular() const { return FSpecular; }
  void SetAmbient(const TGLColor& value) { FAmbient.Assign(&value); }
  void SetDiffuse(const TGLColor& value) { FDiffuse.Assign(&value); }
  void SetSpecular(const TGLColor& value) { FSpecular.Assign(&value); }
  TLightStyle LightStyle() const { return FLightStyle; }
  void SetLightStyle(TLightStyle value);

  // A light draws nothing itself, only its children, and is never hit.
  GLuint GetHandle(TRenderContextInfo& rci) override;
  void RenderNode(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) override;
  bool IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint = nullptr,
                    TVector* intersectNormal = nullptr) const override;
  void CoordinatesEdited(TGLCoordinates& sender) override;

private:
  friend class TGLScene;

  // Sends position, colours, cone and attenuation to GL for its light number,
  // on top of the viewing matrix that is current.
  void SendToGL();
  // Stores a changed parameter, marks `change` and reports.
  void SetParameter(float& field, float value, TGLChange change);

  GLenum FLightID = 0;
  TGLCoordinates FSpotDirection;
  float FSpotExponent = 0;
  float FSpotCutOff = 180;
  float FConstAttenuation = 1;
  float FLinearAttenuation = 0;
  float FQuadraticAttenuation = 0;
  bool FShining = true;
  TGLColor FAmbient;
  TGLColor FDiffuse;
  TGLColor FSpecular;
  TLightStyle FLightStyle = lsSpot;
};

enum TFogMode : std::uint8_t { fmLinear, fmExp, fmExp2 };
// How far a fragment is from the eye: as the implementation likes, along the
// ray, or along the viewing axis (the fog-distance extension).
enum TFogDistance : std::uint8_t { fdDefault, fdEyeRadial, fdEyePlane };

// The fog of a buffer. Any change marks it to be sent again; so does a new
// rendering context of the buffer, and a new environment starts marked.
class TGLFogEnvironment : public TGLUpdateAbleObject {
  BRV_CLASS(TGLFogEnvironment, TGLUpdateAbleObject)

public:
  // Black fog from 10 to 1000, linear, at the implementation's distance.
  explicit TGLFogEnvironment(TGLSceneBuffer* owner);

  // The colour; its alpha is the density of the two exponential modes.
  TGLColor& FogColor() { return FFogColor; }
  const TGLColor& FogColor() const { return FFogColor; }
  // Copies the colour; null is ignored.
  void SetFogColor(const TGLColor* value);
  float FogStart() const { return FFogStart; }
  void SetFogStart(float value);
  float FogEnd() const { return FFogEnd; }
  void SetFogEnd(float value);
  TFogMode FogMode() const { return FFogMode; }
  void SetFogMode(TFogMode value);
  TFogDistance FogDistance() const { return FFogDistance; }
  void SetFogDistance(TFogDistance value);

  // The five values of another fog environment.
  void Assign(const TPersistent* source) override;
  // Marks the fog to be sent, then passes the change to the buffer.
  void ReportChange(TObject* sender) override;
  bool Changed() const { return FChanged; }
  // The values are those of a new environment (a layout leaves it out).
  bool IsAtDefaultValues() const;

  // When marked, and the buffer has a rendering context: sends mode, density,
  // colour, start, end and distance mode to GL in that context and clears the mark.
  void ApplyFog();

private:
  TGLSceneBuffer* FBuffer;
  TGLColor FFogColor;
  float FFogStart = 10;
  float FFogEnd = 1000;
  TFogMode FFogMode = fmLinear;
  TFogDistance FFogDistance = fdDefault;
  bool FChanged = true;
  // The implementation's own distance mode, read before the fog first sets one;
  // -1 until then.
  GLint FDefaultDistanceMode = -1;
};
