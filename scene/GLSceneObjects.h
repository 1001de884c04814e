#pragma once
// The scene objects every concrete object derives from or uses: the object that
// draws itself with a material, the object drawn by an event, and the proxy that
// draws another object in its own place.
//
//   auto& cube = scene.Objects().AddChild(std::make_unique<TMyCube>(nullptr));
//   cube.Material().FrontProperties().Diffuse().SetColor({1, 0, 0, 1});
//   auto& copy = scene.Objects().AddChild(std::make_unique<TGLProxyObject>(nullptr));
//   copy.SetMasterObject(&cube);   // a second cube, placed by the proxy

#include "scene/GLScene.h"
#include "scene/texture/GLMaterial.h"

#include <cstdint>
#include <functional>
#include <string>

// A scene object with a material, drawn between the material's Apply and UnApply.
class TGLCustomSceneObject : public TGLBaseSceneObject {
  BRV_SCENE_OBJECT_CLASS(TGLCustomSceneObject, TGLBaseSceneObject)

public:
  explicit TGLCustomSceneObject(TComponent* owner);

  TGLMaterial& Material() { return FMaterial; }
  const TGLMaterial& Material() const { return FMaterial; }
  // Copies the material and reports the change.
  void SetMaterial(const TGLMaterial& value);
  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& value) { FHint = value; }

  // Its own drawing once per pass the material asks for (once, without the
  // material, when the frame ignores materials), then its children.
  void RenderNode(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) override;
  // The material's blending is not opaque.
  bool Blended() const override;
  // The display list and the material's texture.
  void DestroyHandles() override;
  // From another such object: material and hint, then the node's own fields.
  void Assign(const TPersistent* source) override;

private:
  TGLMaterial FMaterial;
  std::string FHint;
};

// The base of objects whose material is not theirs to show (the standard
// objects that only place things): the placement properties only.
class TGLImmaterialSceneObject : public TGLCustomSceneObject {
  BRV_SCENE_OBJECT_CLASS(TGLImmaterialSceneObject, TGLCustomSceneObject)

public:
  using TGLCustomSceneObject::TGLCustomSceneObject;
};

// The base of drawn objects: the placement properties and the material.
class TGLSceneObject : public TGLImmaterialSceneObject {
  BRV_SCENE_OBJECT_CLASS(TGLSceneObject, TGLImmaterialSceneObject)

public:
  using TGLImmaterialSceneObject::TGLImmaterialSceneObject;
};

// Draws through the scene's frame: (sender, the frame's render information).
using TDirectRenderEvent = std::function<void(TObject* sender, TRenderContextInfo& rci)>;

// An object drawn by its OnRender event, every frame or once into its display list.
class TDirectOpenGL : public TGLImmaterialSceneObject {
  BRV_SCENE_OBJECT_CLASS(TDirectOpenGL, TGLImmaterialSceneObject)

public:
  // Drawn directly every frame; the GL state caches are reset after it.
  explicit TDirectOpenGL(TComponent* owner);

  // True: OnRender's drawing is kept in the display list (rebuilt when the
  // structure changes); false: OnRender runs every frame.
  bool UseBuildList() const { return FUseBuildList; }
  void SetUseBuildList(bool value);
  TDirectRenderEvent OnRender;

  // OnRender, with texture coordinates going to the first texture unit.
  void EmitGeometry(TRenderContextInfo& rci) override;
  // Copies UseBuildList, then as every material object.
  void Assign(const TPersistent* source) override;

private:
  bool FUseBuildList = false;
};

// What a proxy takes from its master: its effects' after-drawing, its drawing,
// and its local placement on top of the proxy's; a set of these bits.
enum TGLProxyObjectOption : std::uint8_t { pooEffects = 0x01, pooObjects = 0x02, pooTransformation = 0x04 };
using TGLProxyObjectOptions = std::uint8_t;
inline constexpr TGLProxyObjectOptions ALL_PROXY_OPTIONS = pooEffects | pooObjects | pooTransformation;

// Draws another object (its master) where the proxy stands. A proxy that is
// reached again while it draws (the master is its ancestor, or proxies point at
// each other) draws nothing more.
class TGLProxyObject : public TGLBaseSceneObject {
  BRV_SCENE_OBJECT_CLASS(TGLProxyObject, TGLBaseSceneObject)

public:
  explicit TGLProxyObject(TComponent* owner);

  // Null once the master is freed.
  TGLBaseSceneObject* MasterObject() const { return FMasterObject.Get(); }
  void SetMasterObject(TGLBaseSceneObject* master);
  TGLProxyObjectOptions ProxyOptions() const { return FProxyOptions; }
  void SetProxyOptions(TGLProxyObjectOptions value);

  // The master's drawing (its local matrix on top with pooTransformation), then
  // the proxy's own children, then the master's effects.
  void RenderNode(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) override;
  // The master's, scaled by the proxy's Scale; without a master the node's rule.
  TVector HalfExtents() const override;
  // The ray against the master as the proxy draws it; false without a master.
  bool IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint = nullptr,
                    TVector* intersectNormal = nullptr) const override;
  // Copies master and options, then the node's own fields.
  void Assign(const TPersistent* source) override;

private:
  TWeakRef<TGLBaseSceneObject> FMasterObject;
  TGLProxyObjectOptions FProxyOptions = ALL_PROXY_OPTIONS;
  bool FRendering = false;
  // Set while HalfExtents or IntersectRay asks the master.
  mutable bool FQuerying = false;
};
