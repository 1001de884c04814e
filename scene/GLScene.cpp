#include "scene/GLScene.h"

#include "scene/GLCamera.h"
#include "scene/GLLightSource.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <unordered_map>

namespace {

TVector AsDirection(const TAffineVector& v) { return Vec4FromVec3(v, 0); }

// a x b of the xyz parts.
TAffineVector Cross(const TVector& a, const TVector& b) { return Vec3Cross(Vec3Of(a), Vec3Of(b)); }

// `left` when it is long enough, else the first fall-back axis x `up` that is.
TAffineVector LeftOrFallback(TAffineVector left, const TVector& up) {
  constexpr float MIN_LENGTH = 1e-5f;
  if (Vec3Length(left) < MIN_LENGTH) left = Vec3Cross(ZVector, Vec3Of(up));
  if (Vec3Length(left) < MIN_LENGTH) left = Vec3Cross(XVector, Vec3Of(up));
  return left;
}

// Picking names: GL names are 32 bits, so each node gets a small number of its
// own instead of its address. 0 is never handed out (the pick pass pushes it as
// the name of nothing). Scene objects are made, freed and picked on one thread
// at a time (the main thread, or one serialised with it): the table needs no lock.
struct TPickNames {
  std::unordered_map<GLuint, TGLBaseSceneObject*> Objects;
  GLuint Next = 1;
};

TPickNames& PickNames() {
  static TPickNames names;
  return names;
}

GLuint RegisterPickName(TGLBaseSceneObject& object) {
  TPickNames& names = PickNames();
  while (names.Next == 0 || names.Objects.count(names.Next)) ++names.Next;
  names.Objects.emplace(names.Next, &object);
  return names.Next++;
}

void UnregisterPickName(GLuint name) { PickNames().Objects.erase(name); }

}  // namespace

TGLBaseSceneObject* TGLBaseSceneObject::ObjectOfPickName(GLuint name) {
  const auto& objects = PickNames().Objects;
  auto found = objects.find(name);
  return found == objects.end() ? nullptr : found->second;
}

// ---------------------------------------------------------------------------
// Life

TGLBaseSceneObject::TGLBaseSceneObject(TComponent* owner)
    : TGLUpdateAbleComponent(owner),
      FLocalMatrix(IdentityHmgMatrix),
      FPosition(this, WHmgPoint, csPoint),
      FDirection(this, {0, 0, 1, 0}, csVector),
      FUp(this, {0, 1, 0, 0}, csVector),
      FScale(this, {1, 1, 1, 0}, csVector),
      FRotation(this, {0, 0, 0, 1}, csVector),
      FPickName(0) {
  FPickName = RegisterPickName(*this);
}

TGLBaseSceneObject::~TGLBaseSceneObject() {
  BeginDestruction();
  UnregisterPickName(FPickName);
  try {
    DeleteChildren();
  } catch (...) {
    // A destructor cannot raise: the children still go with the list below.
  }
  FChildren.clear();
  // Weak references to the node go null before its members go.
  NotifyFree();
}

// ---------------------------------------------------------------------------
// Tree

TComponent* TGLBaseSceneObject::GetParentComponent() const {
  if (dynamic_cast<const TGLSceneRootObject*>(FParent)) return FScene;
  return FParent;
}

TGLBaseSceneObject& TGLBaseSceneObject::OwnedChild(int index) const {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  return *FChildren[static_cast<std::size_t>(index)];
}

TGLBaseSceneObject& TGLBaseSceneObject::Children(int index) const { return OwnedChild(index); }

int TGLBaseSceneObject::Index() const {
  if (!FParent) return -1;
  const auto& siblings = FParent->FChildren;
  for (std::size_t i = 0; i < siblings.size(); ++i)
    if (siblings[i].get() == this) return static_cast<int>(i);
  return -1;
}

void TGLBaseSceneObject::SetIndex(int index) {
  if (!FParent) return;
  auto& siblings = FParent->FChildren;
  const int current = Index();
  index = std::clamp(index, 0, static_cast<int>(siblings.size()) - 1);
  if (index == current) return;
  TGLScene* scene = FScene;
  if (scene) scene->BeginUpdate();
  auto from = siblings.begin() + current, to = siblings.begin() + index;
  if (from < to)
    std::rotate(from, from + 1, to + 1);
  else
    std::rotate(to, from, from + 1);
  if (scene) scene->EndUpdate();
}

