#pragma once
// Textures and the images they are made from.
//
// A TGLTexture holds the parameters that say how an image is filtered, wrapped,
// combined and mapped, owns one texture image and the GL texture made from them.
// It uploads lazily: a change of the image or of a parameter only marks the
// texture; the next Apply in a current context rebuilds what changed.
//
// A texture image knows where its pixels come from (nothing, a picture kept with
// the texture, a picture file, six pictures of a cube) and hands them out as a
// TGLBitmap32 when the texture uploads. Image classes are registered by name so
// that a texture's ImageClassName can be stored and read back.

#include "base/WeakReference.h"
#include "scene/GLMisc.h"
#include "scene/GLRenderContextInfo.h"
#include "scene/gl/GLContext.h"
#include "scene/texture/GLGraphics.h"
#include "scene/texture/Picture.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// A texture or a texture image failed: a picture file that cannot be opened or
// read, an image class nobody registered.
class ETexture : public Exception {
public:
  using Exception::Exception;
};

class TGLTexture;
class TGLTextureImage;

// Asks for a texture file by name; the handler may replace the name (a library
// looks the file up in its folders) before the file is opened.
using TTextureNeededEvent = std::function<void(TObject* sender, std::string& textureFileName)>;

// ---------------------------------------------------------------------------
// Image classes

// The class of a texture image: its virtual constructor and its class-wide answers.
class TGLTextureImageClass : public TCreatableClass<TGLTextureImage, TGLTexture*> {
public:
  // An empty description stands for the kind name.
  TGLTextureImageClass(std::string_view name, const TClass* parent, TConstructor constructor,
                       std::string_view kindName, std::string_view kindDescription = {},
                       GLenum target = GL_TEXTURE_2D)
      : TCreatableClass(name, parent, constructor), FKindName(kindName), FKindDescription(kindDescription),
        FTarget(target) {}

  const std::string& KindName() const { return FKindName; }
  const std::string& KindDescription() const { return FKindDescription.empty() ? FKindName : FKindDescription; }
  // The GL target the image is uploaded to.
  GLenum GLTextureTarget() const { return FTarget; }

private:
  std::string FKindName;
  std::string FKindDescription;
  GLenum FTarget;
};

// Declares the class of an image kind: BRV_TEXTURE_IMAGE_CLASS(TGLBlankImage,
// TGLTextureImage, "Blank Image", "Blank Image (Width x Height)").
#define BRV_TEXTURE_IMAGE_CLASS(T, Parent, ...)                                                              \
  BRV_CLASS_OF_KIND(T, Parent, TGLTextureImageClass, TGLTextureImageClass::ConstructorOf<T>(), __VA_ARGS__)

// Appends a class that can be created to the process-wide list of image classes.
// The list starts with TGLBlankImage, TGLPersistentImage, TGLPicFileImage and
// TGLCubeMapImage, in that order.
void RegisterImageClass(const TGLTextureImageClass& imageClass);
// The first registered class of exactly this name (case-sensitive), or null.
const TGLTextureImageClass* ImageClassByName(std::string_view className);

// ---------------------------------------------------------------------------
// Images

class TGLTextureImage : public TGLUpdateAbleObject {
  BRV_TEXTURE_IMAGE_CLASS(TGLTextureImage, TGLUpdateAbleObject, "")

public:
  // `owner` must not be null.
  explicit TGLTextureImage(TGLTexture* owner);

  TGLTexture& OwnerTexture() const { return *FOwnerTexture; }
  // Marks the owner texture's image as changed, then reports to it.
  void ReportChange(TObject* sender) override;

  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  // The pixels for `target`, made on first call and kept (owned by the image) until
  // ReleaseBitmap. May raise ETexture when the pixels cannot be had.
  virtual TGLBitmap32* AcquireBitmap(GLenum target) = 0;
  void ReleaseBitmap() { FBitmap.reset(); }
  // Lets the user change the image; true when something changed.
  virtual bool Edit() = 0;
  virtual void SaveToFile(const std::string& fileName) = 0;
  // Here: only OnTextureNeeded with a copy of the name.
  virtual void LoadFromFile(const std::string& fileName);
  // Drops the kept pixels and tells the texture that its image changed.
  virtual void Invalidate();

