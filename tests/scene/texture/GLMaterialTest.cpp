// Materials and the material library: names, links and their life cycle, texture
// folders, the stream form, and the GL calls of Apply and UnApply on the
// recording table.

#include "scene/texture/GLMaterial.h"

#include "scene/gl/XOpenGL.h"
#include "tests/base/PersistenceTestSupport.h"
#include "tests/scene/SceneTestSupport.h"
#include "tests/scene/support/PictureTestSupport.h"
#include "tests/scene/support/RecordingGL.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using TTexts = std::vector<std::string>;

// A shader that notes its steps on the recording table and asks for `Passes` passes.
class TNotingShader : public TGLShader {
  BRV_CLASS(TNotingShader, TGLShader)

public:
  using TGLShader::TGLShader;
  ~TNotingShader() override { FinalizeShader(); }
  int Passes = 1;

protected:
  void DoApply(TRenderContextInfo&, TObject*) override { TRecordingGL::Current().Note("DoApply"); }
  bool DoUnApply(TRenderContextInfo&) override {
    TRecordingGL::Current().Note("DoUnApply");
    return --Passes > 0;
  }
  void DoInitialize() override { TRecordingGL::Current().Note("DoInitialize"); }
  void DoFinalize() override { TRecordingGL::Current().Note("DoFinalize"); }
};

class GLMaterialTest : public ::testing::Test {
public:
  void SetUp() override {
    gl.ARB_multitexture = true;
    Context.CreateContext(0);
    Context.Activate();
    InvalidateGLStateCaches();
    XGLMapToNull();
    Rci.GLStates = GLStateBit(stLighting);
    // The default colours are known on both faces, so that the cases below show
    // only what they change.
    TGLFaceProperties defaults(nullptr);
    defaults.Apply(GL_FRONT, true);
    defaults.Apply(GL_BACK, true);
    gl.Clear();
  }
  void TearDown() override { Context.Deactivate(); }

  TGLLibMaterial& Item(const std::string& name) {
    TGLLibMaterial& item = Library->Materials().Add();
    item.SetName(name);
    return item;
  }
  static void Link(TGLMaterial& material, TGLMaterialLibrary& library, const std::string& name) {
    material.SetMaterialLibrary(&library);
    material.SetLibMaterialName(name);
  }
  static void MakeBlank(TGLTexture& texture) {
    texture.SetImageClassName("TGLBlankImage");
    static_cast<TGLBlankImage&>(texture.Image()).SetWidth(4);
    static_cast<TGLBlankImage&>(texture.Image()).SetHeight(4);
    texture.SetDisabled(false);
  }

  TRecordingGL gl;
  TFakeGLContext Context;
  TRenderContextInfo Rci;
  std::unique_ptr<TNotingShader> Shader = std::make_unique<TNotingShader>(nullptr);
  std::unique_ptr<TGLMaterialLibrary> Library = std::make_unique<TGLMaterialLibrary>(nullptr);
};

