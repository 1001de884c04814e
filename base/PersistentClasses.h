#pragma once
// Objects that write their fields to a stream and read them back, and the list that
// stores objects of several classes: each item's class is written by name the first
// time it occurs in a list archive and by number afterwards.
//
// Every class level writes its parent's fields first (by calling the inherited
// WriteFields), then its own version word and fields, and reads them back in the
// same order, refusing versions it does not know with RaiseFilerException.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/ClassRegistry.h"
#include "base/Filer.h"
#include "base/Streams.h"

// A stream that does not start with the object's file signature.
class EInvalidFileSignature : public Exception {
public:
  using Exception::Exception;
};

// An archive version that the reading class does not know.
class EFilerException : public Exception {
public:
  using Exception::Exception;
};

// ---------------------------------------------------------------------------
// Writers and readers

// Writes the values of an archive to a stream, which it does not own.
class TVirtualWriter {
public:
  explicit TVirtualWriter(TStream& stream) : FStream(stream) {}
  virtual ~TVirtualWriter() = default;
  TVirtualWriter(const TVirtualWriter&) = delete;
  TVirtualWriter& operator=(const TVirtualWriter&) = delete;

  TStream& Stream() const { return FStream; }
  // Raw bytes, without a code.
  virtual void Write(const void* buffer, std::size_t count) = 0;
  virtual void WriteInteger(std::int32_t value) = 0;
  virtual void WriteBoolean(bool value) = 0;
  virtual void WriteString(std::string_view value) = 0;
  virtual void WriteFloat(long double value) = 0;
  virtual void WriteListBegin() = 0;
  virtual void WriteListEnd() = 0;
  // Hands buffered values to the stream; every save ends with it, so that a failing
  // stream is reported by the save.
  virtual void FlushBuffer() {}

private:
  TStream& FStream;
};

// Reads the values of an archive from a stream, which it does not own. Each read
// raises EReadError when the stream ends or holds a value of another kind.
class TVirtualReader {
public:
  explicit TVirtualReader(TStream& stream) : FStream(stream) {}
  virtual ~TVirtualReader() = default;
  TVirtualReader(const TVirtualReader&) = delete;
  TVirtualReader& operator=(const TVirtualReader&) = delete;

  TStream& Stream() const { return FStream; }
  // Raw bytes, without a code.
  virtual void Read(void* buffer, std::size_t count) = 0;
  // The code of the next value, not consumed.
  virtual TValueType NextValue() = 0;
  virtual std::int32_t ReadInteger() = 0;
  virtual bool ReadBoolean() = 0;
  virtual std::string ReadString() = 0;
  virtual long double ReadFloat() = 0;
  virtual void ReadListBegin() = 0;
  virtual void ReadListEnd() = 0;
  // True when the next value is the end of a list.
  virtual bool EndOfList() = 0;
  // Bytes not yet consumed: a reader tests a stored count against it before it
  // allocates anything for the count.
  virtual std::int64_t BytesLeft() const = 0;
  // Leaves the stream right after the last value consumed; every load ends with it.
  virtual void FlushBuffer() {}

private:
  friend class TPersistentObjectList;
  TStream& FStream;
  // Object lists being read around the current value.
  int FListDepth = 0;
};

// The "class" of a writer or reader: its virtual constructor over a stream.
using TVirtualWriterClass = std::unique_ptr<TVirtualWriter> (*)(TStream& stream);
using TVirtualReaderClass = std::unique_ptr<TVirtualReader> (*)(TStream& stream);

// The writer of the filer value encoding (Filer.h), with a 16384-byte buffer.
class TBinaryWriter : public TVirtualWriter {
public:
  explicit TBinaryWriter(TStream& stream) : TVirtualWriter(stream), FWriter(stream) {}
  static std::unique_ptr<TVirtualWriter> Create(TStream& stream) { return std::make_unique<TBinaryWriter>(stream); }

  void Write(const void* buffer, std::size_t count) override { FWriter.Write(buffer, count); }
  void WriteInteger(std::int32_t value) override { FWriter.WriteInteger(value); }
  void WriteBoolean(bool value) override { FWriter.WriteBoolean(value); }
  void WriteString(std::string_view value) override { FWriter.WriteString(value); }
  void WriteFloat(long double value) override { FWriter.WriteFloat(value); }
  void WriteListBegin() override { FWriter.WriteListBegin(); }
  void WriteListEnd() override { FWriter.WriteListEnd(); }
  void FlushBuffer() override { FWriter.FlushBuffer(); }

private:
  TWriter FWriter;
};

// The reader of the filer value encoding; it reads ahead in 16384-byte blocks.
class TBinaryReader : public TVirtualReader {
public:
  explicit TBinaryReader(TStream& stream) : TVirtualReader(stream), FReader(stream) {}
  static std::unique_ptr<TVirtualReader> Create(TStream& stream) { return std::make_unique<TBinaryReader>(stream); }

  void Read(void* buffer, std::size_t count) override { FReader.Read(buffer, count); }
  TValueType NextValue() override { return FReader.NextValue(); }
  std::int32_t ReadInteger() override { return FReader.ReadInteger(); }
  bool ReadBoolean() override { return FReader.ReadBoolean(); }
  std::string ReadString() override { return FReader.ReadString(); }
  long double ReadFloat() override { return FReader.ReadFloat(); }
  void ReadListBegin() override { FReader.ReadListBegin(); }
  void ReadListEnd() override { FReader.ReadListEnd(); }
  bool EndOfList() override { return FReader.EndOfList(); }
  std::int64_t BytesLeft() const override { return FReader.BytesLeft(); }
  void FlushBuffer() override { FReader.FlushBuffer(); }

private:
  TReader FReader;
};

