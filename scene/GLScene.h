#pragma once
// The scene object tree. TGLBaseSceneObject is the node every drawn thing
// derives from: its placement (position, direction, up, scale) and the matrices
// made from it, its owned children, its change flags and change reports, the
// display list that caches its own drawing, and the walk that renders it and its
// children. Beside it, what the node works with: the scene that owns the two
// roots, the light table and the list of buffers that draw it, and the
// behaviour and effect collections a node owns. The camera, the light and the
// buffer have units of their own (GLCamera.h, GLLightSource.h, GLSceneBuffer.h).
//
// Ownership: a parent owns its children and outlives them, so a node points at
// its parent (and at the scene that owns the roots above it) plainly; a node
// without a parent belongs to whoever holds its std::unique_ptr. Every other
// link between these objects (a camera's target, a buffer's camera, the scene's
// lights and buffers) is a weak reference that becomes null when the object goes.
//
//   TGLScene scene(nullptr);
//   auto& cube = scene.Objects().AddChild(std::make_unique<TMyCube>(nullptr));
//   cube.Position().SetPoint(1, 0, 0);   // moves it and asks the buffers to redraw

#include "base/Components.h"
#include "base/GeometryBB.h"
#include "base/WeakReference.h"
#include "base/XCollection.h"
#include "scene/GLMisc.h"
#include "scene/GLRenderContextInfo.h"
#include "scene/GLSceneObjectHooks.h"
#include "scene/gl/GLContext.h"
#include "scene/gl/GLStateCache.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <type_traits>
#include <vector>

class TGLBaseSceneObject;
class TGLCamera;
class TGLLightSource;
class TGLScene;
class TGLSceneBuffer;

// ---------------------------------------------------------------------------
// Styles, change flags, modes

// How a node is drawn; a set of these bits is the node's object style.
enum class TGLObjectStyle : std::uint8_t {
  DirectDraw = 0x01,        // EmitGeometry every frame instead of the display list
  ResetStateCaches = 0x02,  // after its drawing the cached GL states are unknown
  NoDepthTest = 0x04,       // drawn with depth testing off
  NeverCulled = 0x08,       // never culled
};
using TGLObjectStyles = std::uint8_t;
constexpr TGLObjectStyles StyleBit(TGLObjectStyle style) { return static_cast<TGLObjectStyles>(style); }

// Which cached results of a node are stale; a set of these bits is its changes.
enum class TGLChange : std::uint8_t {
  LightChanged = 0x01,        // a light's style or cone, not yet sent to GL
  AttenuationChanged = 0x02,  // a light's attenuation, not yet sent to GL
  LocalMatrixStale = 0x04,
  AbsoluteMatrixStale = 0x08,
  InverseMatrixStale = 0x10,
  ListStale = 0x20,
};
using TGLChanges = std::uint8_t;
constexpr TGLChanges ChangeBit(TGLChange change) { return static_cast<TGLChanges>(change); }
// A new node: every cached result stale.
inline constexpr TGLChanges INITIAL_CHANGES = 0x3C;

// The frame the angle operations turn a node in: its own axes, or its parent's
// (with or without carrying the position round).
enum TGLTransformationMode : std::uint8_t { tmLocal, tmParentNoPos, tmParentWithPos };

// A time step handed to a node: the sender, the step and the new time, in seconds.
using TGLProgressEvent = std::function<void(TObject* sender, double deltaTime, double newTime)>;

// Called with any scene object (or behaviour) whose name really changed; nothing
// assigns it by default.
extern TNotifyEvent GLNameChangeHook;

// ---------------------------------------------------------------------------
// Class references

// The class of a scene object, with its virtual constructor (none for a class
// that cannot be made from an owner alone).
class TGLSceneObjectClass : public TCreatableClass<TGLBaseSceneObject, TComponent*> {
public:
  using TCreatableClass::TCreatableClass;
};

// Declares the class reference of a scene-object class; put it first in the class body.
#define BRV_SCENE_OBJECT_CLASS(T, Parent) \
  BRV_CLASS_OF_KIND(T, Parent, TGLSceneObjectClass, TGLSceneObjectClass::ConstructorOf<T>())

// ---------------------------------------------------------------------------
// Behaviours and effects