TEST_F(GLMaterialTest, NewItemsAreNamedUniquelyAndFoundByTheirExactName) {
  TGLLibMaterials& materials = Library->Materials();
  for (int i = 0; i < 3; ++i) materials.Add();
  EXPECT_EQ(materials.Items(0).Name(), "LibMaterial");
  EXPECT_EQ(materials.Items(1).Name(), "LibMaterial1");
  EXPECT_EQ(materials.Items(2).Name(), "LibMaterial2");
  materials.Items(2).SetName("LibMaterial");
  EXPECT_EQ(materials.Items(2).Name(), "LibMaterial3");
  materials.Items(1).SetName("Wood");
  EXPECT_EQ(materials.Items(1).GetDisplayName(), "Wood");

  EXPECT_EQ(materials.LibMaterialNamed("Wood"), &materials.Items(1));
  EXPECT_EQ(materials.LibMaterialNamed("wood"), nullptr);
  EXPECT_EQ(materials.LibMaterialNamed("LibMaterial3"), &materials.Items(2));

  // A copy of the library keeps the names, and so the links made by name.
  TGLMaterialLibrary copy(nullptr);
  copy.Materials().Add().SetName("Old");
  copy.SetMaterials(materials);
  ASSERT_EQ(copy.Materials().Count(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(copy.Materials().Items(i).Name(), materials.Items(i).Name());

  // While a layout is read, names are taken as they come.
  Library->BeginReading();
  materials.Items(0).SetName("Wood");
  Library->EndReading();
  Library->Loaded();
  EXPECT_EQ(materials.Items(0).Name(), "Wood");
}

TEST_F(GLMaterialTest, LinksLeaveNoDanglingUserWhicheverSideGoesFirst) {
  // Each case frees one side of the links between a material, library materials
  // (one the second texture of the other), a shader and the library, and reads
  // what is left; AddressSanitizer watches the rest, freed in another order.
  using TOwned = std::tuple<std::unique_ptr<TGLMaterial>, std::unique_ptr<TNotingShader>>;
  struct TCase {
    std::function<void(GLMaterialTest&, TOwned&)> Free;
    std::string Left;
  };
  const TCase cases[] = {
      {[](auto&, TOwned& o) { std::get<0>(o).reset(); },
       "material gone, unlinked in library, wood: 0 users 'grain' shaded, grain: 1 users, shader: 1 users"},
      {[](auto& t, TOwned&) { t.Library->Materials().Delete(0); },
       "material unlinked, unlinked in library, wood gone, grain: 0 users, shader: 0 users"},
      {[](auto& t, TOwned&) { t.Library->Materials().Delete(1); },
       "material linked, unlinked in library, wood: 1 users '' shaded, grain gone, shader: 1 users"},
      {[](auto&, TOwned& o) { std::get<1>(o).reset(); },
       "material linked, unlinked in library, wood: 1 users 'grain', grain: 1 users, shader gone"},
      {[](auto& t, TOwned&) { t.Library.reset(); },
       "material unlinked, unlinked alone, wood gone, grain gone, shader: 0 users"},
  };
  for (const TCase& c : cases) {
    Library = std::make_unique<TGLMaterialLibrary>(nullptr);
    TGLLibMaterial& wood = Item("wood");
    MakeBlank(Item("grain").Material().Texture());
    wood.SetTexture2Name("grain");
    TOwned owned{std::make_unique<TGLMaterial>(nullptr), std::make_unique<TNotingShader>(nullptr)};
    auto& [material, shader] = owned;
    wood.SetShader(shader.get());
    Link(*material, *Library, "wood");
    TGLMaterial unlinked(nullptr);
    Link(unlinked, *Library, "missing");  // registers nowhere
    wood.Apply(Rci);  // resolves the second texture
    wood.UnApply(Rci);
    auto left = [&] {
      std::string text = !material ? "material gone" : material->LibMaterial() ? "material linked"
                         : material->MaterialLibrary() || !material->LibMaterialName().empty() ? "material half linked"
                                                                                                : "material unlinked";
      text += unlinked.MaterialLibrary() ? ", unlinked in library" : ", unlinked alone";
      for (const char* name : {"wood", "grain"}) {
        TGLLibMaterial* item = Library ? Library->Materials().LibMaterialNamed(name) : nullptr;
        text += std::string(", ") + name + (item ? ": " + std::to_string(item->UserCount()) + " users" : " gone");
        if (item && item == Library->Materials().LibMaterialNamed("wood"))
          text += " '" + item->Texture2Name() + "'" + (item->Shader() ? " shaded" : "");
      }
      return text + (shader ? ", shader: " + std::to_string(shader->UserCount()) + " users" : ", shader gone");
    };
    ASSERT_EQ(left(), "material linked, unlinked in library, wood: 1 users 'grain' shaded, grain: 1 users, "
                      "shader: 1 users");
    c.Free(*this, owned);
    EXPECT_EQ(left(), c.Left);
    Library.reset();
  }
}

TEST_F(GLMaterialTest, ALinkThatClosesACycleFailsAndChangesNothing) {
  TGLLibMaterial& a = Item("a");
  TGLLibMaterial& b = Item("b");
  TGLLibMaterial& c = Item("c");
  Link(a.Material(), *Library, "b");
  Link(b.Material(), *Library, "c");
  const std::string cycle = "Error: Cyclic material reference detected!";
  EXPECT_EQ(AssertionText([&] { Link(c.Material(), *Library, "a"); }), cycle);
  EXPECT_EQ(AssertionText([&] { Link(a.Material(), *Library, "a"); }), cycle) << "a link to itself";
  EXPECT_EQ(c.Material().LibMaterial(), nullptr);
  EXPECT_EQ(c.Material().LibMaterialName(), "");
  EXPECT_EQ(a.Material().LibMaterialName(), "b");
  EXPECT_EQ(a.Material().LibMaterial(), &b);

  // The library given afterwards closes the cycle: the former library stays.
  c.Material().SetMaterialLibrary(nullptr);
  c.Material().SetLibMaterialName("a");
  EXPECT_EQ(AssertionText([&] { c.Material().SetMaterialLibrary(Library.get()); }), cycle);
  EXPECT_EQ(c.Material().MaterialLibrary(), nullptr);
}

TEST_F(GLMaterialTest, FaceCullingFollowsTheMaterialTheStateAndTheBuffer) {
  struct TCase {
    TFaceCulling Culling;
    bool CullingOn, BufferCulls;
    bool CullingAfter, BackApplied;
  };
  const TCase cases[] = {
      {fcBufferDefault, true, true, true, false},   {fcBufferDefault, true, false, false, true},
      {fcBufferDefault, false, true, true, false},  {fcBufferDefault, false, false, false, true},
      {fcCull, true, false, true, false},           {fcCull, false, false, true, false},
      {fcNoCull, true, true, false, true},          {fcNoCull, false, true, false, true},
  };
  TGLMaterial material(nullptr);
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.Culling) << " on " << c.CullingOn << " buffer " << c.BufferCulls);
    material.SetFaceCulling(c.Culling);
    InvalidateGLStateCaches();
    Rci.GLStates = GLStateBit(stLighting) | (c.CullingOn ? GLStateBit(stCullFace) : 0);
    Rci.FaceCulling = c.BufferCulls;
    gl.Clear();
    material.Apply(Rci);
    EXPECT_EQ(bool(Rci.GLStates & GLStateBit(stCullFace)), c.CullingAfter);
    EXPECT_EQ(gl.Count("glEnable") + gl.Count("glDisable"), c.CullingOn == c.CullingAfter ? 0 : 1);
    EXPECT_EQ(gl.Texts("glPolygonMode").size(), c.BackApplied ? 2u : 1u);
  }
  material.SetFaceCulling(static_cast<TFaceCulling>(7));
  EXPECT_NE(AssertionText([&] { material.Apply(Rci); }), "");
}

