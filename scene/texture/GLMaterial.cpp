#include "scene/texture/GLMaterial.h"

#include "base/Strings.h"
#include "platform/FileNames.h"
#include "scene/GLDataFile.h"
#include "scene/GLSceneObjectHooks.h"
#include "scene/gl/GLStateCache.h"
#include "scene/gl/XOpenGL.h"

#include <algorithm>

namespace {

constexpr GLenum POLYGON_MODES[] = {GL_FILL, GL_LINE, GL_POINT};

const char* const CYCLE_MESSAGE = "Error: Cyclic material reference detected!";
const char* const UNBALANCED_SHADER = "Unbalanced shader application.";

// A state that materials switch off for their drawing: the first to switch it off
// counts 1, and materials applied inside it count on, whether or not they found it
// on, so that only the outermost one switches it on again.
void SwitchOffCounted(TGLStates& states, TGLState state, int& counter) {
  if (states & GLStateBit(state)) {
    DisableGLState(states, state);
    ++counter;
  } else if (counter > 0) {
    ++counter;
  }
}

void SwitchOnCounted(TGLStates& states, TGLState state, int& counter) {
  if (counter > 0 && --counter == 0) EnableGLState(states, state);
}

}  // namespace

// ---------------------------------------------------------------------------
// TGLFaceProperties

TGLFaceProperties::TGLFaceProperties(TPersistent* owner)
    : TGLUpdateAbleObject(owner),
      FAmbient(this, {0.2f, 0.2f, 0.2f, 1}),
      FDiffuse(this, {0.8f, 0.8f, 0.8f, 1}),
      FEmission(this, {0, 0, 0, 1}),
      FSpecular(this, {0, 0, 0, 1}) {}

void TGLFaceProperties::SetShininess(TShininess value) {
  if (StoreChanged(FShininess, std::min(value, MAX_SHININESS))) ReportChange(this);
}

void TGLFaceProperties::SetPolygonMode(TPolygonMode value) {
  if (StoreChanged(FPolygonMode, value)) ReportChange(this);
}

void TGLFaceProperties::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TGLFaceProperties*>(source);
  if (!other) {
    TGLUpdateAbleObject::Assign(source);
    return;
  }
  // The colours report to this object, which holds them back until the end.
  BeginUpdate();
  FAmbient.Assign(&other->FAmbient);
  FDiffuse.Assign(&other->FDiffuse);
  FEmission.Assign(&other->FEmission);
  FSpecular.Assign(&other->FSpecular);
  FShininess = other->FShininess;
  FPolygonMode = other->FPolygonMode;
  EndUpdate();
}

void TGLFaceProperties::Apply(GLenum face, bool lighting) const {
  if (lighting)
    CacheMaterialColors(face, FEmission.Color(), FAmbient.Color(), FDiffuse.Color(), FSpecular.Color(), FShininess);
  else
    GL->glColor4fv(&FDiffuse.Color().x);
  SetPolygonModeCached(face, POLYGON_MODES[FPolygonMode]);
}

// ---------------------------------------------------------------------------
// TGLMaterial

TGLMaterial::TGLMaterial(TPersistent* owner)
    : TGLUpdateAbleObject(owner),
      FFrontProperties(std::make_unique<TGLFaceProperties>(this)),
      FTexture(std::make_unique<TGLTexture>(this)) {}

TGLMaterial::~TGLMaterial() {
  if (FLibMaterial) FLibMaterial->UnregisterUser(*this);
}

TGLFaceProperties& TGLMaterial::BackProperties() {
  if (!FBackProperties) FBackProperties = std::make_unique<TGLFaceProperties>(this);
  return *FBackProperties;
}

void TGLMaterial::SetFrontProperties(const TGLFaceProperties& value) {
  FFrontProperties->Assign(&value);
  ReportChange(this);
}

void TGLMaterial::SetBackProperties(const TGLFaceProperties& value) {
  BackProperties().Assign(&value);
  ReportChange(this);
}

template <class T>
void TGLMaterial::StoreAndReport(T& field, T value) {
  if (StoreChanged(field, value)) ReportChange(this);
}

void TGLMaterial::SetBlendingMode(TBlendingMode value) { StoreAndReport(FBlendingMode, value); }
void TGLMaterial::SetMaterialOptions(TMaterialOptions value) { StoreAndReport(FMaterialOptions, value); }
void TGLMaterial::SetFaceCulling(TFaceCulling value) { StoreAndReport(FFaceCulling, value); }

