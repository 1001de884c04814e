#pragma once
// Materials and the material library.
//
// A TGLMaterial says how a surface is drawn: the colours of its front and back
// faces, polygon mode, blending, culling, fog and lighting options, and a texture.
// Instead of its own properties it may draw with a named TGLLibMaterial of a
// TGLMaterialLibrary; such a library material adds a texture matrix, a second
// texture and a shader, keeps the list of its users and passes its changes on to
// them.
//
//   TGLMaterialLibrary library(nullptr);
//   TGLLibMaterial& wood = library.AddTexturedMaterial("wood", "wood.jpg");
//   piece.Material().SetMaterialLibrary(&library);
//   piece.Material().SetLibMaterialName("wood");   // now draws as `wood`
//
// Links never dangle: a material leaves its library material's users when either
// of them goes, and forgets its library when the library goes.

#include "base/Collections.h"
#include "base/WeakReference.h"
#include "scene/GLColor.h"
#include "scene/GLMisc.h"
#include "scene/GLRenderContextInfo.h"
#include "scene/gl/GLContext.h"
#include "scene/texture/GLTexture.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TGLLibMaterial;
class TGLLibMaterials;
class TGLMaterialLibrary;
class TGLShader;

enum TPolygonMode : std::uint8_t { pmFill, pmLines, pmPoints };
// 0-128, the range GL accepts.
using TShininess = std::uint8_t;
inline constexpr TShininess MAX_SHININESS = 128;

enum TBlendingMode : std::uint8_t { bmOpaque, bmTransparency, bmAdditive };
enum TFaceCulling : std::uint8_t { fcBufferDefault, fcCull, fcNoCull };
// A set of material options, one bit each.
enum TMaterialOption : std::uint8_t { moIgnoreFog = 0x01, moNoLighting = 0x02 };
using TMaterialOptions = std::uint8_t;

// The colours, shininess and polygon mode of one side of a surface.
class TGLFaceProperties : public TGLUpdateAbleObject {
  BRV_CLASS(TGLFaceProperties, TGLUpdateAbleObject)

public:
  // Ambient (0.2, 0.2, 0.2, 1), diffuse (0.8, 0.8, 0.8, 1), emission and specular
  // opaque black, shininess 0, filled polygons.
  explicit TGLFaceProperties(TPersistent* owner);

  TGLColor& Ambient() { return FAmbient; }
  const TGLColor& Ambient() const { return FAmbient; }
  TGLColor& Diffuse() { return FDiffuse; }
  const TGLColor& Diffuse() const { return FDiffuse; }
  TGLColor& Emission() { return FEmission; }
  const TGLColor& Emission() const { return FEmission; }
  TGLColor& Specular() { return FSpecular; }
  const TGLColor& Specular() const { return FSpecular; }
  // Copy the four singles and report, also when unchanged.
  void SetAmbient(const TGLColor& value) { FAmbient.Assign(&value); }
  void SetDiffuse(const TGLColor& value) { FDiffuse.Assign(&value); }
  void SetEmission(const TGLColor& value) { FEmission.Assign(&value); }
  void SetSpecular(const TGLColor& value) { FSpecular.Assign(&value); }
  TShininess Shininess() const { return FShininess; }
  // A value above MAX_SHININESS is taken as MAX_SHININESS. Reports a change only.
  void SetShininess(TShininess value);
  TPolygonMode PolygonMode() const { return FPolygonMode; }
  void SetPolygonMode(TPolygonMode value);

  // From other face properties: colours, shininess and mode, then one report.
  void Assign(const TPersistent* source) override;
  // Sends the face's colours (GL_FRONT or GL_BACK): as material colours with
  // lighting, as the current colour (diffuse) without; then its polygon mode.
  void Apply(GLenum face, bool lighting) const;

private:
  TGLColor FAmbient, FDiffuse, FEmission, FSpecular;
  TShininess FShininess = 0;
  TPolygonMode FPolygonMode = pmFill;
};

// How a surface is drawn. Owned by a scene object, a library material or
// another update-able object.
class TGLMaterial : public TGLUpdateAbleObject, public TGLTextureOwnerHooks {
  BRV_CLASS(TGLMaterial, TGLUpdateAbleObject)

public:
  // Following links from one material to the next stops after this many steps:
  // a longer chain counts as a cycle.
  static constexpr int MAX_LINK_DEPTH = 16;

  explicit TGLMaterial(TPersistent* owner);
  // Leaves the user list of its library material.
  ~TGLMaterial() override;

