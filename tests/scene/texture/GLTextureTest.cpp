// Texture images and textures, their files and their GL calls on the recording table.

#include "scene/texture/GLTexture.h"

#include "scene/GLDataFile.h"
#include "scene/gl/XOpenGL.h"
#include "tests/base/PersistenceTestSupport.h"
#include "tests/base/RecordingDialogs.h"
#include "tests/scene/support/PictureTestSupport.h"
#include "tests/scene/SceneTestSupport.h"
#include "tests/scene/support/RecordingGL.h"

#include <gtest/gtest.h>

namespace {

using TTexts = std::vector<std::string>;

// An owner that counts the changes it hears of.
class TOwnerStub : public TGLUpdateAbleObject {
  BRV_CLASS(TOwnerStub, TGLUpdateAbleObject)

public:
  TOwnerStub() : TGLUpdateAbleObject(nullptr) {}
  void ReportChange(TObject*) override { ++Reports; }
  int Reports = 0;
};

// A material as far as its texture sees it.
class TMaterialStub : public TOwnerStub, public TGLTextureOwnerHooks {
  BRV_CLASS(TMaterialStub, TOwnerStub)

public:
  void NotifyTexMapChange(TObject*) override { ++TexMapChanges; }
  int TexMapChanges = 0;
};

class GLTextureTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetGLLogSink([this](const std::string& text) { Logged.push_back(text); });
    Context.CreateContext(0);
    Context.Activate();
    InvalidateGLStateCaches();
    XGLMapToNull();
    gl.Clear();
  }
  void TearDown() override {
    Context.Deactivate();
    SetGLLogSink(nullptr);
  }

  static void MakeBlank(TGLTexture& texture, int size) {
    texture.SetImageClassName("TGLBlankImage");
    static_cast<TGLBlankImage&>(texture.Image()).SetWidth(size);
    static_cast<TGLBlankImage&>(texture.Image()).SetHeight(size);
    texture.SetDisabled(false);
  }

  std::string Bmp(const std::string& name, int width, int height) {
    TBitmap bitmap(width, height, pf24bit);
    FillPattern(bitmap);
    WriteFileBytes(Folder.File(name), BmpBytes(bitmap));
    return Folder.File(name);
  }

  TRecordingGL gl;
  TFakeGLContext Context;
  TRenderContextInfo Rci;
  TTexts Logged;
  TScratchFolder Folder;
};

TEST_F(GLTextureTest, ImageFilesKeepWhatTheImageNeeds) {
  EXPECT_EQ(ImageClassByName("TGLPicFileImage"), &TGLPicFileImage::StaticClass());
  EXPECT_EQ(ImageClassByName("TGLBlankimage"), nullptr);
  EXPECT_EQ(ImageClassByName("TGLPictureImage"), nullptr) << "abstract, never registered";

  TGLTexture texture(nullptr);
  TGLBlankImage blank(&texture);
  const std::string name = Folder.File("blank.txt");
  blank.SaveToFile(name);
  EXPECT_EQ(LoadStringFromFile(name), "[BlankImage]\r\nWidth=256\r\nHeight=256");
  struct TCase {
    const char* Text;
    std::string Error;
    int Width, Height;
  };
  const TCase cases[] = {
      {"[BlankImage]\r\nWidth=300\r\nHeight=20", "", 300, 20},
      {"[BlankImage]\nwidth=99999\nHEIGHT= -3 ", "", TGLBlankImage::MAX_SIDE, 1},
      {"[BlankImage]\r\nWidth=abc\r\nHeight=4", "'abc' is not a valid integer value", 7, 7},
      {"[BlankImage]\r\nWidth=4", "'' is not a valid integer value", 7, 7},
  };
  for (const TCase& c : cases) {
    blank.SetWidth(7);
    blank.SetHeight(7);
    SaveStringToFile(name, c.Text);
    EXPECT_EQ(BRV_ERROR_TEXT(EConvertError, blank.LoadFromFile(name)), c.Error) << c.Text;
    EXPECT_EQ(std::pair(blank.Width(), blank.Height()), std::pair(c.Width, c.Height)) << c.Text;
  }
  EXPECT_EQ(BRV_ERROR_TEXT(ETexture, blank.LoadFromFile(Folder.File("none.txt"))),
            "Could not open file: " + Folder.File("none.txt"));
  // The pixels of a blank image are zero, whatever the memory held before.
  const TGLBitmap32* bitmap = blank.AcquireBitmap(GL_TEXTURE_2D);
  EXPECT_TRUE(std::all_of(bitmap->Data(), bitmap->Data() + bitmap->DataSize(), [](std::uint8_t b) { return b == 0; }));

  // A short text file links to the picture; anything else is the picture.
  TGLPicFileImage picFile(&texture);
  for (auto [file, content, link] : {std::tuple{"link.txt", std::string("textures/wood01.bmp"), true},
                                     {"large.bmp", std::string(600, 'a'), false},
                                     {"binary.bmp", std::string("BM\0\0", 4), false}}) {
    WriteFileBytes(Folder.File(file), content);
    picFile.OnTextureNeeded = [&](TObject*, std::string& fileName) { fileName = Folder.File(fileName); };
    picFile.LoadFromFile(file);
    EXPECT_EQ(picFile.PictureFileName(), link ? content : Folder.File(file)) << file;
  }
  EXPECT_THROW(picFile.LoadFromFile("none.txt"), ETexture);
  EXPECT_EQ(picFile.PictureFileName(), Folder.File("binary.bmp"));
}

