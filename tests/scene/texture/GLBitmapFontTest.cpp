// The bitmap font's data: its ranges, its setters' limits, and the users that
// hear of its changes and of its end.

#include "scene/texture/GLBitmapFont.h"

#include "tests/scene/SceneTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// An object that draws with a font: it counts the reports it hears and keeps
// the font in a weak reference.
class TFontUser : public TGLUpdateAbleComponent {
  BRV_CLASS(TFontUser, TGLUpdateAbleComponent)

public:
  TFontUser(const std::string& name, std::vector<std::string>& log) : TGLUpdateAbleComponent(nullptr), FLog(log) {
    SetName(name);
    Font.OnFreed = [this] { FLog.push_back(Name() + " lost its font"); };
  }
  void ReportChange(TObject*) override {
    FLog.push_back(Name() + (Font ? " redraws" : " redraws without its font"));
  }
  TWeakRef<TBitmapFont> Font;

private:
  std::vector<std::string>& FLog;
};

TEST(GLBitmapFont, RangesMapCharactersToGlyphs) {
  TBitmapFont font(nullptr);
  font.SetCharWidth(12);
  TBitmapFontRange& range = font.Ranges().Add();
  range.SetStartASCII('A');
  range.SetStopASCII('Z');
  EXPECT_EQ(range.GetDisplayName(), "ASCII [#65, #90] -> Glyphs [0, 25]");
  EXPECT_EQ(range.CharWidths(), std::vector<int>(26, 12));
  range.SetStartGlyphIdx(-4);
  EXPECT_EQ(range.StartGlyphIdx(), 0);

  range.SetStartASCII('z');
  EXPECT_EQ(range.StopASCII(), 'z');
  range.SetStopASCII('a');
  EXPECT_EQ(range.StartASCII(), 'a');
  range.SetStopASCII(200);
  range.SetStartGlyphIdx(10);
  EXPECT_EQ(range.GetDisplayName(), "ASCII [#97, #200] -> Glyphs [10, 113]");
  EXPECT_EQ(range.CharWidths().size(), 104u);
}

TEST(GLBitmapFont, SettersKeepSizesDrawable) {
  struct TCase {
    const char* Name;
    void (TBitmapFont::*Set)(int);
    int (TBitmapFont::*Get)() const;
    int Value, Stored;
  };
  const TCase cases[] = {
      {"CharWidth 0", &TBitmapFont::SetCharWidth, &TBitmapFont::CharWidth, 0, 1},
      {"CharWidth 2", &TBitmapFont::SetCharWidth, &TBitmapFont::CharWidth, 2, 2},
      {"CharHeight -7", &TBitmapFont::SetCharHeight, &TBitmapFont::CharHeight, -7, 1},
      {"HSpace -3", &TBitmapFont::SetHSpace, &TBitmapFont::HSpace, -3, 0},
      {"GlyphsIntervalX -1", &TBitmapFont::SetGlyphsIntervalX, &TBitmapFont::GlyphsIntervalX, -1, 0},
      {"GlyphsIntervalY 3", &TBitmapFont::SetGlyphsIntervalY, &TBitmapFont::GlyphsIntervalY, 3, 3},
  };
  std::vector<std::string> log;
  TBitmapFont font(nullptr);
  TFontUser user("label", log);
  user.Font = &font;
  font.AddUser(user);
  for (const TCase& c : cases) {
    log.clear();
    (font.*c.Set)(c.Value);
    EXPECT_EQ((font.*c.Get)(), c.Stored) << c.Name;
    EXPECT_EQ(log, (std::vector<std::string>{"label redraws"})) << c.Name;
  }
  font.RemoveUser(user);
}

TEST(GLBitmapFont, UsersHearOfChangesAndOfTheFontsEnd) {
  std::vector<std::string> log;
  TFontUser first("first", log), second("second", log);
  auto font = std::make_unique<TBitmapFont>(nullptr);
  for (TFontUser* user : {&first, &second}) {
    user->Font = font.get();
    font->AddUser(*user);
  }
  EXPECT_NE(AssertionText([&] { font->AddUser(first); }), "");

  // Last registered first; a new picture tells them too.
  TBitmap glyphs(32, 16, pf32bit);
  font->Glyphs().SetGraphic(&glyphs);
  EXPECT_EQ(log, (std::vector<std::string>{"second redraws", "first redraws"}));

  // A user that goes first drops off the list.
  {
    TFontUser passing("passing", log);
    font->AddUser(passing);
    EXPECT_EQ(font->UserCount(), 3);
  }
  EXPECT_EQ(font->UserCount(), 2);

  // The font goes while it has users: they lose it, then redraw without it.
  log.clear();
  font.reset();
  EXPECT_EQ(log, (std::vector<std::string>{"second lost its font", "first lost its font",
                                           "second redraws without its font", "first redraws without its font"}));
  EXPECT_FALSE(first.Font);
}

}  // namespace
