// Animated geometry: morph targets and the mesh objects that morph between them,
// skeletons (bones, frames, the pose in use) and the mesh objects that follow
// their bones.

#include "meshes/GLVectorFileObjectsSkeleton.h"

#include "meshes/GLVectorFileObjectsBaseMesh.h"
#include "scene/gl/XOpenGL.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

namespace {

void ReadVersion0(const TPersistentObject& object, TVirtualReader& reader) {
  if (int version = reader.ReadInteger(); version != 0) object.RaiseFilerException(version);
}

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// Calls `visit` with every bone of `bones` and below, parents before children.
template <class TVisit>
void VisitBones(const TSkeletonBoneList& bones, TVisit&& visit) {
  for (int i = 0; i < bones.Count(); ++i) {
    TSkeletonBone& bone = bones.Items(i);
    visit(bone);
    VisitBones(bone, visit);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// TMeshMorphTarget

TMeshMorphTarget::~TMeshMorphTarget() { LeaveOwnerList(this); }

TMeshMorphTarget& TMeshMorphTarget::CreateOwned(TMeshMorphTargetList& owner) { return owner.Add(); }

TMeshMorphTargetList* TMeshMorphTarget::Owner() const { return static_cast<TMeshMorphTargetList*>(OwnerList()); }

void TMeshMorphTarget::WriteFields(TVirtualWriter& writer) const {
  TBaseMeshObject::WriteFields(writer);
  writer.WriteInteger(0);
}

void TMeshMorphTarget::ReadFields(TVirtualReader& reader) {
  TBaseMeshObject::ReadFields(reader);
  ReadVersion0(*this, reader);
}

void TMeshMorphTargetList::Translate(const TAffineVector& delta) {
  for (int i = 0; i < Count(); ++i) Items(i).Translate(delta);
}

// ---------------------------------------------------------------------------
// TMorphableMeshObject

TMorphableMeshObject::TMorphableMeshObject() : FMorphTargets(std::make_unique<TMeshMorphTargetList>(this)) {}

void TMorphableMeshObject::Translate(const TAffineVector& delta) {
  TMeshObject::Translate(delta);
  FMorphTargets->Translate(delta);
}

void TMorphableMeshObject::SelectMorphTarget(int index) {
  BRV_ASSERT_MSG(index >= 0 && index < FMorphTargets->Count(),
                 "TMorphableMeshObject::SelectMorphTarget(): no morph target " + std::to_string(index));
  const TMeshMorphTarget& target = FMorphTargets->Items(index);
  if (target.Vertices().Count() > 0) Vertices().Assign(&target.Vertices());
  if (target.Normals().Count() > 0) Normals().Assign(&target.Normals());
}

void TMorphableMeshObject::Lerp(int index1, int index2, float factor) {
  const int count = FMorphTargets->Count();
  BRV_ASSERT_MSG(index1 >= 0 && index1 < count && index2 >= 0 && index2 < count,
                 "TMorphableMeshObject::Lerp(): morph targets " + std::to_string(index1) + " and " +
                     std::to_string(index2) + " of " + std::to_string(count));
  if (factor == 0) {
    SelectMorphTarget(index1);
    return;
  }
  if (factor == 1) {
    SelectMorphTarget(index2);
    return;
  }
  const TMeshMorphTarget& from = FMorphTargets->Items(index1);
  const TMeshMorphTarget& to = FMorphTargets->Items(index2);
  if (from.Vertices().Count() > 0) {
    BRV_ASSERT_MSG(from.Vertices().Count() == to.Vertices().Count(), "TMorphableMeshObject::Lerp(): vertex counts differ");
    Vertices().Lerp(from.Vertices(), to.Vertices(), factor);
  }
  if (from.Normals().Count() > 0) {
    BRV_ASSERT_MSG(from.Normals().Count() == to.Normals().Count(), "TMorphableMeshObject::Lerp(): normal counts differ");
    Normals().Lerp(from.Normals(), to.Normals(), factor);
    // Opposite normals meet at zero half-way: those stay zero instead of turning NaN.
    NormalizeSafely(Normals());
  }
}

void TMorphableMeshObject::WriteFields(TVirtualWriter& writer) const {
  TMeshObject::WriteFields(writer);
  writer.WriteInteger(0);
  FMorphTargets->WriteFields(writer);
}

void TMorphableMeshObject::ReadFields(TVirtualReader& reader) {
  TMeshObject::ReadFields(reader);
  ReadVersion0(*this, reader);
  FMorphTargets->ReadFields(reader);
  // Targets are interpolated item by item: they must all be of one length.
  for (int i = 1; i < FMorphTargets->Count(); ++i) {
    const TMeshMorphTarget& first = FMorphTargets->Items(0);
    const TMeshMorphTarget& target = FMorphTargets->Items(i);
    if (target.Vertices().Count() != first.Vertices().Count() || target.Normals().Count() != first.Normals().Count())
      throw EReadError("Mesh object archive: morph target " + std::to_string(i) + " of " + Quoted(Name()) +
                       " holds " + std::to_string(target.Vertices().Count()) + " vertices and " +
                       std::to_string(target.Normals().Count()) + " normals, expected " +
                       std::to_string(first.Vertices().Count()) + " and " + std::to_string(first.Normals().Count()) +
                       " as target 0");
  }
}

// ---------------------------------------------------------------------------
// TSkeletonFrame

TSkeletonFrame::TSkeletonFrame()
    : FPosition(std::make_unique<TAffineVectorList>()), FRotation(std::make_unique<TAffineVectorList>()) {}

TSkeletonFrame::~TSkeletonFrame() { LeaveOwnerList(this); }

TSkeletonFrame& TSkeletonFrame::CreateOwned(TSkeletonFrameList& owner) { return owner.Add(); }

TSkeletonFrameList* TSkeletonFrame::Owner() const { return static_cast<TSkeletonFrameList*>(OwnerList()); }

TAffineVectorList& TSkeletonFrame::Position() {
  FBoneMatricesBuilt = false;
  return *FPosition;
}

TAffineVectorList& TSkeletonFrame::Rotation() {
  FBoneMatricesBuilt = false;
  return *FRotation;
}

const std::vector<TMatrix4>& TSkeletonFrame::BoneMatrices() const {
  if (FBoneMatricesBuilt) return FBoneMatrices;
  const int count = FPosition->Count();
  BRV_ASSERT_MSG(FRotation->Count() == count, "TSkeletonFrame::BoneMatrices(): " + std::to_string(count) +
                                                   " positions and " + std::to_string(FRotation->Count()) +
                                                   " rotations");
  FBoneMatrices.resize(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const TAffineVector& angles = FRotation->List()[i];
    TMatrix4 m = MatrixRotationXSinCos(std::sin(angles.x), std::cos(angles.x));
    m = MatrixMultiply(m, MatrixRotationYSinCos(std::sin(angles.y), std::cos(angles.y)));
    m = MatrixMultiply(m, MatrixRotationZSinCos(std::sin(angles.z), std::cos(angles.z)));
    m[3] = Vec4PointFromVec3(FPosition->List()[i]);
    FBoneMatrices[static_cast<std::size_t>(i)] = m;
  }
  FBoneMatricesBuilt = true;
  return FBoneMatrices;
}

std::unique_ptr<TSkeletonFrame> TSkeletonFrame::Copy() const {
  auto copy = std::make_unique<TSkeletonFrame>();
  copy->FName = FName;
  copy->FPosition->Assign(FPosition.get());
  copy->FRotation->Assign(FRotation.get());
  return copy;
}

void TSkeletonFrame::WriteFields(TVirtualWriter& writer) const {
  TPersistentObject::WriteFields(writer);
  writer.WriteInteger(0);
  writer.WriteString(FName);
  FPosition->WriteFields(writer);
  FRotation->WriteFields(writer);
}

void TSkeletonFrame::ReadFields(TVirtualReader& reader) {
  TPersistentObject::ReadFields(reader);
  ReadVersion0(*this, reader);
  FBoneMatricesBuilt = false;
  FBoneMatrices.clear();
  FName = reader.ReadString();
  FPosition->ReadFields(reader);
  FRotation->ReadFields(reader);
  if (FPosition->Count() != FRotation->Count())
    throw EReadError("Skeleton frame archive: frame " + Quoted(FName) + " holds " +
                     std::to_string(FPosition->Count()) + " positions and " + std::to_string(FRotation->Count()) +
                     " rotations, expected one of each per bone");
}

// ---------------------------------------------------------------------------
// Bone lists and bones

TSkeletonBone* TSkeletonBoneList::FindBone(int id) const {
  for (int i = 0; i < Count(); ++i)
    if (TSkeletonBone* bone = Items(i).FindBone(id)) return bone;
  return nullptr;
}

void TSkeletonBoneList::SetSkeleton(TSkeleton* skeleton) {
  SetOwner(skeleton);
  for (int i = 0; i < Count(); ++i) Items(i).SetSkeleton(skeleton);
}

void TSkeletonBoneList::LinkItem(TSkeletonBone& bone) {
  TOwnerObjectList::LinkItem(bone);
  bone.SetSkeleton(Skeleton());
  if (Skeleton()) Skeleton()->DropBoneCache();
}

void TSkeletonBoneList::WriteFields(TVirtualWriter& writer) const {
  TOwnerObjectList::WriteFields(writer);
  writer.WriteInteger(0);
}

void TSkeletonBoneList::ReadFields(TVirtualReader& reader) {
  TOwnerObjectList::ReadFields(reader);
  ReadVersion0(*this, reader);
}

void TSkeletonRootBoneList::PrepareGlobalMatrices() {
  if (!Skeleton()) return;
  const TSkeletonFrame& frame = Skeleton()->ActiveFrame();
  for (int i = 0; i < Count(); ++i) Items(i).RefreshWorldMatrices(frame);
}

void TSkeletonRootBoneList::EmitGeometry(TRenderContextInfo& rci) {
  GL->glPushAttrib(GL_ENABLE_BIT);
  try {
    GL->glDisable(GL_COLOR_MATERIAL);
    GL->glDisable(GL_LIGHTING);
    for (int i = 0; i < Count(); ++i) Items(i).EmitGeometry(rci);
  } catch (...) {
    GL->glPopAttrib();
    throw;
  }
  GL->glPopAttrib();
}

TSkeletonBone::~TSkeletonBone() {
  LeaveOwnerList(this);
  if (Skeleton()) Skeleton()->DropBoneCache();
}

TSkeletonBone& TSkeletonBone::CreateOwned(TSkeletonBoneList& owner) { return owner.Add(); }

TSkeletonBoneList* TSkeletonBone::Owner() const { return static_cast<TSkeletonBoneList*>(OwnerList()); }

TSkeletonBone* TSkeletonBone::Parent() const { return dynamic_cast<TSkeletonBone*>(OwnerList()); }

void TSkeletonBone::SetId(int id) {
  FId = id;
  if (Skeleton()) Skeleton()->DropBoneCache();
}

TSkeletonBone* TSkeletonBone::FindBone(int id) const {
  if (FId == id) return const_cast<TSkeletonBone*>(this);
  return TSkeletonBoneList::FindBone(id);
}

void TSkeletonBone::RefreshWorldMatrices(const TSkeletonFrame& frame) {
  const std::vector<TMatrix4>& local = frame.BoneMatrices();
  BRV_ASSERT_MSG(FId >= 0 && static_cast<std::size_t>(FId) < local.size(),
                 "TSkeletonBone::RefreshWorldMatrices(): bone " + std::to_string(FId) + " is not in a frame of " +
                     std::to_string(local.size()) + " bones");
  const TMatrix4& own = local[static_cast<std::size_t>(FId)];
  const TSkeletonBone* parent = Parent();
  FWorldMatrix = parent ? MatrixMultiply(own, parent->FWorldMatrix) : own;
  for (int i = 0; i < Count(); ++i) Items(i).RefreshWorldMatrices(frame);
}

void TSkeletonBone::EmitGeometry(TRenderContextInfo& rci) {
  const float* position = &FWorldMatrix[3].x;
  GL->glPointSize(5);
  GL->glBegin(GL_POINTS);
  GL->glColor4ubv(reinterpret_cast<const GLubyte*>(&FColor));
  GL->glVertex3fv(position);
  GL->glEnd();
  GL->glPointSize(1);
  if (const TSkeletonBone* parent = Parent()) {
    GL->glBegin(GL_LINES);
    GL->glVertex3fv(&parent->FWorldMatrix[3].x);
    GL->glVertex3fv(position);
    GL->glEnd();
  }
  for (int i = 0; i < Count(); ++i) Items(i).EmitGeometry(rci);
}

void TSkeletonBone::Reset() {
  SetId(0);
  FName.clear();
  Clear();
}

void TSkeletonBone::WriteFields(TVirtualWriter& writer) const {
  TSkeletonBoneList::WriteFields(writer);
  writer.WriteInteger(0);
  writer.WriteString(FName);
  writer.WriteInteger(FId);
  writer.WriteInteger(std::bit_cast<std::int32_t>(FColor));
}

void TSkeletonBone::ReadFields(TVirtualReader& reader) {
  TSkeletonBoneList::ReadFields(reader);
  ReadVersion0(*this, reader);
  FName = reader.ReadString();
  SetId(reader.ReadInteger());
  FColor = std::bit_cast<std::uint32_t>(reader.ReadInteger());
}

// ---------------------------------------------------------------------------
// TSkeleton

TSkeleton::TSkeleton(TBaseMesh* owner)
    : FOwner(owner),
      FRoots(std::make_unique<TSkeletonRootBoneList>(this)),
      FFrames(std::make_unique<TSkeletonFrameList>(this)) {}

TSkeleton::~TSkeleton() {
  // The bones tell the skeleton as they go: it is still whole while they do.
  DropBoneCache();
  FActiveFrame.reset();
  FFrames.reset();
  FRoots.reset();
}

TSkeletonFrame& TSkeleton::ActiveFrame() {
  if (!FActiveFrame)
    FActiveFrame = FFrames->Count() > 0 ? FFrames->Items(0).Copy() : std::make_unique<TSkeletonFrame>();
  return *FActiveFrame;
}

void TSkeleton::SelectFrame(int index) { ReplaceActiveFrame(FFrames->Items(index).Copy()); }

void TSkeleton::ReplaceActiveFrame(std::unique_ptr<TSkeletonFrame> frame) { FActiveFrame = std::move(frame); }

const TSkeletonFrame& TSkeleton::FrameAt(int index) const {
  BRV_ASSERT_MSG(index >= 0 && index < FFrames->Count(),
                 "TSkeleton: no frame " + std::to_string(index) + " of " + std::to_string(FFrames->Count()));
  return FFrames->Items(index);
}

TSkeletonBone* TSkeleton::FindBone(int id) const {
  if (!FBoneCacheBuilt) {
    // Keyed by ID rather than indexed by it: no ID, however large, costs more
    // than one entry.
    FBonesByID.clear();
    VisitBones(*FRoots, [this](TSkeletonBone& bone) { FBonesByID.emplace(bone.Id(), &bone); });
    FBoneCacheBuilt = true;
  }
  const auto found = FBonesByID.find(id);
  return found == FBonesByID.end() ? nullptr : found->second;
}

TSkeletonBone& TSkeleton::AddBone(int id, const std::string& name, int parentId) {
  TSkeletonBoneList* parent = FRoots.get();
  if (parentId != -1) {
    parent = FindBone(parentId);
    if (!parent)
      throw EInvalidVectorFile("Bone " + std::to_string(id) + " (" + Quoted(name) + ") names parent " +
                               std::to_string(parentId) + ", which is no bone declared before it");
  }
  TSkeletonBone& bone = TSkeletonBone::CreateOwned(*parent);
  bone.SetId(id);
  bone.SetName(name);
  return bone;
}

void TSkeleton::Lerp(int frameIndex1, int frameIndex2, float factor) {
  const TSkeletonFrame& from = FrameAt(frameIndex1);
  const TSkeletonFrame& to = FrameAt(frameIndex2);
  auto frame = std::make_unique<TSkeletonFrame>();
  frame->Position().Lerp(from.Position(), to.Position(), factor);
  frame->Rotation().AngleLerp(from.Rotation(), to.Rotation(), factor);
  ReplaceActiveFrame(std::move(frame));
}

void TSkeleton::BlendFrames(const std::vector<TBlendedLerpInfo>& lerps) {
  if (lerps.empty()) return;
  const TBlendedLerpInfo& first = lerps.front();
  if (lerps.size() == 1) {
    Lerp(first.FrameIndex1, first.FrameIndex2, first.LerpFactor);
    return;
  }
  auto frame = std::make_unique<TSkeletonFrame>();
  frame->Position().Lerp(FrameAt(first.FrameIndex1).Position(), FrameAt(first.FrameIndex2).Position(),
                         first.LerpFactor);
  if (first.Weight != 1) frame->Position().Scale(first.Weight);
  frame->Rotation().AngleLerp(FrameAt(first.FrameIndex1).Rotation(), FrameAt(first.FrameIndex2).Rotation(),
                              first.LerpFactor);
  TAffineVectorList rotation;
  for (std::size_t i = 1; i < lerps.size(); ++i) {
    const TBlendedLerpInfo& lerp = lerps[i];
    rotation.AngleLerp(FrameAt(lerp.FrameIndex1).Rotation(), FrameAt(lerp.FrameIndex2).Rotation(), lerp.LerpFactor);
    frame->Rotation().AddScaledList(rotation, 1);
  }
  ReplaceActiveFrame(std::move(frame));
}

void TSkeleton::ApplyBoneDeformation() {
  if (!FOwner || FOwner->MeshObjects().Count() == 0) return;
  FRoots->PrepareGlobalMatrices();
  TMeshObjectList& meshObjects = FOwner->MeshObjects();
  for (int i = 0; i < meshObjects.Count(); ++i)
    if (auto* mesh = dynamic_cast<TSkeletonMeshObject*>(&meshObjects.Items(i))) mesh->ApplySkeletonFrame(*this);
}

void TSkeleton::Clear() {
  DropBoneCache();
  FRoots->Clear();
  FFrames->Clear();
  FActiveFrame.reset();
}

std::string TSkeleton::BoneFault() const {
  int places = 0;
  for (int i = 0; i < FFrames->Count(); ++i) {
    const TSkeletonFrame& frame = FFrames->Items(i);
    const int positions = frame.Position().Count();
    if (positions != frame.Rotation().Count())
      return "frame " + std::to_string(i) + " holds " + std::to_string(positions) + " positions and " +
             std::to_string(frame.Rotation().Count()) + " rotations";
    if (i == 0) places = positions;
    // Frames are interpolated item by item: they must all be of one length.
    if (positions != places)
      return "frame " + std::to_string(i) + " places " + std::to_string(positions) + " bones where frame 0 places " +
             std::to_string(places);
  }
  int bones = 0;
  VisitBones(*FRoots, [&bones](const TSkeletonBone&) { ++bones; });
  const int limit = FFrames->Count() > 0 ? places : bones;
  std::string fault;
  VisitBones(*FRoots, [&](const TSkeletonBone& bone) {
    if (!fault.empty() || (bone.Id() >= 0 && bone.Id() < limit)) return;
    fault = "bone " + Quoted(bone.Name()) + " has ID " + std::to_string(bone.Id()) + ", expected 0 to " +
            std::to_string(limit - 1) +
            (FFrames->Count() > 0 ? " (the bones the frames place)" : " (one ID per bone)");
  });
  return fault;
}

void TSkeleton::WriteFields(TVirtualWriter& writer) const {
  TPersistentObject::WriteFields(writer);
  writer.WriteInteger(0);
  FRoots->WriteFields(writer);
  FFrames->WriteFields(writer);
}

void TSkeleton::ReadFields(TVirtualReader& reader) {
  TPersistentObject::ReadFields(reader);
  ReadVersion0(*this, reader);
  // Read aside, and taken only when the bones fit the frames.
  auto roots = std::make_unique<TSkeletonRootBoneList>(this);
  auto frames = std::make_unique<TSkeletonFrameList>(this);
  roots->ReadFields(reader);
  frames->ReadFields(reader);
  std::swap(FRoots, roots);
  std::swap(FFrames, frames);
  DropBoneCache();
  if (std::string fault = BoneFault(); !fault.empty()) {
    std::swap(FRoots, roots);
    std::swap(FFrames, frames);
    throw EReadError("Skeleton archive: " + fault);
  }
  FActiveFrame.reset();
}

// ---------------------------------------------------------------------------
// TSkeletonMeshObject

TSkeletonMeshObject::TSkeletonMeshObject() = default;

void TSkeletonMeshObject::ResizeWeights(int rows, int perVertex) {
  BRV_ASSERT_MSG(rows >= 0 && perVertex >= 0, "TSkeletonMeshObject: negative weight counts");
  std::vector<TVertexBoneWeight> weights(static_cast<std::size_t>(rows) * static_cast<std::size_t>(perVertex),
                                         TVertexBoneWeight{0, 0});
  const int keptRows = std::min(rows, FWeightRowCount);
  const int kept = std::min(perVertex, FWeightsPerVertex);
  for (int row = 0; row < keptRows; ++row)
    for (int k = 0; k < kept; ++k)
      weights[static_cast<std::size_t>(row) * static_cast<std::size_t>(perVertex) + static_cast<std::size_t>(k)] =
          Weight(row, k);
  FWeights = std::move(weights);
  FWeightRowCount = rows;
  FWeightsPerVertex = perVertex;
}

void TSkeletonMeshObject::SetWeightRowCount(int count) {
  if (count != FWeightRowCount) ResizeWeights(count, FWeightsPerVertex);
}

void TSkeletonMeshObject::SetWeightsPerVertex(int count) {
  if (count != FWeightsPerVertex) ResizeWeights(FWeightRowCount, count);
}

TVertexBoneWeight& TSkeletonMeshObject::Weight(int row, int k) {
  return const_cast<TVertexBoneWeight&>(std::as_const(*this).Weight(row, k));
}

const TVertexBoneWeight& TSkeletonMeshObject::Weight(int row, int k) const {
  BRV_ASSERT_MSG(row >= 0 && row < FWeightRowCount && k >= 0 && k < FWeightsPerVertex,
                 "TSkeletonMeshObject::Weight(): entry " + std::to_string(k) + " of row " + std::to_string(row));
  return FWeights[static_cast<std::size_t>(row) * static_cast<std::size_t>(FWeightsPerVertex) +
                  static_cast<std::size_t>(k)];
}

void TSkeletonMeshObject::AddBoneWeight(int boneID, float weight) {
  if (FWeightsPerVertex == 0) SetWeightsPerVertex(1);
  FWeights.resize(FWeights.size() + static_cast<std::size_t>(FWeightsPerVertex), TVertexBoneWeight{0, 0});
  ++FWeightRowCount;
  Weight(FWeightRowCount - 1, 0) = {boneID, weight};
}

int TSkeletonMeshObject::FindOrAddVertex(int boneID, const TAffineVector& vertex, const TAffineVector& normal) {
  const int rows = std::min({Vertices().Count(), Normals().Count(), FWeightRowCount});
  for (int i = 0; i < rows; ++i)
    if (Weight(i, 0).BoneID == boneID && Vec3Equal(Vertices().List()[i], vertex) &&
        Vec3Equal(Normals().List()[i], normal))
      return i;
  Vertices().Add(vertex);
  Normals().Add(normal);
  AddBoneWeight(boneID, 1);
  return Vertices().Count() - 1;
}

void TSkeletonMeshObject::BuildBoneSpaceCopies(const TSkeleton& skeleton) {
  FBoneSpaceCopies.clear();
  const int rows = std::min(Vertices().Count(), FWeightRowCount);
  std::unordered_map<const TSkeletonBone*, TMatrix4> inverses;
  for (int k = 0; k < FWeightsPerVertex; ++k) {
    auto copy = std::make_unique<TBaseMeshObject>();
    copy->Vertices().Assign(&Vertices());
    copy->Normals().Assign(&Normals());
    TAffineVector* vertices = copy->Vertices().List();
    TAffineVector* normals = copy->Normals().List();
    for (int i = 0; i < rows; ++i) {
      const TSkeletonBone* bone = skeleton.FindBone(Weight(i, k).BoneID);
      if (!bone) continue;
      auto [entry, added] = inverses.try_emplace(bone, bone->WorldMatrix());
      if (added) MatrixInvert(entry->second);
      const TMatrix4& inverse = entry->second;
      vertices[i] = Vec3TransformPoint(vertices[i], inverse);
      if (i < copy->Normals().Count()) normals[i] = Vec3Of(Vec4Transform(Vec4DirectionFromVec3(normals[i]), inverse));
    }
    FBoneSpaceCopies.push_back(std::move(copy));
  }
}

void TSkeletonMeshObject::ApplySkeletonFrame(const TSkeleton& skeleton) {
  if (FBoneSpaceCopies.empty()) return;
  const TBaseMeshObject& copy = *FBoneSpaceCopies.front();
  const int rows = std::min({Vertices().Count(), FWeightRowCount, copy.Vertices().Count()});
  const int normalCount = std::min(Normals().Count(), copy.Normals().Count());
  TAffineVector* vertices = Vertices().List();
  TAffineVector* normals = Normals().List();
  for (int i = 0; i < rows; ++i) {
    const TSkeletonBone* bone = skeleton.FindBone(Weight(i, 0).BoneID);
    if (!bone) continue;
    vertices[i] = Vec3TransformPoint(copy.Vertices().List()[i], bone->WorldMatrix());
    if (i < normalCount)
      normals[i] = Vec3Of(Vec4Transform(Vec4DirectionFromVec3(copy.Normals().List()[i]), bone->WorldMatrix()));
  }
}

std::string TSkeletonMeshObject::BoneFault(const TSkeleton& skeleton) const {
  for (int row = 0; row < FWeightRowCount; ++row)
    for (int k = 0; k < FWeightsPerVertex; ++k)
      if (const int id = Weight(row, k).BoneID; !skeleton.FindBone(id))
        return "vertex " + std::to_string(row) + " is bound to bone " + std::to_string(id) +
               ", which the skeleton does not have";
  return {};
}

void TSkeletonMeshObject::Clear() {
  FWeights.clear();
  FWeightRowCount = 0;
  FWeightsPerVertex = 0;
  FBoneSpaceCopies.clear();
}

void TSkeletonMeshObject::WriteFields(TVirtualWriter& writer) const {
  TMorphableMeshObject::WriteFields(writer);
  writer.WriteInteger(0);
  writer.WriteInteger(FWeightRowCount);
  writer.WriteInteger(FWeightsPerVertex);
  if (!FWeights.empty()) writer.Write(FWeights.data(), FWeights.size() * sizeof(TVertexBoneWeight));
}

void TSkeletonMeshObject::ReadFields(TVirtualReader& reader) {
  TMorphableMeshObject::ReadFields(reader);
  ReadVersion0(*this, reader);
  const int rows = reader.ReadInteger();
  const int perVertex = reader.ReadInteger();
  if (rows < 0 || perVertex < 0)
    throw EReadError("Mesh object archive: " + std::to_string(rows) + " weight rows of " + std::to_string(perVertex) +
                     " entries, expected counts of 0 or more");
  // Tested against what the archive still holds before anything is allocated.
  const std::int64_t entrySize = sizeof(TVertexBoneWeight);
  const std::int64_t left = reader.BytesLeft();
  if (perVertex > 0 && rows > left / entrySize / perVertex)
    throw EReadError("Mesh object archive: " + std::to_string(rows) + " weight rows of " + std::to_string(perVertex) +
                     " entries need " + std::to_string(entrySize * perVertex) + " bytes a row, but " +
                     std::to_string(left) + " bytes are left");
  const std::int64_t bytes = std::int64_t{rows} * perVertex * entrySize;
  std::vector<TVertexBoneWeight> weights(static_cast<std::size_t>(bytes) / sizeof(TVertexBoneWeight));
  if (bytes > 0) reader.Read(weights.data(), static_cast<std::size_t>(bytes));
  FWeights = std::move(weights);
  FWeightRowCount = rows;
  FWeightsPerVertex = perVertex;
  FBoneSpaceCopies.clear();
}
