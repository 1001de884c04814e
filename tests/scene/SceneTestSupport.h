#pragma once
// Scene objects and checks shared by the scene-tree tests.

#include "scene/GLScene.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using TDrawLog = std::vector<std::string>;

// A node that writes its name to a log when it emits its geometry and, with a
// colour, draws a unit square round its origin in the XY plane.
class TTestNode : public TGLBaseSceneObject {
  BRV_SCENE_OBJECT_CLASS(TTestNode, TGLBaseSceneObject)

public:
  explicit TTestNode(TComponent* owner) : TGLBaseSceneObject(owner) {}

  void EmitGeometry(TRenderContextInfo&) override {
    if (Log) Log->push_back(Name());
    if (!HasColor) return;
    GL->glColor3f(Color.x, Color.y, Color.z);
    GL->glBegin(GL_QUADS);
    GL->glVertex3f(-0.5f, -0.5f, 0);
    GL->glVertex3f(0.5f, -0.5f, 0);
    GL->glVertex3f(0.5f, 0.5f, 0);
    GL->glVertex3f(-0.5f, 0.5f, 0);
    GL->glEnd();
  }
  bool Blended() const override { return IsBlended; }

  TDrawLog* Log = nullptr;
  bool IsBlended = false;
  bool HasColor = false;
  TVector Color{};
};

// A detached test node named `name`, drawing to `log`.
inline std::unique_ptr<TTestNode> MakeNode(const std::string& name, TDrawLog* log = nullptr) {
  auto node = std::make_unique<TTestNode>(nullptr);
  node->SetName(name);
  node->Log = log;
  return node;
}

// The names of a node's children, in order.
inline std::vector<std::string> ChildNames(const TGLBaseSceneObject& node) {
  std::vector<std::string> names;
  for (int i = 0; i < node.Count(); ++i) names.push_back(node.Children(i).Name());
  return names;
}

inline void ExpectVectorNear(const TVector& actual, const TVector& expected, float tolerance = 1e-5f) {
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << "component " << i;
}

// The text of the assertion failure `action` raises ("" when none).
template <class F>
std::string AssertionText(F action) {
  try {
    action();
  } catch (const EAssertionFailed& e) {
    return e.Message();
  }
  return "";
}
