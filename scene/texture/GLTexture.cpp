#include "scene/texture/GLTexture.h"

#include "scene/gl/GLStateCache.h"
#include "scene/gl/XOpenGL.h"

namespace {

constexpr GLenum TEXTURE_MODES[] = {GL_DECAL, GL_MODULATE, GL_BLEND, GL_REPLACE};
constexpr GLenum WRAP_S[] = {GL_REPEAT, GL_CLAMP, GL_CLAMP, GL_REPEAT};
constexpr GLenum WRAP_T[] = {GL_REPEAT, GL_CLAMP, GL_REPEAT, GL_CLAMP};
constexpr GLenum MIN_FILTERS[] = {GL_NEAREST, GL_LINEAR, GL_NEAREST_MIPMAP_NEAREST, GL_LINEAR_MIPMAP_NEAREST,
                                  GL_NEAREST_MIPMAP_LINEAR, GL_LINEAR_MIPMAP_LINEAR};
constexpr GLenum MAG_FILTERS[] = {GL_NEAREST, GL_LINEAR};
constexpr GLint ANISOTROPY[] = {1, 2};
// From tfRGB on.
constexpr GLint UNCOMPRESSED_FORMATS[] = {GL_RGB,   GL_RGBA,      GL_RGB5,           GL_RGBA4,
                                          GL_ALPHA, GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_INTENSITY};
constexpr GLint COMPRESSED_FORMATS[] = {GL_COMPRESSED_RGB_ARB,       GL_COMPRESSED_RGBA_ARB,
                                        GL_COMPRESSED_RGB_ARB,       GL_COMPRESSED_RGBA_ARB,
                                        GL_COMPRESSED_ALPHA_ARB,     GL_COMPRESSED_LUMINANCE_ARB,
                                        GL_COMPRESSED_LUMINANCE_ALPHA_ARB, GL_COMPRESSED_INTENSITY_ARB};

// Texture-coordinate generation of one mapping mode.
struct TTexGen {
  GLint Mode;           // 0: none
  GLenum Plane;         // 0: no planes
  bool R;               // R too
};
constexpr TTexGen TEX_GEN[] = {
    {0, 0, false},                                // tmmUser
    {GL_OBJECT_LINEAR, GL_OBJECT_PLANE, false},   // tmmObjectLinear
    {GL_EYE_LINEAR, GL_EYE_PLANE, false},         // tmmEyeLinear
    {GL_SPHERE_MAP, 0, false},                    // tmmSphere
    {GL_REFLECTION_MAP, 0, true},                 // tmmCubeMapReflection
    {GL_NORMAL_MAP, 0, true},                     // tmmCubeMapNormal
};

// Makes texture unit 0 active again on every way out of the second-unit code.
class TBackToUnit0 {
public:
  ~TBackToUnit0() {
    try {
      GL->glActiveTextureARB(GL_TEXTURE0_ARB);
    } catch (...) {
      // Only a missing entry point raises, and then unit 1 was never made active.
    }
  }
};

// Releases the image's kept pixels on every way out of an upload.
class TBitmapRelease {
public:
  explicit TBitmapRelease(TGLTextureImage& image) : FImage(image) {}
  ~TBitmapRelease() { FImage.ReleaseBitmap(); }
  TBitmapRelease(const TBitmapRelease&) = delete;
  TBitmapRelease& operator=(const TBitmapRelease&) = delete;

private:
  TGLTextureImage& FImage;
};

}  // namespace

TGLTexture::TGLTexture(TPersistent* owner)
    : TGLUpdateAbleObject(owner),
      // Without its source the texture draws its own image: rebuilt at the next Apply.
      FSharedTexture([this] {
        FImageChanged = true;
        ReportChange(this);
      }),
      FMapSCoordinates(std::make_unique<TGLCoordinates>(this, TVector{1, 0, 0, 0}, csVector)),
      FMapTCoordinates(std::make_unique<TGLCoordinates>(this, TVector{1, 0, 0, 0}, csVector)) {
  ReplaceImage(TGLPersistentImage::StaticClass().Create(this));
}