TEST_F(GLMaterialTest, ApplyAndUnApplySendWhatTheMaterialChanges) {
  const std::string disableLighting = GLCallText("glDisable", GL_LIGHTING);
  const std::string enableLighting = GLCallText("glEnable", GL_LIGHTING);
  const std::string diffuseColour = "glColor4fv(ptr)";
  const std::string enableBlend = GLCallText("glEnable", GL_BLEND);
  const TTexts identityMatrix{GLCallText("glMatrixMode", GL_TEXTURE), "glLoadIdentity()",
                              GLCallText("glMatrixMode", GL_MODELVIEW)};

  struct TCase {
    const char* Name;
    // Prepares the material (and the frame), then draws as the render walk does.
    std::function<void(GLMaterialTest&, TGLMaterial&)> Prepare;
    TTexts Apply, UnApply;
    TGLStates StatesAfter;
  };
  const TGLStates lit = GLStateBit(stLighting);
  const TTexts additive{enableBlend, GLCallText("glBlendFunc", GL_SRC_ALPHA, GL_ONE)};
  // The material drawn with an additive library material and the fixture's shader.
  auto Shaded = [](TGLShaderStyle style) {
    return [style](GLMaterialTest& t, TGLMaterial& m) {
      t.Shader->SetShaderStyle(style);
      t.Shader->Passes = 1;
      TGLLibMaterial& shaded = t.Item("shaded");
      shaded.Material().SetBlendingMode(bmAdditive);
      shaded.SetShader(t.Shader.get());
      Link(m, *t.Library, "shaded");
    };
  };
  const TCase cases[] = {
      {"opaque, nothing to change", [](auto&, auto&) {}, {}, {}, lit},
      {"transparency",
       [](auto&, TGLMaterial& m) { m.SetBlendingMode(bmTransparency); },
       {enableBlend, GLCallText("glBlendFunc", GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA)},
       {},
       lit | GLStateBit(stBlend)},
      {"additive", [](auto&, TGLMaterial& m) { m.SetBlendingMode(bmAdditive); }, additive, {},
       lit | GLStateBit(stBlend)},
      {"no lighting: the diffuse colour as the current colour",
       [](auto&, TGLMaterial& m) { m.SetMaterialOptions(moNoLighting); },
       {disableLighting, diffuseColour},
       {enableLighting},
       lit},
      {"ignore fog",
       [](auto& t, TGLMaterial& m) {
         m.SetMaterialOptions(moIgnoreFog);
         t.Rci.GLStates |= GLStateBit(stFog);
       },
       {GLCallText("glDisable", GL_FOG)},
       {GLCallText("glEnable", GL_FOG)},
       lit | GLStateBit(stFog)},
      {"linked: the library material's properties, not its own",
       [](auto& t, TGLMaterial& m) {
         m.SetBlendingMode(bmTransparency);
         t.Item("glow").Material().SetBlendingMode(bmAdditive);
         Link(m, *t.Library, "glow");
       },
       additive, {}, lit | GLStateBit(stBlend)},
      {"a library texture matrix around the texture",
       [](auto& t, TGLMaterial& m) {
         TGLLibMaterial& scaled = t.Item("scaled");
         MakeBlank(scaled.Material().Texture());
         scaled.TextureScale().SetVector4(2, 2, 1, 0);
         scaled.PrepareBuildList();
         Link(m, *t.Library, "scaled");
       },
       {GLCallText("glMatrixMode", GL_TEXTURE), "glLoadMatrixf(ptr)", GLCallText("glMatrixMode", GL_MODELVIEW),
        GLCallText("glEnable", GL_TEXTURE_2D), GLCallText("glTexEnvi", GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL)},
       identityMatrix,
       lit | GLStateBit(stTexture2D)},
      {"a shader before the material, set up on first use", Shaded(ssBeforeMaterial),
       {"DoInitialize()", "DoApply()", additive[0], additive[1]},
       {"DoUnApply()"}, lit | GLStateBit(stBlend)},
      {"a shader after the material", Shaded(ssAfterMaterial), {additive[0], additive[1], "DoApply()"},
       {"DoUnApply()"}, lit | GLStateBit(stBlend)},
      {"a shader instead of the material", Shaded(ssInsteadOfMaterial), {"DoApply()"}, {"DoUnApply()"}, lit},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Library = std::make_unique<TGLMaterialLibrary>(nullptr);
    Rci.GLStates = lit;
    Rci.LightingDisabledCounter = Rci.FogDisabledCounter = 0;
    TGLMaterial material(nullptr);
    c.Prepare(*this, material);
    EXPECT_EQ(gl.CallsOf([&] { material.Apply(Rci); }), c.Apply);
    EXPECT_EQ(gl.CallsOf([&] {
      while (material.UnApply(Rci)) {
      }
    }),
              c.UnApply);
    EXPECT_EQ(Rci.GLStates, c.StatesAfter);
    EXPECT_EQ(Rci.LightingDisabledCounter + Rci.FogDisabledCounter, 0);
  }
}

