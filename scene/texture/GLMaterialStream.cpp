// The stream form of a material library's items, in the filer value encoding:
//
//   version 0, list begin, per item: Name, Tag, TextureOffset, TextureScale (the
//   coordinates' filer form), Texture2Name, then its material; list end.
//   Material: MaterialOptions, FaceCulling, LibMaterialName, whether the link
//   points into this library (a link into another library cannot be named here),
//   and whether its own properties follow: front face, back face (a flag first),
//   BlendingMode and the texture.
//   Face: ambient, diffuse, emission, specular as 16 raw bytes each, Shininess,
//   PolygonMode. Texture: Disabled, ImageClassName, the nine mode integers,
//   both mapping planes, then the image: a picture file's name, a blank image's
//   size, a persistent image's picture as BMP bytes (a byte count first, 0 for
//   none), a cube map's six pictures likewise.

#include "scene/texture/GLMaterial.h"

#include "base/Filer.h"

#include <functional>

namespace {

constexpr int STREAM_VERSION = 0;

[[noreturn]] void StreamError(const std::string& what) { throw EReadError("Material library stream: " + what); }

// An integer within 0..last, or the error naming the value.
template <class T>
T ReadEnum(TReader& reader, const char* name, int last) {
  const int value = reader.ReadInteger();
  if (value < 0 || value > last)
    StreamError(std::string("expected ") + name + " from 0 to " + std::to_string(last) + ", found " +
                std::to_string(value));
  return static_cast<T>(value);
}

void WriteColor(TWriter& writer, const TGLColor& color) {
  const TStoredVector bytes = StoredVectorBytes(color.Color());
  writer.Write(bytes.data(), bytes.size());
}

void ReadColor(TReader& reader, TGLColor& color) {
  TStoredVector bytes;
  reader.Read(bytes.data(), bytes.size());
  color.SetColor(VectorFromStoredBytes(bytes));
}

void WriteFace(TWriter& writer, const TGLFaceProperties& face) {
  for (const TGLColor* color : {&face.Ambient(), &face.Diffuse(), &face.Emission(), &face.Specular()})
    WriteColor(writer, *color);
  writer.WriteInteger(face.Shininess());
  writer.WriteInteger(face.PolygonMode());
}

void ReadFace(TReader& reader, TGLFaceProperties& face) {
  for (TGLColor* color : {&face.Ambient(), &face.Diffuse(), &face.Emission(), &face.Specular()})
    ReadColor(reader, *color);
  face.SetShininess(ReadEnum<TShininess>(reader, "a Shininess", MAX_SHININESS));
  face.SetPolygonMode(ReadEnum<TPolygonMode>(reader, "a PolygonMode", pmPoints));
}

void WritePicture(TWriter& writer, const TPicture& picture) {
  TStringStream bytes;
  if (picture.Graphic()) picture.Graphic()->SaveToStream(bytes);
  writer.WriteInteger(static_cast<std::int32_t>(bytes.DataString().size()));
  writer.Write(bytes.DataString().data(), bytes.DataString().size());
}

void ReadPicture(TReader& reader, TPicture& picture) {
  const int size = reader.ReadInteger();
  if (size < 0 || size > reader.BytesLeft())
    StreamError("expected a picture's byte count of 0 to " + std::to_string(reader.BytesLeft()) + ", found " +
                std::to_string(size));
  if (size == 0) {
    picture.Clear();
    return;
  }
  std::string bytes(static_cast<std::size_t>(size), '\0');
  reader.Read(bytes.data(), bytes.size());
  TBitmap bitmap;
  DecodeBitmapFile(bytes, "the stream's picture", bitmap);
  picture.SetGraphic(&bitmap);
}

void WriteImage(TWriter& writer, const TGLTextureImage& image) {
  if (auto* file = dynamic_cast<const TGLPicFileImage*>(&image)) {
    writer.WriteString(file->PictureFileName());
  } else if (auto* blank = dynamic_cast<const TGLBlankImage*>(&image)) {
    writer.WriteInteger(blank->Width());
    writer.WriteInteger(blank->Height());
  } else if (auto* persistent = dynamic_cast<const TGLPersistentImage*>(&image)) {
    WritePicture(writer, const_cast<TGLPersistentImage*>(persistent)->Picture());
  } else if (auto* cube = dynamic_cast<const TGLCubeMapImage*>(&image)) {
    for (int face = 0; face < TGLCubeMapImage::FACE_COUNT; ++face) WritePicture(writer, cube->Picture(face));
  }
}

void ReadImage(TReader& reader, TGLTextureImage& image) {
  if (auto* file = dynamic_cast<TGLPicFileImage*>(&image)) {
    file->SetPictureFileName(reader.ReadString());
  } else if (auto* blank = dynamic_cast<TGLBlankImage*>(&image)) {
    blank->SetWidth(reader.ReadInteger());
    blank->SetHeight(reader.ReadInteger());
  } else if (auto* persistent = dynamic_cast<TGLPersistentImage*>(&image)) {
    ReadPicture(reader, persistent->Picture());
  } else if (auto* cube = dynamic_cast<TGLCubeMapImage*>(&image)) {
    for (int face = 0; face < TGLCubeMapImage::FACE_COUNT; ++face) ReadPicture(reader, cube->Picture(face));
    cube->Invalidate();
  }
}

void WriteTexture(TWriter& writer, const TGLTexture& texture) {
  writer.WriteBoolean(texture.Disabled());
  writer.WriteString(texture.ImageClassName());
  for (int value : {int(texture.TextureMode()), int(texture.TextureWrap()), int(texture.TextureFormat()),
                    int(texture.Compression()), int(texture.MinFilter()), int(texture.MagFilter()),
                    int(texture.ImageAlpha()), int(texture.MappingMode()), int(texture.FilteringQuality())})
    writer.WriteInteger(value);
  texture.MappingSCoordinates().WriteToFiler(writer);
  texture.MappingTCoordinates().WriteToFiler(writer);
  WriteImage(writer, texture.Image());
}

void ReadTexture(TReader& reader, TGLTexture& texture) {
  const bool disabled = reader.ReadBoolean();
  const std::string className = reader.ReadString();
  const TGLTextureImageClass* imageClass = ImageClassByName(className);
  if (!imageClass || !imageClass->CanCreate())
    StreamError("expected the name of a texture image class, found \"" + className + "\"");
  texture.SetImageClassName(className);
  texture.SetTextureMode(ReadEnum<TGLTextureMode>(reader, "a TextureMode", tmReplace));
  texture.SetTextureWrap(ReadEnum<TGLTextureWrap>(reader, "a TextureWrap", twHorizontal));
  texture.SetTextureFormat(ReadEnum<TGLTextureFormat>(reader, "a TextureFormat", tfIntensity));
  texture.SetCompression(ReadEnum<TGLTextureCompression>(reader, "a Compression", tcHighSpeed));
  texture.SetMinFilter(ReadEnum<TGLMinFilter>(reader, "a MinFilter", miLinearMipmapLinear));
  texture.SetMagFilter(ReadEnum<TGLMagFilter>(reader, "a MagFilter", maLinear));
  texture.SetImageAlpha(ReadEnum<TGLTextureImageAlpha>(reader, "an ImageAlpha", tiaTopLeftPointColorTransparent));
  texture.SetMappingMode(ReadEnum<TGLTextureMappingMode>(reader, "a MappingMode", tmmCubeMapNormal));
  texture.SetFilteringQuality(ReadEnum<TGLTextureFilteringQuality>(reader, "a FilteringQuality", tfAnisotropic));
  texture.MappingSCoordinates().ReadFromFiler(reader);
  texture.MappingTCoordinates().ReadFromFiler(reader);
  ReadImage(reader, texture.Image());
  texture.SetDisabled(disabled);
}

// A link read from the stream, made once every item is there.
struct TPendingLink {
  TGLMaterial* Material;
  std::string Name;
};

void ReadMaterial(TReader& reader, TGLMaterial& material, std::vector<TPendingLink>& links) {
  material.SetMaterialOptions(ReadEnum<TMaterialOptions>(reader, "MaterialOptions", moIgnoreFog | moNoLighting));
  material.SetFaceCulling(ReadEnum<TFaceCulling>(reader, "a FaceCulling", fcNoCull));
  std::string name = reader.ReadString();
  if (reader.ReadBoolean()) links.push_back({&material, std::move(name)});
  if (!reader.ReadBoolean()) return;
  ReadFace(reader, material.FrontProperties());
  if (reader.ReadBoolean()) ReadFace(reader, material.BackProperties());
  material.SetBlendingMode(ReadEnum<TBlendingMode>(reader, "a BlendingMode", bmAdditive));
  ReadTexture(reader, material.Texture());
}

}  // namespace