TGLTexture::~TGLTexture() {
  // The textures sharing this one hear of it while it is still whole.
  NotifyFree();
}

void TGLTexture::SetSharedTexture(TGLTexture* source) {
  if (source == FSharedTexture.Get()) return;
  BRV_ASSERT_MSG(source != this && (!source || !source->SharedTexture()),
                 "TGLTexture::SetSharedTexture(): a texture shares one that draws its own image");
  FSharedTexture = source;
  FImageChanged = true;
  ReportChange(this);
}

void TGLTexture::ReplaceImage(std::unique_ptr<TGLTextureImage> image) {
  image->OnTextureNeeded = [this](TObject* sender, std::string& name) {
    if (OnTextureNeeded) OnTextureNeeded(sender, name);
  };
  FImage = std::move(image);
}

void TGLTexture::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TGLTexture*>(source)) {
    if (other == this) return;
    FImageAlpha = other->FImageAlpha;
    FTextureMode = other->FTextureMode;
    FTextureWrap = other->FTextureWrap;
    FTextureFormat = other->FTextureFormat;
    FCompression = other->FCompression;
    FMinFilter = other->FMinFilter;
    FMagFilter = other->FMagFilter;
    FMappingMode = other->FMappingMode;
    FMapSCoordinates->Assign(other->FMapSCoordinates.get());
    FMapTCoordinates->Assign(other->FMapTCoordinates.get());
    FDisabled = other->FDisabled;
    SetImage(*other->FImage);
    FSharedTexture = other->SharedTexture() == this ? nullptr : other->SharedTexture();
    FImageChanged = true;
    FParametersChanged = true;
  } else if (dynamic_cast<const TPicture*>(source) || dynamic_cast<const TBitmap*>(source)) {
    FImage->Assign(source);
  } else if (source == nullptr) {
    TGLUpdateAbleObject::Assign(source);
  }
}

void TGLTexture::SetImage(const TGLTextureImage& image) {
  if (&image == FImage.get()) return;
  if (&image.ClassType() != &FImage->ClassType()) ReplaceImage(image.ClassType().Create(this));
  FImage->Assign(&image);
}

void TGLTexture::SetImageClassName(const std::string& className) {
  if (className.empty() || className == FImage->ClassName()) return;
  const TGLTextureImageClass* imageClass = ImageClassByName(className);
  if (!imageClass) throw ETexture("Unknown texture image class " + className);
  ReplaceImage(imageClass->Create(this));
  FImageChanged = true;
  ReportChange(this);
}

bool TGLTexture::ImageClassNameStored() const {
  return &FImage->ClassType() != &TGLPersistentImage::StaticClass();
}

void TGLTexture::SetImageAlpha(TGLTextureImageAlpha value) {
  FImageAlpha = value;
  FImageChanged = true;
  ReportChange(this);
}

template <class T>
void TGLTexture::SetParameter(T& field, T value) {
  if (field == value) return;
  field = value;
  FParametersChanged = true;
  ReportChange(this);
}

void TGLTexture::SetMagFilter(TGLMagFilter value) { SetParameter(FMagFilter, value); }
void TGLTexture::SetMinFilter(TGLMinFilter value) { SetParameter(FMinFilter, value); }
void TGLTexture::SetTextureMode(TGLTextureMode value) { SetParameter(FTextureMode, value); }
void TGLTexture::SetTextureWrap(TGLTextureWrap value) { SetParameter(FTextureWrap, value); }
void TGLTexture::SetTextureFormat(TGLTextureFormat value) { SetParameter(FTextureFormat, value); }
void TGLTexture::SetCompression(TGLTextureCompression value) { SetParameter(FCompression, value); }
void TGLTexture::SetFilteringQuality(TGLTextureFilteringQuality value) { SetParameter(FFilteringQuality, value); }

void TGLTexture::SetDisabled(bool value) {
  if (value == FDisabled) return;
  FDisabled = value;
  if (TGLTextureOwnerHooks* material = OwnerHooks())
    material->NotifyTexMapChange(this);
  else
    ReportChange(this);
}

