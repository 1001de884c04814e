#include "scene/GLMisc.h"

#include "scene/GLColor.h"
#include "scene/GLSceneObjectHooks.h"

#include "base/Filer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

using TLog = std::vector<std::string>;

// Links of a change chain that write what they hear into one log.
class TLoggingComponent : public TGLUpdateAbleComponent {
  BRV_CLASS(TLoggingComponent, TGLUpdateAbleComponent)

public:
  TLoggingComponent(TComponent* owner, std::string name, TLog& log)
      : TGLUpdateAbleComponent(owner), Name(std::move(name)), Log(log) {}
  void ReportChange(TObject* sender) override {
    Log.push_back(Name + " <- " + sender->ClassName());
    TGLUpdateAbleComponent::ReportChange(sender);
  }
  std::string Name;
  TLog& Log;
};

class TLoggingObject : public TGLUpdateAbleObject {
  BRV_CLASS(TLoggingObject, TGLUpdateAbleObject)

public:
  TLoggingObject(TPersistent* owner, TLog& log) : TGLUpdateAbleObject(owner), Log(log) {
    OnNotifyChange = [this](TObject*) { Log.push_back("object event"); };
  }
  void ReportChange(TObject* sender) override {
    Log.push_back(std::string("object <- ") + sender->ClassName());
    TGLUpdateAbleObject::ReportChange(sender);
  }
  TLog& Log;
};

// A scene object as far as its coordinates and colours see one.
class TFakeSceneObject : public TGLUpdateAbleComponent, public TGLSceneObjectHooks {
  BRV_CLASS(TFakeSceneObject, TGLUpdateAbleComponent)

public:
  explicit TFakeSceneObject(TLog& log) : TGLUpdateAbleComponent(nullptr), Log(log) {}
  void CoordinatesEdited(TGLCoordinates& sender) override { Log.push_back("edited " + std::to_string(sender.X())); }
  void MarkStructureDirty() override { Log.push_back("structure"); }
  void ReportChange(TObject* sender) override { Log.push_back(std::string("node <- ") + sender->ClassName()); }
  TLog& Log;
};

TNotifyEvent Logging(TLog& log, std::string text) {
  return [&log, text](TObject*) { log.push_back(text); };
}

TEST(GLMisc, ChangesReachEveryUpdateAbleOwnerBeforeTheEvents) {
  TLog log;
  TComponent form(nullptr);  // not in the change chain: the report stops at root, without error
  TLoggingComponent root(&form, "root", log);
  TLoggingComponent component(&root, "component", log);
  TLoggingObject object(&component, log);
  TGLColor color(&object, {0, 0, 0, 1}, Logging(log, "color event"));
  color.SetRed(0.5f);
  EXPECT_EQ(log, (TLog{"object <- TGLColor", "component <- TLoggingObject", "root <- TLoggingComponent",
                       "object event", "color event"}));

  // A plain owner ends the chain; the object's own event still fires. Without an
  // owner nothing is reported at all.
  log.clear();
  TGLColor ownedByForm(&form, {0, 0, 0, 1}, Logging(log, "form's color event"));
  ownedByForm.SetGreen(1);
  TGLColor unowned(nullptr, {0, 0, 0, 1}, Logging(log, "unowned event"));
  unowned.SetGreen(1);
  EXPECT_EQ(log, TLog{"form's color event"});
}

TEST(GLMisc, UpdatesHoldReportsBackUntilTheLastEnd) {
  TLog log;
  TLoggingComponent owner(nullptr, "owner", log);
  TFakeSceneObject node(log);
  TGLColor color(&owner);
  TGLCoordinates position(&owner, {0, 0, 0, 1}, csPoint);
  TGLCoordinates nodePosition(&node, {0, 0, 0, 1}, csPoint);
  struct TCase {
    TGLUpdateAbleObject& Object;
    std::function<void(float)> Change;
    const char* Report;
  };
  const TCase cases[] = {{color, [&](float v) { color.SetBlue(v); }, "owner <- TGLColor"},
                         {position, [&](float v) { position.SetX(v); }, "owner <- TGLCoordinates"},
                         {nodePosition, [&](float v) { nodePosition.SetY(v); }, "edited 0.000000"}};
  for (const TCase& c : cases) {
    log.clear();
    c.Object.BeginUpdate();
    c.Object.BeginUpdate();
    c.Change(0.25f);
    c.Change(0.5f);
    c.Object.EndUpdate();
    EXPECT_EQ(log, TLog{}) << c.Report;
    c.Object.EndUpdate();
    EXPECT_EQ(log, TLog{c.Report});
    try {
      c.Object.EndUpdate();
      ADD_FAILURE() << "unbalanced EndUpdate accepted";
    } catch (const EAssertionFailed& e) {
      EXPECT_EQ(e.Message(), "Unbalanced Begin/EndUpdate");
    }
    EXPECT_EQ(c.Object.UpdateCount(), 0);
  }
}