// ---------------------------------------------------------------------------
// Persistent objects

class TPersistentObject;

// The class of a persistent object, with its virtual constructor (none for a class
// that cannot be created by name).
class TPersistentObjectClass : public TCreatableClass<TPersistentObject> {
public:
  using TCreatableClass::TCreatableClass;
};

// Declares the class reference of a persistent class, with T's virtual constructor
// when T can be made without arguments; put it first in the class body.
#define BRV_PERSISTENT_CLASS(T, Parent) \
  BRV_CLASS_OF_KIND(T, Parent, TPersistentObjectClass, TPersistentObjectClass::ConstructorOf<T>())

class TPersistentObject : public TPersistent {
  BRV_PERSISTENT_CLASS(TPersistentObject, TPersistent)

public:
  TPersistentObject() = default;

  // A source of exactly this class is copied by writing it to a memory stream and
  // reading this object back from it; any other source goes to TPersistent::Assign.
  void Assign(const TPersistent* source) override;
  // Raw bytes written before the fields and checked when reading; empty here.
  virtual std::string FileSignature() const { return {}; }
  virtual TVirtualWriterClass DefaultWriterClass() const { return &TBinaryWriter::Create; }
  virtual TVirtualReaderClass DefaultReaderClass() const { return &TBinaryReader::Create; }

  // A new object of the same class with the same stored fields.
  virtual std::unique_ptr<TPersistentObject> CreateCopy() const;
  // Empty here: each descendant calls the inherited one, then handles its version
  // word and fields.
  virtual void WriteFields(TVirtualWriter& writer) const;
  virtual void ReadFields(TVirtualReader& reader);

  // No writer or reader class means TBinaryWriter or TBinaryReader. The stream is
  // left right after the object's bytes.
  virtual void SaveToStream(TStream& stream, TVirtualWriterClass writerClass = nullptr) const;
  virtual void LoadFromStream(TStream& stream, TVirtualReaderClass readerClass = nullptr);
  // No class means DefaultWriterClass or DefaultReaderClass. The file is replaced
  // only once the whole object has been written to it.
  void SaveToFile(const std::string& fileName, TVirtualWriterClass writerClass = nullptr) const;
  void LoadFromFile(const std::string& fileName, TVirtualReaderClass readerClass = nullptr);
  // The encoded bytes as a string, and back.
  std::string SaveToString(TVirtualWriterClass writerClass = nullptr) const;
  void LoadFromString(const std::string& data, TVirtualReaderClass readerClass = nullptr);

  // Raises EFilerException: the class name, " : unknown archive version ", the version.
  [[noreturn]] void RaiseFilerException(int version) const;
};

// A list of object references that stores the objects of several persistent classes
// polymorphically. The list frees its objects only when told to (FreeAllAndClear);
// the objects that reading creates are the list's to free.
class TPersistentObjectList : public TPersistentObject {
  BRV_PERSISTENT_CLASS(TPersistentObjectList, TPersistentObject)

public:
  using TReadCallback = std::function<void(TPersistentObject& object)>;

  TPersistentObjectList() = default;

  int Count() const { return FCount; }
  int Capacity() const { return static_cast<int>(FList.size()); }
  int GrowthDelta() const { return FGrowthDelta; }
  // At least 1.
  void SetGrowthDelta(int delta);
  // A bad index calls Error.
  TObject* GetItem(int index) const;

  // Appends; the capacity grows by GrowthDelta when the list is full.
  int Add(TObject* object);
  // A bad index calls Error; later items move down by one.
  void Delete(int index);
  // The first index holding `object`, -1 when absent.
  int IndexOf(const TObject* object) const;
  // IndexOf, then Delete when found; returns the index or -1.
  int Remove(const TObject* object);
  // A capacity below Count drops the items beyond it (they are not freed).
  void SetCapacity(int capacity);
  // New entries are null.
  void SetCount(int count);
  // Count and capacity to 0; the objects are not freed.
  virtual void Clear();
  // Frees every object once, from the last to the first (an object held twice is
  // freed once), then Clear.
  virtual void FreeAllAndClear();

  void WriteFields(TVirtualWriter& writer) const override;
  void ReadFields(TVirtualReader& reader) override;
  // As ReadFields, calling `callback` with each object right after creating it and
  // before its own ReadFields. The items are read into a new list; only a complete
  // read replaces (and frees) the objects held before.
  void ReadFieldsWithCallback(TVirtualReader& reader, const TReadCallback& callback);

protected:
  // Raises EListError ("Invalid list index").
  [[noreturn]] virtual void Error() const;
  // Called with each object that reading creates; nothing here.
  virtual void AfterObjectCreatedByReader(TPersistentObject& object);

private:
  std::vector<TObject*> FList;  // one entry per unit of capacity
  int FCount = 0;
  int FGrowthDelta = 16;
};

// Start-up registration of the unit's streamable classes: TPersistentObjectList.
void InitializePersistentClasses();