TEST_F(GLTextureTest, AMissingPictureFileDrawsUntexturedAndKeepsItsName) {
  TGLTexture texture(nullptr);
  texture.SetImageClassName("TGLPicFileImage");
  auto& image = static_cast<TGLPicFileImage&>(texture.Image());
  const std::string gone = Folder.File("gone.bmp");
  image.SetPictureFileName(gone);
  texture.SetDisabled(false);
  Rci.GLStates = GLStateBit(stTexture2D);
  XGLMapToMain();

  EXPECT_NO_THROW(texture.Apply(Rci));
  EXPECT_EQ(Logged, TTexts{"Texture drawn without its image: Could not open file: " + gone});
  EXPECT_EQ(gl.Count("glDisable"), 1);
  EXPECT_EQ(XGLMapping(), xmNull);
  EXPECT_EQ(image.PictureFileName(), gone);
  EXPECT_EQ(gl.CallsOf([&] { texture.Apply(Rci); }), TTexts{}) << "no second attempt while nothing changed";

  WriteFileBytes(Folder.File("bad.bmp"), "BM");
  image.SetPictureFileName(Folder.File("bad.bmp"));
  texture.Apply(Rci);
  ASSERT_EQ(Logged.size(), 2u);
  EXPECT_NE(Logged[1].find("too few for the BMP headers"), std::string::npos);

  image.SetPictureFileName(Bmp("there.bmp", 8, 8));
  texture.Apply(Rci);
  EXPECT_EQ(gl.Count("gluBuild2DMipmaps"), 1);
  EXPECT_EQ(Rci.GLStates, GLStateBit(stTexture2D));
  EXPECT_EQ(XGLMapping(), xmMain);
}

// Each file is changed after it was read: what the texture shows tells whether it
// was read again.
TEST_F(GLTextureTest, APictureFileIsReadOnceWhetherItLoadsOrNot) {
  TGLTexture texture(nullptr);
  texture.SetImageClassName("TGLPicFileImage");
  texture.SetDisabled(false);
  auto& image = static_cast<TGLPicFileImage&>(texture.Image());
  // Under 512 bytes: read to see whether it names another file, and decoded from that.
  const std::string small = Bmp("small.bmp", 4, 4);
  image.LoadFromFile(small);
  WriteFileBytes(small, "BM");
  texture.Apply(Rci);
  EXPECT_EQ(std::pair(gl.Count("gluBuild2DMipmaps"), Logged.size()), std::pair(1, std::size_t(0)));

  // A damaged file is not read again when the texture is rebuilt...
  const std::string cut = Folder.File("cut.jpg");
  const std::string good = JpegBytes(16, 16, TRgbRows(16, std::vector<std::uint8_t>(48, 9)));
  WriteFileBytes(cut, good.substr(0, 300));
  image.SetPictureFileName(cut);
  texture.Apply(Rci);
  WriteFileBytes(cut, good);
  texture.SetMinFilter(miLinear);
  texture.Apply(Rci);
  texture.DestroyHandles();
  texture.Apply(Rci);
  EXPECT_EQ(Logged, TTexts(3, "Texture drawn without its image: Cannot read the picture file " + cut +
                                  ": the file is cut short: its JPEG data ends before the picture does"));
  // ...only when it is named anew.
  image.SetPictureFileName(small);
  image.SetPictureFileName(cut);
  texture.Apply(Rci);
  EXPECT_EQ(std::pair(gl.Count("glTexImage2D"), Logged.size()), std::pair(1, std::size_t(3)));
}

