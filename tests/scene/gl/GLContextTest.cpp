#include "scene/gl/GLContext.h"

#include "tests/base/PersistenceTestSupport.h"
#include "tests/scene/support/RecordingGL.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

using TTexts = std::vector<std::string>;

class GLContextTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetGLLogSink([this](const std::string& text) { Logged.push_back(text); });
  }
  void TearDown() override { SetGLLogSink(nullptr); }

  std::unique_ptr<TFakeGLContext> Created(const std::string& name) {
    auto context = std::make_unique<TFakeGLContext>(name);
    context->CreateContext(0);
    return context;
  }

  TRecordingGL gl;
  TTexts Logged;
};

TEST_F(GLContextTest, NestedActivationReachesTheDriverOnce) {
  auto a = Created("a");
  gl.Clear();
  a->Activate();
  a->Activate();
  EXPECT_EQ(ThreadGLContext(), a.get());
  a->Deactivate();
  EXPECT_TRUE(a->Active());
  a->Deactivate();
  EXPECT_EQ(ThreadGLContext(), nullptr);
  EXPECT_EQ(gl.Texts(), (TTexts{"ActivateInDriver(a)", "DeactivateInDriver(a)"}));
}

TEST_F(GLContextTest, MisuseOfContextsRaisesItsMessage) {
  TFakeGLContext uncreated("u");
  auto a = Created("a");
  EXPECT_EQ(BRV_ERROR_TEXT(EGLContext, uncreated.Activate()), "Context not created");
  EXPECT_EQ(BRV_ERROR_TEXT(EGLContext, uncreated.ShareLists(*a)), "Context not created");
  EXPECT_EQ(BRV_ERROR_TEXT(EGLContext, uncreated.DestroyContext()), "Context not created");
  EXPECT_EQ(BRV_ERROR_TEXT(EGLContext, a->CreateContext(0)), "Context already created");
  EXPECT_EQ(BRV_ERROR_TEXT(EGLContext, a->CreateMemoryContext(0, 8, 8)), "Context already created");
  EXPECT_EQ(uncreated.ActivationCount(), 0);

  a->Activate();
  EXPECT_EQ(BRV_ERROR_TEXT(EGLContext, a->SetDepthBits(24)), "Cannot alter an active context");
  EXPECT_EQ(BRV_ERROR_TEXT(EGLContext, a->SetOptions(rcoDoubleBuffered)), "Cannot alter an active context");
  EXPECT_EQ(a->DepthBits(), 0);
  a->Deactivate();
  a->SetDepthBits(24);
  EXPECT_EQ(a->DepthBits(), 24);
  // The settings are byte fields of the pixel format.
  EXPECT_THROW(a->SetColorBits(256), ERangeError);
  EXPECT_THROW(a->SetStencilBits(-1), ERangeError);
  EXPECT_EQ(a->ColorBits(), 32);
}

TEST_F(GLContextTest, ExtraDeactivateRaisesWithoutDrivingTheCountNegative) {
  auto a = Created("a");
  a->Activate();
  a->Deactivate();
  EXPECT_EQ(BRV_ERROR_TEXT(EGLContext, a->Deactivate()), "Unbalanced context activations");
  EXPECT_EQ(a->ActivationCount(), 0);
  EXPECT_EQ(BRV_ERROR_TEXT(EGLContext, a->Deactivate()), "Unbalanced context activations");
  // Still usable: one Activate makes it current again.
  a->Activate();
  EXPECT_EQ(ThreadGLContext(), a.get());
  a->Deactivate();
  EXPECT_EQ(a->ActivationCount(), 0);
}

TEST_F(GLContextTest, LastDeactivateOfALostContextRaisesAndLeavesTheThreadFree) {
  auto a = Created("a");
  a->Activate();
  a->LoseContext();
  EXPECT_EQ(BRV_ERROR_TEXT(EGLContext, a->Deactivate()), "Context not created");
  EXPECT_EQ(ThreadGLContext(), nullptr);
  EXPECT_EQ(a->ActivationCount(), 0);
}

TEST_F(GLContextTest, ThreadChecksAreAssertionsOfTheUnit) {
  auto a = Created("a");
  auto b = Created("b");
  a->Activate();
  b->Activate();  // takes the thread from a
  b->Deactivate();
  try {
    a->Activate();
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Unit(), "GLContext");
  }
  EXPECT_THROW(a->Deactivate(), EAssertionFailed);
  TGLListHandle orphan;
  EXPECT_THROW(orphan.AllocateHandle(), EAssertionFailed);  // no current context
  b->Activate();
  TGLListHandle list;
  list.AllocateHandle();
  EXPECT_THROW(list.AllocateHandle(), EAssertionFailed);
  list.DestroyHandle();
  b->Deactivate();
}