  TTextureNeededEvent OnTextureNeeded;

protected:
  // The name after OnTextureNeeded has had its say; where no file has that name,
  // the file whose name differs from it only in letter case, if there is one.
  std::string NeededFileName(const std::string& fileName);

  // The pixels handed out by AcquireBitmap, a cache.
  std::unique_ptr<TGLBitmap32> FBitmap;

private:
  TGLTexture* FOwnerTexture;
};

// An image of the given size whose pixels are all zero (transparent black).
class TGLBlankImage : public TGLTextureImage {
  BRV_TEXTURE_IMAGE_CLASS(TGLBlankImage, TGLTextureImage, "Blank Image", "Blank Image (Width x Height)")

public:
  // The largest side: sizes come from files and from the user.
  static constexpr int MAX_SIDE = 8192;

  explicit TGLBlankImage(TGLTexture* owner) : TGLTextureImage(owner) {}

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // A value is brought into 1..MAX_SIDE; a changed size invalidates.
  void SetWidth(int value);
  void SetHeight(int value);
  int GetWidth() const override { return FWidth; }
  int GetHeight() const override { return FHeight; }

  TGLBitmap32* AcquireBitmap(GLenum target) override;
  // From another blank image: its size, then Invalidate.
  void Assign(const TPersistent* source) override;
  // Asks for "W x H"; an answer without "x" shows "Invalid size" and changes nothing.
  bool Edit() override;
  // "[BlankImage]" CR LF "Width=W" CR LF "Height=H".
  void SaveToFile(const std::string& fileName) override;
  // Reads the Width and Height values of such a file (a value that is not an
  // integer raises EConvertError); a missing file raises ETexture.
  void LoadFromFile(const std::string& fileName) override;

private:
  int FWidth = 256;
  int FHeight = 256;
};

// The images made from pictures. Any change of one of their pictures invalidates
// the image.
class TGLPictureImage : public TGLTextureImage {
  BRV_TEXTURE_IMAGE_CLASS(TGLPictureImage, TGLTextureImage, "")

public:
  explicit TGLPictureImage(TGLTexture* owner) : TGLTextureImage(owner) {}

  // The picture, made on first use.
  TPicture& Picture();
  int GetWidth() const override { return FPicture ? FPicture->Width() : 0; }
  int GetHeight() const override { return FPicture ? FPicture->Height() : 0; }
  TGLBitmap32* AcquireBitmap(GLenum target) override;
  // From a persistent image: its picture. From a picture or a bitmap: into the
  // picture. Other sources go to TPersistent::Assign.
  void Assign(const TPersistent* source) override;

private:
  std::unique_ptr<TPicture> FPicture;
};

// A picture kept with the texture itself.
class TGLPersistentImage : public TGLPictureImage {
  BRV_TEXTURE_IMAGE_CLASS(TGLPersistentImage, TGLPictureImage, "Persistent Image",
                          "Image data is stored in its original format with other form resources,ie. in the DFM at "
                          "design-time, and embedded in the EXE at run-time.")

public:
  explicit TGLPersistentImage(TGLTexture* owner) : TGLPictureImage(owner) {}

  // The open-picture dialog; a chosen file is loaded. True when one was chosen.
  bool Edit() override;
  // The picture saves itself (see TPicture::SaveToFile).
  void SaveToFile(const std::string& fileName) override;
  // The picture loads the file; a missing file empties the picture and raises
  // ETexture "Could not open file: <name>".
  void LoadFromFile(const std::string& fileName) override { LoadFromFile(fileName, 0); }
  // The same, a larger picture reduced to the longest side `maxSide` (0: whole).
  void LoadFromFile(const std::string& fileName, int maxSide);
};

// A picture read from a file when the texture first needs it.
class TGLPicFileImage : public TGLPictureImage {
  BRV_TEXTURE_IMAGE_CLASS(TGLPicFileImage, TGLPictureImage, "PicFile Image", "Image data is retrieved from a file.")

public:
  explicit TGLPicFileImage(TGLTexture* owner) : TGLPictureImage(owner) {}