  TGLFaceProperties& FrontProperties() { return *FFrontProperties; }
  const TGLFaceProperties& FrontProperties() const { return *FFrontProperties; }
  // Made on first use.
  TGLFaceProperties& BackProperties();
  bool HasBackProperties() const { return FBackProperties != nullptr; }
  // Copy into the owned properties and report.
  void SetFrontProperties(const TGLFaceProperties& value);
  void SetBackProperties(const TGLFaceProperties& value);
  TGLTexture& Texture() { return *FTexture; }
  const TGLTexture& Texture() const { return *FTexture; }
  void SetTexture(const TGLTexture& value) { FTexture->Assign(&value); }
  TBlendingMode BlendingMode() const { return FBlendingMode; }
  void SetBlendingMode(TBlendingMode value);
  TMaterialOptions MaterialOptions() const { return FMaterialOptions; }
  void SetMaterialOptions(TMaterialOptions value);
  TFaceCulling FaceCulling() const { return FFaceCulling; }
  void SetFaceCulling(TFaceCulling value);

  TGLMaterialLibrary* MaterialLibrary() const { return FMaterialLibrary.Get(); }
  // Stores the library and resolves LibMaterialName in it again. When that
  // fails (a cycle) the material keeps its former library.
  void SetMaterialLibrary(TGLMaterialLibrary* library);
  const std::string& LibMaterialName() const { return FLibMaterialName; }
  // Links the material to the library material of that name (case-sensitive);
  // a name the library does not hold leaves it unlinked, drawing with its own
  // properties. A link that would close a cycle of library materials, or a
  // chain longer than MAX_LINK_DEPTH, is an assertion failure with "Error:
  // Cyclic material reference detected!" and changes nothing.
  void SetLibMaterialName(const std::string& name);
  // The library material the material draws with, null without a link.
  TGLLibMaterial* LibMaterial() const { return FLibMaterial; }
  // Colours, blending and texture are stored only for a material that draws with
  // them: one without a link.
  bool StoresOwnProperties() const { return FLibMaterial == nullptr; }
  // Whether the material draws with blending (the linked material's answer when linked).
  bool Blended() const;

  // From another material: every property and the library link; one report.
  void Assign(const TPersistent* source) override;
  // To an owning scene object, or through an owning library material to its users.
  void ReportChange(TObject* sender) override;
  // The texture was switched on or off or its coordinates changed: the drawing of
  // an owning scene object is stale, or that of every user of an owning library
  // material.
  void NotifyTexMapChange(TObject* sender) override;

  // Makes the GL texture ready ahead of the frame, when the texture is enabled.
  void PrepareBuildList();
  void DestroyHandles() { FTexture->DestroyHandles(); }

  // Sets the GL state for drawing with the material, through the frame's state
  // set and counters in `rci`.
  void Apply(TRenderContextInfo& rci);
  // Undoes Apply; true when the caller should draw once more and call UnApply again.
  bool UnApply(TRenderContextInfo& rci);

private:
  friend class TGLLibMaterial;
  // The library material goes: the material loses its library, its name and the link.
  void LibMaterialFreed();
  // Raises the cycle failure when linking to `target` would close a cycle.
  void CheckLinkTo(const TGLLibMaterial* target) const;
  template <class T>
  void StoreAndReport(T& field, T value);

  std::unique_ptr<TGLFaceProperties> FFrontProperties;
  std::unique_ptr<TGLFaceProperties> FBackProperties;
  std::unique_ptr<TGLTexture> FTexture;
  TBlendingMode FBlendingMode = bmOpaque;
  TMaterialOptions FMaterialOptions = 0;
  TFaceCulling FFaceCulling = fcBufferDefault;
  TWeakRef<TGLMaterialLibrary> FMaterialLibrary;
  std::string FLibMaterialName;
  TGLLibMaterial* FLibMaterial = nullptr;
};

// A named material of a library.
class TGLLibMaterial : public TCollectionItem {
  BRV_COLLECTION_ITEM_CLASS(TGLLibMaterial, TCollectionItem)

public:
  // Named "LibMaterial", or "LibMaterial" and the first number that makes the name
  // unique in the collection. Its texture asks the library for missing files.
  explicit TGLLibMaterial(TCollection* collection);
  // Leaves its shader and second texture; every material that draws with it
  // loses its link, every library material that uses it as second texture loses
  // that texture's name.
  ~TGLLibMaterial() override;

