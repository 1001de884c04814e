#pragma once
// The data of a font drawn from a picture of glyphs: the picture, the ranges of
// characters that map to glyph indices, the glyph cell sizes and spacings, the
// texture filters, and the objects that draw with the font, which hear of every
// change.
//
// A user keeps the font in a TWeakRef<TBitmapFont> and registers with AddUser.
// When the font is freed first, the reference becomes null (its event runs),
// and then the user hears ReportChange(font) so that it redraws without it.
//
//   TBitmapFont font(nullptr);
//   TBitmapFontRange& letters = font.Ranges().Add();
//   letters.SetStartASCII('A');
//   letters.SetStopASCII('Z');   // glyphs 0..25
//   font.AddUser(label);

#include "base/Collections.h"
#include "base/Components.h"
#include "scene/GLMisc.h"
#include "scene/texture/GLTexture.h"
#include "scene/texture/Picture.h"

#include <memory>
#include <string>
#include <vector>

// Consecutive characters StartASCII..StopASCII drawn by consecutive glyphs from
// StartGlyphIdx on.
class TBitmapFontRange : public TCollectionItem {
  BRV_COLLECTION_ITEM_CLASS(TBitmapFontRange, TCollectionItem)

public:
  // The range of character 0 alone, at glyph 0.
  explicit TBitmapFontRange(TCollection* collection);

  // Characters as their codes 0..255. Setting the start above the stop raises
  // the stop with it; setting the stop below the start lowers the start.
  unsigned char StartASCII() const { return FStartASCII; }
  void SetStartASCII(unsigned char value);
  unsigned char StopASCII() const { return FStopASCII; }
  void SetStopASCII(unsigned char value);
  // A negative index is stored as 0.
  int StartGlyphIdx() const { return FStartGlyphIdx; }
  void SetStartGlyphIdx(int value);
  int StopGlyphIdx() const { return FStartGlyphIdx + (FStopASCII - FStartASCII); }
  // The width of each character of the range, the font's CharWidth as of the
  // range's last change.
  const std::vector<int>& CharWidths() const { return FCharWidths; }

  // From another range: the two characters and the first glyph.
  void Assign(const TPersistent* source) override;
  // "ASCII [#65, #90] -> Glyphs [0, 25]".
  std::string GetDisplayName() const override;

private:
  // The widths follow the range, and the collection hears of the change.
  void RangeChanged();

  unsigned char FStartASCII = 0;
  unsigned char FStopASCII = 0;
  int FStartGlyphIdx = 0;
  std::vector<int> FCharWidths;
};

// The ranges of a font; a change makes an owner that is a scene object rebuild
// its drawing.
class TBitmapFontRanges : public TOwnedCollection {
  BRV_CLASS(TBitmapFontRanges, TOwnedCollection)

public:
  explicit TBitmapFontRanges(TPersistent* owner) : TOwnedCollection(owner, TBitmapFontRange::StaticClass()) {}

  TBitmapFontRange& Items(int index) const { return static_cast<TBitmapFontRange&>(TCollection::Items(index)); }
  TBitmapFontRange& Add() { return static_cast<TBitmapFontRange&>(TCollection::Add()); }

protected:
  void Update(TCollectionItem* item) override;
};

class TBitmapFont : public TComponent {
  BRV_CLASS(TBitmapFont, TComponent)

public:
  static constexpr int DEFAULT_CHAR_SIZE = 16;

  // No glyphs, no ranges, 16 x 16 cells 1 apart, linear filters.
  explicit TBitmapFont(TComponent* owner);
  // Tells the users the font is gone (see the top of this file).
  ~TBitmapFont() override;

  // Every setter below tells the users, changed value or not.
  TPicture& Glyphs() { return FGlyphs; }
  const TPicture& Glyphs() const { return FGlyphs; }
  void SetGlyphs(const TPicture& value) { FGlyphs.Assign(&value); }
  TBitmapFontRanges& Ranges() { return FRanges; }
  const TBitmapFontRanges& Ranges() const { return FRanges; }
  void SetRanges(const TBitmapFontRanges& value);
  // Values below 2 are stored as 1.
  int CharWidth() const { return FCharWidth; }
  void SetCharWidth(int value);
  int CharHeight() const { return FCharHeight; }
  void SetCharHeight(int value);
  // Pixels between glyphs in the picture, and between characters drawn; negative
  // values are stored as 0.
  int GlyphsIntervalX() const { return FGlyphsIntervalX; }
  void SetGlyphsIntervalX(int value);
  int GlyphsIntervalY() const { return FGlyphsIntervalY; }
  void SetGlyphsIntervalY(int value);
  int HSpace() const { return FHSpace; }
  void SetHSpace(int value);
  int VSpace() const { return FVSpace; }
  void SetVSpace(int value);
  // A changed filter also marks the texture as to be made again.
  TGLMagFilter MagFilter() const { return FMagFilter; }
  void SetMagFilter(TGLMagFilter value);
  TGLMinFilter MinFilter() const { return FMinFilter; }
  void SetMinFilter(TGLMinFilter value);
  bool TextureChanged() const { return FTextureChanged; }
  TGLTextureHandle& TextureHandle() { return FTextureHandle; }

  // Registers an object that draws with the font; registering one twice is an
  // assertion failure. A user freed while registered simply drops off the list.
  void AddUser(TGLUpdateAbleComponent& user);
  void RemoveUser(TGLUpdateAbleComponent& user);
  int UserCount() const;
  // ReportChange(font) to each user, the last registered first.
  void InvalidateUsers();

private:
  TPicture FGlyphs;
  int FGlyphsIntervalX = 0;
  int FGlyphsIntervalY = 0;
  TBitmapFontRanges FRanges;
  int FCharWidth = DEFAULT_CHAR_SIZE;
  int FCharHeight = DEFAULT_CHAR_SIZE;
  int FHSpace = 1;
  int FVSpace = 1;
  TGLMagFilter FMagFilter = maLinear;
  TGLMinFilter FMinFilter = miLinear;
  std::vector<std::unique_ptr<TWeakRef<TGLUpdateAbleComponent>>> FUsers;
  TGLTextureHandle FTextureHandle;
  bool FTextureChanged = true;
};

// Start-up registration of TBitmapFont for layouts. Running it again does nothing.
void InitializeGLBitmapFont();