// An item of a node's behaviours or effects; the node is the collection's owner.
class TGLBaseBehaviour : public TXCollectionItem {
  BRV_XCOLLECTION_ITEM_CLASS(TGLBaseBehaviour, TXCollectionItem)

public:
  // A time step; nothing here.
  virtual void AdvanceTime(const TProgressTimes& progressTimes);
  // A real change of name reaches GLNameChangeHook, as for scene objects.
  void SetName(const std::string& name) override;
  // The item's fields, then a version of its own, 0; reading another version is
  // an assertion failure.
  void WriteItemFields(TWriter& writer) const override;
  void ReadItemFields(TReader& reader) override;

protected:
  using TXCollectionItem::TXCollectionItem;
};

class TGLBehaviour : public TGLBaseBehaviour {
  BRV_XCOLLECTION_ITEM_CLASS(TGLBehaviour, TGLBaseBehaviour)

protected:
  using TGLBaseBehaviour::TGLBaseBehaviour;
};

// A behaviour that also draws around its object.
class TGLObjectEffect : public TGLBehaviour {
  BRV_XCOLLECTION_ITEM_CLASS(TGLObjectEffect, TGLBehaviour)

public:
  // Draws the effect; nothing here.
  virtual void Render(TGLSceneBuffer* sceneBuffer, TRenderContextInfo& rci);

protected:
  using TGLBehaviour::TGLBehaviour;
};

// A node's behaviours: items of TGLBehaviour classes, never effects.
class TGLBehaviours : public TXCollection {
  BRV_CLASS(TGLBehaviours, TXCollection)

public:
  explicit TGLBehaviours(TGLBaseSceneObject& owner);
  const TXCollectionItemClass& ItemsClass() const override { return TGLBehaviour::StaticClass(); }
  bool AcceptsClass(const TXCollectionItemClass& cls) const override;
  // Each item's AdvanceTime, in order.
  void AdvanceTime(const TProgressTimes& progressTimes);
};

// A node's effects.
class TGLObjectEffects : public TXCollection {
  BRV_CLASS(TGLObjectEffects, TXCollection)

public:
  explicit TGLObjectEffects(TGLBaseSceneObject& owner);
  const TXCollectionItemClass& ItemsClass() const override { return TGLObjectEffect::StaticClass(); }
  void AdvanceTime(const TProgressTimes& progressTimes);
  // The hooks around the object's drawing. No effect class draws before or after
  // its object yet, so both do nothing.
  void RenderPreEffects(TGLSceneBuffer* sceneBuffer, TRenderContextInfo& rci);
  void RenderPostEffects(TGLSceneBuffer* sceneBuffer, TRenderContextInfo& rci);
};

// ---------------------------------------------------------------------------
// The node

class TGLBaseSceneObject : public TGLUpdateAbleComponent, public TGLSceneObjectHooks {
  BRV_SCENE_OBJECT_CLASS(TGLBaseSceneObject, TGLUpdateAbleComponent)

public:
  // Detached: no parent, no scene, identity placement, every cached result stale.
  explicit TGLBaseSceneObject(TComponent* owner);
  // Frees the cameras of the subtree first, then the children, last to first.
  ~TGLBaseSceneObject() override;

  // ---- Tree

  TGLBaseSceneObject* Parent() const { return FParent; }
  TGLScene* Scene() const { return FScene; }
  bool HasParent() const { return FParent != nullptr; }
  // The parent, or the scene for a child of one of the scene's roots.
  TComponent* GetParentComponent() const;
  int Count() const { return static_cast<int>(FChildren.size()); }
  // An index outside 0..Count-1 raises EListError.
  TGLBaseSceneObject& Children(int index) const;
  // Position among the parent's children; -1 without a parent.
  int Index() const;
  // Moves the node among its siblings, the index clamped to 0..Count-1.
  void SetIndex(int index);
  // True for this node and each of its descendants.
  bool IsSelfOrDescendantOf(const TGLBaseSceneObject& node) const;