TEST(GLMisc, SceneObjectOwnersHearThroughTheirHooks) {
  TLog log;
  TFakeSceneObject node(log);
  TGLCoordinates position(&node, {0, 0, 0, 1}, csPoint);
  TGLColor color(&node);
  position.SetX(3);
  position.SetX(3);  // unchanged, still reported
  color.SetRed(1);
  color.SetRed(1);   // unchanged, not reported
  color.SetColor(color.Color());
  EXPECT_EQ(log, (TLog{"edited 3.000000", "edited 3.000000", "structure", "node <- TGLColor", "structure",
                       "node <- TGLColor"}));
}

TEST(GLMisc, CoordinatesKeepTheirStyle) {
  auto assertsIn = [](auto action) {
    try {
      action();
    } catch (const EAssertionFailed& e) {
      return e.Unit();
    }
    return std::string("no assertion");
  };
  TGLCoordinates point(nullptr, {1, 2, 3, 1}, csPoint);
  TGLCoordinates vector(nullptr, {0, 0, 1, 0}, csVector);
  TGLCoordinates free(nullptr, {1, 1, 1, 7}, csFree);
  EXPECT_EQ(assertsIn([&] { point.SetVector(1, 0, 0); }), "GLMisc");
  EXPECT_EQ(assertsIn([&] { point.SetVector4(1, 0, 0, 0); }), "GLMisc");
  EXPECT_EQ(assertsIn([&] { vector.SetPoint(1, 0, 0); }), "GLMisc");
  EXPECT_TRUE(point.Equals({1, 2, 3, 1}));
  EXPECT_TRUE(vector.Equals({0, 0, 1, 0}));

  struct TCase {
    TGLCoordinates& Coordinates;
    float W;
  };
  for (const TCase& c : {TCase{point, 1}, TCase{vector, 0}, TCase{free, 0.5f}}) {
    c.Coordinates.SetAsVector({4, 5, 6, 0.5f});
    EXPECT_TRUE(c.Coordinates.Equals({4, 5, 6, c.W})) << "style " << int(c.Coordinates.Style());
  }
  free.SetVector(1, 2, 3);
  EXPECT_EQ(free.W(), 0);
  free.SetPoint(1, 2, 3);
  EXPECT_EQ(free.W(), 1);
  EXPECT_THROW(free.SetCoordinate(4, 0), ERangeError);
  EXPECT_THROW(free.Coordinate(-1), ERangeError);
  EXPECT_THROW(free.Assign(nullptr), EConvertError);
  TGLColor color(nullptr);
  EXPECT_THROW(free.Assign(&color), EConvertError);
}

TEST(GLMisc, ReportsComeFromSettersButNotFromInPlaceArithmetic) {
  int reports = 0;
  TComponent owner(nullptr);
  TGLCoordinates c(&owner, {3, 0, 4, 0}, csVector);
  c.OnNotifyChange = [&](TObject*) { ++reports; };
  TGLCoordinates other(nullptr, {1, 1, 1, 0}, csVector);

  c.Scale(2);
  EXPECT_TRUE(c.Equals({6, 0, 8, 0}));
  c.Normalize();
  EXPECT_FLOAT_EQ(c.VectorLength(), 1);
  c.Rotate({0, 1, 0}, float(M_PI / 2));
  c.Assign(&other);
  EXPECT_EQ(reports, 0);
  EXPECT_TRUE(c.Equals({1, 1, 1, 0}));

  c.AddScaledVector(2, {1, 0, -1, 0.5f});
  EXPECT_TRUE(c.Equals({3, 1, -1, 1}));  // all four components
  EXPECT_EQ(reports, 1);
  c.SetVector4(0, 0, 0, -0.0f);
  EXPECT_FALSE(c.Equals({0, 0, 0, 0}));  // bit for bit
  EXPECT_EQ(reports, 2);
}

TEST(GLMisc, StoredFormsAreSixteenLittleEndianSingles) {
  // 1.0, -2.0, 0.5, 1.0 as IEEE singles, lowest byte first.
  const std::string bytes("\x00\x00\x80\x3F\x00\x00\x00\xC0\x00\x00\x00\x3F\x00\x00\x80\x3F", 16);
  const TVector value{1, -2, 0.5f, 1};
  int reports = 0;
  TComponent owner(nullptr);
  TGLCoordinates coordinates(&owner, value, csPoint);
  TGLColor color(&owner, value, [&](TObject*) { ++reports; });

  TMemoryStream coordinatesData, colorData;
  coordinates.WriteData(coordinatesData);
  color.WriteData(colorData);
  EXPECT_EQ(coordinatesData.Bytes(), bytes);
  EXPECT_EQ(colorData.Bytes(), bytes);

  TGLCoordinates readCoordinates(&owner, {}, csPoint);
  TGLColor readColor(&owner);
  readColor.OnNotifyChange = [&](TObject*) { ++reports; };
  coordinatesData.SetPosition(0);
  colorData.SetPosition(0);
  readCoordinates.ReadData(coordinatesData);
  readColor.ReadData(colorData);
  EXPECT_TRUE(readCoordinates.Equals(value));
  EXPECT_TRUE(Vec4Equal(readColor.Color(), value));
  EXPECT_EQ(reports, 0);

  // Cut short: an error, and the value stays.
  TMemoryStream shortData(bytes.substr(0, 10));
  EXPECT_THROW(readCoordinates.ReadData(shortData), EReadError);
  shortData.SetPosition(0);
  EXPECT_THROW(readColor.ReadData(shortData), EReadError);
  EXPECT_TRUE(readCoordinates.Equals(value));
  EXPECT_TRUE(Vec4Equal(readColor.Color(), value));

  // Inside item streams: version 0, True, the same 16 bytes.
  TMemoryStream item;
  {
    TWriter writer(item);
    coordinates.WriteToFiler(writer);
  }
  EXPECT_EQ(item.Bytes(), std::string("\x02\x00\x09", 3) + bytes);
  TMemoryStream withoutValue(std::string("\x02\x00\x08", 3));
  for (TMemoryStream* stream : {&item, &withoutValue}) {
    stream->SetPosition(0);
    TGLCoordinates read(&owner, {9, 9, 9, 9}, csFree);
    TReader reader(*stream);
    read.ReadFromFiler(reader);
    EXPECT_TRUE(read.Equals(stream == &item ? value : TVector{9, 9, 9, 9}));
  }
}