bool TGLBaseSceneObject::IsSelfOrDescendantOf(const TGLBaseSceneObject& node) const {
  for (const TGLBaseSceneObject* n = this; n; n = n->FParent)
    if (n == &node) return true;
  return false;
}

TGLBaseSceneObject& TGLBaseSceneObject::AttachChild(std::unique_ptr<TGLBaseSceneObject> child, int index) {
  BRV_ASSERT_MSG(child != nullptr, "TGLBaseSceneObject::AddChild(): no child");
  BRV_ASSERT_MSG(!child->FParent, "TGLBaseSceneObject::AddChild(): the child has a parent already");
  BRV_ASSERT_MSG(!IsSelfOrDescendantOf(*child), "TGLBaseSceneObject::AddChild(): the child is an ancestor of the node");
  if (index < 0 || index > Count()) RaiseListIndexError(index);
  TGLBaseSceneObject& added = **FChildren.insert(FChildren.begin() + index, std::move(child));
  added.FParent = this;
  added.SetScene(FScene);
  // Its world matrices were built under its former parent, if any.
  added.MarkWorldMatricesStale(true);
  MarkTransformDirty();
  return added;
}

std::unique_ptr<TGLBaseSceneObject> TGLBaseSceneObject::DetachChild(TGLBaseSceneObject& child) {
  BRV_ASSERT_MSG(child.FParent == this, "TGLBaseSceneObject::Remove(): not a child of this node");
  return TakeChild(child.Index());
}

std::unique_ptr<TGLBaseSceneObject> TGLBaseSceneObject::TakeChild(int index) {
  OwnedChild(index);  // checks the index
  std::unique_ptr<TGLBaseSceneObject> taken = std::move(FChildren[static_cast<std::size_t>(index)]);
  FChildren.erase(FChildren.begin() + index);
  taken->FParent = nullptr;
  taken->MarkWorldMatricesStale(true);
  return taken;
}

TGLBaseSceneObject& TGLBaseSceneObject::CreateChild(const TGLSceneObjectClass& cls) {
  return AddChild(cls.Create(Owner()));
}

TGLBaseSceneObject& TGLBaseSceneObject::CreateFirstChild(const TGLSceneObjectClass& cls) {
  return Insert(0, cls.Create(Owner()));
}

std::unique_ptr<TGLBaseSceneObject> TGLBaseSceneObject::Remove(TGLBaseSceneObject& child, bool keepChildren) {
  std::unique_ptr<TGLBaseSceneObject> removed = DetachChild(child);
  if (keepChildren) {
    BeginUpdate();
    while (removed->Count() > 0) removed->OwnedChild(0).MoveTo(this);
    removed->SetScene(nullptr);
    EndUpdate();
  } else {
    removed->SetScene(nullptr);
    ReportChange(this);
  }
  return removed;
}

std::unique_ptr<TGLBaseSceneObject> TGLBaseSceneObject::MoveTo(TGLBaseSceneObject* newParent) {
  BRV_ASSERT_MSG(FParent, "TGLBaseSceneObject::MoveTo(): the node has no parent; add it with AddChild");
  if (!newParent) return FParent->Remove(*this, false);
  BRV_ASSERT_MSG(!newParent->IsSelfOrDescendantOf(*this),
                 "TGLBaseSceneObject::MoveTo(): the new parent is the node or one of its descendants");
  // The node keeps its scene (and its display list and light slot) on a move
  // inside the scene; AttachChild changes it otherwise.
  newParent->AttachChild(FParent->DetachChild(*this), newParent->Count());
  return nullptr;
}

void TGLBaseSceneObject::FreeCamerasOfSubtree() {
  // Walks by index, never through the children's parent references: a node that
  // is being freed has already let go of those.
  for (int i = 0; i < Count();) {
    TGLBaseSceneObject& child = OwnedChild(i);
    child.FreeCamerasOfSubtree();
    if (!dynamic_cast<TGLCamera*>(&child)) {
      ++i;
      continue;
    }
    // A camera's children stay here, after the other children.
    std::unique_ptr<TGLBaseSceneObject> camera = TakeChild(i);
    BeginUpdate();
    while (camera->Count() > 0) AttachChild(camera->TakeChild(0), Count());
    camera->SetScene(nullptr);
    EndUpdate();
  }
}