void TGLTexture::SetMappingMode(TGLTextureMappingMode value) {
  if (value == FMappingMode) return;
  const bool backToUser = value == tmmUser;
  FMappingMode = value;
  // Back to the object's own texture coordinates: a material must rebuild its
  // users' drawing; any other owner hears of it as of any change.
  TGLTextureOwnerHooks* material = OwnerHooks();
  if (backToUser && material)
    material->NotifyTexMapChange(this);
  else
    ReportChange(this);
}

// ---------------------------------------------------------------------------
// GL

void TGLTexture::DestroyHandles() {
  FHandle.DestroyHandle();
  FImageChanged = true;
  FParametersChanged = true;
  FRequiredMemorySize = -1;
}

GLuint TGLTexture::PrepareHandle(int unit) {
  if (TGLTexture* source = FSharedTexture.Get()) return source->PrepareHandle(unit);
  if (FHandle.Handle() != 0 && !FImageChanged && !FParametersChanged) return FHandle.Handle();
  if (FHandle.Handle() == 0) {
    FHandle.AllocateHandle();
    BRV_ASSERT_MSG(FHandle.Handle() != 0, "TGLTexture::GetHandle(): GL gave no texture name");
  }
  FImageChanged = false;
  FParametersChanged = false;
  FUploadFailed = false;
  const GLenum target = Target();
  // Without cube maps in the driver there is nothing to bind or fill.
  if (target == GL_TEXTURE_CUBE_MAP && !GL->ARB_texture_cube_map) return FHandle.Handle();
  // The texture is bound before anything is sent to it, and filled only here: an
  // upload never lands in whatever texture happens to be bound.
  BindTextureCached(unit, target, FHandle.Handle());
  try {
    UploadParameters(target);
    UploadImages(target);
  } catch (...) {
    FUploadFailed = true;
    throw;
  }
  return FHandle.Handle();
}

GLenum TGLTexture::Target() const {
  if (const TGLTexture* source = FSharedTexture.Get()) return source->Target();
  return FImage->ClassType().GLTextureTarget();
}

GLuint TGLTexture::BindForFrameCopy() {
  if (FHandle.Handle() == 0) {
    FHandle.AllocateHandle();
    BRV_ASSERT_MSG(FHandle.Handle() != 0, "TGLTexture::BindForFrameCopy(): GL gave no texture name");
    FParametersChanged = true;
  }
  const GLenum target = Target();
  BindTextureCached(0, target, FHandle.Handle());
  if (FParametersChanged) {
    UploadParameters(target);
    FParametersChanged = false;
  }
  return FHandle.Handle();
}

void TGLTexture::TakeFrameImage(const std::uint8_t* pixels, int width, int height) {
  UploadTexturePixels(Target(), FMinFilter, GLInternalFormat(), width, height, pixels);
  FTexWidth = width;
  FTexHeight = height;
  FImageChanged = false;
  FUploadFailed = false;
}

bool TGLTexture::PrepareForDrawing(int unit, GLuint& name) {
  if (TGLTexture* source = FSharedTexture.Get()) return source->PrepareForDrawing(unit, name);
  try {
    name = PrepareHandle(unit);
  } catch (const ETexture& e) {
    // A picture file gone or damaged in the middle of a frame: the frame goes on
    // without this texture, and the look keeps the file's name.
    LogGLProblem(std::string("Texture drawn without its image: ") + e.what());
  }
  return !FUploadFailed;
}

void TGLTexture::UploadImages(GLenum target) {
  if (target != GL_TEXTURE_CUBE_MAP) {
    UploadImage(target);
    return;
  }
  auto* cube = dynamic_cast<TGLCubeMapImage*>(FImage.get());
  BRV_ASSERT_MSG(cube != nullptr, "TGLTexture: a cube-map target needs a TGLCubeMapImage, not " + FImage->ClassName());
  TGLCubeMapImage& cubeMap = *cube;
  // Every face square and of one size, or no cube map at all.
  const int width = cubeMap.Picture(0).Width();
  if (width <= 0) return;
  for (int face = 0; face < TGLCubeMapImage::FACE_COUNT; ++face)
    if (cubeMap.Picture(face).Width() != width || cubeMap.Picture(face).Height() != width) return;
  for (GLenum face = GL_TEXTURE_CUBE_MAP_POSITIVE_X; face <= GL_TEXTURE_CUBE_MAP_NEGATIVE_Z; ++face) UploadImage(face);
}