TEST(GLMisc, NextPowerOfTwo) {
  const std::pair<int, int> cases[] = {{-5, 1}, {0, 1}, {1, 1}, {2, 2}, {3, 4}, {256, 256}, {257, 512}, {1 << 30, 1 << 30}};
  for (auto [n, power] : cases) EXPECT_EQ(NextPowerOfTwo(n), power) << n;
  EXPECT_THROW(NextPowerOfTwo((1 << 30) + 1), EIntOverflow);
}

TEST(GLMisc, TextToFloatDefReadsBothSeparators) {
  const double DEF = -99;
  const std::pair<const char*, double> cases[] = {
      {"3,25", 3.25}, {"3.25", 3.25}, {"-2", -2},  {"1 000", 1000}, {"+7", 7},    {"", 0},
      {" 12 ", 12},   {"-,5", -0.5},  {"0.1", 0.1}, {"1.2.3", DEF},  {"1-2", DEF}, {"3. 5", DEF},
      {"abc", DEF},   {"1e3", DEF},   {"--1", DEF}, {"\t1", DEF},
  };
  for (auto [text, expected] : cases) EXPECT_EQ(TextToFloatDef(text, DEF), expected) << '"' << text << '"';
}

TEST(GLColor, PlatformColoursConvertBothWays) {
  EXPECT_TRUE(Vec4Equal(ConvertWinColor(0x0000FF), {1, 0, 0, 1}));
  EXPECT_EQ(ConvertColorVector({1, 0, 0, 1}), 0x0000FF);
  EXPECT_TRUE(Vec4Equal(ConvertWinColor(MakeRGB(0, 255, 51), 0.5f), {0, 1, 0.2f, 0.5f}));
  // Every byte survives the round trip.
  for (int v = 0; v < 256; ++v) EXPECT_EQ(ConvertColorVector(ConvertWinColor(MakeRGB(v, 255 - v, v / 2))), MakeRGB(v, 255 - v, v / 2));
  // 127.5 rounds to the even 128.
  EXPECT_EQ(ConvertColorVector({0.5f, 0, 0, 1}), 128);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (TVector bad : {TVector{1.01f, 0, 0, 1}, TVector{0, -0.01f, 0, 1}, TVector{0, 0, nan, 1}})
    EXPECT_THROW(ConvertColorVector(bad), ERangeError);
  TGLColor color(nullptr, {2, 0, 0, 1});
  EXPECT_THROW(color.AsWinColor(), ERangeError);

  // System colours come from the table; an index beyond it is black.
  const auto& system = GLSystemColors();
  for (int i = 0; i < SYSTEM_COLOR_COUNT; ++i) {
    EXPECT_TRUE(Vec4Equal(ConvertWinColor(SystemColorValue(i)), system[i])) << i;
    EXPECT_EQ(system[i].w, 1);
  }
  EXPECT_EQ(ColorToRGB(SystemColorValue(25)), 0);
  EXPECT_NE(ColorToRGB(SystemColorValue(15)), ColorToRGB(SystemColorValue(8)));  // button face, window text

  int reports = 0;
  TComponent owner(nullptr);
  TGLColor fromSystem(&owner, {0, 0, 0, 0.5f}, [&](TObject*) { ++reports; });
  fromSystem.SetAsWinColor(SystemColorValue(15));
  EXPECT_TRUE(Vec4Equal(fromSystem.Color(), system[15]));
  EXPECT_EQ(reports, 1);
  EXPECT_THROW(fromSystem.SetComponent(4, 0), ERangeError);
  TGLColor copy(&owner);
  copy.OnNotifyChange = [&](TObject*) { ++reports; };
  copy.Assign(&fromSystem);
  EXPECT_TRUE(Vec4Equal(copy.Color(), system[15]));
  EXPECT_EQ(reports, 2);
}

}  // namespace
