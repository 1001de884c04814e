#include "base/PersistentClasses.h"

#include <algorithm>
#include <unordered_set>

namespace {

// Lists nested deeper than this in one archive are refused: reading recurses once
// per level, and a hostile archive must not exhaust the stack.
constexpr int MaxListDepth = 1000;

const char* const BrokenArchive = "Broken ObjectList archive";

// Frees the items of a list that reading built, and those of the lists among them:
// reading created them all, and nothing else holds them yet.
void FreeReadItems(TPersistentObjectList& list) {
  for (int i = 0; i < list.Count(); ++i)
    if (auto* inner = dynamic_cast<TPersistentObjectList*>(list.GetItem(i))) FreeReadItems(*inner);
  list.FreeAllAndClear();
}

}  // namespace

// ---------------------------------------------------------------------------
// TPersistentObject

void TPersistentObject::Assign(const TPersistent* source) {
  if (source == nullptr || &source->ClassType() != &ClassType()) {
    TPersistent::Assign(source);
    return;
  }
  TStringStream stream;
  static_cast<const TPersistentObject*>(source)->SaveToStream(stream);
  stream.SetPosition(0);
  LoadFromStream(stream);
}

std::unique_ptr<TPersistentObject> TPersistentObject::CreateCopy() const {
  std::unique_ptr<TPersistentObject> copy = ClassType().Create();
  copy->Assign(this);
  return copy;
}

void TPersistentObject::WriteFields(TVirtualWriter&) const {}

void TPersistentObject::ReadFields(TVirtualReader&) {}

void TPersistentObject::SaveToStream(TStream& stream, TVirtualWriterClass writerClass) const {
  std::unique_ptr<TVirtualWriter> writer = (writerClass ? writerClass : &TBinaryWriter::Create)(stream);
  std::string signature = FileSignature();
  if (!signature.empty()) writer->Write(signature.data(), signature.size());
  WriteFields(*writer);
  writer->FlushBuffer();
}

void TPersistentObject::LoadFromStream(TStream& stream, TVirtualReaderClass readerClass) {
  std::unique_ptr<TVirtualReader> reader = (readerClass ? readerClass : &TBinaryReader::Create)(stream);
  std::string signature = FileSignature();
  if (!signature.empty()) {
    std::string found(signature.size(), '\0');
    reader->Read(found.data(), found.size());
    if (found != signature) throw EInvalidFileSignature("Invalid file signature");
  }
  ReadFields(*reader);
  reader->FlushBuffer();
}

void TPersistentObject::SaveToFile(const std::string& fileName, TVirtualWriterClass writerClass) const {
  TReplacingFileStream stream(fileName);
  SaveToStream(stream, writerClass ? writerClass : DefaultWriterClass());
  stream.Commit();
}

void TPersistentObject::LoadFromFile(const std::string& fileName, TVirtualReaderClass readerClass) {
  TFileStream stream(fileName, TFileMode::OpenRead);
  LoadFromStream(stream, readerClass ? readerClass : DefaultReaderClass());
}

std::string TPersistentObject::SaveToString(TVirtualWriterClass writerClass) const {
  TStringStream stream;
  SaveToStream(stream, writerClass);
  return stream.DataString();
}

void TPersistentObject::LoadFromString(const std::string& data, TVirtualReaderClass readerClass) {
  TStringStream stream(data);
  LoadFromStream(stream, readerClass);
}

void TPersistentObject::RaiseFilerException(int version) const {
  throw EFilerException(ClassName() + " : unknown archive version " + std::to_string(version));
}

// ---------------------------------------------------------------------------
// TPersistentObjectList

void TPersistentObjectList::SetGrowthDelta(int delta) {
  BRV_ASSERT(delta >= 1);
  FGrowthDelta = delta;
}

TObject* TPersistentObjectList::GetItem(int index) const {
  if (index < 0 || index >= FCount) Error();
  return FList[static_cast<std::size_t>(index)];
}

int TPersistentObjectList::Add(TObject* object) {
  if (FCount == Capacity()) SetCapacity(CheckedAdd(Capacity(), FGrowthDelta));
  FList[static_cast<std::size_t>(FCount)] = object;
  return FCount++;
}

void TPersistentObjectList::Delete(int index) {
  if (index < 0 || index >= FCount) Error();
  auto first = FList.begin() + index;
  std::move(first + 1, FList.begin() + FCount, first);
  FList[static_cast<std::size_t>(--FCount)] = nullptr;
}

int TPersistentObjectList::IndexOf(const TObject* object) const {
  auto end = FList.begin() + FCount;
  auto found = std::find(FList.begin(), end, object);
  return found == end ? -1 : static_cast<int>(found - FList.begin());
}

int TPersistentObjectList::Remove(const TObject* object) {
  int index = IndexOf(object);
  if (index >= 0) Delete(index);
  return index;
}

void TPersistentObjectList::SetCapacity(int capacity) {
  BRV_ASSERT(capacity >= 0);
  if (capacity == Capacity()) return;
  FCount = std::min(FCount, capacity);
  FList.resize(static_cast<std::size_t>(capacity), nullptr);
}

