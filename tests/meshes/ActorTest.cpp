// The actor stepped through its frames by a cadencer on a clock of the test's own;
// its animations and controllers; skeleton poses; and a model without frames.

#include <gtest/gtest.h>

#include <numbers>
#include <random>

#include "SupportMeshes.h"
#include "scene/GLCadencer.h"
#include "tests/base/PersistenceTestSupport.h"
#include "tests/scene/support/RecordingGL.h"

namespace {

// An actor in a scene that a manual cadencer steps; Tick moves the clock first.
struct TStage {
  double Seconds = 100;
  TGLScene Scene{nullptr};
  TActor& Actor = Scene.Objects().AddChild(std::make_unique<TActor>(nullptr));
  TGLCadencer Cadencer{nullptr, [this](TGLCadencerTimeReference) { return Seconds; }};

  TStage() {
    InitializeMeshUnits();
    Cadencer.SetMode(cmManual);
    Cadencer.SetScene(&Scene);
  }
  void Tick(double seconds) {
    Seconds += seconds;
    Cadencer.Progress();
  }
  // A morphable mesh object with `frames` targets; target i puts its vertex at (i, 0, 0).
  void AddMorphFrames(int frames) {
    auto& mesh = Actor.MeshObjects().Adopt(std::make_unique<TMorphableMeshObject>());
    for (int i = 0; i < frames; ++i) TMeshMorphTarget::CreateOwned(mesh.MorphTargets()).Vertices().AddXYZ(float(i), 0, 0);
  }
};

TEST(Actor, TheCadencersStepsAdvanceFramesInEveryAnimationMode) {
  const std::vector<double> eighths(4, 0.125);  // 1.25 frames a tick at 100 ms a frame
  const struct {
    const char* Name;
    int Frames, Start, End, Current;
    TActorAnimationMode Mode;
    std::vector<double> Ticks;
    std::vector<int> Shown;  // CurrentFrame after each tick
    TActorAnimationMode ModeAfter;
    float DeltaAfter;
    int EndsReached;
  } runs[] = {
      {"loop wraps round", 10, 2, 5, 2, aamLoop, eighths, {3, 4, 5, 3}, aamLoop, 0, 1},
      {"0.25 s are 2.5 frames", 10, 2, 5, 2, aamLoop, {0.25}, {4}, aamLoop, 0.5f, 0},
      {"bounce turns at the end", 10, 2, 5, 2, aamBounceForward, eighths, {3, 4, 5, 3}, aamBounceBackward, 0, 1},
      {"bounce turns at the start", 10, 2, 5, 5, aamBounceBackward, eighths, {4, 3, 2, 4}, aamBounceForward, 0, 0},
      {"play once stops on the end", 10, 2, 5, 2, aamPlayOnce, eighths, {3, 4, 5, 5}, aamNone, 0, 1},
      {"play once never passes the end", 10, 2, 5, 4, aamPlayOnce, {0.375}, {5}, aamNone, 0, 1},
      {"no mode", 10, 2, 5, 2, aamNone, {0.25}, {2}, aamNone, 0, 0},
      {"start = end", 10, 3, 3, 3, aamLoop, {0.25}, {3}, aamLoop, 0, 0},
      {"one frame", 1, 0, 0, 0, aamLoop, {0.25}, {0}, aamLoop, 0, 0},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.Name);
    TStage stage;
    TActor& actor = stage.Actor;
    stage.AddMorphFrames(run.Frames);
    actor.SetStartFrame(run.Start);
    actor.SetEndFrame(run.End);
    actor.SetCurrentFrame(run.Current);
    actor.SetAnimationMode(run.Mode);
    int ends = 0;
    actor.OnEndFrameReached = [&](TObject*) { ++ends; };
    std::vector<int> shown;
    for (double tick : run.Ticks) {
      stage.Tick(tick);
      shown.push_back(actor.CurrentFrame());
    }
    EXPECT_EQ(shown, run.Shown);
    EXPECT_EQ(actor.AnimationMode(), run.ModeAfter);
    EXPECT_FLOAT_EQ(actor.CurrentFrameDelta(), run.DeltaAfter);
    EXPECT_EQ(ends, run.EndsReached);
  }
}