void TGLTexture::UploadParameters(GLenum target) {
  GL->glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  GL->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  GL->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  GL->glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  GL->glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  GL->glTexParameteri(target, GL_TEXTURE_WRAP_S, static_cast<GLint>(WRAP_S[FTextureWrap]));
  GL->glTexParameteri(target, GL_TEXTURE_WRAP_T, static_cast<GLint>(WRAP_T[FTextureWrap]));
  GL->glTexParameteri(target, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(MIN_FILTERS[FMinFilter]));
  GL->glTexParameteri(target, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(MAG_FILTERS[FMagFilter]));
  if (GL->EXT_texture_filter_anisotropic)
    GL->glTexParameteri(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, ANISOTROPY[FFilteringQuality]);
}

GLint TGLTexture::GLInternalFormat() const {
  TGLTextureFormat format = FTextureFormat == tfDefault ? DefaultTextureFormat : FTextureFormat;
  if (format == tfDefault) format = tfRGBA;
  TGLTextureCompression compression = tcNone;
  if (GL->ARB_texture_compression) {
    compression = FCompression == tcDefault ? DefaultTextureCompression : FCompression;
    if (compression == tcDefault) compression = tcNone;
  }
  if (compression == tcNone) return UNCOMPRESSED_FORMATS[format - tfRGB];
  const GLenum hint = compression == tcStandard ? GL_DONT_CARE : compression == tcHighQuality ? GL_NICEST : GL_FASTEST;
  GL->glHint(GL_TEXTURE_COMPRESSION_HINT_ARB, hint);
  return COMPRESSED_FORMATS[format - tfRGB];
}

void TGLTexture::UploadImage(GLenum target) {
  TGLBitmap32* bitmap = FImage->AcquireBitmap(target);
  TBitmapRelease release(*FImage);
  if (!bitmap || bitmap->IsEmpty()) return;
  const GLint internalFormat = GLInternalFormat();
  switch (FImageAlpha) {
    case tiaDefault:
      break;
    case tiaAlphaFromIntensity:
    case tiaLuminance:
      bitmap->AlphaFromIntensity();
      break;
    case tiaSuperBlackTransparent:
      bitmap->AlphaFromColorKey(MakeRGB(0, 0, 0));
      break;
    case tiaLuminanceSqrt:
      bitmap->AlphaFromIntensity();
      bitmap->AlphaFromIntensitySqrt();
      break;
    case tiaOpaque:
      bitmap->AlphaToConstant(255);
      break;
    case tiaTopLeftPointColorTransparent: {
      const std::uint8_t* first = bitmap->Data();
      bitmap->AlphaFromColorKey(MakeRGB(first[0], first[1], first[2]));
      break;
    }
    default:
      BRV_ASSERT_MSG(false, "TGLTexture::UploadImage(): unknown ImageAlpha " + std::to_string(FImageAlpha));
  }
  RaiseOnGLError();
  bitmap->UploadAsTexture(target, FMinFilter, internalFormat, FTexWidth, FTexHeight);
  GLint size = -1;
  GL->glGetTexLevelParameteriv(target, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE_ARB, &size);
  // An uncompressed texture has no compressed size: GL reports an error instead.
  FRequiredMemorySize = GL->glGetError() == GL_NO_ERROR ? size : -1;
  DrainGLErrors();
}

void TGLTexture::SetupTextureGeneration() {
  const TTexGen& gen = TEX_GEN[FMappingMode];
  if (gen.Mode == 0) return;
  for (GLenum coord : {GL_S, GL_T}) GL->glTexGeni(coord, GL_TEXTURE_GEN_MODE, gen.Mode);
  if (gen.R) GL->glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, gen.Mode);
  if (gen.Plane != 0) {
    GL->glTexGenfv(GL_S, gen.Plane, FMapSCoordinates->AsAddress());
    GL->glTexGenfv(GL_T, gen.Plane, FMapTCoordinates->AsAddress());
  }
  GL->glEnable(GL_TEXTURE_GEN_S);
  GL->glEnable(GL_TEXTURE_GEN_T);
  if (gen.R) GL->glEnable(GL_TEXTURE_GEN_R);
}