void TPersistentObjectList::SetCount(int count) {
  BRV_ASSERT(count >= 0);
  if (count > Capacity()) SetCapacity(count);
  // Entries between the old and the new count may hold references dropped earlier.
  if (count > FCount) std::fill(FList.begin() + FCount, FList.begin() + count, nullptr);
  FCount = count;
}

void TPersistentObjectList::Clear() {
  FCount = 0;
  FList.clear();
  FList.shrink_to_fit();
}

void TPersistentObjectList::FreeAllAndClear() {
  // The list is emptied first, so that an object whose destructor removes itself
  // from its list finds nothing; then each object is freed once.
  std::vector<TObject*> doomed(FList.begin(), FList.begin() + FCount);
  Clear();
  std::unordered_set<TObject*> freed;
  for (auto it = doomed.rbegin(); it != doomed.rend(); ++it)
    if (*it != nullptr && freed.insert(*it).second) delete *it;
}

void TPersistentObjectList::Error() const { throw EListError("Invalid list index"); }

void TPersistentObjectList::AfterObjectCreatedByReader(TPersistentObject&) {}

void TPersistentObjectList::WriteFields(TVirtualWriter& writer) const {
  TPersistentObject::WriteFields(writer);
  writer.WriteInteger(0);  // archive version
  writer.WriteListBegin();
  TStreamClassTable<TPersistentObjectClass> classes;
  for (int i = 0; i < FCount; ++i) {
    const TObject* item = FList[static_cast<std::size_t>(i)];
    if (item == nullptr) {
      writer.WriteBoolean(false);
      writer.WriteInteger(0);
      continue;
    }
    // A reference to anything else could not be read back meaningfully.
    auto* object = dynamic_cast<const TPersistentObject*>(item);
    if (object == nullptr)
      throw EWriteError("Cannot store an object of class " + item->ClassName() + " in an object list archive");
    classes.WriteClass(writer, object->ClassType());
    object->WriteFields(writer);
  }
  writer.WriteListEnd();
}

void TPersistentObjectList::ReadFields(TVirtualReader& reader) {
  ReadFieldsWithCallback(reader, [this](TPersistentObject& object) { AfterObjectCreatedByReader(object); });
}

void TPersistentObjectList::ReadFieldsWithCallback(TVirtualReader& reader, const TReadCallback& callback) {
  if (reader.FListDepth >= MaxListDepth)
    throw EReadError("Object lists nested deeper than " + std::to_string(MaxListDepth) + " levels");
  ++reader.FListDepth;
  struct TDepthGuard {
    int& Depth;
    ~TDepthGuard() { --Depth; }
  } guard{reader.FListDepth};

  int version = reader.ReadInteger();
  if (version != 0) RaiseFilerException(version);
  reader.ReadListBegin();
  TStreamClassTable<TPersistentObjectClass> classes;
  std::vector<std::unique_ptr<TPersistentObject>> objects;  // owned until the read completes
  std::vector<TObject*> items;
  try {
    while (!reader.EndOfList()) {
      const TPersistentObjectClass* cls = nullptr;
      switch (reader.NextValue()) {
        case TValueType::Int8:
        case TValueType::Int16:
        case TValueType::Int32:
          cls = &classes.ClassOf(reader.ReadInteger());
          break;
        case TValueType::String:
        case TValueType::LongString: {
          std::string name = reader.ReadString();
          cls = dynamic_cast<const TPersistentObjectClass*>(&FindClass(name));
          if (cls == nullptr || !cls->CanCreate())
            throw EReadError("Class " + name + " cannot be created from an object list archive");
          classes.Add(*cls);
          break;
        }
        case TValueType::False:
        case TValueType::True:
          reader.ReadBoolean();
          // Only nil is ever stored in place of an object.
          if (reader.ReadInteger() != 0) throw Exception(BrokenArchive);
          items.push_back(nullptr);
          continue;
        default:
          throw Exception(BrokenArchive);
      }
      std::unique_ptr<TPersistentObject> object = cls->Create();
      if (callback) callback(*object);
      object->ReadFields(reader);
      items.push_back(object.get());
      objects.push_back(std::move(object));
    }
    reader.ReadListEnd();
  } catch (...) {
    // The lists among the objects read so far hold objects read too.
    for (auto& object : objects)
      if (auto* list = dynamic_cast<TPersistentObjectList*>(object.get())) FreeReadItems(*list);
    throw;
  }

  FreeAllAndClear();
  // Room first, so that nothing below can fail while the objects change hands.
  int count = static_cast<int>(items.size());
  SetCapacity(count == 0 ? 0 : CheckedMul((count - 1) / FGrowthDelta + 1, FGrowthDelta));
  for (TObject* item : items) Add(item);
  for (auto& object : objects) object.release();
}

void InitializePersistentClasses() { RegisterClass(TPersistentObjectList::StaticClass()); }