void TGLBaseSceneObject::DeleteChildren() {
  FreeCamerasOfSubtree();
  while (!FChildren.empty()) {
    std::unique_ptr<TGLBaseSceneObject> child = std::move(FChildren.back());
    FChildren.pop_back();
    child->FParent = nullptr;
    child.reset();
  }
}

void TGLBaseSceneObject::SetScene(TGLScene* scene) {
  if (scene == FScene) return;
  DestroyHandles();
  auto* light = dynamic_cast<TGLLightSource*>(this);
  if (light && FScene) FScene->DetachLight(*light);
  FScene = scene;
  if (light && FScene) FScene->AttachLight(*light);
  for (const auto& child : FChildren) child->SetScene(scene);
}

std::unique_ptr<TGLBaseSceneObject> SetParentComponent(std::unique_ptr<TGLBaseSceneObject> node,
                                                       TComponent* parent) {
  BRV_ASSERT_MSG(node && !node->FParent, "SetParentComponent(): the node must be detached");
  if (auto* scene = dynamic_cast<TGLScene*>(parent)) {
    TGLSceneRootObject& root = dynamic_cast<TGLCamera*>(node.get()) ? scene->Cameras() : scene->Objects();
    root.AddChild(std::move(node));
    return nullptr;
  }
  if (auto* sceneObject = dynamic_cast<TGLBaseSceneObject*>(parent)) {
    sceneObject->AddChild(std::move(node));
    return nullptr;
  }
  return node;
}

// ---------------------------------------------------------------------------
// Matrices

const TGLBaseSceneObject* TGLBaseSceneObject::MatrixParent() const {
  if (!FParent || dynamic_cast<const TGLSceneRootObject*>(FParent)) return nullptr;
  return FParent;
}

void TGLBaseSceneObject::RefreshLocalMatrix() const {
  if (!HasChange(TGLChange::LocalMatrixStale)) return;
  const TVector& up = FUp.AsVector();
  const TVector& direction = FDirection.AsVector();
  FLocalMatrix[0] = AsDirection(Vec3Scaled(Cross(up, direction), FScale.X()));
  FLocalMatrix[1] = Vec4Scaled(up, FScale.Y());
  FLocalMatrix[2] = Vec4Scaled(direction, FScale.Z());
  FLocalMatrix[1].w = FLocalMatrix[2].w = 0;
  FLocalMatrix[3] = FPosition.AsVector();
  FChanges &= ~ChangeBit(TGLChange::LocalMatrixStale);
  FChanges |= ChangeBit(TGLChange::AbsoluteMatrixStale) | ChangeBit(TGLChange::InverseMatrixStale);
}

const TMatrix4& TGLBaseSceneObject::LocalMatrix() const {
  RefreshLocalMatrix();
  return FLocalMatrix;
}

const TMatrix4& TGLBaseSceneObject::WorldMatrix() const {
  if (!FWorldMatrices) FWorldMatrices = std::make_unique<TWorldMatrices>();
  if (HasChange(TGLChange::AbsoluteMatrixStale) || HasChange(TGLChange::LocalMatrixStale)) {
    RefreshLocalMatrix();
    const TGLBaseSceneObject* parent = MatrixParent();
    FWorldMatrices->Absolute = parent ? MatrixMultiply(FLocalMatrix, parent->WorldMatrix()) : FLocalMatrix;
    FChanges &= ~ChangeBit(TGLChange::AbsoluteMatrixStale);
    FChanges |= ChangeBit(TGLChange::InverseMatrixStale);
  }
  return FWorldMatrices->Absolute;
}

const TMatrix4& TGLBaseSceneObject::InverseWorldMatrix() const {
  if (!FWorldMatrices) FWorldMatrices = std::make_unique<TWorldMatrices>();
  RefreshLocalMatrix();
  if (HasChange(TGLChange::InverseMatrixStale)) {
    TMatrix4& inverse = FWorldMatrices->Inverse;
    if (!Vec3Equal(Vec3Of(FScale.AsVector()), {1, 1, 1})) {
      inverse = WorldMatrix();
      MatrixInvert(inverse);
    } else {
      // A rigid local matrix: the transposed rotation and the translation taken
      // back through it. The parent's inverse comes first: world = local x parent.
      inverse = IdentityHmgMatrix;
      MatrixTransposeScale3x3(FLocalMatrix, 1, inverse);
      const TVector& t = FLocalMatrix[3];
      for (int i = 0; i < 3; ++i) inverse[3][i] = -Vec4DotXYZ(t, FLocalMatrix[i]);
      if (const TGLBaseSceneObject* parent = MatrixParent())
        inverse = MatrixMultiply(parent->InverseWorldMatrix(), inverse);
    }
    FChanges &= ~ChangeBit(TGLChange::InverseMatrixStale);
  }
  return FWorldMatrices->Inverse;
}