TEST_F(GLMaterialTest, NestedMaterialsWithoutLightingSwitchItOnOnlyAtTheOuterEnd) {
  TGLMaterial outer(nullptr), inner(nullptr), lit(nullptr);
  outer.SetMaterialOptions(moNoLighting | moIgnoreFog);
  inner.SetMaterialOptions(moNoLighting | moIgnoreFog);
  Rci.GLStates = GLStateBit(stLighting) | GLStateBit(stFog);
  outer.Apply(Rci);
  inner.Apply(Rci);
  lit.Apply(Rci);
  lit.UnApply(Rci);
  inner.UnApply(Rci);
  EXPECT_EQ(Rci.GLStates & (GLStateBit(stLighting) | GLStateBit(stFog)), 0u) << "still inside the outer material";
  outer.UnApply(Rci);
  EXPECT_EQ(Rci.GLStates, GLStateBit(stLighting) | GLStateBit(stFog));
}

TEST_F(GLMaterialTest, TheSecondTextureTakesTheCoordinatesItsMappingWants) {
  struct TCase {
    bool MainUser, SecondUser;
    TXGLMapping Mapping;
  };
  const TCase cases[] = {
      {true, true, xmDual}, {true, false, xmMain}, {false, true, xmSecond}, {false, false, xmNull}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "main " << c.MainUser << " second " << c.SecondUser);
    Library = std::make_unique<TGLMaterialLibrary>(nullptr);
    TGLLibMaterial& base = Item("base");
    TGLLibMaterial& detail = Item("detail");
    MakeBlank(base.Material().Texture());
    MakeBlank(detail.Material().Texture());
    base.Material().Texture().SetMappingMode(c.MainUser ? tmmUser : tmmObjectLinear);
    detail.Material().Texture().SetMappingMode(c.SecondUser ? tmmUser : tmmSphere);
    base.SetTexture2Name("detail");
    base.Apply(Rci);
    EXPECT_EQ(XGLMapping(), c.Mapping);
    EXPECT_EQ(gl.Count("glActiveTextureARB"), 2) << "unit 1, and back to unit 0";
    base.UnApply(Rci);
    EXPECT_EQ(XGLMapping(), xmMain);
    gl.Clear();
  }
  // A name that no item has is dropped at the first use.
  TGLLibMaterial& alone = Item("alone");
  alone.SetTexture2Name("nothing");
  alone.Apply(Rci);
  alone.UnApply(Rci);
  EXPECT_EQ(alone.Texture2Name(), "");
}