TEST_F(GLContextTest, DestroyingOneOfTwoSharingContextsHandsItsObjectsOver) {
  auto a = Created("a");
  auto b = Created("b");
  a->ShareLists(*b);
  a->Activate();
  TGLListHandle list;
  TGLTextureHandle texture;
  list.AllocateHandle();
  texture.AllocateHandle();
  a->Deactivate();
  GLuint listName = list.Handle(), textureName = texture.Handle();
  ASSERT_NE(listName, 0u);
  ASSERT_NE(textureName, 0u);
  EXPECT_EQ(list.RenderingContext(), a.get());

  gl.Clear();
  a->DestroyContext();
  EXPECT_EQ(gl.Count("glDeleteLists") + gl.Count("glDeleteTextures"), 0);
  EXPECT_EQ(list.RenderingContext(), b.get());
  EXPECT_EQ(texture.RenderingContext(), b.get());
  EXPECT_EQ(list.Handle(), listName);
  EXPECT_EQ(b->OwnedHandles().size(), 2u);
  EXPECT_EQ(b->SharedContexts(), (std::vector<TGLContext*>{b.get()}));

  // The group's last context deletes what it holds.
  gl.Clear();
  b->DestroyContext();
  EXPECT_EQ(gl.Texts(), (TTexts{"ActivateInDriver(b)", "glGetError()", GLCallText("glDeleteLists", listName, 1),
                                "glGetError()", "glGetError()", "glDeleteTextures(1, ptr)", "glGetError()",
                                "DeactivateInDriver(b)", "DestroyInDriver(b)"}));
  EXPECT_EQ(list.Handle(), 0u);
  EXPECT_EQ(texture.RenderingContext(), nullptr);
}

TEST_F(GLContextTest, SharingGroupsMergeWholeAndShrinkOnDestruction) {
  auto a = Created("a");
  auto b = Created("b");
  auto c = Created("c");
  auto d = Created("d");
  a->ShareLists(*b);
  c->ShareLists(*d);
  c->ShareLists(*a);  // joins {c, d} with {a, b}
  for (TFakeGLContext* context : {a.get(), b.get(), c.get(), d.get()})
    EXPECT_EQ(context->SharedContexts().size(), 4u) << context->Name();

  b->Activate();
  TGLTextureHandle texture;
  texture.AllocateHandle();
  b->Deactivate();
  b->DestroyContext();
  for (TFakeGLContext* context : {a.get(), c.get(), d.get()}) {
    EXPECT_EQ(context->SharedContexts().size(), 3u) << context->Name();
    EXPECT_EQ(std::count(context->SharedContexts().begin(), context->SharedContexts().end(), b.get()), 0);
  }
  EXPECT_NE(texture.RenderingContext(), nullptr);
  EXPECT_NE(texture.RenderingContext(), b.get());
}

TEST_F(GLContextTest, DestroyPathsRestoreANestedActivationOfTheCurrentContext) {
  auto a = Created("a");
  auto b = Created("b");
  a->Activate();
  TGLListHandle list;
  list.AllocateHandle();
  a->Deactivate();

  // b is active two levels deep while a's object and then a itself go.
  b->Activate();
  b->Activate();
  gl.Clear();
  list.DestroyHandle();
  EXPECT_EQ(ThreadGLContext(), b.get());
  EXPECT_EQ(b->ActivationCount(), 2);
  EXPECT_EQ(gl.Texts("DeactivateInDriver"), (TTexts{"DeactivateInDriver(b)", "DeactivateInDriver(a)"}));

  a->DestroyContext();
  EXPECT_EQ(ThreadGLContext(), b.get());
  EXPECT_EQ(b->ActivationCount(), 2);
  b->Deactivate();
  b->Deactivate();
  EXPECT_EQ(ThreadGLContext(), nullptr);
}

TEST_F(GLContextTest, ADisplayListThatGLCannotGiveRaises) {
  auto a = Created("a");
  a->Activate();
  TGLListHandle list;
  gl.ListNames = {0};
  EXPECT_THROW(list.AllocateHandle(), EOpenGLError);
  gl.ListNames = {0};
  gl.Errors = {GL_INVALID_OPERATION};
  try {
    list.AllocateHandle();
    FAIL();
  } catch (const EOpenGLError& e) {
    EXPECT_STREQ(e.what(), "invalid operation");
  }
  EXPECT_EQ(list.Handle(), 0u);
  EXPECT_TRUE(a->OwnedHandles().empty());
  gl.ListNames = {0x80000000u};
  EXPECT_THROW(list.AllocateHandle(), ERangeError);
  a->Deactivate();
}