  // Appends a detached node (or inserts it at 0..Count, EListError otherwise);
  // the child takes this node's scene. Returns the child, now owned here. A child
  // that is an ancestor of this node is an assertion failure.
  template <class T>
  T& AddChild(std::unique_ptr<T> child) {
    return static_cast<T&>(AttachChild(std::move(child), Count()));
  }
  template <class T>
  T& Insert(int index, std::unique_ptr<T> child) {
    return static_cast<T&>(AttachChild(std::move(child), index));
  }
  // A new child of class T (or of `cls`), owned by this node's owner component,
  // last (CreateChild) or first (CreateFirstChild).
  template <class T>
  T& CreateChild() {
    return AddChild(std::make_unique<T>(Owner()));
  }
  template <class T>
  T& CreateFirstChild() {
    return Insert(0, std::make_unique<T>(Owner()));
  }
  TGLBaseSceneObject& CreateChild(const TGLSceneObjectClass& cls);
  TGLBaseSceneObject& CreateFirstChild(const TGLSceneObjectClass& cls);
  // Takes a child out of the tree and hands it to the caller (dropping the result
  // frees it). The child leaves the scene, its lights their slots. With
  // `keepChildren` the child's own children stay here, appended in their order.
  std::unique_ptr<TGLBaseSceneObject> Remove(TGLBaseSceneObject& child, bool keepChildren);
  // Moves this node (which has a parent) under `newParent`, appended. With null it
  // leaves the tree as Remove does and is returned to the caller.
  std::unique_ptr<TGLBaseSceneObject> MoveTo(TGLBaseSceneObject* newParent);
  // Frees the subtree's cameras, then the children, last to first.
  void DeleteChildren();

  // ---- Matrices (rebuilt on the first read after a change)

  // Row 0 = (Up x Direction) Scale.X, row 1 = Up Scale.Y, row 2 = Direction Scale.Z,
  // row 3 = Position.
  const TMatrix4& LocalMatrix() const;
  // Local x the parent's world matrix; a scene root above adds nothing.
  const TMatrix4& WorldMatrix() const;
  const TMatrix4& InverseWorldMatrix() const;
  // Rebuilds the local matrix when it is stale.
  void RefreshLocalMatrix() const;
  // Takes the placement from a local matrix: direction and up from rows 2 and 1,
  // scale from the lengths of rows 0-2, position from row 3.
  void SetMatrix(const TMatrix4& matrix);
  TVector WorldPosition() const;
  // Rows 1 and 2 of the world matrix, normalised.
  TVector WorldUp() const;
  TVector WorldDirection() const;
  TVector LocalPointToWorld(const TVector& point) const;
  TVector WorldPointToLocal(const TVector& point) const;

  // ---- Change notification