void TGLMaterialLibrary::WriteMaterials(TStream& stream) const {
  TWriter writer(stream, FilerBufferSize);
  writer.WriteInteger(STREAM_VERSION);
  writer.WriteListBegin();
  for (int i = 0; i < FMaterials->Count(); ++i) {
    const TGLLibMaterial& item = FMaterials->Items(i);
    writer.WriteString(item.Name());
    writer.WriteInteger(item.Tag());
    item.TextureOffset().WriteToFiler(writer);
    item.TextureScale().WriteToFiler(writer);
    writer.WriteString(item.Texture2Name());
    const TGLMaterial& material = item.Material();
    writer.WriteInteger(material.MaterialOptions());
    writer.WriteInteger(material.FaceCulling());
    writer.WriteString(material.LibMaterialName());
    writer.WriteBoolean(material.MaterialLibrary() == this);
    writer.WriteBoolean(material.StoresOwnProperties());
    if (!material.StoresOwnProperties()) continue;
    WriteFace(writer, material.FrontProperties());
    writer.WriteBoolean(material.HasBackProperties());
    if (material.HasBackProperties()) WriteFace(writer, const_cast<TGLMaterial&>(material).BackProperties());
    writer.WriteInteger(material.BlendingMode());
    WriteTexture(writer, material.Texture());
  }
  writer.WriteListEnd();
  writer.FlushBuffer();
}

