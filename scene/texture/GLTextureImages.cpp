// The texture image kinds and their registry.

#include "scene/texture/GLTexture.h"

#include "base/Dialogs.h"
#include "base/Strings.h"
#include "platform/FileNames.h"
#include "scene/GLDataFile.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <utility>
#include <vector>

namespace {

constexpr std::int64_t LINK_FILE_LIMIT = 512;

// In registration order; the four built-in kinds come first.
std::vector<const TGLTextureImageClass*>& ImageClasses() {
  static std::vector<const TGLTextureImageClass*> classes = {
      &TGLBlankImage::StaticClass(), &TGLPersistentImage::StaticClass(), &TGLPicFileImage::StaticClass(),
      &TGLCubeMapImage::StaticClass()};
  return classes;
}

// The integer a whole text stands for, blanks around it allowed.
bool ParseInteger(const std::string& text, int& value) {
  const std::string t = Trimmed(text);
  std::size_t i = (!t.empty() && (t[0] == '-' || t[0] == '+')) ? 1 : 0;
  if (i == t.size()) return false;
  long long result = 0;
  for (; i < t.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(t[i]))) return false;
    result = result * 10 + (t[i] - '0');
    if (result > INT_MAX + 1LL) return false;
  }
  if (t[0] == '-') result = -result;
  if (result > INT_MAX || result < INT_MIN) return false;
  value = static_cast<int>(result);
  return true;
}

int IntegerOr(const std::string& text, int fallback) {
  int value;
  return ParseInteger(text, value) ? value : fallback;
}

int StrToInt(const std::string& text) {
  int value;
  if (!ParseInteger(text, value)) throw EConvertError("'" + text + "' is not a valid integer value");
  return value;
}

// The value of `name` among name=value lines (names compared ignoring case), or "".
std::string ValueOf(const std::string& text, const std::string& name) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos && SameText(std::string_view(line).substr(0, equals), name))
      return line.substr(equals + 1);
    start = end + 1;
  }
  return std::string();
}

[[noreturn]] void CouldNotOpen(const std::string& fileName) {
  throw ETexture("Could not open file: " + fileName);
}

// Runs `change` on a picture of an image without its change hook: the image
// itself changes the picture and must not be invalidated meanwhile.
template <class TChange>
void ChangeQuietly(TPicture& picture, TChange change) {
  auto hook = std::exchange(picture.OnChange, nullptr);
  try {
    change(picture);
  } catch (...) {
    picture.OnChange = std::move(hook);
    throw;
  }
  picture.OnChange = std::move(hook);
}

}  // namespace

// ---------------------------------------------------------------------------
// Registry

void RegisterImageClass(const TGLTextureImageClass& imageClass) {
  BRV_ASSERT_MSG(imageClass.CanCreate(), "RegisterImageClass(): " + imageClass.ClassName() + " cannot be created");
  ImageClasses().push_back(&imageClass);
}

const TGLTextureImageClass* ImageClassByName(std::string_view className) {
  for (const TGLTextureImageClass* c : ImageClasses())
    if (c->ClassName() == className) return c;
  return nullptr;
}

// ---------------------------------------------------------------------------
// TGLTextureImage

TGLTextureImage::TGLTextureImage(TGLTexture* owner) : TGLUpdateAbleObject(owner), FOwnerTexture(owner) {
  BRV_ASSERT_MSG(owner != nullptr, "TGLTextureImage: an image needs its texture");
}

void TGLTextureImage::ReportChange(TObject* sender) {
  FOwnerTexture->NotifyImageChange();
  FOwnerTexture->ReportChange(sender);
}

void TGLTextureImage::LoadFromFile(const std::string& fileName) { NeededFileName(fileName); }

void TGLTextureImage::Invalidate() {
  ReleaseBitmap();
  FOwnerTexture->NotifyImageChange();
  ReportChange(this);
}

std::string TGLTextureImage::NeededFileName(const std::string& fileName) {
  std::string name = fileName;
  if (OnTextureNeeded) OnTextureNeeded(this, name);
  // Models and looks made on Windows name their pictures in any letter case.
  if (!FileExists(name))
    if (std::string found = FindFileIgnoringCase(name); !found.empty()) name = std::move(found);
  return name;
}

// ---------------------------------------------------------------------------
// TGLBlankImage

void TGLBlankImage::SetWidth(int value) {
  value = std::clamp(value, 1, MAX_SIDE);
  if (value == FWidth) return;
  FWidth = value;
  Invalidate();
}

void TGLBlankImage::SetHeight(int value) {
  value = std::clamp(value, 1, MAX_SIDE);
  if (value == FHeight) return;
  FHeight = value;
  Invalidate();
}