TEST(Actor, FramesAnimationsAndControllers) {
  TStage stage;
  TActor& actor = stage.Actor;
  stage.AddMorphFrames(20);
  actor.SetCurrentFrame(100);
  EXPECT_EQ(actor.CurrentFrame(), 19);
  actor.SetCurrentFrame(-3);
  EXPECT_EQ(actor.CurrentFrame(), 0);

  actor.SetStartFrame(2);
  actor.SetEndFrame(5);
  actor.SetCurrentFrame(5);
  actor.SetAnimationMode(aamLoop);
  EXPECT_EQ(actor.FollowingFrame(), 2);
  actor.SetCurrentFrame(2);
  actor.SetAnimationMode(aamBounceBackward);
  EXPECT_EQ(actor.FollowingFrame(), 5);

  TActorAnimation& run = actor.Animations().Add();
  run.SetName("RUN");
  run.SetStartFrame(10);
  run.SetEndFrame(50);
  EXPECT_EQ(run.EndFrame(), 19);
  run.SetEndFrame(18);
  EXPECT_EQ(run.GetDisplayName(), "0 - RUN [10 - 18]");
  EXPECT_EQ(actor.Animations().FindByName("Run"), &run);

  // A controller at a quarter of frames 10..18 blends in frames 12 and 13.
  const struct {
    float Ratio;
    TBlendedLerpInfo Expected;
  } ratios[] = {{0.25f, {12, 13, 0, 1}}, {0, {10, 10, 0, 1}}, {1, {18, 18, 0, 1}}, {7, {18, 18, 0, 1}}};
  auto controller = std::make_unique<TAnimationControler>(nullptr);
  controller->SetActor(&actor);
  controller->SetAnimationName("run");
  for (const auto& c : ratios) {
    controller->SetRatio(c.Ratio);
    TBlendedLerpInfo lerp{-1, -1, -1, -1};
    ASSERT_TRUE(controller->Apply(lerp));
    EXPECT_EQ(lerp.FrameIndex1, c.Expected.FrameIndex1);
    EXPECT_EQ(lerp.FrameIndex2, c.Expected.FrameIndex2);
    EXPECT_FLOAT_EQ(lerp.LerpFactor, c.Expected.LerpFactor);
    EXPECT_FLOAT_EQ(lerp.Weight, 1);
  }
  EXPECT_EQ(actor.ControllerCount(), 1);
  controller.reset();
  EXPECT_EQ(actor.ControllerCount(), 0);

  // A smooth change heads for the animation's start, and takes it over on the next
  // whole frame; an animation freed while pending is forgotten.
  actor.SetAnimationMode(aamLoop);
  actor.ChangeAnimation(&run, true);
  EXPECT_EQ(actor.FollowingFrame(), 10);
  stage.Tick(0.15);
  EXPECT_EQ(actor.StartFrame(), 10);
  EXPECT_EQ(actor.EndFrame(), 18);
  EXPECT_EQ(actor.TargetSmoothAnimation(), nullptr);
  actor.ChangeAnimation(&actor.Animations().Add(), true);
  actor.Animations().Delete(1);
  EXPECT_EQ(actor.TargetSmoothAnimation(), nullptr);
}

TEST(Actor, SkeletonFramesPoseEverySkeletonMeshObjectWithTheControllersBlendedIn) {
  TRecordingGL gl;
  TStage stage;
  TActor& actor = stage.Actor;
  TSkeleton& skeleton = actor.Skeleton();
  TSkeletonBone::CreateOwned(skeleton.Roots());
  // Frames: rest, two units along X, and a quarter turn about Z.
  const TAffineVector positions[] = {{0, 0, 0}, {2, 0, 0}, {0, 0, 0}};
  const TAffineVector rotations[] = {{0, 0, 0}, {0, 0, 0}, {0, 0, std::numbers::pi_v<float> / 2}};
  for (int i = 0; i < 3; ++i) {
    TSkeletonFrame& frame = TSkeletonFrame::CreateOwned(skeleton.Frames());
    frame.Position().Add(positions[i]);
    frame.Rotation().Add(rotations[i]);
  }
  skeleton.Roots().PrepareGlobalMatrices();
  TSkeletonMeshObject* meshes[2];
  const TAffineVector vertices[] = {{0, 1, 0}, {0, 0, 1}};
  for (int i = 0; i < 2; ++i) {
    meshes[i] = &actor.MeshObjects().Adopt(std::make_unique<TSkeletonMeshObject>());
    meshes[i]->FindOrAddVertex(0, vertices[i], {0, 0, 1});
    meshes[i]->BuildBoneSpaceCopies(skeleton);
  }
  actor.SetReference(aarSkeleton);
  actor.SetEndFrame(1);
  actor.SetCurrentFrameDelta(0.5f);
  TRenderContextInfo rci;
  actor.EmitGeometry(rci);
  EXPECT_TRUE(Vec3Equal(meshes[0]->Vertices().GetItem(0), {1, 1, 0}));
  EXPECT_TRUE(Vec3Equal(meshes[1]->Vertices().GetItem(0), {1, 0, 1}));

  // The turn blended in: positions from the actor's own frames, rotations added.
  TActorAnimation& turn = actor.Animations().Add();
  turn.SetReference(aarSkeleton);
  turn.SetName("turn");
  turn.SetStartFrame(2);
  turn.SetEndFrame(2);
  TAnimationControler controller(nullptr);
  controller.SetActor(&actor);
  controller.SetAnimationName("turn");
  actor.SetOverlaySkeleton(true);
  actor.EmitGeometry(rci);
  const TAffineVector turned[] = {{0, 0, 0}, {1, 0, 1}};
  for (int i = 0; i < 2; ++i) {
    const TAffineVector v = meshes[i]->Vertices().GetItem(0);
    EXPECT_NEAR(v.x, turned[i].x, 1e-6);
    EXPECT_NEAR(v.y, turned[i].y, 1e-6);
    EXPECT_NEAR(v.z, turned[i].z, 1e-6);
  }
  EXPECT_EQ(gl.Count("glPointSize"), 2);
}