  // The placement changed: the local matrix and the subtree's world matrices are
  // stale, and the scene hears of it (not while loading).
  void MarkTransformDirty();
  // The node's own drawing changed: the display list is stale.
  void MarkStructureDirty() override;
  // To the scene, unless this node is updating or being read.
  void ReportChange(TObject* sender) override;
  // Reports are held back until the matching EndUpdate, which sends one. An
  // EndUpdate without BeginUpdate fails with "Unbalanced Begin/EndUpdate".
  virtual void BeginUpdate();
  virtual void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }
  TGLChanges Changes() const { return FChanges; }
  bool HasChange(TGLChange change) const { return FChanges & ChangeBit(change); }

  // ---- Placement and properties

  TGLCoordinates& Position() { return FPosition; }
  const TGLCoordinates& Position() const { return FPosition; }
  // Kept of unit length and orthogonal to each other.
  TGLCoordinates& Direction() { return FDirection; }
  const TGLCoordinates& Direction() const { return FDirection; }
  TGLCoordinates& Up() { return FUp; }
  const TGLCoordinates& Up() const { return FUp; }
  TGLCoordinates& Scale() { return FScale; }
  const TGLCoordinates& Scale() const { return FScale; }
  // Copy the value and move the node; a zero direction or up is ignored.
  void SetPosition(const TGLCoordinates& value);
  void SetDirection(const TGLCoordinates& value);
  void SetUp(const TGLCoordinates& value);
  void SetScale(const TGLCoordinates& value);

  // Degrees, in -180..180. Setting one turns Up and Direction by the difference
  // about the axis of the transformation mode's frame.
  float PitchAngle() const { return FRotation.X(); }
  float TurnAngle() const { return FRotation.Y(); }
  float RollAngle() const { return FRotation.Z(); }
  void SetPitchAngle(float degrees);
  void SetTurnAngle(float degrees);
  void SetRollAngle(float degrees);
  // Turns Up and Direction (and Position under tmParentWithPos) by `degrees` about
  // the pitch axis.
  void Pitch(float degrees);
  // Moves the node round `target` (degrees): up and down over it, never past its
  // poles, and round the node's world up.
  void OrbitObject(const TGLBaseSceneObject& target, float pitchDelta, float turnDelta);

  bool Visible() const { return FVisible; }
  void SetVisible(bool value);
  bool ShowAxes() const { return FShowAxes; }
  void SetShowAxes(bool value);
  TGLObjectsSorting ObjectsSorting() const { return FObjectsSorting; }
  void SetObjectsSorting(TGLObjectsSorting value);
  TGLVisibilityCulling VisibilityCulling() const { return FVisibilityCulling; }
  void SetVisibilityCulling(TGLVisibilityCulling value);
  TGLTransformationMode TransformationMode() const { return FTransformationMode; }
  void SetTransformationMode(TGLTransformationMode value) { FTransformationMode = value; }
  float TagFloat() const { return FTagFloat; }
  void SetTagFloat(float value) { FTagFloat = value; }
  TGLObjectStyles ObjectStyle() const { return FObjectStyle; }
  bool HasStyle(TGLObjectStyle style) const { return FObjectStyle & StyleBit(style); }
  void SetObjectStyle(TGLObjectStyles value) { FObjectStyle = value; }

  TGLProgressEvent OnProgress;

  // Created on first use.
  TGLBehaviours& Behaviours();
  TGLObjectEffects& Effects();
  // Copy the given collection into the node's own.
  void SetBehaviours(const TGLBehaviours& value);
  void SetEffects(const TGLObjectEffects& value);

  // The name of the node during picking (never 0); ObjectOfPickName finds the node
  // again (null once it is freed).
  GLuint PickName() const { return FPickName; }
  static TGLBaseSceneObject* ObjectOfPickName(GLuint name);

  // ---- Bounds and hit tests

  // The world position here.
  virtual TVector WorldBarycentre() const;
  // Half the extents in the node's frame; half of Scale here.
  virtual TVector HalfExtents() const;
  float BoundingSphereRadius() const;
  // ± HalfExtents, joined with each child's box taken through its local matrix.
  TAxisAlignedBox AxisAlignedBoundingBox() const;
  // True when the world point lies within ± HalfExtents in the node's frame.
  virtual bool ContainsWorldPoint(const TVector& point) const;
  // The ray (of unit direction) against the bounding sphere; the nearer hit and
  // the normal there go to the outputs that are given.
  virtual bool IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint = nullptr,
                            TVector* intersectNormal = nullptr) const;

  // ---- Drawing

  // Whether the node draws with blending; false here.
  virtual bool Blended() const;
  // The display list of the node's own drawing, compiled when missing or stale.
  // Needs a current context.
  virtual GLuint GetHandle(TRenderContextInfo& rci);
  // Frees the node's own GL objects (and, in subclasses, what they own); they are
  // made again when next drawn.
  virtual void DestroyHandles();
  // The node's own GL geometry; nothing here.
  virtual void EmitGeometry(TRenderContextInfo& rci);
  // Draws the node and its children with its local matrix on the model-view stack.
  void Render(TRenderContextInfo& rci);
  // Its own drawing (display list or direct) and then its children.
  virtual void RenderNode(TRenderContextInfo& rci, bool renderSelf, bool renderChildren);
  // Children first..last, ordered and culled as the node and the frame say.
  virtual void RenderChildRange(int firstIndex, int lastIndex, TRenderContextInfo& rci);
  // The three axes from the origin, each half as long as the rendering camera's
  // depth of view.
  void DrawAxisLines(TRenderContextInfo& rci);

  // ---- Time, copies, layouts

  // Children last to first, then behaviours, effects and OnProgress.
  void AdvanceTime(const TProgressTimes& progressTimes) override;
  // From another scene object: placement, flags, a copy of its subtree (new
  // objects of the same classes), events, behaviours, effects and tags.
  void Assign(const TPersistent* source) override;
  void SetName(const std::string& name) override;
  void Loaded() override;
  void CoordinatesEdited(TGLCoordinates& sender) override;

  // The binary properties of layouts: a collection through the item-collection
  // stream, written only when it exists and is not empty.
  static constexpr std::string_view BEHAVIOURS_PROPERTY = "BehavioursData";
  static constexpr std::string_view EFFECTS_PROPERTY = "EffectsData";
  bool StoresBehaviours() const { return FBehaviours && FBehaviours->Count() > 0; }
  bool StoresEffects() const { return FEffects && FEffects->Count() > 0; }
  void WriteBehavioursData(TStream& stream) const;
  void ReadBehavioursData(TStream& stream);
  void WriteEffectsData(TStream& stream) const;
  void ReadEffectsData(TStream& stream);

