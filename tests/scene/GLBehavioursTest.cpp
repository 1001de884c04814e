// The inertia behaviour: the damping law's worked values, steps of every length,
// the motion it gives its object, and its round trip through a layout's
// behaviour data.

#include "scene/GLBehaviours.h"

#include "tests/base/PersistenceTestSupport.h"
#include "tests/scene/SceneTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>

namespace {

std::unique_ptr<TGLDamping> MakeDamping(float constant, float linear, float quadratic) {
  auto damping = std::make_unique<TGLDamping>(nullptr);
  damping->SetConstant(constant);
  damping->SetLinear(linear);
  damping->SetQuadratic(quadratic);
  return damping;
}

// The damping law as plainly written, without any bound on its work.
double PlainCalculate(const TGLDamping& d, double speed, double deltaTime) {
  for (; deltaTime > 0; deltaTime -= 0.01)
    speed -= ((d.Quadratic() * speed + d.Linear()) * speed + d.Constant()) * std::min(deltaTime, 0.01);
  return speed;
}

TEST(GLDamping, IntegratesInHundredthsOfASecond) {
  struct TCase {
    float Constant, Linear, Quadratic;
    double Speed, DeltaTime, Expected;
  };
  const TCase cases[] = {
      {1, 0, 0, 10, 0.025, 9.975},         // three steps: 0.01, 0.01, 0.005
      {0, 1, 0, 1, 0.02, 0.99 * 0.99},     // two steps of 1 %
      {0, 0, 1, 2, 0.01, 2 - 4 * 0.01},    // one step of s²
      {0, 0, 0, 5, 3, 5},                  // no damping
      {1, 0, 0, 10, -1, 10},               // time going back
      {2, 0, 0, 0.01, 0.02, 0.01 - 0.04},  // damped past zero: the callers stop it there
  };
  for (const TCase& c : cases)
    EXPECT_NEAR(MakeDamping(c.Constant, c.Linear, c.Quadratic)->Calculate(c.Speed, c.DeltaTime), c.Expected, 1e-12)
        << c.Constant << " " << c.Linear << " " << c.Quadratic << " " << c.DeltaTime;

  // Ordinary steps give what the plain law gives, to the last bit.
  std::mt19937 random(26);
  std::uniform_real_distribution<float> term(-2, 2), speed(-50, 50), time(0, 3);
  for (int i = 0; i < 2000; ++i) {
    const auto damping = MakeDamping(term(random), term(random), term(random) / 10);
    const double s = speed(random), t = time(random);
    ASSERT_EQ(damping->Calculate(s, t), PlainCalculate(*damping, s, t)) << i;
  }
}

TEST(GLDamping, EndlessStepsEndWithABoundedAmountOfWork) {
  const double infinity = std::numeric_limits<double>::infinity();
  struct TCase {
    float Constant, Linear, Quadratic;
    double Speed, DeltaTime;
    bool (*Check)(double);
  };
  const TCase cases[] = {
      {0, 0, 0, 5, infinity, [](double s) { return s == 5; }},                // nothing changes it
      {0, 1, 0, 5, infinity, [](double s) { return s >= 0 && s < 1e-300; }},  // decays to rest
      {0, 0, 1, 5, 1e30, [](double s) { return s > 0 && s < 1e-3; }},         // ever slower, cut off
      {1, 0, 0, 5, infinity, [](double s) { return s < -9000; }},             // past zero, cut off
      {0, 0, -1, 5, infinity, [](double s) { return std::isinf(s); }},        // runs away
  };
  for (const TCase& c : cases) {
    const double result = MakeDamping(c.Constant, c.Linear, c.Quadratic)->Calculate(c.Speed, c.DeltaTime);
    EXPECT_TRUE(c.Check(result)) << c.Constant << " " << c.Linear << " " << c.Quadratic << ": " << result;
  }
}

class GLBInertiaTest : public ::testing::Test {
protected:
  GLBInertiaTest() { InitializeGLBehaviours(); }