  const std::string& PictureFileName() const { return FPictureFileName; }
  // A different name invalidates.
  void SetPictureFileName(const std::string& name);

  // From another picture-file image: its name. Otherwise as a picture image.
  void Assign(const TPersistent* source) override;
  // Empties the picture, then as every image.
  void Invalidate() override;
  // Loads the picture when it is empty. A file that is missing or cannot be read
  // raises ETexture and keeps the name, so that a look saved afterwards still names
  // the file. A file is read once: one that failed raises the same ETexture again,
  // without being read, until the image is invalidated.
  TGLBitmap32* AcquireBitmap(GLenum target) override;
  // Asks for a file name; true when it changed.
  bool Edit() override;
  // Writes the picture file's name as the whole content of the file.
  void SaveToFile(const std::string& fileName) override;
  // A file under 512 bytes without a zero byte holds the picture file's name; any
  // other file is the picture itself (a short one decoded from what was read). A
  // missing file raises ETexture.
  void LoadFromFile(const std::string& fileName) override;

private:
  // The picture from the file `name` (from `content` when given), its change hook
  // removed; a failure is remembered instead of raised.
  void LoadPicture(const std::string& name, const std::string* content);

  std::string FPictureFileName;
  // The file that failed to load, and why.
  std::string FFailedFile, FFailure;
};

// Six pictures, one per face of a cube map.
class TGLCubeMapImage : public TGLTextureImage {
  BRV_TEXTURE_IMAGE_CLASS(TGLCubeMapImage, TGLTextureImage, "CubeMap Image", "", GL_TEXTURE_CUBE_MAP)

public:
  static constexpr int FACE_COUNT = 6;
  explicit TGLCubeMapImage(TGLTexture* owner);

  // Face 0-5 (+X, -X, +Y, -Y, +Z, -Z); ERangeError otherwise.
  TPicture& Picture(int face);
  const TPicture& Picture(int face) const;
  int GetWidth() const override { return FPictures[0]->Width(); }
  int GetHeight() const override { return FPictures[0]->Height(); }
  // The face of a cube-face target (face 0 for any other target), rows flipped.
  TGLBitmap32* AcquireBitmap(GLenum target) override;
  // From another cube map: its six pictures, then Invalidate.
  void Assign(const TPersistent* source) override;
  // Not supported: each shows "Not supported... yet".
  bool Edit() override;
  void SaveToFile(const std::string& fileName) override;
  void LoadFromFile(const std::string& fileName) override;

private:
  std::array<std::unique_ptr<TPicture>, FACE_COUNT> FPictures;
};

// ---------------------------------------------------------------------------
// Textures

enum TGLTextureMode : std::uint8_t { tmDecal, tmModulate, tmBlend, tmReplace };
enum TGLTextureWrap : std::uint8_t { twBoth, twNone, twVertical, twHorizontal };
enum TGLTextureFormat : std::uint8_t {
  tfDefault, tfRGB, tfRGBA, tfRGB16, tfRGBA16, tfAlpha, tfLuminance, tfLuminanceAlpha, tfIntensity
};
enum TGLMagFilter : std::uint8_t { maNearest, maLinear };
enum TGLTextureImageAlpha : std::uint8_t {
  tiaDefault, tiaAlphaFromIntensity, tiaSuperBlackTransparent, tiaLuminance, tiaLuminanceSqrt, tiaOpaque,
  tiaTopLeftPointColorTransparent
};
enum TGLTextureMappingMode : std::uint8_t {
  tmmUser, tmmObjectLinear, tmmEyeLinear, tmmSphere, tmmCubeMapReflection, tmmCubeMapNormal
};
enum TGLTextureCompression : std::uint8_t { tcDefault, tcNone, tcStandard, tcHighQuality, tcHighSpeed };
enum TGLTextureFilteringQuality : std::uint8_t { tfIsotropic, tfAnisotropic };

// The format and compression that tfDefault and tcDefault stand for.
inline TGLTextureFormat DefaultTextureFormat = tfRGBA;
inline TGLTextureCompression DefaultTextureCompression = tcNone;