TGLBitmap32* TGLBlankImage::AcquireBitmap(GLenum) {
  if (!FBitmap) {
    // New bitmaps are zeroed: a blank texture shows transparent black, never
    // whatever the memory held.
    auto bitmap = std::make_unique<TGLBitmap32>();
    bitmap->SetWidth(FWidth);
    bitmap->SetHeight(FHeight);
    FBitmap = std::move(bitmap);
  }
  return FBitmap.get();
}

void TGLBlankImage::Assign(const TPersistent* source) {
  if (auto* blank = dynamic_cast<const TGLBlankImage*>(source)) {
    FWidth = blank->FWidth;
    FHeight = blank->FHeight;
    Invalidate();
  } else {
    TGLTextureImage::Assign(source);
  }
}

bool TGLBlankImage::Edit() {
  const std::string answer = Dialogs().InputQuery(
      "Blank Image", "Enter size", std::to_string(FWidth) + " x " + std::to_string(FHeight));
  const std::size_t x = answer.find('x');
  if (x == std::string::npos) {
    Dialogs().ShowMessage("Invalid size");
    return false;
  }
  SetWidth(IntegerOr(answer.substr(0, x), 256));
  SetHeight(IntegerOr(answer.substr(x + 1), 256));
  return true;
}

void TGLBlankImage::SaveToFile(const std::string& fileName) {
  SaveStringToFile(fileName,
                   "[BlankImage]\r\nWidth=" + std::to_string(FWidth) + "\r\nHeight=" + std::to_string(FHeight));
}

void TGLBlankImage::LoadFromFile(const std::string& fileName) {
  const std::string name = NeededFileName(fileName);
  if (!FileExists(name)) CouldNotOpen(name);
  const std::string text = LoadStringFromFile(name);
  // Both values are read before either is stored: a bad file changes nothing.
  const int width = StrToInt(ValueOf(text, "Width"));
  const int height = StrToInt(ValueOf(text, "Height"));
  SetWidth(width);
  SetHeight(height);
}

// ---------------------------------------------------------------------------
// TGLPictureImage

TPicture& TGLPictureImage::Picture() {
  if (!FPicture) {
    FPicture = std::make_unique<TPicture>();
    FPicture->OnChange = [this](TObject*) { Invalidate(); };
  }
  return *FPicture;
}

TGLBitmap32* TGLPictureImage::AcquireBitmap(GLenum) {
  if (!FBitmap) {
    auto bitmap = std::make_unique<TGLBitmap32>();
    bitmap->Assign(Picture().Graphic());
    FBitmap = std::move(bitmap);
  }
  return FBitmap.get();
}

void TGLPictureImage::Assign(const TPersistent* source) {
  if (auto* persistent = dynamic_cast<const TGLPersistentImage*>(source)) {
    if (persistent == this) return;
    Picture().Assign(persistent->FPicture.get());
  } else if (dynamic_cast<const TPicture*>(source) || dynamic_cast<const TBitmap*>(source)) {
    Picture().Assign(source);
  } else {
    TGLTextureImage::Assign(source);
  }
}

// ---------------------------------------------------------------------------
// TGLPersistentImage

bool TGLPersistentImage::Edit() {
  std::string fileName;
  if (!Dialogs().OpenPicture(fileName)) return false;
  LoadFromFile(fileName);
  ReportChange(this);
  return true;
}

void TGLPersistentImage::SaveToFile(const std::string& fileName) { Picture().SaveToFile(fileName); }

void TGLPersistentImage::LoadFromFile(const std::string& fileName, int maxSide) {
  const std::string name = NeededFileName(fileName);
  if (FileExists(name)) {
    Picture().LoadFromFile(name, maxSide);
  } else {
    Picture().Clear();
    CouldNotOpen(name);
  }
}

// ---------------------------------------------------------------------------
// TGLPicFileImage

void TGLPicFileImage::SetPictureFileName(const std::string& name) {
  if (name == FPictureFileName) return;
  FPictureFileName = name;
  Invalidate();
}

void TGLPicFileImage::Assign(const TPersistent* source) {
  // A new name must also drop the picture of the old one: through the setter.
  if (auto* other = dynamic_cast<const TGLPicFileImage*>(source))
    SetPictureFileName(other->FPictureFileName);
  else
    TGLPictureImage::Assign(source);
}

void TGLPicFileImage::Invalidate() {
  FFailure.clear();
  ChangeQuietly(Picture(), [](TPicture& picture) { picture.Clear(); });
  TGLPictureImage::Invalidate();
}