TEST_F(GLTextureTest, AnUnknownImageClassKeepsTheImage) {
  TOwnerStub owner;
  TGLTexture texture(&owner);
  TGLTextureImage* before = &texture.Image();
  EXPECT_FALSE(texture.ImageClassNameStored());
  EXPECT_EQ(BRV_ERROR_TEXT(ETexture, texture.SetImageClassName("TGLNoSuchImage")),
            "Unknown texture image class TGLNoSuchImage");
  EXPECT_EQ(&texture.Image(), before);
  EXPECT_EQ(owner.Reports, 0);
  texture.SetImageClassName("TGLBlankImage");
  EXPECT_TRUE(texture.ImageClassNameStored());
  EXPECT_EQ(owner.Reports, 1);
}

TEST_F(GLTextureTest, UploadsHappenOnlyWhenRebuildingAndAfterTheBind) {
  TOwnerStub owner;
  TGLTexture a(&owner), b(nullptr);
  MakeBlank(a, 4);
  MakeBlank(b, 4);
  a.SetMinFilter(miLinear);
  const std::string texEnv = GLCallText("glTexEnvi", GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
  const TTexts upload{
      GLCallText("glHint", GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST),
      GLCallText("glPixelStorei", GL_UNPACK_ALIGNMENT, 4),
      GLCallText("glPixelStorei", GL_UNPACK_ROW_LENGTH, 0),
      GLCallText("glPixelStorei", GL_UNPACK_SKIP_ROWS, 0),
      GLCallText("glPixelStorei", GL_UNPACK_SKIP_PIXELS, 0),
      GLCallText("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT),
      GLCallText("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT),
      GLCallText("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR),
      GLCallText("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR),
      "glGetError()",
      GLCallText("glGetIntegerv", GL_MAX_TEXTURE_SIZE, "ptr"),
      GLCallText("glTexImage2D", GL_TEXTURE_2D, 0, GL_RGBA, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, "ptr"),
      GLCallText("glGetTexLevelParameteriv", GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE_ARB, "ptr"),
      "glGetError()",
      "glGetError()"};
  TTexts first{"glGenTextures(1, ptr)", GLCallText("glBindTexture", GL_TEXTURE_2D, 1)};
  first.insert(first.end(), upload.begin(), upload.end());
  first.insert(first.end(), {GLCallText("glEnable", GL_TEXTURE_2D), texEnv});
  EXPECT_EQ(gl.CallsOf([&] { a.Apply(Rci); }), first);
  EXPECT_EQ(gl.CallsOf([&] { a.Apply(Rci); }), TTexts{texEnv});
  b.Apply(Rci);
  EXPECT_EQ(gl.CallsOf([&] { a.GetHandle(); }), TTexts{}) << "an unchanged texture is neither bound nor filled";

  owner.Reports = 0;
  a.SetMinFilter(miLinear);
  EXPECT_EQ(owner.Reports, 0);
  a.SetImageAlpha(tiaOpaque);
  EXPECT_EQ(owner.Reports, 1);
  TTexts again{GLCallText("glBindTexture", GL_TEXTURE_2D, 1)};
  again.insert(again.end(), upload.begin(), upload.end());
  again.push_back(texEnv);
  EXPECT_EQ(gl.CallsOf([&] { a.Apply(Rci); }), again) << "bound before it is filled: b was bound";

  a.SetMinFilter(miLinearMipmapLinear);
  EXPECT_EQ(gl.CallsOf([&] { a.Apply(Rci); }).at(11),
            GLCallText("gluBuild2DMipmaps", GL_TEXTURE_2D, GL_RGBA, 4, 4, GL_RGBA, GL_UNSIGNED_BYTE, "ptr"));
  a.DestroyHandles();
  EXPECT_EQ(gl.CallsOf([&] { a.Apply(Rci); }).at(0), "glGenTextures(1, ptr)");
}

// The pieces of a side showing one picture: one GL texture, uploaded once and bound
// by every piece, each drawing it in its own mode. When the picture goes, the pieces
// hear of it and draw their own image again.
TEST_F(GLTextureTest, TexturesSharingOnePictureUploadItOnce) {
  auto picture = std::make_unique<TGLTexture>(nullptr);
  picture->Image().LoadFromFile(Bmp("wood.bmp", 8, 8));
  picture->SetMinFilter(miLinear);
  std::vector<std::unique_ptr<TOwnerStub>> owners;
  std::vector<std::unique_ptr<TGLTexture>> pieces;
  for (int i = 0; i < 16; ++i) {
    owners.push_back(std::make_unique<TOwnerStub>());
    pieces.push_back(std::make_unique<TGLTexture>(owners.back().get()));
    pieces.back()->SetTextureMode(i % 2 ? tmModulate : tmReplace);
    pieces.back()->SetDisabled(false);
    owners.back()->Reports = 0;
    pieces.back()->SetSharedTexture(picture.get());
    EXPECT_EQ(owners.back()->Reports, 1) << "the owner redraws";
  }
  auto drawAll = [&] {
    for (auto& piece : pieces) {
      piece->Apply(Rci);
      piece->UnApply(Rci);
    }
  };
  drawAll();
  EXPECT_EQ(gl.Texts("glTexImage2D"),
            TTexts{GLCallText("glTexImage2D", GL_TEXTURE_2D, 0, GL_RGBA, 8, 8, 0, GL_RGBA, GL_UNSIGNED_BYTE, "ptr")});
  EXPECT_EQ(gl.Count("glGenTextures"), 1);
  EXPECT_EQ(gl.Texts("glBindTexture"), TTexts{GLCallText("glBindTexture", GL_TEXTURE_2D, 1)}) << "bound once, kept";
  const TTexts envs = gl.Texts("glTexEnvi");
  ASSERT_EQ(envs.size(), 16u);
  EXPECT_EQ(envs[0], GLCallText("glTexEnvi", GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE));
  EXPECT_EQ(envs[1], GLCallText("glTexEnvi", GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE));
  EXPECT_EQ(pieces[3]->GetHandle(), 1u);

  // A piece's own handles are its own: the picture stays uploaded.
  pieces[0]->DestroyHandles();
  pieces[0]->SetMinFilter(miNearest);
  gl.Clear();
  drawAll();
  EXPECT_EQ(gl.Count("glTexImage2D") + gl.Count("glDeleteTextures") + gl.Count("glGenTextures"), 0);

  // The picture goes: freed once, and the pieces draw their own empty images.
  for (auto& owner : owners) owner->Reports = 0;
  gl.Clear();
  picture.reset();
  EXPECT_EQ(gl.Texts("glDeleteTextures"), TTexts{GLCallText("glDeleteTextures", 1, "ptr")});
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    EXPECT_EQ(pieces[i]->SharedTexture(), nullptr);
    EXPECT_EQ(owners[i]->Reports, 1);
  }
  pieces[0]->Apply(Rci);
  EXPECT_EQ(gl.Count("glGenTextures"), 1);
  EXPECT_EQ(gl.Count("glTexImage2D"), 0);

  // A texture shares one that draws its own image, never itself.
  TGLTexture a(nullptr), b(nullptr);
  a.SetSharedTexture(&b);
  const std::string refused = "TGLTexture::SetSharedTexture(): a texture shares one that draws its own image";
  EXPECT_EQ(AssertionText([&] { b.SetSharedTexture(&a); }), refused);
  EXPECT_EQ(AssertionText([&] { b.SetSharedTexture(&b); }), refused);
  EXPECT_EQ(b.SharedTexture(), nullptr);
}

TEST_F(GLTextureTest, CompressionAndGenerationDependOnTheDriver) {
  TGLTexture texture(nullptr);
  texture.SetCompression(tcHighSpeed);
  EXPECT_EQ(gl.CallsOf([&] { EXPECT_EQ(texture.GLInternalFormat(), GL_RGBA); }), TTexts{}) << "no compression";
  gl.ARB_texture_compression = true;
  EXPECT_EQ(gl.CallsOf([&] { EXPECT_EQ(texture.GLInternalFormat(), GL_COMPRESSED_RGBA_ARB); }),
            TTexts{GLCallText("glHint", GL_TEXTURE_COMPRESSION_HINT_ARB, GL_FASTEST)});
  texture.SetTextureFormat(tfRGB16);
  texture.SetCompression(tcDefault);
  EXPECT_EQ(texture.GLInternalFormat(), GL_RGB5) << "the default compression is none";

  gl.EXT_texture_filter_anisotropic = true;
  texture.SetDisabled(false);
  texture.SetFilteringQuality(tfAnisotropic);
  texture.SetMappingMode(tmmCubeMapReflection);
  texture.Apply(Rci);
  EXPECT_EQ(gl.Texts("glTexParameteri").back(),
            GLCallText("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 2));
  EXPECT_EQ(gl.Count("glTexGeni"), 3) << "S, T and R";
  EXPECT_EQ(gl.CallsOf([&] { texture.UnApply(Rci); }),
            (TTexts{GLCallText("glDisable", GL_TEXTURE_GEN_S), GLCallText("glDisable", GL_TEXTURE_GEN_T),
                    GLCallText("glDisable", GL_TEXTURE_GEN_R)}));
}

TEST_F(GLTextureTest, DisabledTexturesOnlySwitchTexturingOff) {
  TGLTexture texture(nullptr);
  XGLMapToMain();
  EXPECT_EQ(gl.CallsOf([&] { texture.Apply(Rci); }), TTexts{});
  EXPECT_EQ(XGLMapping(), xmNull);
  Rci.GLStates = GLStateBit(stTexture2D);
  EXPECT_EQ(gl.CallsOf([&] { texture.Apply(Rci); }), TTexts{GLCallText("glDisable", GL_TEXTURE_2D)});
  EXPECT_EQ(gl.CallsOf([&] { texture.UnApply(Rci); }), TTexts{});

  // On the second unit the texture leaves unit 0 active again.
  MakeBlank(texture, 4);
  const TTexts second = gl.CallsOf([&] { texture.ApplyAsSecondTexture(nullptr); });
  EXPECT_EQ(second.front(), GLCallText("glActiveTextureARB", GL_TEXTURE1_ARB));
  EXPECT_EQ(second.back(), GLCallText("glActiveTextureARB", GL_TEXTURE0_ARB));
  EXPECT_EQ(gl.Count("gluBuild2DMipmaps"), 1);
}

TEST_F(GLTextureTest, CubeMapsUploadSixSquareFacesOfOneSize) {
  gl.ARB_texture_cube_map = true;
  TGLTexture texture(nullptr);
  texture.SetImageClassName("TGLCubeMapImage");
  texture.SetDisabled(false);
  auto& cube = static_cast<TGLCubeMapImage&>(texture.Image());
  for (int face = 0; face < 6; ++face) cube.Picture(face).LoadFromFile(Bmp("face.bmp", 4, face == 5 ? 8 : 4));
  const TMatrix4 modelView = IdentityHmgMatrix;
  Rci.ModelViewMatrix = &modelView;
  texture.Apply(Rci);
  EXPECT_EQ(gl.Count("gluBuild2DMipmaps"), 0) << "one face differs: no cube map";

  cube.Picture(5).LoadFromFile(Bmp("face.bmp", 4, 4));
  gl.CallsOf([&] { texture.Apply(Rci); });
  TTexts faces;
  for (GLenum target = GL_TEXTURE_CUBE_MAP_POSITIVE_X; target <= GL_TEXTURE_CUBE_MAP_NEGATIVE_Z; ++target)
    faces.push_back(GLCallText("gluBuild2DMipmaps", target, GL_RGBA, 4, 4, GL_RGBA, GL_UNSIGNED_BYTE, "ptr"));
  EXPECT_EQ(gl.Texts("gluBuild2DMipmaps"), faces);
  EXPECT_EQ(gl.Count("glLoadMatrixf"), 1);
  EXPECT_EQ(gl.CallsOf([&] { texture.UnApply(Rci); }),
            (TTexts{GLCallText("glDisable", GL_TEXTURE_CUBE_MAP), GLCallText("glMatrixMode", GL_TEXTURE),
                    "glLoadIdentity()", GLCallText("glMatrixMode", GL_MODELVIEW)}));

  // Any target other than a face shows face 0.
  cube.Picture(1).Clear();
  EXPECT_EQ(cube.AcquireBitmap(GL_TEXTURE_2D)->Width(), 4);
  EXPECT_EQ(cube.AcquireBitmap(GL_TEXTURE_CUBE_MAP_NEGATIVE_X)->Width(), 0);
}

TEST_F(GLTextureTest, AMaterialHearsOfChangesOfTheTextureMapping) {
  TMaterialStub material;
  TGLTexture texture(&material);
  texture.SetDisabled(false);
  texture.SetMappingMode(tmmSphere);
  texture.SetMappingMode(tmmUser);
  EXPECT_EQ(std::pair(material.TexMapChanges, material.Reports), std::pair(2, 1));

  TOwnerStub other;
  TGLTexture plain(&other);
  plain.SetMappingMode(tmmEyeLinear);
  plain.SetMappingMode(tmmUser);
  plain.SetDisabled(false);
  plain.MappingSCoordinates().SetVector(0, 1, 0);
  EXPECT_EQ(other.Reports, 4);
}

TEST_F(GLTextureTest, TexturesCopyTheirSettingsAndImages) {
  TGLTexture source(nullptr), copy(nullptr);
  source.SetImageClassName("TGLPicFileImage");
  auto& sourceImage = static_cast<TGLPicFileImage&>(source.Image());
  sourceImage.SetPictureFileName(Bmp("small.bmp", 4, 2));
  source.SetTextureMode(tmModulate);
  source.MappingTCoordinates().SetVector(0, 1, 0);
  copy.Assign(&source);
  EXPECT_EQ(copy.TextureMode(), tmModulate);
  EXPECT_EQ(copy.MappingTCoordinates().Y(), 1);
  auto& image = static_cast<TGLPicFileImage&>(copy.Image());
  EXPECT_EQ(image.AcquireBitmap(GL_TEXTURE_2D)->Height(), 2);
  // Another name drops the picture of the old one.
  sourceImage.SetPictureFileName(Bmp("tall.bmp", 4, 6));
  copy.Assign(&source);
  EXPECT_EQ(image.AcquireBitmap(GL_TEXTURE_2D)->Height(), 6);

  TBitmap bitmap(8, 3, pf24bit);
  copy.SetImageClassName("TGLPersistentImage");
  copy.Assign(&bitmap);
  EXPECT_EQ(copy.Image().GetWidth(), 8);
  EXPECT_THROW(copy.Assign(nullptr), EConvertError);
}

TEST_F(GLTextureTest, ImagesAskTheUserThroughTheDialogs) {
  TRecordingDialogs dialogs;
  TGLTexture texture(nullptr);
  TGLBlankImage blank(&texture);
  for (auto [answer, edited, width] : {std::tuple{" 300 x 20 ", true, 300}, {"twelve x", true, 256},
                                       {"300 by 20", false, 256}}) {
    dialogs.Answer = answer;
    EXPECT_EQ(blank.Edit(), edited) << answer;
    EXPECT_EQ(blank.Width(), width) << answer;
  }
  EXPECT_EQ(dialogs.Asked.front(), "Blank Image|Enter size|256 x 256");

  TGLPersistentImage persistent(&texture);
  EXPECT_FALSE(persistent.Edit());
  dialogs.Picked = Bmp("picked.bmp", 5, 3);
  EXPECT_TRUE(persistent.Edit());
  EXPECT_EQ(persistent.GetWidth(), 5);
  EXPECT_THROW(persistent.LoadFromFile(Folder.File("gone.bmp")), ETexture);
  EXPECT_EQ(persistent.GetWidth(), 0);

  TGLCubeMapImage cube(&texture);
  EXPECT_FALSE(cube.Edit());
  EXPECT_EQ(dialogs.Messages, (TTexts{"Invalid size", "Not supported... yet"}));
}

}  // namespace