// What a material owning a texture offers it: the texture's enabling or its
// coordinate generation changed, which changes how the material's users draw.
class TGLTextureOwnerHooks {
public:
  virtual void NotifyTexMapChange(TObject* sender) = 0;

protected:
  TGLTextureOwnerHooks() = default;
  ~TGLTextureOwnerHooks() = default;
  TGLTextureOwnerHooks(const TGLTextureOwnerHooks&) = default;
  TGLTextureOwnerHooks& operator=(const TGLTextureOwnerHooks&) = default;
};

class TGLTexture : public TGLUpdateAbleObject, public TFreeNotifier {
  BRV_CLASS(TGLTexture, TGLUpdateAbleObject)

public:
  // Disabled, with an empty persistent image.
  explicit TGLTexture(TPersistent* owner);
  // Textures that share this one lose their link (see SetSharedTexture).
  ~TGLTexture() override;

  // From another texture: every parameter, both mapping planes, the image and the
  // shared texture, then both changes marked. From a picture or a bitmap: the image
  // takes it. Null goes to TPersistent::Assign; any other source is ignored.
  void Assign(const TPersistent* source) override;

  // The texture whose GL texture this one draws with instead of one of its own, null
  // for none. One picture read and uploaded once so serves every object that shows
  // it: the source's image and filters make the GL texture, while this texture's
  // Disabled, TextureMode and MappingMode say how it is drawn. The link goes when
  // the source is freed, and the texture then draws its own image again. A source
  // must not share another texture itself (assertion).
  TGLTexture* SharedTexture() const { return FSharedTexture.Get(); }
  void SetSharedTexture(TGLTexture* source);

  TGLTextureImage& Image() const { return *FImage; }
  // Makes the owned image of the given image's class, then assigns it.
  void SetImage(const TGLTextureImage& image);
  const std::string& ImageClassName() const { return FImage->ClassName(); }
  // A registered class name other than the present one replaces the image by an
  // empty one of that class. A name nobody registered raises ETexture and keeps
  // the image.
  void SetImageClassName(const std::string& className);
  // ImageClassName is stored with the layout only for other images than the
  // default persistent one.
  bool ImageClassNameStored() const;

  TGLTextureImageAlpha ImageAlpha() const { return FImageAlpha; }
  void SetImageAlpha(TGLTextureImageAlpha value);
  TGLMagFilter MagFilter() const { return FMagFilter; }
  void SetMagFilter(TGLMagFilter value);
  TGLMinFilter MinFilter() const { return FMinFilter; }
  void SetMinFilter(TGLMinFilter value);
  TGLTextureMode TextureMode() const { return FTextureMode; }
  void SetTextureMode(TGLTextureMode value);
  TGLTextureWrap TextureWrap() const { return FTextureWrap; }
  void SetTextureWrap(TGLTextureWrap value);
  TGLTextureFormat TextureFormat() const { return FTextureFormat; }
  void SetTextureFormat(TGLTextureFormat value);
  TGLTextureCompression Compression() const { return FCompression; }
  void SetCompression(TGLTextureCompression value);
  TGLTextureFilteringQuality FilteringQuality() const { return FFilteringQuality; }
  void SetFilteringQuality(TGLTextureFilteringQuality value);
  TGLTextureMappingMode MappingMode() const { return FMappingMode; }
  void SetMappingMode(TGLTextureMappingMode value);
  // The planes of linear texture-coordinate generation; both (1, 0, 0, 0) at first.
  TGLCoordinates& MappingSCoordinates() const { return *FMapSCoordinates; }
  void SetMappingSCoordinates(const TGLCoordinates& value) { FMapSCoordinates->Assign(&value); }
  TGLCoordinates& MappingTCoordinates() const { return *FMapTCoordinates; }
  void SetMappingTCoordinates(const TGLCoordinates& value) { FMapTCoordinates->Assign(&value); }
  bool Disabled() const { return FDisabled; }
  void SetDisabled(bool value);

  // Routed from the image's event of that name.
  TTextureNeededEvent OnTextureNeeded;

  // The image changed (its images call this), or the parameters did: the next
  // Apply rebuilds the GL texture.
  void NotifyImageChange() { FImageChanged = true; }
  void NotifyParamsChange() { FParametersChanged = true; }

