// The shadow map's sizes, and depth buffers and shadows without a camera or a caster.

#include "scene/GLzBuffer.h"

#include "tests/base/RecordingDialogs.h"

#include <gtest/gtest.h>

namespace {

TEST(GLzBuffer, TheMapTakesTheNextPowerOfTwoOfTheShadowedArea) {
  for (const auto& [value, stored, map] : {std::tuple{885, 885, 1024}, {387, 387, 512}, {0, 0, 2}, {1, 1, 2},
                                           {2, 2, 2}, {-7, 0, 2}, {1 << 30, 8192, 8192}}) {
    TZShadows shadows(nullptr);
    EXPECT_EQ(shadows.MapWidth(), 64);
    shadows.SetWidth(value);
    shadows.SetHeight(value);
    EXPECT_EQ(shadows.Width(), stored) << value;
    EXPECT_EQ(shadows.MapWidth(), map) << value;
    EXPECT_EQ(shadows.MapHeight(), map) << value;
  }
}

TEST(GLzBuffer, NoCameraIsToldOncePerDepthBufferAndNothingIsCastWithoutCaster) {
  TRecordingDialogs dialogs;
  TGLSceneBuffer buffer(nullptr);
  TGLzBuffer first, second;
  for (int i = 0; i < 3; ++i) first.AttachToViewer(buffer);
  first.Refresh();
  EXPECT_EQ(dialogs.Messages, std::vector<std::string>{"No Camera!"});
  second.AttachToViewer(buffer);
  EXPECT_EQ(dialogs.Messages.size(), 2u);
  float x = 1, y = 1, depth = 1;
  EXPECT_FALSE(first.WorldToPixel({0, 0, -1}, x, y, depth));
  EXPECT_FALSE(TZShadows(nullptr).CastShadow());
}

}  // namespace
