#include "scene/texture/GLBitmapFont.h"

#include "scene/GLSceneObjectHooks.h"

#include <algorithm>
#include <cstdio>
#include <deque>

// ---------------------------------------------------------------------------
// TBitmapFontRange

TBitmapFontRange::TBitmapFontRange(TCollection* collection) : TCollectionItem(collection) { RangeChanged(); }

void TBitmapFontRange::SetStartASCII(unsigned char value) {
  if (value == FStartASCII) return;
  FStartASCII = value;
  FStopASCII = std::max(FStopASCII, value);
  RangeChanged();
}

void TBitmapFontRange::SetStopASCII(unsigned char value) {
  if (value == FStopASCII) return;
  FStopASCII = value;
  FStartASCII = std::min(FStartASCII, value);
  RangeChanged();
}

void TBitmapFontRange::SetStartGlyphIdx(int value) {
  FStartGlyphIdx = std::max(value, 0);
  Changed();
}

void TBitmapFontRange::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TBitmapFontRange*>(source)) {
    FStartASCII = other->FStartASCII;
    FStopASCII = other->FStopASCII;
    FStartGlyphIdx = other->FStartGlyphIdx;
    RangeChanged();
  } else {
    TCollectionItem::Assign(source);
  }
}

std::string TBitmapFontRange::GetDisplayName() const {
  char text[64];
  std::snprintf(text, sizeof text, "ASCII [#%d, #%d] -> Glyphs [%d, %d]", FStartASCII, FStopASCII, FStartGlyphIdx,
                StopGlyphIdx());
  return text;
}

void TBitmapFontRange::RangeChanged() {
  int width = TBitmapFont::DEFAULT_CHAR_SIZE;
  if (Collection())
    if (auto* font = dynamic_cast<TBitmapFont*>(Collection()->GetOwner())) width = font->CharWidth();
  FCharWidths.assign(std::size_t(FStopASCII - FStartASCII + 1), width);
  Changed();
}

void TBitmapFontRanges::Update(TCollectionItem*) {
  if (auto* sceneObject = dynamic_cast<TGLSceneObjectHooks*>(GetOwner())) sceneObject->MarkStructureDirty();
}

// ---------------------------------------------------------------------------
// TBitmapFont

TBitmapFont::TBitmapFont(TComponent* owner) : TComponent(owner), FRanges(this) {
  FGlyphs.OnChange = [this](TObject*) { InvalidateUsers(); };
}

TBitmapFont::~TBitmapFont() {
  BeginDestruction();
  // Users that hold the font in a weak reference find it null from here on.
  NotifyFree();
  // Then every user still registered hears that its font changed, now to none.
  try {
    InvalidateUsers();
  } catch (...) {
    // A user that fails to take the news cannot keep the font alive; nothing
    // may leave a destructor.
  }
  FGlyphs.OnChange = nullptr;
}

void TBitmapFont::SetRanges(const TBitmapFontRanges& value) {
  FRanges.Assign(&value);
  InvalidateUsers();
}

void TBitmapFont::SetCharWidth(int value) {
  FCharWidth = value < 2 ? 1 : value;
  InvalidateUsers();
}

void TBitmapFont::SetCharHeight(int value) {
  FCharHeight = value < 2 ? 1 : value;
  InvalidateUsers();
}

void TBitmapFont::SetGlyphsIntervalX(int value) {
  FGlyphsIntervalX = std::max(value, 0);
  InvalidateUsers();
}

void TBitmapFont::SetGlyphsIntervalY(int value) {
  FGlyphsIntervalY = std::max(value, 0);
  InvalidateUsers();
}

void TBitmapFont::SetHSpace(int value) {
  FHSpace = std::max(value, 0);
  InvalidateUsers();
}

void TBitmapFont::SetVSpace(int value) {
  FVSpace = std::max(value, 0);
  InvalidateUsers();
}

void TBitmapFont::SetMagFilter(TGLMagFilter value) {
  if (StoreChanged(FMagFilter, value)) FTextureChanged = true;
  InvalidateUsers();
}

void TBitmapFont::SetMinFilter(TGLMinFilter value) {
  if (StoreChanged(FMinFilter, value)) FTextureChanged = true;
  InvalidateUsers();
}

void TBitmapFont::AddUser(TGLUpdateAbleComponent& user) {
  std::erase_if(FUsers, [](const auto& entry) { return !*entry; });
  for (const auto& entry : FUsers)
    BRV_ASSERT_MSG(entry->Get() != &user, "TBitmapFont::AddUser(): " + user.Name() + " is registered already");
  FUsers.push_back(std::make_unique<TWeakRef<TGLUpdateAbleComponent>>());
  *FUsers.back() = &user;
}

void TBitmapFont::RemoveUser(TGLUpdateAbleComponent& user) {
  std::erase_if(FUsers, [&](const auto& entry) { return !*entry || entry->Get() == &user; });
}

int TBitmapFont::UserCount() const {
  return static_cast<int>(std::count_if(FUsers.begin(), FUsers.end(), [](const auto& e) { return bool(*e); }));
}

void TBitmapFont::InvalidateUsers() {
  // A user's ReportChange may register or remove users, or free some: each is
  // reached through a weak reference taken before the first report.
  std::deque<TWeakRef<TGLUpdateAbleComponent>> users;
  for (auto it = FUsers.rbegin(); it != FUsers.rend(); ++it) users.emplace_back() = it->get()->Get();
  for (const TWeakRef<TGLUpdateAbleComponent>& user : users)
    if (user) user->ReportChange(this);
}

void InitializeGLBitmapFont() { RegisterClass(TBitmapFont::StaticClass()); }