void TGLBaseSceneObject::SetMatrix(const TMatrix4& matrix) {
  FLocalMatrix = matrix;
  TVector direction = matrix[2], up = matrix[1];
  Vec4NormalizeXYZInPlace(direction);
  Vec4NormalizeXYZInPlace(up);
  SetCoordinatesQuietly(FDirection, direction);
  SetCoordinatesQuietly(FUp, up);
  SetCoordinatesQuietly(FScale, {Vec3Length(Vec3Of(matrix[0])), Vec3Length(Vec3Of(matrix[1])),
                                 Vec3Length(Vec3Of(matrix[2])), 0});
  SetCoordinatesQuietly(FPosition, matrix[3]);
  MarkTransformDirty();
}

TVector TGLBaseSceneObject::WorldPosition() const { return WorldMatrix()[3]; }

TVector TGLBaseSceneObject::WorldUp() const {
  TVector up = WorldMatrix()[1];
  Vec4NormalizeXYZInPlace(up);
  return up;
}

TVector TGLBaseSceneObject::WorldDirection() const {
  TVector direction = WorldMatrix()[2];
  Vec4NormalizeXYZInPlace(direction);
  return direction;
}

TVector TGLBaseSceneObject::LocalPointToWorld(const TVector& point) const {
  return Vec4Transform(point, WorldMatrix());
}

TVector TGLBaseSceneObject::WorldPointToLocal(const TVector& point) const {
  return Vec4Transform(point, InverseWorldMatrix());
}

// ---------------------------------------------------------------------------
// Change notification

void TGLBaseSceneObject::MarkWorldMatricesStale(bool force) {
  constexpr TGLChanges BOTH = ChangeBit(TGLChange::AbsoluteMatrixStale) | ChangeBit(TGLChange::InverseMatrixStale);
  // A node that has both marks cannot have had a descendant rebuilt since it got
  // them (that would have rebuilt the node too), so its subtree is marked already.
  if (!force && (FChanges & BOTH) == BOTH) return;
  FChanges |= BOTH;
  for (const auto& child : FChildren) child->MarkWorldMatricesStale(false);
}

void TGLBaseSceneObject::MarkTransformDirty() {
  if (HasChange(TGLChange::LocalMatrixStale)) return;
  IncludeChange(TGLChange::LocalMatrixStale);
  MarkWorldMatricesStale(true);
  if (!Loading()) ReportChange(this);
}

void TGLBaseSceneObject::MarkStructureDirty() {
  if (!HasChange(TGLChange::ListStale)) {
    IncludeChange(TGLChange::ListStale);
    ReportChange(this);
  } else if (HasStyle(TGLObjectStyle::DirectDraw)) {
    ReportChange(this);
  }
}

void TGLBaseSceneObject::ReportChange(TObject*) {
  if (FScene && FUpdateCount == 0 && !Reading()) FScene->ReportChange(this);
}

void TGLBaseSceneObject::BeginUpdate() { ++FUpdateCount; }

void TGLBaseSceneObject::EndUpdate() {
  BRV_ASSERT_MSG(FUpdateCount > 0, "Unbalanced Begin/EndUpdate");
  if (--FUpdateCount == 0) ReportChange(this);
}

// ---------------------------------------------------------------------------
// Placement

void TGLBaseSceneObject::WithoutCoordinateEdits(const std::function<void()>& change) {
  const bool guarded = FInCoordinateChange;
  FInCoordinateChange = true;
  try {
    change();
  } catch (...) {
    FInCoordinateChange = guarded;
    throw;
  }
  FInCoordinateChange = guarded;
}

void TGLBaseSceneObject::SetCoordinatesQuietly(TGLCoordinates& coordinates, const TVector& value) {
  WithoutCoordinateEdits([&] { coordinates.SetAsVector(value); });
}