void TGLTexture::DisableTextureGeneration() {
  if (FMappingMode == tmmUser) return;
  GL->glDisable(GL_TEXTURE_GEN_S);
  GL->glDisable(GL_TEXTURE_GEN_T);
  GL->glDisable(GL_TEXTURE_GEN_R);
}

void TGLTexture::ApplyUntextured(TRenderContextInfo& rci) {
  DisableGLState(rci.GLStates, stTexture2D);
  XGLMapToNull();
}

void TGLTexture::Apply(TRenderContextInfo& rci) {
  if (FDisabled) {
    ApplyUntextured(rci);
    return;
  }
  GLuint name = 0;
  if (!PrepareForDrawing(0, name)) {
    ApplyUntextured(rci);
    return;
  }
  const GLenum target = Target();
  if (target != GL_TEXTURE_CUBE_MAP) {
    EnableGLState(rci.GLStates, stTexture2D);
    BindTextureCached(0, GL_TEXTURE_2D, name);
  } else if (GL->ARB_texture_cube_map) {
    EnableGLState(rci.GLStates, stTextureCubeMap);
    BindTextureCached(0, GL_TEXTURE_CUBE_MAP, name);
    // Reflections follow the camera: the texture matrix undoes the rotation of
    // the model-view matrix.
    BRV_ASSERT_MSG(rci.ModelViewMatrix != nullptr, "TGLTexture::Apply(): a cube map needs the model-view matrix");
    TMatrix4 m = *rci.ModelViewMatrix;
    MatrixTransposeInPlace(m);
    MatrixOrthonormalize(m);
    GL->glMatrixMode(GL_TEXTURE);
    if (GL->ARB_transpose_matrix) {
      GL->glLoadTransposeMatrixfARB(&m[0].x);
    } else {
      MatrixTransposeInPlace(m);
      GL->glLoadMatrixf(&m[0].x);
    }
    GL->glMatrixMode(GL_MODELVIEW);
  }
  GL->glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLint>(TEXTURE_MODES[FTextureMode]));
  SetupTextureGeneration();
  XGLMapToMain();
}

void TGLTexture::UnApply(TRenderContextInfo& rci) {
  if (FDisabled) return;
  if (rci.GLStates & GLStateBit(stTextureCubeMap)) {
    DisableGLState(rci.GLStates, stTextureCubeMap);
    GL->glMatrixMode(GL_TEXTURE);
    GL->glLoadIdentity();
    GL->glMatrixMode(GL_MODELVIEW);
  }
  DisableTextureGeneration();
}

void TGLTexture::ApplyAsSecondTexture(const TMatrix4* textureMatrix) {
  if (FDisabled) return;
  const GLenum target = Target();
  GL->glActiveTextureARB(GL_TEXTURE1_ARB);
  TBackToUnit0 backToUnit0;
  GL->glEnable(target);
  GLuint name = 0;
  if (!PrepareForDrawing(1, name)) {
    GL->glDisable(target);
    return;
  }
  BindTextureCached(1, target, name);
  GL->glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLint>(TEXTURE_MODES[FTextureMode]));
  SetupTextureGeneration();
  if (textureMatrix) {
    GL->glMatrixMode(GL_TEXTURE);
    GL->glLoadMatrixf(&(*textureMatrix)[0].x);
    GL->glMatrixMode(GL_MODELVIEW);
  }
}

void TGLTexture::UnApplySecondTexture(const TMatrix4* textureMatrix) {
  GL->glActiveTextureARB(GL_TEXTURE1_ARB);
  TBackToUnit0 backToUnit0;
  DisableTextureGeneration();
  if (textureMatrix) {
    GL->glMatrixMode(GL_TEXTURE);
    GL->glLoadIdentity();
    GL->glMatrixMode(GL_MODELVIEW);
  }
  GL->glDisable(Target());
}