TEST_F(GLContextTest, RaiseOnGLErrorNamesTheFirstErrorAndDrainsEightAtMost) {
  struct TCase {
    int queued;
    std::size_t left;
  };
  for (TCase c : {TCase{1, 0}, TCase{8, 0}, TCase{9, 1}, TCase{12, 4}}) {
    gl.Errors.assign(static_cast<std::size_t>(c.queued), GL_OUT_OF_MEMORY);
    gl.Errors.front() = GL_INVALID_ENUM;
    try {
      RaiseOnGLError();
      ADD_FAILURE() << c.queued;
    } catch (const EOpenGLError& e) {
      EXPECT_STREQ(e.what(), "invalid enumerant");
    }
    EXPECT_EQ(gl.Errors.size(), c.left) << c.queued;
  }
  gl.Errors.clear();
  EXPECT_NO_THROW(RaiseOnGLError());
  gl.Errors.assign(10, 0x1234);  // no text from GLU
  EXPECT_THROW(RaiseOnGLError(), EOpenGLError);
  gl.Errors.assign(10, GL_INVALID_VALUE);
  DrainGLErrors();
  EXPECT_EQ(gl.Errors.size(), 2u);
}

TEST_F(GLContextTest, DestructorsLogFailuresInsteadOfRaising) {
  auto a = Created("a");
  {
    a->Activate();
    TGLTextureHandle texture;
    texture.AllocateHandle();
    gl.Errors = {GL_NO_ERROR, GL_INVALID_VALUE};  // the delete reports an error
  }
  a->Deactivate();
  ASSERT_EQ(Logged.size(), 1u);
  EXPECT_NE(Logged[0].find("invalid value"), std::string::npos);

  a->FailActivation = true;
  a.reset();
  EXPECT_EQ(Logged.size(), 2u);
}

TEST_F(GLContextTest, VirtualHandlesAllocateAndFreeThroughTheirEvents) {
  auto a = Created("a");
  a->Activate();
  TGLVirtualHandle handle;
  std::vector<GLuint> freed;
  handle.OnAllocate = [](TGLVirtualHandle&, GLuint& name) { name = 77; };
  handle.OnDestroy = [&](TGLVirtualHandle&, GLuint& name) { freed.push_back(name); };
  handle.AllocateHandle();
  EXPECT_EQ(handle.Handle(), 77u);
  handle.DestroyHandle();
  EXPECT_EQ(freed, (std::vector<GLuint>{77}));
  EXPECT_EQ(handle.Handle(), 0u);
  a->Deactivate();
}

TEST_F(GLContextTest, ManagerMakesContextsOfTheFirstClassAndGuardsRegistration) {
  std::vector<TGLContextClass> saved = ContextClasses();
  TGLContextManager& manager = *GLContextManager();
  ContextClasses().clear();
  EXPECT_EQ(manager.CreateContext(), nullptr);
  RegisterContextClass([]() -> std::unique_ptr<TGLContext> { return std::make_unique<TFakeGLContext>("first"); });
  RegisterContextClass([]() -> std::unique_ptr<TGLContext> { return std::make_unique<TFakeGLContext>("second"); });
  int before = manager.ContextCount();
  std::unique_ptr<TGLContext> made = manager.CreateContext();
  ContextClasses() = saved;
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(static_cast<TFakeGLContext&>(*made).Name(), "first");
  EXPECT_EQ(made->Manager(), &manager);
  EXPECT_EQ(manager.ContextCount(), before + 1);
  EXPECT_EQ(BRV_ERROR_TEXT(EGLContext, manager.RegisterContext(*made)), "Invalid context registration");

  // Notifications run when the last live GL context goes, the last queued first.
  std::vector<int> order;
  made->CreateContext(0);
  manager.QueueNotification([&] { order.push_back(1); });
  manager.QueueNotification([&] { order.push_back(2); });
  made->DestroyContext();
  EXPECT_EQ(order, (std::vector<int>{2, 1}));
  made.reset();
  EXPECT_EQ(manager.ContextCount(), before);
  TFakeGLContext stranger("s");
  manager.UnRegisterContext(stranger);
  EXPECT_EQ(BRV_ERROR_TEXT(EGLContext, manager.UnRegisterContext(stranger)), "Invalid context registration");
  manager.RegisterContext(stranger);
}

// The process-wide manager goes at the program's end; a context freed after it
// (here one held by a static made before the manager) still unregisters from it.
TEST(GLContextManagerDeathTest, AContextFreedAfterTheProgramsEndStillFindsItsManager) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        static std::unique_ptr<TFakeGLContext> late;
        late = std::make_unique<TFakeGLContext>("late");
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