protected:
  void IncludeChange(TGLChange change) { FChanges |= ChangeBit(change); }
  void ExcludeChange(TGLChange change) { FChanges &= ~ChangeBit(change); }
  // The parent whose matrices this node's build on: none under a scene root.
  const TGLBaseSceneObject* MatrixParent() const;
  // Moves the node to the world point, taken into the parent's frame as Position.
  void PlaceAtWorldPoint(const TAffineVector& point);

private:
  friend class TGLScene;
  friend std::unique_ptr<TGLBaseSceneObject> SetParentComponent(std::unique_ptr<TGLBaseSceneObject> node,
                                                                TComponent* parent);

  struct TWorldMatrices {
    TMatrix4 Absolute;
    TMatrix4 Inverse;
  };

  TGLBaseSceneObject& AttachChild(std::unique_ptr<TGLBaseSceneObject> child, int index);
  // Takes a child out of the list; it keeps its scene.
  std::unique_ptr<TGLBaseSceneObject> DetachChild(TGLBaseSceneObject& child);
  // The same by index, without asking the child who its parent is.
  std::unique_ptr<TGLBaseSceneObject> TakeChild(int index);
  // The scene of the subtree; lights take or give back their slots.
  void SetScene(TGLScene* scene);
  // Marks the world matrices of the node and its descendants stale. Unless
  // `force`, a descendant that has both marks already is skipped with its subtree.
  void MarkWorldMatricesStale(bool force);
  void FreeCamerasOfSubtree();
  // Axes, effects and state resets around RenderNodeWithDepthTest.
  void RenderSelf(TRenderContextInfo& rci);
  // RenderNode with the children, depth testing off for a NoDepthTest node.
  void RenderNodeWithDepthTest(TRenderContextInfo& rci, bool renderSelf);
  // Changes owned coordinates without starting CoordinatesEdited.
  void WithoutCoordinateEdits(const std::function<void()>& change);
  void SetCoordinatesQuietly(TGLCoordinates& coordinates, const TVector& value);
  // The axes the angle operations turn about: this node's own, or its parent's.
  const TGLBaseSceneObject& ReferenceFrame() const;
  TAffineVector PitchAxis() const;
  // Turns Up and Direction (and Position under tmParentWithPos) by `radians` about `axis`.
  void TurnPlacement(const TAffineVector& axis, float radians);
  void SetAngle(int component, const TAffineVector& axis, float degrees);
  TGLBaseSceneObject& OwnedChild(int index) const;

  mutable TMatrix4 FLocalMatrix;
  mutable std::unique_ptr<TWorldMatrices> FWorldMatrices;
  TGLObjectStyles FObjectStyle = 0;
  TGLListHandle FListHandle;
  TGLListStateEffect FListEffect;
  TGLCoordinates FPosition;
  TGLCoordinates FDirection;
  TGLCoordinates FUp;
  TGLCoordinates FScale;
  TGLCoordinates FRotation;
  mutable TGLChanges FChanges = INITIAL_CHANGES;
  TGLBaseSceneObject* FParent = nullptr;
  TGLScene* FScene = nullptr;
  std::vector<std::unique_ptr<TGLBaseSceneObject>> FChildren;
  bool FVisible = true;
  int FUpdateCount = 0;
  bool FShowAxes = false;
  bool FInCoordinateChange = false;
  TGLTransformationMode FTransformationMode = tmLocal;
  TGLObjectsSorting FObjectsSorting = osInherited;
  TGLVisibilityCulling FVisibilityCulling = vcInherited;
  std::unique_ptr<TGLBehaviours> FBehaviours;
  std::unique_ptr<TGLObjectEffects> FEffects;
  float FTagFloat = 0;
  GLuint FPickName;
  // Reused by every sorted render of the children; a render that reaches this
  // node again while it walks them (a proxy of an ancestor) sorts in lists of its own.
  std::vector<std::pair<float, TGLBaseSceneObject*>> FSortList;
  bool FSortListInUse = false;
};

// The three axes from the origin as dashed lines of `pattern`, unlit: X red, Y
// green, Z blue, each half `length` long, the negative half in half intensity.
void DrawAxes(GLushort pattern, float length);

// Layout loading: puts a node read from a layout under `parent`. Under a scene, a
// camera goes to its camera root and anything else to its object root; under a
// scene object, it becomes its last child. For any other parent (or none) the
// node comes back to the caller, without parent and scene.
std::unique_ptr<TGLBaseSceneObject> SetParentComponent(std::unique_ptr<TGLBaseSceneObject> node,
                                                       TComponent* parent);

// ---------------------------------------------------------------------------
// What the node works with