TEST_F(GLMaterialTest, ShadersBalanceTheirApplicationsAndFinaliseWhenFreed) {
  TGLLibMaterial& item = Item("item");
  item.SetShader(Shader.get());
  const std::string unbalanced = "Unbalanced shader application.";
  EXPECT_EQ(AssertionText([&] { Shader->UnApply(Rci); }), unbalanced);
  Shader->Apply(Rci, &item);
  EXPECT_EQ(AssertionText([&] { Shader->Apply(Rci, &item); }), unbalanced);
  EXPECT_FALSE(Shader->UnApply(Rci));
  EXPECT_EQ(gl.Count("DoInitialize"), 1);
  Shader.reset();
  EXPECT_EQ(gl.Count("DoFinalize"), 1);
}

TEST_F(GLMaterialTest, TextureFilesAreLookedUpInTheLibraryFolders) {
  Library->SetTexturePaths("a; b\\;;c/ ;  ");
  EXPECT_EQ(Library->TexturePathList(), (TTexts{"a/", "b/", "c/"}));
  Library->SetTexturePaths("");
  EXPECT_TRUE(Library->TexturePathList().empty());

  TScratchFolder folder;
  std::filesystem::create_directories(folder.Path() / "one" / "sub");
  std::filesystem::create_directories(folder.Path() / "two");
  for (const char* file : {"two/wood.bmp", "one/sub/grain.bmp", "one/top.bmp", "two/top.bmp", "one/Mixed.BMP",
                           "two/mixed.bmp", "two/Upper.BMP"})
    WriteFileBytes(folder.File(file), "x");
  Library->SetTexturePaths(folder.File("one") + ";" + folder.File("two") + "\\");
  Library->OnTextureNeeded = [](TObject*, std::string& name) {
    if (name == "renamed.bmp") name = "wood.bmp";
  };
  struct TCase {
    std::string Asked, Found;
  };
  const TCase cases[] = {
      {"wood.bmp", folder.File("two/wood.bmp")},
      {"top.bmp", folder.File("one/top.bmp")},
      {"sub\\grain.bmp", folder.File("one/sub/grain.bmp")},
      {"renamed.bmp", folder.File("two/wood.bmp")},
      // Names written in another letter case, as Windows tools write them: only where
      // the exact name is in no folder, the first folder with the name in any case.
      {"WOOD.BMP", folder.File("two/wood.bmp")},
      {"TOP.bmp", folder.File("one/top.bmp")},
      {"SUB\\Grain.bmp", folder.File("one/sub/grain.bmp")},
      {"mixed.bmp", folder.File("two/mixed.bmp")},
      {"MIXED.bmp", folder.File("one/Mixed.BMP")},
      {"upper.bmp", folder.File("two/Upper.BMP")},
      {"none.bmp", "none.bmp"},
      {"/wood.bmp", "/wood.bmp"},
      {"c:wood.bmp", "c:wood.bmp"},
  };
  for (const TCase& c : cases) {
    std::string name = c.Asked;
    Library->DoOnTextureNeeded(nullptr, name);
    EXPECT_EQ(name, c.Found) << c.Asked;
  }

  // An item's texture asks the library: a picture file in a folder of the list loads.
  TBitmap bitmap(2, 2, pf24bit);
  FillPattern(bitmap);
  WriteFileBytes(folder.File("two/pattern.bmp"), BmpBytes(bitmap));
  TGLLibMaterial& added = Library->AddTexturedMaterial("wood", "pattern.bmp");
  const TGLTexture& texture = added.Material().Texture();
  EXPECT_EQ(texture.Image().GetWidth(), 2);
  EXPECT_EQ(std::tuple(texture.Disabled(), texture.TextureMode(), texture.MinFilter(), texture.MagFilter()),
            std::tuple(false, tmModulate, miLinearMipmapLinear, maLinear));
}