  TGLScene Scene{nullptr};
  TTestNode& Object = Scene.Objects().AddChild(std::make_unique<TTestNode>(nullptr));
  TGLBInertia& Inertia = Object.Behaviours().Add<TGLBInertia>();
};

TEST_F(GLBInertiaTest, MovesAndTurnsItsObjectBySpeedsDampingSlows) {
  EXPECT_FALSE(Object.Behaviours().AcceptsClass(TGLBInertia::StaticClass())) << "one per object";
  // Without damping: 0.5 along X in half a second.
  Inertia.SetDampingEnabled(false);
  Inertia.TranslationSpeed().SetVector(1, 0, 0);
  Scene.Progress(0.5, 0.5);
  ExpectVectorNear(Object.Position().AsVector(), {0.5f, 0, 0, 1});

  // Damping scales the speed down along its own direction.
  Inertia.SetDampingEnabled(true);
  Inertia.TranslationSpeed().SetVector(0, 3, 4);
  Inertia.TranslationDamping().SetConstant(10);
  Scene.Progress(0.1, 0.6);
  ExpectVectorNear(Inertia.TranslationSpeed().AsVector(), {0, 2.4f, 3.2f, 0});
  ExpectVectorNear(Object.Position().AsVector(), {0.5f, 0.24f, 0.32f, 1});
  // Damping that would reverse the speed stops it where it is.
  Scene.Progress(1, 1.6);
  ExpectVectorNear(Inertia.TranslationSpeed().AsVector(), {0, 0, 0, 0});
  ExpectVectorNear(Object.Position().AsVector(), {0.5f, 0.24f, 0.32f, 1});

  // Rotation speeds turn both ways; their damping slows either way to rest.
  Inertia.SetTurnSpeed(90);
  Inertia.SetRollSpeed(-40);
  Scene.Progress(0.5, 2.1);
  EXPECT_NEAR(Object.TurnAngle(), 45, 1e-4);
  EXPECT_NEAR(Object.RollAngle(), -20, 1e-4);
  Inertia.RotationDamping().SetConstant(1000);
  Scene.Progress(0.1, 2.2);
  EXPECT_EQ(Inertia.TurnSpeed(), 0);
  EXPECT_EQ(Inertia.RollSpeed(), 0);

  // An endless step with nothing moving leaves the object where it is.
  Scene.Progress(std::numeric_limits<double>::infinity(), 3);
  ExpectVectorNear(Object.Position().AsVector(), {0.5f, 0.24f, 0.32f, 1});
  EXPECT_NEAR(Object.TurnAngle(), 45, 1e-4);
}

TEST_F(GLBInertiaTest, TravelsThroughTheObjectsBehaviourData) {
  Inertia.SetName("drift");
  Inertia.SetMass(2.5f);
  Inertia.TranslationSpeed().SetVector(1, -2, 3);
  Inertia.SetTurnSpeed(10);
  Inertia.SetRollSpeed(-20);
  Inertia.SetPitchSpeed(30);
  Inertia.SetDampingEnabled(false);
  Inertia.TranslationDamping().SetLinear(0.5f);
  Inertia.RotationDamping().SetQuadratic(0.25f);

  TMemoryStream stream;
  Object.WriteBehavioursData(stream);
  TTestNode read(nullptr);
  stream.SetPosition(0);
  read.ReadBehavioursData(stream);
  ASSERT_EQ(read.Behaviours().Count(), 1);
  const auto& copy = dynamic_cast<const TGLBInertia&>(*read.Behaviours().GetItem(0));
  EXPECT_EQ(copy.Name(), "drift");
  EXPECT_EQ(copy.RollSpeed(), -20);
  EXPECT_EQ(copy.RotationDamping().Quadratic(), 0.25f);
  // Every other value comes back too: the copy writes the same bytes.
  TMemoryStream again;
  read.WriteBehavioursData(again);
  EXPECT_EQ(again.Bytes(), stream.Bytes());

  // A version this program does not know is refused, and the behaviours stay.
  std::string bytes = stream.Bytes();
  const std::size_t version = bytes.find(std::string("drift")) + 5;
  ASSERT_EQ(bytes.substr(version, 4), std::string("\x02\x00\x02\x00", 4)) << "the base's version, then ours";
  bytes[version + 3] = 7;
  TMemoryStream junk(bytes);
  EXPECT_EQ(BRV_ERROR_TEXT(EReadError, read.ReadBehavioursData(junk)),
            "TGLBInertia: stored version 7, version 0 expected");
  EXPECT_EQ(read.Behaviours().Count(), 1);
}

}  // namespace