TEST(Actor, AnActorWithoutFramesShowsItsMeshAndNeverSteps) {
  TRecordingGL gl;
  TScratchFolder folder;
  TChunkWriter3DS writer;
  WriteModel3DS(writer, CenteredCube3DS());
  writer.SaveToFile(folder.File("cube.3ds"));

  TStage stage;
  TActor& actor = stage.Actor;
  int changes = 0;
  actor.OnFrameChanged = [&](TObject*) { ++changes; };
  actor.LoadFromFile(folder.File("cube.3ds"));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(actor.FrameCount(), 0);
  EXPECT_EQ(actor.EndFrame(), -1);
  actor.SetAnimationMode(aamLoop);
  for (int i = 0; i < 5; ++i) stage.Tick(0.25);
  actor.StepFrames(3);
  actor.SetCurrentFrame(5);
  EXPECT_EQ(actor.CurrentFrame(), 0);
  EXPECT_EQ(changes, 1);
  TRenderContextInfo rci;
  actor.EmitGeometry(rci);
  EXPECT_EQ(gl.Count("glDrawElements"), 1);

  // A morphable object without targets, at the range a layout gives (0 to 0): the
  // frame it does not have is not asked for.
  TStage layout;
  layout.AddMorphFrames(0);
  layout.Actor.SetAnimationMode(aamLoop);
  layout.Tick(0.25);
  EXPECT_NO_THROW(layout.Actor.EmitGeometry(rci));
  layout.Actor.SetReference(aarSkeleton);
  EXPECT_NO_THROW(layout.Actor.EmitGeometry(rci));
}

TEST(Actor, ChangedArchivesOfAnimatedMeshesLoadAndDrawOrEndInAnError) {
  // A skinned and a morphing mesh object over a two-bone skeleton with two frames.
  TRecordingGL gl;
  TStage source;
  TSkeleton& skeleton = source.Actor.Skeleton();
  TSkeletonBone& root = TSkeletonBone::CreateOwned(skeleton.Roots());
  TSkeletonBone::CreateOwned(root).SetId(1);
  for (float x : {0.f, 1.f}) {
    TSkeletonFrame& frame = TSkeletonFrame::CreateOwned(skeleton.Frames());
    frame.Position().Add({x, 0, 0});
    frame.Position().Add({0, 1, 0});
    frame.Rotation().Add({0, 0, x});
    frame.Rotation().Add({x, 0, 0});
  }
  auto& skin = source.Actor.MeshObjects().Adopt(std::make_unique<TSkeletonMeshObject>());
  for (int i = 0; i < 6; ++i) skin.FindOrAddVertex(i % 2, {float(i), 1, 0}, {0, 0, 1});
  source.AddMorphFrames(3);
  const std::string skeletonArchive = skeleton.SaveToString();
  const std::string meshArchive = source.Actor.MeshObjects().SaveToString();

  std::mt19937 random(20250301);
  TRenderContextInfo rci;
  int drawn = 0;
  for (int round = 0; round < 600; ++round) {
    std::string spoiltSkeleton = skeletonArchive, spoiltMeshes = meshArchive;
    std::string& spoilt = round % 2 ? spoiltSkeleton : spoiltMeshes;
    if (round % 10 == 0) spoilt.resize(1 + random() % (spoilt.size() - 1));
    for (int i = 1 + int(random() % 4); i > 0; --i) spoilt[random() % spoilt.size()] ^= char(1u << (random() % 8));
    TStage stage;
    TActor& actor = stage.Actor;
    try {
      actor.Skeleton().LoadFromString(spoiltSkeleton);
      actor.MeshObjects().LoadFromString(spoiltMeshes);
    } catch (const Exception&) {
      continue;
    }
    actor.AfterLoad();
    actor.SetOverlaySkeleton(true);
    for (TActorAnimationReference reference : {aarMorph, aarSkeleton}) {
      actor.SetReference(reference);
      actor.SetEndFrame(1);
      actor.SetCurrentFrameDelta(0.5f);
      EXPECT_NO_THROW(actor.EmitGeometry(rci)) << "round " << round;
    }
    ++drawn;
  }
  EXPECT_GT(drawn, 50);
}

}  // namespace