void TGLMaterial::SetMaterialLibrary(TGLMaterialLibrary* library) {
  TGLMaterialLibrary* former = FMaterialLibrary.Get();
  FMaterialLibrary = library;
  try {
    SetLibMaterialName(FLibMaterialName);
  } catch (...) {
    FMaterialLibrary = former;
    throw;
  }
}

void TGLMaterial::CheckLinkTo(const TGLLibMaterial* target) const {
  // Drawing follows the links: a chain that comes back to this material would
  // never end.
  int steps = 0;
  for (const TGLLibMaterial* link = target; link; link = link->Material().FLibMaterial) {
    if (&link->Material() == this || ++steps > MAX_LINK_DEPTH) AssertionFailure(CYCLE_MESSAGE, __FILE__, __LINE__);
  }
}

void TGLMaterial::SetLibMaterialName(const std::string& name) {
  TGLLibMaterial* found = FMaterialLibrary ? FMaterialLibrary->Materials().LibMaterialNamed(name) : nullptr;
  CheckLinkTo(found);
  FLibMaterialName = name;
  if (found == FLibMaterial) return;
  if (FLibMaterial) FLibMaterial->UnregisterUser(*this);
  FLibMaterial = found;
  if (found) found->RegisterUser(*this);
  NotifyTexMapChange(this);
}

void TGLMaterial::LibMaterialFreed() {
  FMaterialLibrary = nullptr;
  FLibMaterialName.clear();
  FLibMaterial = nullptr;
  NotifyTexMapChange(this);
}

bool TGLMaterial::Blended() const {
  if (FLibMaterial) return FLibMaterial->Material().Blended();
  return FBlendingMode != bmOpaque;
}