  bool HandleAllocated() const { return FHandle.Handle() != 0; }
  // The GL texture name, made and uploaded first when anything changed (that of the
  // shared texture, when there is one). Binds the texture on texture unit 0 when it
  // rebuilds: the caller has unit 0 active. A picture that cannot be had raises
  // ETexture.
  GLuint GetHandle() { return PrepareHandle(0); }
  // Frees the GL texture (not that of a shared texture); the next Apply makes
  // everything again.
  void DestroyHandles();
  // The internal format to upload with.
  GLint GLInternalFormat() const;
  // The size of the uploaded image (powers of two), and the size GL reported for a
  // compressed one (-1 when unknown).
  int TexWidth() const { return FTexWidth; }
  int TexHeight() const { return FTexHeight; }
  int RequiredMemorySize() const { return FRequiredMemorySize; }

  // The GL target of the image (of the shared texture's image, when there is one):
  // GL_TEXTURE_2D, or GL_TEXTURE_CUBE_MAP.
  GLenum Target() const;
  // For a texture whose image comes from a frame (a viewer's CopyFrameToTexture),
  // in a current context with unit 0 active: the GL texture, made with its
  // parameters when missing, bound on unit 0; its image is left as it is.
  GLuint BindForFrameCopy();
  // Whether the GL texture holds its image (uploaded, or taken from a frame).
  bool ImageSent() const { return HandleAllocated() && !FImageChanged; }
  // Width x height RGBA bytes (bottom row first) of a frame become the image of
  // the bound texture, with the mipmaps the minification filter wants.
  void TakeFrameImage(const std::uint8_t* pixels, int width, int height);

  // Texturing on unit 0 for drawing, and off again. A texture whose picture cannot
  // be had draws untextured: the reason goes once to the GL log.
  void Apply(TRenderContextInfo& rci);
  void UnApply(TRenderContextInfo& rci);
  // The texture on unit 1, with `textureMatrix` unless that is null (the identity).
  void ApplyAsSecondTexture(const TMatrix4* textureMatrix);
  void UnApplySecondTexture(const TMatrix4* textureMatrix);

protected:
  virtual void UploadImage(GLenum target);
  virtual void UploadParameters(GLenum target);

private:
  GLuint PrepareHandle(int unit);
  // PrepareHandle for drawing: false, with the reason logged once, when the image
  // could not be uploaded and the texture must be left out.
  bool PrepareForDrawing(int unit, GLuint& name);
  void UploadImages(GLenum target);
  void SetupTextureGeneration();
  void DisableTextureGeneration();
  void ApplyUntextured(TRenderContextInfo& rci);
  // Makes `image` the owned image, its OnTextureNeeded routed to the texture's.
  void ReplaceImage(std::unique_ptr<TGLTextureImage> image);
  template <class T>
  void SetParameter(T& field, T value);
  TGLTextureOwnerHooks* OwnerHooks() const { return dynamic_cast<TGLTextureOwnerHooks*>(Owner()); }

  TGLTextureHandle FHandle;
  TWeakRef<TGLTexture> FSharedTexture;
  std::unique_ptr<TGLTextureImage> FImage;
  std::unique_ptr<TGLCoordinates> FMapSCoordinates;
  std::unique_ptr<TGLCoordinates> FMapTCoordinates;
  TGLTextureMode FTextureMode = tmDecal;
  TGLTextureWrap FTextureWrap = twBoth;
  TGLTextureFormat FTextureFormat = tfDefault;
  TGLMinFilter FMinFilter = miLinearMipmapLinear;
  TGLMagFilter FMagFilter = maLinear;
  TGLTextureImageAlpha FImageAlpha = tiaDefault;
  TGLTextureMappingMode FMappingMode = tmmUser;
  TGLTextureCompression FCompression = tcDefault;
  TGLTextureFilteringQuality FFilteringQuality = tfIsotropic;
  bool FDisabled = true;
  bool FImageChanged = true;
  bool FParametersChanged = true;
  // The last rebuild could not upload the image: draw untextured until it changes.
  bool FUploadFailed = false;
  int FRequiredMemorySize = -1;
  int FTexWidth = 0;
  int FTexHeight = 0;
};