void TGLBaseSceneObject::CoordinatesEdited(TGLCoordinates& sender) {
  if (FInCoordinateChange) return;
  WithoutCoordinateEdits([&] {
    if (&sender == &FDirection) {
      TVector direction = FDirection.AsVector();
      if (Vec3IsNull(Vec3Of(direction))) direction = {0, 0, 1, 0};
      Vec4NormalizeXYZInPlace(direction);
      const TAffineVector left = LeftOrFallback(Cross(direction, FUp.AsVector()), FUp.AsVector());
      FDirection.SetAsVector(direction);
      FUp.SetAsVector(Vec4NormalizedFromVec3(Vec3Cross(left, Vec3Of(direction))));
    } else if (&sender == &FUp) {
      TVector up = FUp.AsVector();
      if (Vec3IsNull(Vec3Of(up))) up = {0, 1, 0, 0};
      Vec4NormalizeXYZInPlace(up);
      const TAffineVector left = LeftOrFallback(Cross(FDirection.AsVector(), up), up);
      FUp.SetAsVector(up);
      FDirection.SetAsVector(Vec4NormalizedFromVec3(Vec3Cross(Vec3Of(up), left)));
    }
    MarkTransformDirty();
  });
}

void TGLBaseSceneObject::SetPosition(const TGLCoordinates& value) { FPosition.SetAsVector(value.AsVector()); }

void TGLBaseSceneObject::SetDirection(const TGLCoordinates& value) {
  if (!Vec3IsNull(Vec3Of(value.AsVector()))) FDirection.SetAsVector(value.AsVector());
}

void TGLBaseSceneObject::SetUp(const TGLCoordinates& value) {
  if (!Vec3IsNull(Vec3Of(value.AsVector()))) FUp.SetAsVector(value.AsVector());
}

void TGLBaseSceneObject::SetScale(const TGLCoordinates& value) {
  FScale.SetAsVector(value.AsVector());
  MarkTransformDirty();
}

const TGLBaseSceneObject& TGLBaseSceneObject::ReferenceFrame() const {
  if (FTransformationMode != tmLocal && FParent) return *FParent;
  return *this;
}

TAffineVector TGLBaseSceneObject::PitchAxis() const {
  const TGLBaseSceneObject& frame = ReferenceFrame();
  return Cross(frame.FUp.AsVector(), frame.FDirection.AsVector());
}

void TGLBaseSceneObject::TurnPlacement(const TAffineVector& axis, float radians) {
  // The axis is read before the turn: under tmLocal it is made of the vectors
  // that turn.
  const TAffineVector fixedAxis = axis;
  FUp.Rotate(fixedAxis, radians);
  FUp.Normalize();
  FDirection.Rotate(fixedAxis, radians);
  FDirection.Normalize();
  if (FTransformationMode == tmParentWithPos) FPosition.Rotate(fixedAxis, radians);
  MarkTransformDirty();
}

void TGLBaseSceneObject::SetAngle(int component, const TAffineVector& axis, float degrees) {
  const float current = FRotation.Coordinate(component);
  if (degrees == current) return;
  TurnPlacement(axis, DegToRadSingle(degrees - current));
  WithoutCoordinateEdits([&] { FRotation.SetCoordinate(component, NormalizeDegrees(degrees)); });
}

void TGLBaseSceneObject::SetPitchAngle(float degrees) { SetAngle(0, PitchAxis(), degrees); }

void TGLBaseSceneObject::SetTurnAngle(float degrees) { SetAngle(1, Vec3Of(ReferenceFrame().FUp.AsVector()), degrees); }

void TGLBaseSceneObject::SetRollAngle(float degrees) {
  SetAngle(2, Vec3Of(ReferenceFrame().FDirection.AsVector()), degrees);
}

void TGLBaseSceneObject::Pitch(float degrees) {
  WithoutCoordinateEdits([&] {
    TurnPlacement(PitchAxis(), DegToRadSingle(degrees));
    // PitchAngle follows the relative turn, so that setting it later turns by
    // the right difference.
    FRotation.SetCoordinate(0, NormalizeDegrees(FRotation.X() + degrees));
  });
}