// One of the scene's two roots: drawn directly, never a factor of the world
// matrices below it.
class TGLSceneRootObject : public TGLBaseSceneObject {
  BRV_SCENE_OBJECT_CLASS(TGLSceneRootObject, TGLBaseSceneObject)

public:
  explicit TGLSceneRootObject(TComponent* owner);
};

// One scene: the root of the drawn objects, the root of the cameras, the light
// table and the buffers that draw it. The end of every node's change report; it
// draws its objects for a buffer, passes time steps to them and casts rays at them.
class TGLScene : public TGLUpdateAbleComponent {
  BRV_CLASS(TGLScene, TGLUpdateAbleComponent)

public:
  static constexpr int LIGHT_SLOTS = 8;

  explicit TGLScene(TComponent* owner);
  ~TGLScene() override;

  // "ObjectRoot" and "CameraRoot".
  TGLSceneRootObject& Objects() const { return *FObjects; }
  TGLSceneRootObject& Cameras() const { return *FCameras; }

  void BeginUpdate() { ++FUpdateCount; }
  // Reaching 0 reports; without BeginUpdate "Unbalanced Begin/EndUpdate".
  void EndUpdate();
  // Updating, loading or being freed: reports go nowhere.
  bool IsUpdating() const { return FUpdateCount > 0 || Loading() || Destroying(); }
  // A redraw request to each buffer, unless updating.
  void ReportChange(TObject* sender) override;

  // The light takes the first free slot (none when all are taken); a light that
  // has one keeps it.
  void AttachLight(TGLLightSource& light);
  void DetachLight(TGLLightSource& light);
  // The light of a slot 0..LIGHT_SLOTS-1, null for an empty one.
  TGLLightSource* Light(int slot) const;

  // Sends every light of a slot below `maxLights` (GL's own limit) to GL, on top
  // of the viewing matrix that is current; empty slots and lights that do not
  // shine are switched off.
  void ApplyLights(int maxLights);

  // The buffers that draw the scene; a buffer is listed once. A buffer listed
  // after the first shares its context's GL objects with the base context.
  void AttachBuffer(TGLSceneBuffer& buffer);
  void DetachBuffer(TGLSceneBuffer& buffer);
  int BufferCount() const;
  // The rendering context of the first listed buffer, null without one.
  TGLContext* BaseContext() const;
  // The buffer whose frame is being drawn.
  TGLSceneBuffer* CurrentBuffer() const { return FCurrentBuffer.Get(); }
  void SetCurrentBuffer(TGLSceneBuffer* buffer);

  // How the roots order and cull their children, unless a node says otherwise.
  // The inherited choices are stored as osRenderBlendedLast and vcNone.
  TGLObjectsSorting ObjectsSorting() const { return FObjectsSorting; }
  void SetObjectsSorting(TGLObjectsSorting value);
  TGLVisibilityCulling VisibilityCulling() const { return FVisibilityCulling; }
  void SetVisibilityCulling(TGLVisibilityCulling value);

  // Draws the object tree into `buffer`, whose frame has applied the camera and
  // the lights: a viewport of width x height pixels, for display or for picking.
  void DrawSceneInto(TGLSceneBuffer& buffer, int width, int height, TDrawState drawState);
  // A time step for the objects, then the cameras. OnProgress is kept with the
  // scene but not called here.
  void Progress(double deltaTime, double newTime);
  TGLProgressEvent OnProgress;

  // The visible object nearest to `rayStart` that the ray (of unit direction)
  // hits, or null; its hit point and normal go to the outputs that are given,
  // which are left alone when nothing is hit. Below a hit object nothing is
  // asked; below an object that is missed its children are.
  TGLBaseSceneObject* IntersectRay(const TVector& rayStart, const TVector& rayVector,
                                   TVector* intersectPoint = nullptr, TVector* intersectNormal = nullptr) const;

private:
  int FUpdateCount = 0;
  std::unique_ptr<TGLSceneRootObject> FObjects;
  std::unique_ptr<TGLSceneRootObject> FCameras;
  std::array<TWeakRef<TGLLightSource>, LIGHT_SLOTS> FLights;
  std::vector<std::unique_ptr<TWeakRef<TGLSceneBuffer>>> FBuffers;
  TWeakRef<TGLSceneBuffer> FCurrentBuffer;
  TGLObjectsSorting FObjectsSorting = osRenderBlendedLast;
  TGLVisibilityCulling FVisibilityCulling = vcNone;
};