void TGLPicFileImage::LoadPicture(const std::string& name, const std::string* content) {
  try {
    ChangeQuietly(Picture(), [&](TPicture& picture) {
      if (content)
        picture.LoadFromFileContent(name, *content);
      else
        picture.LoadFromFile(name);
    });
  } catch (const EInvalidPicture& e) {
    FFailedFile = name;
    FFailure = e.what();
  } catch (const EStreamError& e) {
    FFailedFile = name;
    FFailure = e.what();
  }
}

TGLBitmap32* TGLPicFileImage::AcquireBitmap(GLenum target) {
  if (Picture().Width() < 1 && !FPictureFileName.empty()) {
    const std::string name = NeededFileName(FPictureFileName);
    // A file that failed is not read again: a hostile one may cost seconds each time.
    const bool failedBefore = !FFailure.empty() && name == FFailedFile;
    if (!failedBefore) {
      if (!FileExists(name)) CouldNotOpen(name);
      FFailure.clear();
      LoadPicture(name, nullptr);
    }
    if (!FFailure.empty()) throw ETexture(FFailure);
  }
  return TGLPictureImage::AcquireBitmap(target);
}

bool TGLPicFileImage::Edit() {
  const std::string answer = Dialogs().InputQuery("PicFile Image", "Enter filename", FPictureFileName);
  if (answer == FPictureFileName) return false;
  SetPictureFileName(answer);
  return true;
}

void TGLPicFileImage::SaveToFile(const std::string& fileName) { SaveStringToFile(fileName, FPictureFileName); }

void TGLPicFileImage::LoadFromFile(const std::string& fileName) {
  const std::string name = NeededFileName(fileName);
  if (!FileExists(name)) CouldNotOpen(name);
  // Asked to load the file: one that failed before is tried again.
  FFailure.clear();
  if (SizeOfFile(name) >= LINK_FILE_LIMIT) {
    SetPictureFileName(name);
    return;
  }
  // A short text file links to the picture; a picture file is never that short
  // without a zero byte in it.
  const std::string text = LoadStringFromFile(name);
  if (text.find('\0') == std::string::npos) {
    SetPictureFileName(text);
    return;
  }
  SetPictureFileName(name);
  // The picture itself, already read: decoded from what was read.
  if (Picture().Width() < 1) LoadPicture(name, &text);
}

// ---------------------------------------------------------------------------
// TGLCubeMapImage

TGLCubeMapImage::TGLCubeMapImage(TGLTexture* owner) : TGLTextureImage(owner) {
  for (auto& picture : FPictures) {
    picture = std::make_unique<TPicture>();
    picture->OnChange = [this](TObject*) { Invalidate(); };
  }
}

TPicture& TGLCubeMapImage::Picture(int face) {
  return const_cast<TPicture&>(static_cast<const TGLCubeMapImage*>(this)->Picture(face));
}

const TPicture& TGLCubeMapImage::Picture(int face) const {
  if (face < 0 || face >= FACE_COUNT) throw ERangeError();
  return *FPictures[static_cast<std::size_t>(face)];
}

TGLBitmap32* TGLCubeMapImage::AcquireBitmap(GLenum target) {
  int face = 0;
  if (target >= GL_TEXTURE_CUBE_MAP_POSITIVE_X && target <= GL_TEXTURE_CUBE_MAP_NEGATIVE_Z)
    face = static_cast<int>(target - GL_TEXTURE_CUBE_MAP_POSITIVE_X);
  FBitmap.reset();
  auto bitmap = std::make_unique<TGLBitmap32>();
  // Cube faces are seen from inside the cube: their rows run the other way.
  bitmap->VerticalReverseOnAssignFromBitmap = true;
  bitmap->Assign(FPictures[static_cast<std::size_t>(face)]->Graphic());
  FBitmap = std::move(bitmap);
  return FBitmap.get();
}

void TGLCubeMapImage::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TGLCubeMapImage*>(source);
  if (!other) {
    TGLTextureImage::Assign(source);
    return;
  }
  if (other == this) return;
  for (std::size_t i = 0; i < FPictures.size(); ++i)
    ChangeQuietly(*FPictures[i], [&](TPicture& picture) { picture.Assign(other->FPictures[i].get()); });
  Invalidate();
}

bool TGLCubeMapImage::Edit() {
  Dialogs().ShowMessage("Not supported... yet");
  return false;
}

void TGLCubeMapImage::SaveToFile(const std::string&) { Dialogs().ShowMessage("Not supported... yet"); }

void TGLCubeMapImage::LoadFromFile(const std::string&) { Dialogs().ShowMessage("Not supported... yet"); }