void TGLMaterial::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TGLMaterial*>(source);
  if (!other) {
    TGLUpdateAbleObject::Assign(source);
    return;
  }
  if (other == this) return;
  BeginUpdate();
  try {
    if (other->FBackProperties)
      BackProperties().Assign(other->FBackProperties.get());
    else
      FBackProperties.reset();
    FFrontProperties->Assign(other->FFrontProperties.get());
    FBlendingMode = other->FBlendingMode;
    FMaterialOptions = other->FMaterialOptions;
    FFaceCulling = other->FFaceCulling;
    FTexture->Assign(other->FTexture.get());
    const std::string formerName = FLibMaterialName;
    FLibMaterialName = other->FLibMaterialName;
    try {
      SetMaterialLibrary(other->FMaterialLibrary.Get());
    } catch (...) {
      FLibMaterialName = formerName;
      throw;
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TGLMaterial::ReportChange(TObject*) {
  if (UpdateCount() > 0) return;
  if (auto* libMaterial = dynamic_cast<TGLLibMaterial*>(Owner()))
    libMaterial->ReportToUsers();
  else if (dynamic_cast<TGLSceneObjectHooks*>(Owner()))
    if (auto* sceneObject = dynamic_cast<TGLUpdateAbleComponent*>(Owner())) sceneObject->ReportChange(this);
}

void TGLMaterial::NotifyTexMapChange(TObject*) {
  if (auto* libMaterial = dynamic_cast<TGLLibMaterial*>(Owner()))
    libMaterial->NotifyUsersOfTexMapChange();
  else if (auto* sceneObject = dynamic_cast<TGLSceneObjectHooks*>(Owner()))
    sceneObject->MarkStructureDirty();
}

void TGLMaterial::PrepareBuildList() {
  if (!FTexture->Disabled()) FTexture->GetHandle();
}

void TGLMaterial::Apply(TRenderContextInfo& rci) {
  if (FLibMaterial) {
    FLibMaterial->Apply(rci);
    return;
  }
  TGLStates& states = rci.GLStates;
  if (FMaterialOptions & moNoLighting) SwitchOffCounted(states, stLighting, rci.LightingDisabledCounter);
  FFrontProperties->Apply(GL_FRONT, states & GLStateBit(stLighting));

  const bool cullingOn = states & GLStateBit(stCullFace);
  switch (FFaceCulling) {
    case fcBufferDefault:
      if (cullingOn && !rci.FaceCulling) {
        DisableGLState(states, stCullFace);
        BackProperties().Apply(GL_BACK, true);
      } else if (!cullingOn && rci.FaceCulling) {
        EnableGLState(states, stCullFace);
      } else if (!cullingOn) {
        BackProperties().Apply(GL_BACK, true);
      }
      break;
    case fcCull:
      if (!cullingOn) EnableGLState(states, stCullFace);
      break;
    case fcNoCull:
      if (cullingOn) DisableGLState(states, stCullFace);
      BackProperties().Apply(GL_BACK, true);
      break;
    default:
      AssertionFailure("TGLMaterial::Apply(): unknown FaceCulling " + std::to_string(FFaceCulling), __FILE__, __LINE__);
  }

  switch (FBlendingMode) {
    case bmOpaque:
      DisableGLState(states, stBlend);
      break;
    case bmTransparency:
      EnableGLState(states, stBlend);
      GL->glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      break;
    case bmAdditive:
      EnableGLState(states, stBlend);
      GL->glBlendFunc(GL_SRC_ALPHA, GL_ONE);
      break;
    default:
      AssertionFailure("TGLMaterial::Apply(): unknown BlendingMode " + std::to_string(FBlendingMode), __FILE__,
                       __LINE__);
  }
  if (FMaterialOptions & moIgnoreFog) SwitchOffCounted(states, stFog, rci.FogDisabledCounter);
  FTexture->Apply(rci);
}

bool TGLMaterial::UnApply(TRenderContextInfo& rci) {
  if (FLibMaterial) return FLibMaterial->UnApply(rci);
  if (FMaterialOptions & moNoLighting) SwitchOnCounted(rci.GLStates, stLighting, rci.LightingDisabledCounter);
  if (FMaterialOptions & moIgnoreFog) SwitchOnCounted(rci.GLStates, stFog, rci.FogDisabledCounter);
  if (!FTexture->Disabled()) FTexture->UnApply(rci);
  return false;
}

// ---------------------------------------------------------------------------
// TGLLibMaterial

namespace {
const std::string LIB_MATERIAL_ROOT = "LibMaterial";
}

TGLLibMaterial::TGLLibMaterial(TCollection* collection)
    : TCollectionItem(collection),
      FMaterial(std::make_unique<TGLMaterial>(this)),
      FTextureOffset(this, {0, 0, 0, 0}, csFree),
      FTextureScale(this, {1, 1, 1, 0}, csFree) {
  if (auto* materials = dynamic_cast<TGLLibMaterials*>(collection))
    FName = materials->MakeUniqueName(LIB_MATERIAL_ROOT);
  else
    FName = LIB_MATERIAL_ROOT;
  FMaterial->Texture().OnTextureNeeded = [this](TObject* sender, std::string& name) {
    if (TGLMaterialLibrary* library = Library()) library->DoOnTextureNeeded(sender, name);
  };
  FTextureOffset.OnNotifyChange = [this](TObject*) { CalculateTextureMatrix(); };
  FTextureScale.OnNotifyChange = [this](TObject*) { CalculateTextureMatrix(); };
}

TGLLibMaterial::~TGLLibMaterial() {
  try {
    SetShader(nullptr);
    SetTexture2Name(std::string());
  } catch (...) {
    // Telling the users cannot fail for a reason that would stop the item going.
  }
  // Each user takes itself off the list.
  while (!FUserList.empty()) {
    TPersistent* user = FUserList.back();
    FUserList.pop_back();
    if (auto* material = dynamic_cast<TGLMaterial*>(user))
      material->LibMaterialFreed();
    else if (auto* libMaterial = dynamic_cast<TGLLibMaterial*>(user))
      libMaterial->Texture2Freed();
  }
}

TGLMaterialLibrary* TGLLibMaterial::Library() const {
  auto* materials = dynamic_cast<TGLLibMaterials*>(Collection());
  return materials ? materials->Library() : nullptr;
}

void TGLLibMaterial::SetName(const std::string& name) {
  if (name == FName) return;
  auto* materials = dynamic_cast<TGLLibMaterials*>(Collection());
  TGLMaterialLibrary* library = Library();
  if (!materials || (library && library->Loading())) {
    FName = name;
    return;
  }
  TGLLibMaterial* holder = materials->LibMaterialNamed(name);
  FName = holder == nullptr || holder == this ? name : materials->MakeUniqueName(name);
}

void TGLLibMaterial::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TGLLibMaterial*>(source);
  if (!other) {
    TCollectionItem::Assign(source);
    return;
  }
  if (other == this) return;
  SetName(other->FName);
  FMaterial->Assign(other->FMaterial.get());
  FTextureOffset.Assign(&other->FTextureOffset);
  FTextureScale.Assign(&other->FTextureScale);
  SetTexture2Name(other->FTexture2Name);
  CalculateTextureMatrix();
}

void TGLLibMaterial::CalculateTextureMatrix() {
  FTextureMatrixIsIdentity = FTextureOffset.Equals({0, 0, 0, 0}) && FTextureScale.Equals({1, 1, 1, 0});
  FTextureMatrix = FTextureMatrixIsIdentity ? IdentityHmgMatrix
                                            : MatrixScaleTranslate(Vec3Of(FTextureScale.AsVector()),
                                                                   Vec3Of(FTextureOffset.AsVector()));
  ReportToUsers();
}

void TGLLibMaterial::SetTexture2Name(const std::string& name) {
  if (name == FTexture2Name) return;
  if (FTexture2) FTexture2->UnregisterUser(*this);
  FTexture2 = nullptr;
  FTexture2Name = name;
  ReportToUsers();
}

void TGLLibMaterial::Texture2Freed() {
  FTexture2 = nullptr;
  FTexture2Name.clear();
  ReportToUsers();
}

void TGLLibMaterial::SetShader(TGLShader* shader) {
  if (shader == FShader) return;
  if (FShader) std::erase(FShader->FUserList, this);
  FShader = shader;
  if (FShader) FShader->FUserList.push_back(this);
  ReportToUsers();
}

void TGLLibMaterial::AddUser(TPersistent* user) {
  BRV_ASSERT_MSG(std::find(FUserList.begin(), FUserList.end(), user) == FUserList.end(),
                 "TGLLibMaterial::RegisterUser(): " + user->ClassName() + " is a user already");
  FUserList.push_back(user);
}

void TGLLibMaterial::RemoveUser(TPersistent* user) { std::erase(FUserList, user); }

template <class TOnMaterial, class TOnLibMaterial>
void TGLLibMaterial::ForEachUser(TOnMaterial forMaterial, TOnLibMaterial forLibMaterial) {
  if (FNotifying) return;
  TScopedFlag notifying(FNotifying);
  // By index: a user may leave the list meanwhile.
  for (std::size_t i = 0; i < FUserList.size(); ++i) {
    TPersistent* user = FUserList[i];
    if (auto* material = dynamic_cast<TGLMaterial*>(user))
      forMaterial(*material);
    else if (auto* libMaterial = dynamic_cast<TGLLibMaterial*>(user))
      forLibMaterial(*libMaterial);
    else
      AssertionFailure("TGLLibMaterial: a user of class " + user->ClassName(), __FILE__, __LINE__);
  }
}

void TGLLibMaterial::ReportToUsers() {
  ForEachUser([this](TGLMaterial& m) { m.ReportChange(this); }, [](TGLLibMaterial& l) { l.ReportToUsers(); });
}

void TGLLibMaterial::NotifyUsersOfTexMapChange() {
  ForEachUser([this](TGLMaterial& m) { m.NotifyTexMapChange(this); },
              [](TGLLibMaterial& l) { l.NotifyUsersOfTexMapChange(); });
}

void TGLLibMaterial::DestroyHandles() {
  // Two items may name each other as second texture: each is reached once.
  if (FDestroyingHandles) return;
  TScopedFlag destroying(FDestroyingHandles);
  FMaterial->DestroyHandles();
  auto* materials = dynamic_cast<TGLLibMaterials*>(Collection());
  if (FTexture2Name.empty() || !materials) return;
  TGLLibMaterial* second = materials->LibMaterialNamed(FTexture2Name);
  if (second && second != this) second->DestroyHandles();
}

TGLLibMaterial* TGLLibMaterial::ResolvedTexture2() {
  if (FTexture2 || FTexture2Name.empty() || !GL->ARB_multitexture) return FTexture2;
  auto* materials = dynamic_cast<TGLLibMaterials*>(Collection());
  TGLLibMaterial* found = materials ? materials->LibMaterialNamed(FTexture2Name) : nullptr;
  if (!found) {
    FTexture2Name.clear();
    return nullptr;
  }
  found->RegisterUser(*this);
  FTexture2 = found;
  return FTexture2;
}

bool TGLLibMaterial::SecondTextureUsable() const {
  return FTexture2 && !FTexture2->Material().Texture().Disabled();
}

void TGLLibMaterial::Apply(TRenderContextInfo& rci) {
  const TGLShaderStyle style = FShader ? FShader->ShaderStyle() : ssAfterMaterial;
  if (FShader && style == ssBeforeMaterial) FShader->Apply(rci, this);
  if (FShader && style == ssInsteadOfMaterial) {
    FShader->Apply(rci, this);
    return;
  }
  ResolvedTexture2();
  const TGLTexture& texture = FMaterial->Texture();
  const bool withMatrix = !FTextureMatrixIsIdentity;
  if (!SecondTextureUsable()) {
    if (!texture.Disabled() && withMatrix) LoadTextureMatrixCached(FTextureMatrix);
    FMaterial->Apply(rci);
  } else {
    TGLTexture& second = FTexture2->Material().Texture();
    XGLBeginUpdate();
    if (withMatrix) LoadTextureMatrixCached(FTextureMatrix);
    FMaterial->Apply(rci);
    second.ApplyAsSecondTexture(FTexture2->FTextureMatrixIsIdentity ? nullptr : &FTexture2->FTextureMatrix);
    // Texture coordinates go where a texture takes them from the object: to
    // both units, to the first or the second alone, or nowhere.
    const bool mainUser = !texture.Disabled() && texture.MappingMode() == tmmUser;
    const bool secondUser = second.MappingMode() == tmmUser;
    if (mainUser && secondUser)
      XGLMapToDual();
    else if (mainUser)
      XGLMapToMain();
    else if (secondUser)
      XGLMapToSecond();
    else
      XGLMapToNull();
    XGLEndUpdate();
  }
  if (FShader && style == ssAfterMaterial) FShader->Apply(rci, this);
}

bool TGLLibMaterial::UnApply(TRenderContextInfo& rci) {
  bool result = false;
  if (FShader) {
    switch (FShader->ShaderStyle()) {
      case ssAfterMaterial:
        result = FShader->UnApply(rci);
        break;
      case ssInsteadOfMaterial:
        return FShader->UnApply(rci);
      default:
        break;
    }
  }
  if (result) return true;
  if (SecondTextureUsable()) {
    FTexture2->Material().Texture().UnApplySecondTexture(FTexture2->FTextureMatrixIsIdentity ? nullptr
                                                                                             : &FTexture2->FTextureMatrix);
    XGLMapToMain();
  }
  FMaterial->UnApply(rci);
  if (!FMaterial->Texture().Disabled() && !FTextureMatrixIsIdentity) ResetTextureMatrixCache();
  if (FShader && FShader->ShaderStyle() == ssBeforeMaterial) return FShader->UnApply(rci);
  return result;
}

// ---------------------------------------------------------------------------
// TGLLibMaterials

TGLLibMaterials::TGLLibMaterials(TGLMaterialLibrary* owner)
    : TOwnedCollection(owner, TGLLibMaterial::StaticClass()), FLibrary(owner) {}

TGLLibMaterials::~TGLLibMaterials() { Clear(); }

TGLLibMaterial* TGLLibMaterials::LibMaterialNamed(std::string_view name) const {
  for (int i = 0; i < Count(); ++i)
    if (Items(i).Name() == name) return &Items(i);
  return nullptr;
}

std::string TGLLibMaterials::MakeUniqueName(const std::string& root) const {
  std::string name = root;
  for (int i = 1; LibMaterialNamed(name); ++i) name = root + std::to_string(i);
  return name;
}

void TGLLibMaterials::Loaded() {
  for (int i = 0; i < Count(); ++i) Items(i).CalculateTextureMatrix();
}

void TGLLibMaterials::DestroyHandles() {
  for (int i = 0; i < Count(); ++i) Items(i).DestroyHandles();
}

// ---------------------------------------------------------------------------
// TGLMaterialLibrary

TGLMaterialLibrary::TGLMaterialLibrary(TComponent* owner)
    : TGLCadenceAbleComponent(owner), FMaterials(std::make_unique<TGLLibMaterials>(this)) {}

TGLMaterialLibrary::~TGLMaterialLibrary() {
  // The weak references first: while the items go, no material may still reach
  // the library through them.
  BeginDestruction();
  NotifyFree();
  FMaterials.reset();
}

void TGLMaterialLibrary::SetTexturePaths(const std::string& paths) {
  FTexturePaths = paths;
  FTexturePathList.clear();
  std::size_t start = 0;
  while (start <= paths.size()) {
    std::size_t end = paths.find(';', start);
    if (end == std::string::npos) end = paths.size();
    std::string folder = SlashedPath(Trimmed(std::string_view(paths).substr(start, end - start)));
    if (!folder.empty()) {
      if (folder.back() != '/') folder += '/';
      FTexturePathList.push_back(std::move(folder));
    }
    start = end + 1;
  }
}

void TGLMaterialLibrary::DoOnTextureNeeded(TObject* sender, std::string& textureFileName) {
  if (OnTextureNeeded) OnTextureNeeded(sender, textureFileName);
  const bool absolute = textureFileName.find(':') != std::string::npos ||
                        (!textureFileName.empty() && (textureFileName[0] == '/' || textureFileName[0] == '\\'));
  if (absolute) return;
  const std::string relative = SlashedPath(textureFileName);
  for (const std::string& folder : FTexturePathList) {
    std::string candidate = folder + relative;
    if (FileExists(candidate)) {
      textureFileName = std::move(candidate);
      return;
    }
  }
  // Only where the exact name is found nowhere, the folders in the same order for a
  // name that differs in letter case alone, as models made on Windows write them.
  if (FileExists(textureFileName)) return;
  for (const std::string& folder : FTexturePathList) {
    std::string found = FindFileIgnoringCase(folder + relative);
    if (!found.empty()) {
      textureFileName = std::move(found);
      return;
    }
  }
}

TGLLibMaterial& TGLMaterialLibrary::AddTexturedMaterial(const std::string& name, const std::string& fileName) {
  TGLLibMaterial& item = FMaterials->Add();
  item.SetName(name);
  TGLTexture& texture = item.Material().Texture();
  texture.SetMinFilter(miLinearMipmapLinear);
  texture.SetMagFilter(maLinear);
  texture.SetTextureMode(tmModulate);
  texture.SetDisabled(false);
  if (!fileName.empty()) texture.Image().LoadFromFile(fileName);
  return item;
}

void TGLMaterialLibrary::Loaded() {
  FMaterials->Loaded();
  TGLCadenceAbleComponent::Loaded();
}

// ---------------------------------------------------------------------------
// TGLShader

TGLShader::TGLShader(TComponent* owner) : TGLUpdateAbleComponent(owner) {
  FVirtualHandle.OnAllocate = [](TGLVirtualHandle&, GLuint& handle) { handle = 1; };
  FVirtualHandle.OnDestroy = [this](TGLVirtualHandle&, GLuint& handle) {
    DoFinalize();
    handle = 0;
  };
}

TGLShader::~TGLShader() {
  FinalizeShader();
  while (!FUserList.empty()) {
    TGLLibMaterial* user = FUserList.back();
    FUserList.pop_back();
    user->ShaderFreed();
    try {
      user->ReportToUsers();
    } catch (...) {
      // Nothing leaves a destructor; the users redraw on their next change.
    }
  }
}

void TGLShader::FinalizeShader() noexcept {
  try {
    FVirtualHandle.DestroyHandle();
  } catch (const std::exception& e) {
    LogGLProblem(std::string("Finalising a shader failed: ") + e.what());
  } catch (...) {
    LogGLProblem("Finalising a shader failed");
  }
}

void TGLShader::SetShaderStyle(TGLShaderStyle value) {
  if (StoreChanged(FShaderStyle, value)) ReportChange(this);
}

void TGLShader::Apply(TRenderContextInfo& rci, TObject* sender) {
  BRV_ASSERT_MSG(!FShaderActive, UNBALANCED_SHADER);
  if (FVirtualHandle.Handle() == 0) {
    FVirtualHandle.AllocateHandle();
    DoInitialize();
  }
  DoApply(rci, sender);
  FShaderActive = true;
}

bool TGLShader::UnApply(TRenderContextInfo& rci) {
  BRV_ASSERT_MSG(FShaderActive, UNBALANCED_SHADER);
  const bool again = DoUnApply(rci);
  if (!again) FShaderActive = false;
  return again;
}

void TGLShader::ReportChange(TObject*) {
  if (FUpdateCount > 0) return;
  for (std::size_t i = FUserList.size(); i-- > 0;)
    if (i < FUserList.size()) FUserList[i]->ReportToUsers();
}

void TGLShader::EndUpdate() {
  BRV_ASSERT_MSG(FUpdateCount > 0, "Unbalanced Begin/EndUpdate");
  if (--FUpdateCount == 0) ReportChange(this);
}