void TGLMaterialLibrary::ReadMaterials(TStream& stream) {
  TReader reader(stream, FilerBufferSize);
  const int version = reader.ReadInteger();
  if (version != STREAM_VERSION)
    StreamError("expected version " + std::to_string(STREAM_VERSION) + ", found " + std::to_string(version));

  // Items are read aside, named as stored, and take the place of the present
  // ones only when the whole stream has been read and their links made.
  const bool wasLoading = Loading();
  if (!wasLoading) BeginReading();
  struct TFinish {
    TGLMaterialLibrary& Library;
    bool WasLoading;
    ~TFinish() {
      Library.EndReading();
      if (!WasLoading) Library.Loaded();
    }
  } finish{*this, wasLoading};

  auto items = std::make_unique<TGLLibMaterials>(this);
  std::vector<TPendingLink> links;
  reader.ReadListBegin();
  while (!reader.EndOfList()) {
    TGLLibMaterial& item = items->Add();
    item.SetName(reader.ReadString());
    item.SetTag(reader.ReadInteger());
    item.TextureOffset().ReadFromFiler(reader);
    item.TextureScale().ReadFromFiler(reader);
    item.SetTexture2Name(reader.ReadString());
    ReadMaterial(reader, item.Material(), links);
  }
  reader.ReadListEnd();
  reader.FlushBuffer();

  std::swap(FMaterials, items);
  try {
    for (const TPendingLink& link : links) {
      link.Material->SetMaterialLibrary(this);
      link.Material->SetLibMaterialName(link.Name);
    }
  } catch (const EAssertionFailed& e) {
    std::swap(FMaterials, items);
    StreamError(std::string("the materials' links form a cycle (") + e.what() + ")");
  }
}