void TGLBaseSceneObject::OrbitObject(const TGLBaseSceneObject& target, float pitchDelta, float turnDelta) {
  constexpr float POLE_MARGIN = 0.025f;
  const TAffineVector p = Vec3Of(WorldPosition()), t = Vec3Of(target.WorldPosition());
  const TAffineVector up = Vec3Of(WorldUp());
  const TAffineVector v = Vec3Sub(p, t);
  const float distance = Vec3Length(v);
  if (distance == 0) return;  // on the target: no direction to orbit along
  const TAffineVector n = Vec3Scaled(v, 1 / distance);

  TAffineVector axis = Vec3Cross(up, n);
  if (Vec3Length(axis) < 0.001f)
    axis = XVector;
  else
    Vec3NormalizeInPlace(axis);
  const float pitch = ClampSingle(ArcCosSingle(Vec3AngleCosine(up, n)) + DegToRadSingle(pitchDelta), POLE_MARGIN,
                                  float(M_PI) - POLE_MARGIN);
  TVector offset = AsDirection(up);
  Vec4RotateAroundAxis(offset, axis, -pitch);
  Vec4RotateAroundAxis(offset, up, -DegToRadSingle(turnDelta));
  PlaceAtWorldPoint(Vec3Add(p, Vec3Sub(Vec3Scaled(Vec3Of(offset), distance), v)));
}

void TGLBaseSceneObject::PlaceAtWorldPoint(const TAffineVector& point) {
  TVector position = Vec4PointFromVec3(point);
  if (const TGLBaseSceneObject* parent = MatrixParent()) position = Vec4Transform(position, parent->InverseWorldMatrix());
  FPosition.SetAsVector(position);
}

// ---------------------------------------------------------------------------
// Properties

void TGLBaseSceneObject::SetVisible(bool value) {
  if (StoreChanged(FVisible, value)) ReportChange(this);
}

void TGLBaseSceneObject::SetShowAxes(bool value) {
  if (StoreChanged(FShowAxes, value)) ReportChange(this);
}

void TGLBaseSceneObject::SetObjectsSorting(TGLObjectsSorting value) {
  if (StoreChanged(FObjectsSorting, value)) ReportChange(this);
}

void TGLBaseSceneObject::SetVisibilityCulling(TGLVisibilityCulling value) {
  if (StoreChanged(FVisibilityCulling, value)) ReportChange(this);
}

TGLBehaviours& TGLBaseSceneObject::Behaviours() {
  if (!FBehaviours) FBehaviours = std::make_unique<TGLBehaviours>(*this);
  return *FBehaviours;
}

TGLObjectEffects& TGLBaseSceneObject::Effects() {
  if (!FEffects) FEffects = std::make_unique<TGLObjectEffects>(*this);
  return *FEffects;
}

void TGLBaseSceneObject::SetBehaviours(const TGLBehaviours& value) { Behaviours().Assign(&value); }

void TGLBaseSceneObject::SetEffects(const TGLObjectEffects& value) { Effects().Assign(&value); }

void TGLBaseSceneObject::SetName(const std::string& name) {
  if (name == Name()) return;
  TGLUpdateAbleComponent::SetName(name);
  if (GLNameChangeHook) GLNameChangeHook(this);
}

// ---------------------------------------------------------------------------
// Bounds and hit tests

TVector TGLBaseSceneObject::WorldBarycentre() const { return WorldPosition(); }

TVector TGLBaseSceneObject::HalfExtents() const { return Vec4Scaled(FScale.AsVector(), 0.5f); }

float TGLBaseSceneObject::BoundingSphereRadius() const { return Vec3Length(Vec3Of(HalfExtents())); }

TAxisAlignedBox TGLBaseSceneObject::AxisAlignedBoundingBox() const {
  TAxisAlignedBox box = AABBFromHalfExtents(Vec3Of(HalfExtents()));
  for (const auto& child : FChildren) {
    TAxisAlignedBox childBox = child->AxisAlignedBoundingBox();
    AABBTransform(childBox, child->LocalMatrix());
    AABBIncludeBox(box, childBox);
  }
  return box;
}

bool TGLBaseSceneObject::ContainsWorldPoint(const TVector& point) const {
  const TVector local = WorldPointToLocal(point);
  const TVector half = HalfExtents();
  return std::fabs(local.x) <= half.x && std::fabs(local.y) <= half.y && std::fabs(local.z) <= half.z;
}