  const std::string& Name() const { return FName; }
  // Another item's name is made unique (see the constructor); while the library
  // is being loaded the name is taken as given.
  void SetName(const std::string& name);
  std::string GetDisplayName() const override { return FName; }
  TGLMaterial& Material() { return *FMaterial; }
  const TGLMaterial& Material() const { return *FMaterial; }
  void SetMaterial(const TGLMaterial& value) { FMaterial->Assign(&value); }
  int Tag() const { return FTag; }
  void SetTag(int value) { FTag = value; }
  // The texture matrix is scale, then offset; (0, 0, 0, 0) and (1, 1, 1, 0) give
  // the identity.
  TGLCoordinates& TextureOffset() { return FTextureOffset; }
  const TGLCoordinates& TextureOffset() const { return FTextureOffset; }
  TGLCoordinates& TextureScale() { return FTextureScale; }
  const TGLCoordinates& TextureScale() const { return FTextureScale; }
  void SetTextureOffset(const TGLCoordinates& value) { FTextureOffset.SetAsVector(value.AsVector()); }
  void SetTextureScale(const TGLCoordinates& value) { FTextureScale.SetAsVector(value.AsVector()); }
  const TMatrix4& TextureMatrix() const { return FTextureMatrix; }
  bool TextureMatrixIsIdentity() const { return FTextureMatrixIsIdentity; }
  // The item of the same collection whose texture goes on the second texture
  // unit; resolved on the first Apply with multitexturing, and emptied then
  // when no item has that name.
  const std::string& Texture2Name() const { return FTexture2Name; }
  void SetTexture2Name(const std::string& name);
  TGLShader* Shader() const { return FShader; }
  void SetShader(TGLShader* shader);

  // The library whose collection holds the item, or null.
  TGLMaterialLibrary* Library() const;
  // From another library material: name (made unique), material, offset, scale
  // and second texture name.
  void Assign(const TPersistent* source) override;
  // Recomputes the texture matrix from offset and scale, then tells the users.
  void CalculateTextureMatrix();

  void PrepareBuildList() { FMaterial->PrepareBuildList(); }
  // The material's GL objects and those of the second texture's item.
  void DestroyHandles();
  void Apply(TRenderContextInfo& rci);
  bool UnApply(TRenderContextInfo& rci);

  // Users: the materials that draw with this item and the items that use it as
  // their second texture. Registering one twice is an assertion failure.
  void RegisterUser(TGLMaterial& material) { AddUser(&material); }
  void RegisterUser(TGLLibMaterial& libMaterial) { AddUser(&libMaterial); }
  void UnregisterUser(TGLMaterial& material) { RemoveUser(&material); }
  void UnregisterUser(TGLLibMaterial& libMaterial) { RemoveUser(&libMaterial); }
  int UserCount() const { return static_cast<int>(FUserList.size()); }
  // Each user in turn: a material reports its change, an item tells its own
  // users. A call that reaches the item again while it runs does nothing.
  void ReportToUsers();
  void NotifyUsersOfTexMapChange();

private:
  friend class TGLShader;
  void AddUser(TPersistent* user);
  void RemoveUser(TPersistent* user);
  // The item used as second texture goes.
  void Texture2Freed();
  // The shader goes.
  void ShaderFreed() { FShader = nullptr; }
  // Calls `forMaterial` or `forLibMaterial` for each user, once at a time.
  template <class TOnMaterial, class TOnLibMaterial>
  void ForEachUser(TOnMaterial forMaterial, TOnLibMaterial forLibMaterial);
  // The second texture's item, resolved on first use; null without one.
  TGLLibMaterial* ResolvedTexture2();
  bool SecondTextureUsable() const;

  std::string FName;
  std::unique_ptr<TGLMaterial> FMaterial;
  int FTag = 0;
  TGLCoordinates FTextureOffset;
  TGLCoordinates FTextureScale;
  std::string FTexture2Name;
  TGLShader* FShader = nullptr;
  std::vector<TPersistent*> FUserList;
  TMatrix4 FTextureMatrix = IdentityHmgMatrix;
  bool FTextureMatrixIsIdentity = true;
  bool FNotifying = false;
  bool FDestroyingHandles = false;
  TGLLibMaterial* FTexture2 = nullptr;
};

// The library materials of a library, owned by it.
class TGLLibMaterials : public TOwnedCollection {
  BRV_CLASS(TGLLibMaterials, TOwnedCollection)

public:
  explicit TGLLibMaterials(TGLMaterialLibrary* owner);
  // Frees the items after taking them out of the list, so that none of them finds
  // another that is half gone.
  ~TGLLibMaterials() override;

  TGLMaterialLibrary* Library() const { return FLibrary; }
  TGLLibMaterial& Add() { return static_cast<TGLLibMaterial&>(TOwnedCollection::Add()); }
  // A bad index raises EListError.
  TGLLibMaterial& Items(int index) const { return static_cast<TGLLibMaterial&>(TOwnedCollection::Items(index)); }
  // The first item of exactly this name (case-sensitive), or null.
  TGLLibMaterial* LibMaterialNamed(std::string_view name) const;
  // `root` when no item has that name, else `root` followed by the first number
  // from 1 on that makes it unique.
  std::string MakeUniqueName(const std::string& root) const;
  // After loading: every item's texture matrix.
  void Loaded();
  void DestroyHandles();

private:
  TGLMaterialLibrary* FLibrary;
};