TEST_F(GLMaterialTest, TheItemsComeBackFromTheirStream) {
  TGLLibMaterial& base = Item("base");
  base.SetTag(7);
  base.TextureOffset().SetVector4(0.5f, 0, 0, 0);
  base.Material().FrontProperties().Diffuse().SetColor({0.1f, 0.2f, 0.3f, 0.4f});
  base.Material().BackProperties().SetShininess(200);
  base.Material().SetBlendingMode(bmAdditive);
  base.Material().SetMaterialOptions(moNoLighting);
  MakeBlank(base.Material().Texture());
  TBitmap bitmap(3, 2, pf24bit);
  FillPattern(bitmap);
  TGLLibMaterial& pictured = Item("pictured");
  pictured.Material().Texture().Image().Assign(&bitmap);
  pictured.SetTexture2Name("base");
  TGLLibMaterial& linked = Item("linked");
  Link(linked.Material(), *Library, "base");

  TStringStream stream;
  Library->WriteMaterials(stream);
  TGLMaterialLibrary copy(nullptr);
  copy.Materials().Add();
  stream.SetPosition(0);
  copy.ReadMaterials(stream);

  ASSERT_EQ(copy.Materials().Count(), 3);
  const TGLLibMaterial& b = copy.Materials().Items(0);
  EXPECT_EQ(b.Name(), "base");
  EXPECT_EQ(b.Tag(), 7);
  EXPECT_FALSE(b.TextureMatrixIsIdentity());
  ExpectVectorNear(b.Material().FrontProperties().Diffuse().Color(), {0.1f, 0.2f, 0.3f, 0.4f}, 0);
  EXPECT_EQ(const_cast<TGLLibMaterial&>(b).Material().BackProperties().Shininess(), MAX_SHININESS);
  EXPECT_EQ(std::tuple(b.Material().BlendingMode(), b.Material().MaterialOptions(), b.Material().Texture().Disabled()),
            std::tuple(bmAdditive, TMaterialOptions(moNoLighting), false));
  EXPECT_EQ(b.Material().Texture().Image().GetWidth(), 4) << b.Material().Texture().ImageClassName();
  EXPECT_EQ(copy.Materials().Items(1).Material().Texture().Image().GetHeight(), 2);
  EXPECT_EQ(copy.Materials().Items(1).Texture2Name(), "base");
  EXPECT_EQ(copy.Materials().Items(2).Material().LibMaterial(), &b);
  EXPECT_FALSE(copy.Materials().Items(2).Material().StoresOwnProperties());

  // Damaged streams raise and leave the library as it was.
  const std::string good = stream.DataString();
  TGLMaterialLibrary unknown(nullptr);
  unknown.Materials().Add().Material().SetFaceCulling(static_cast<TFaceCulling>(9));
  TStringStream badCulling;
  unknown.WriteMaterials(badCulling);
  struct TCase {
    std::string Bytes, Error;
  };
  const TCase cases[] = {
      {std::string("\x02\x01", 2), "Material library stream: expected version 0, found 1"},
      {good.substr(0, good.size() - 40), "Stream read error"},
      {badCulling.DataString(), "Material library stream: expected a FaceCulling from 0 to 2, found 9"},
  };
  for (const TCase& c : cases) {
    TStringStream damaged(c.Bytes);
    EXPECT_EQ(BRV_ERROR_TEXT(EReadError, copy.ReadMaterials(damaged)), c.Error);
    EXPECT_EQ(copy.Materials().Count(), 3);
    EXPECT_EQ(copy.Materials().Items(2).Material().LibMaterial(), &copy.Materials().Items(0));
  }
}

}  // namespace