bool TGLBaseSceneObject::IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint,
                                      TVector* intersectNormal) const {
  const TVector centre = WorldPosition();
  TVector nearer, farther;
  if (IntersectRaySphere(rayStart, rayVector, centre, BoundingSphereRadius(), nearer, farther) == 0) return false;
  if (intersectPoint) *intersectPoint = nearer;
  if (intersectNormal) *intersectNormal = Vec4NormalizedFromVec3(Vec3Sub(Vec3Of(nearer), Vec3Of(centre)));
  return true;
}

bool TGLBaseSceneObject::Blended() const { return false; }

// ---------------------------------------------------------------------------
// Time, copies, layouts

void TGLBaseSceneObject::AdvanceTime(const TProgressTimes& progressTimes) {
  // A step may free other children: each child is reached through a weak
  // reference taken before the first step.
  std::deque<TWeakRef<TGLBaseSceneObject>> children;
  for (auto it = FChildren.rbegin(); it != FChildren.rend(); ++it) children.emplace_back() = it->get();
  for (const TWeakRef<TGLBaseSceneObject>& child : children)
    if (child) child->AdvanceTime(progressTimes);
  if (FBehaviours) FBehaviours->AdvanceTime(progressTimes);
  if (FEffects) FEffects->AdvanceTime(progressTimes);
  if (OnProgress) OnProgress(this, progressTimes.DeltaTime, progressTimes.NewTime);
}

void TGLBaseSceneObject::Assign(const TPersistent* source) {
  auto* from = dynamic_cast<const TGLBaseSceneObject*>(source);
  if (!from) {
    TGLUpdateAbleComponent::Assign(source);
    return;
  }
  if (from == this) return;
  DestroyHandles();
  FVisible = from->FVisible;
  SetMatrix(from->LocalMatrix());
  FShowAxes = from->FShowAxes;
  FObjectsSorting = from->FObjectsSorting;
  FVisibilityCulling = from->FVisibilityCulling;
  FRotation.Assign(&from->FRotation);
  FTransformationMode = from->FTransformationMode;

  // The copies of the source's children are made before this node's own go: the
  // source may be one of them, or contain this node.
  std::vector<std::unique_ptr<TGLBaseSceneObject>> copies;
  for (const auto& sourceChild : from->FChildren) {
    copies.push_back(sourceChild->ClassType().Create(Owner()));
    copies.back()->Assign(sourceChild.get());
  }
  OnProgress = from->OnProgress;
  if (from->FBehaviours)
    SetBehaviours(*from->FBehaviours);
  else
    FBehaviours.reset();
  if (from->FEffects)
    SetEffects(*from->FEffects);
  else
    FEffects.reset();
  SetTag(from->Tag());
  FTagFloat = from->FTagFloat;

  DeleteChildren();
  TGLScene* scene = FScene;
  if (scene) scene->BeginUpdate();
  for (auto& copy : copies) AttachChild(std::move(copy), Count());
  if (scene) scene->EndUpdate();
}

void TGLBaseSceneObject::Loaded() {
  TGLUpdateAbleComponent::Loaded();
  TVector position = FPosition.AsVector();
  position.w = 1;
  SetCoordinatesQuietly(FPosition, position);
  if (FBehaviours) FBehaviours->NotifyItemsLoaded();
  if (FEffects) FEffects->NotifyItemsLoaded();
}

namespace {

// A collection that was never made is written as an empty one (a count of 0).
void WriteCollection(const TXCollection* collection, TStream& stream) {
  TWriter writer(stream, FilerBufferSize);
  if (collection)
    collection->WriteItems(writer);
  else
    writer.WriteInteger(0);
  writer.FlushBuffer();
}

void ReadCollection(TXCollection& collection, TStream& stream) {
  TReader reader(stream, FilerBufferSize);
  collection.ReadItems(reader);
  reader.FlushBuffer();
}

}  // namespace

void TGLBaseSceneObject::WriteBehavioursData(TStream& stream) const { WriteCollection(FBehaviours.get(), stream); }

void TGLBaseSceneObject::ReadBehavioursData(TStream& stream) { ReadCollection(Behaviours(), stream); }

void TGLBaseSceneObject::WriteEffectsData(TStream& stream) const { WriteCollection(FEffects.get(), stream); }

void TGLBaseSceneObject::ReadEffectsData(TStream& stream) { ReadCollection(Effects(), stream); }