// Named materials shared by scene objects, meshes and the board.
class TGLMaterialLibrary : public TGLCadenceAbleComponent {
  BRV_CLASS(TGLMaterialLibrary, TGLCadenceAbleComponent)

public:
  explicit TGLMaterialLibrary(TComponent* owner);
  // Materials that point here forget the library, then the items go.
  ~TGLMaterialLibrary() override;

  TGLLibMaterials& Materials() { return *FMaterials; }
  const TGLLibMaterials& Materials() const { return *FMaterials; }
  void SetMaterials(const TGLLibMaterials& value) { FMaterials->Assign(&value); }

  // Folders separated by ";" in which missing texture files are looked up. Each
  // piece is trimmed, empty pieces are dropped, "\" is taken as "/", and a folder
  // gets a closing "/".
  const std::string& TexturePaths() const { return FTexturePaths; }
  void SetTexturePaths(const std::string& paths);
  const std::vector<std::string>& TexturePathList() const { return FTexturePathList; }

  // May replace the name of a texture file that an item's texture needs, before
  // the folders are searched.
  TTextureNeededEvent OnTextureNeeded;
  // OnTextureNeeded, then, for a relative name, the first folder of the list in
  // which the file exists. Where the name is found in no folder and does not exist
  // as given either, the first folder holding a file whose name differs from it
  // only in letter case. Absolute names start with "/" or "\", or hold a drive
  // colon.
  void DoOnTextureNeeded(TObject* sender, std::string& textureFileName);

  // A new item named `name` (made unique) with a linear, mipmapped, modulating
  // texture, enabled; with a file name the texture's image is loaded from it.
  TGLLibMaterial& AddTexturedMaterial(const std::string& name, const std::string& fileName);
  void DestroyHandles() { FMaterials->DestroyHandles(); }
  void Loaded() override;

  // The items as a stream of filer values (names, colours, texture settings and
  // images, links by name), and back. Reading checks every value and raises
  // EReadError naming what it expected (EInvalidPicture for a damaged picture);
  // the items are replaced only when the whole stream has been read.
  void WriteMaterials(TStream& stream) const;
  void ReadMaterials(TStream& stream);

private:
  std::unique_ptr<TGLLibMaterials> FMaterials;
  std::string FTexturePaths;
  std::vector<std::string> FTexturePathList;
};

// When a shader draws: before the material, after it, or instead of it.
enum TGLShaderStyle : std::uint8_t { ssBeforeMaterial, ssAfterMaterial, ssInsteadOfMaterial };

// A drawing step that library materials run around (or instead of) their
// material. A concrete shader supplies DoApply and DoUnApply.
class TGLShader : public TGLUpdateAbleComponent {
  BRV_CLASS(TGLShader, TGLUpdateAbleComponent)

public:
  // ssAfterMaterial.
  explicit TGLShader(TComponent* owner);
  // Finalises in the handle's context, then every user's Shader becomes null.
  ~TGLShader() override;

  TGLShaderStyle ShaderStyle() const { return FShaderStyle; }
  void SetShaderStyle(TGLShaderStyle value);
  // Initialises the shader in the current context on first use, then DoApply.
  // Applying an applied shader is an assertion failure ("Unbalanced shader application.").
  void Apply(TRenderContextInfo& rci, TObject* sender);
  // DoUnApply; the shader stays applied while it asks for another pass (true).
  bool UnApply(TRenderContextInfo& rci);
  bool ShaderActive() const { return FShaderActive; }

  // Unless updating, every user tells its own users, last user first.
  void ReportChange(TObject* sender) override;
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  int UserCount() const { return static_cast<int>(FUserList.size()); }

protected:
  virtual void DoApply(TRenderContextInfo& rci, TObject* sender) = 0;
  virtual bool DoUnApply(TRenderContextInfo& rci) = 0;
  // The shader's GL set-up in a context and its release there; nothing here.
  virtual void DoInitialize() {}
  virtual void DoFinalize() {}
  // Releases the shader's GL side (DoFinalize in its context). A derived class
  // calls it from its own destructor, while its DoFinalize can still run.
  void FinalizeShader() noexcept;

private:
  friend class TGLLibMaterial;

  std::vector<TGLLibMaterial*> FUserList;
  TGLVirtualHandle FVirtualHandle;
  TGLShaderStyle FShaderStyle = ssAfterMaterial;
  int FUpdateCount = 0;
  bool FShaderActive = false;
};
