// The scene buffer without a GPU: pick lists, frame timing and the viewport,
// over the recording GL table.

#include "scene/GLSceneBuffer.h"

#include "SceneTestSupport.h"
#include "tests/scene/support/RecordingGL.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Names(const TGLPickList& list) {
  std::vector<std::string> names;
  for (int i = 0; i < list.Count(); ++i) names.push_back(list.Hit(i) ? list.Hit(i)->Name() : "(freed)");
  return names;
}

TEST(GLPickList, EachListKeepsItsOwnOrder) {
  auto bravo = MakeNode("Bravo"), alpha = MakeNode("alpha"), charlie = MakeNode("Charlie"), tie = MakeNode("tie");
  struct TCase {
    TPickSortType Sort;
    std::vector<std::string> Order;
  };
  const TCase cases[] = {
      {psDefault, {"Bravo", "alpha", "Charlie", "tie"}},
      {psName, {"alpha", "Bravo", "Charlie", "tie"}},
      {psMinDepth, {"alpha", "Bravo", "tie", "Charlie"}},
      {psMaxDepth, {"Charlie", "Bravo", "tie", "alpha"}},
  };
  // All lists exist at once: one list's order must not become another's.
  std::vector<std::unique_ptr<TGLPickList>> lists;
  for (const TCase& c : cases) lists.push_back(std::make_unique<TGLPickList>(c.Sort));
  for (auto& list : lists) {
    list->AddHit(*bravo, {}, 0.5f, 0.9f);
    list->AddHit(*alpha, {3, 4}, 0.2f, 0.95f);
    list->AddHit(*charlie, {}, 0.7f, 0.8f);
    list->AddHit(*tie, {}, 0.5f, 0.9f);  // equal to Bravo: after it
  }
  for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(Names(*lists[i]), cases[i].Order) << i;

  alpha.reset();
  EXPECT_EQ(Names(*lists[1])[0], "(freed)");
  EXPECT_EQ(lists[1]->Record(0).SubObjects, (std::vector<int>{3, 4}));
  EXPECT_THROW(lists[1]->Hit(4), EListError);
}

TEST(GLSceneBuffer, FrameRateCountsTheFirstIntervalTwiceAndResizeKeepsOnePixel) {
  TRecordingGL gl;
  TGLSceneBuffer buffer(nullptr);
  auto context = std::make_unique<TFakeGLContext>();
  context->CreateContext(0);
  buffer.SetRenderingContext(std::move(context));
  std::int64_t now = 1000;
  buffer.SetFrameClock([&] { return now; }, 1000);

  struct TStep {
    std::int64_t Advance;
    int Frames;
    float Rate;
  };
  // Frames at 1000, 1100 and 1400 ticks of a 1000-tick clock: 2 frames in 200
  // ticks (the first interval twice), then 3 frames in 500.
  for (const TStep& step : {TStep{0, 1, 0}, TStep{100, 2, 10}, TStep{300, 3, 6}}) {
    now += step.Advance;
    buffer.Render();
    EXPECT_EQ(buffer.FrameCount(), step.Frames);
    EXPECT_FLOAT_EQ(buffer.FrameRate(), step.Rate) << step.Frames;
  }
  buffer.ResetFrameTiming();
  EXPECT_EQ(buffer.FrameCount(), 0);
  EXPECT_EQ(buffer.FrameRate(), 0);

  gl.Clear();
  buffer.Resize(0, -3);
  EXPECT_EQ(buffer.Width(), 1);
  EXPECT_EQ(buffer.Height(), 1);
  EXPECT_EQ(gl.Texts("glViewport"), (std::vector<std::string>{"glViewport(0, 0, 1, 1)"}));
}

}  // namespace
