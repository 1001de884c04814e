#include "base/PersistentClasses.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/VectorLists.h"
#include "tests/base/PersistenceTestSupport.h"

namespace {

// One stored field of each kind, behind a version word, as the mesh classes store theirs.
class TSample : public TPersistentObject {
  BRV_PERSISTENT_CLASS(TSample, TPersistentObject)

public:
  std::string Name;
  std::int32_t Number = 0;
  long double Value = 0;
  bool Flag = false;

  void WriteFields(TVirtualWriter& writer) const override {
    TPersistentObject::WriteFields(writer);
    writer.WriteInteger(1);
    writer.WriteString(Name);
    writer.WriteInteger(Number);
    writer.WriteFloat(Value);
    writer.WriteBoolean(Flag);
  }
  void ReadFields(TVirtualReader& reader) override {
    TPersistentObject::ReadFields(reader);
    int version = reader.ReadInteger();
    if (version != 1) RaiseFilerException(version);
    Name = reader.ReadString();
    Number = reader.ReadInteger();
    Value = reader.ReadFloat();
    Flag = reader.ReadBoolean();
  }
};

class TSignedSample : public TSample {
  BRV_PERSISTENT_CLASS(TSignedSample, TSample)

public:
  std::string FileSignature() const override { return "BRVS"; }
};

// Stores nothing; counts the live instances.
class TCounted : public TPersistentObject {
  BRV_PERSISTENT_CLASS(TCounted, TPersistentObject)

public:
  static inline int Alive = 0;
  TCounted() { ++Alive; }
  ~TCounted() override { --Alive; }
};

// Writes part of its fields, then fails, as a full disk would make it.
class TFailing : public TPersistentObject {
  BRV_PERSISTENT_CLASS(TFailing, TPersistentObject)

public:
  void WriteFields(TVirtualWriter& writer) const override {
    writer.WriteString(std::string(40000, 'x'));
    throw EWriteError("disk gone");
  }
};

class TPlainPersistent : public TPersistent {
  BRV_CLASS(TPlainPersistent, TPersistent)
};

class TForeign : public TObject {
  BRV_CLASS(TForeign, TObject)
};

class PersistentClasses : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterBaseClasses();
    RegisterClass(TSample::StaticClass());
    RegisterClass(TSignedSample::StaticClass());
    RegisterClass(TCounted::StaticClass());
    RegisterClass(TPlainPersistent::StaticClass());
    TCounted::Alive = 0;
  }
};

TSample* MakeSample(const std::string& name, int number) {
  auto* sample = new TSample;
  sample->Name = name;
  sample->Number = number;
  sample->Value = number / 4.0L;
  sample->Flag = number % 2 != 0;
  return sample;
}

// The stored fields of MakeSample(name, number) for a number below 128, whose
// value number / 4 is stored as the extended `value`.
std::string SampleFields(const std::string& name, int number, const char* value) {
  return Bytes("02 01 06") + static_cast<char>(name.size()) + name + Bytes("02") + static_cast<char>(number) +
         Bytes("05") + Bytes(value) + Bytes(number % 2 ? "09" : "08");
}

TEST_F(PersistentClasses, ListArchiveOfAVectorListAndNil) {
  TPersistentObjectList list;
  auto* vectors = new TAffineVectorList;
  vectors->Add({1, 2, 3});
  list.Add(vectors);
  list.Add(nullptr);
  std::string expected = Bytes("02 00 01 06 11 'TAffineVectorList' 02 00 02 01 02 0C") +
                         Bytes("00 00 80 3F 00 00 00 40 00 00 40 40 02 00 08 02 00 00");
  EXPECT_BYTES(list.SaveToString(), expected);

  TPersistentObjectList back;
  back.LoadFromString(expected);
  ASSERT_EQ(back.Count(), 2);
  auto* read = dynamic_cast<TAffineVectorList*>(back.GetItem(0));
  ASSERT_NE(read, nullptr);
  ASSERT_EQ(read->Count(), 1);
  EXPECT_TRUE(Vec3Equal(read->GetItem(0), {1, 2, 3}));
  EXPECT_EQ(back.GetItem(1), nullptr);
  list.FreeAllAndClear();
  back.FreeAllAndClear();
}

TEST_F(PersistentClasses, ClassesAreNamedOnceThenNumberedPerArchive) {
  TPersistentObjectList empty;
  EXPECT_BYTES(empty.SaveToString(), Bytes("02 00 01 00"));

  // Items of two classes, A B A A: the name at the first of each class, then its
  // number. A nested list keeps a table of its own and names TSample again.
  TPersistentObjectList list;
  list.Add(MakeSample("a", 4));
  list.Add(new TCounted);
  list.Add(MakeSample("b", 5));
  auto* inner = new TPersistentObjectList;
  inner->Add(MakeSample("c", 6));
  list.Add(inner);
  std::string expected = Bytes("02 00 01") + Bytes("06 07 'TSample'") +
                         SampleFields("a", 4, "00 00 00 00 00 00 00 80 FF 3F") + Bytes("06 08 'TCounted'") +
                         Bytes("02 00") + SampleFields("b", 5, "00 00 00 00 00 00 00 A0 FF 3F") +
                         Bytes("06 15 'TPersistentObjectList' 02 00 01 06 07 'TSample'") +
                         SampleFields("c", 6, "00 00 00 00 00 00 00 C0 FF 3F") + Bytes("00 00");
  EXPECT_BYTES(list.SaveToString(), expected);

  TPersistentObjectList back;
  back.LoadFromString(expected);
  EXPECT_BYTES(back.SaveToString(), expected);
  ASSERT_EQ(back.Count(), 4);
  auto* b = dynamic_cast<TSample*>(back.GetItem(2));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Name, "b");
  EXPECT_EQ(b->Value, 1.25L);
  EXPECT_TRUE(b->Flag);

  dynamic_cast<TPersistentObjectList*>(back.GetItem(3))->FreeAllAndClear();
  back.FreeAllAndClear();
  inner->FreeAllAndClear();
  list.FreeAllAndClear();
}

TEST_F(PersistentClasses, ArchiveErrorsRaiseTheirTexts) {
  std::string counted = Bytes("06 08 'TCounted'");
  struct {
    std::string bytes;
    std::string text;
  } cases[] = {
      {Bytes("02 01 01 00"), "TPersistentObjectList : unknown archive version 1"},
      {Bytes("02 00 01 05 00 00 00 00 00 00 00 80 FF 3F 00"), "Broken ObjectList archive"},
      {Bytes("02 00 01 14 01 00 00 00 'T' 00"), "Broken ObjectList archive"},
      // Only nil may stand in place of an object.
      {Bytes("02 00 01 08 04 78 56 34 12 00"), "Broken ObjectList archive"},
      {Bytes("02 00 01 09 02 01 00"), "Broken ObjectList archive"},
      {Bytes("02 00 01") + counted + Bytes("02 01 00"), "Class number 1 in a stream that has named 1 classes"},
      {Bytes("02 00 01 02 FF 00"), "Class number -1 in a stream that has named 0 classes"},
      {Bytes("02 00 01 06 0C 'TIntegerList' 00"), "Class TIntegerList not found"},
      {Bytes("02 00 01 06 10 'TPlainPersistent' 00"),
       "Class TPlainPersistent cannot be created from an object list archive"},
      {Bytes("02 00 01 06 09 'TBaseList' 00"), "Class TBaseList not found"},
      {Bytes("02 00 01") + counted, "Stream read error"},
      {Bytes("02 00 02"), "Expected a list begin in the stream, found value code 2"},
  };
  for (const auto& c : cases) {
    TPersistentObjectList list;
    EXPECT_EQ(BRV_ERROR_TEXT(Exception, list.LoadFromString(c.bytes)), c.text) << Hex(c.bytes);
    EXPECT_EQ(list.Count(), 0);
  }
  EXPECT_EQ(TCounted::Alive, 0);
  EXPECT_THROW(TPersistentObjectList().LoadFromString(Bytes("02 01 01 00")), EFilerException);
  EXPECT_THROW(TPersistentObjectList().LoadFromString(Bytes("02 00 01 02 03 00")), EListError);
  EXPECT_THROW(TPersistentObjectList().LoadFromString(Bytes("02 00 01 06 03 'TZz' 00")), EClassNotFound);
}

TEST_F(PersistentClasses, ObjectsThatAreNotPersistentAreRefusedOnWrite) {
  TForeign foreign;
  TPersistentObjectList list;
  list.Add(nullptr);
  list.Add(&foreign);
  EXPECT_EQ(BRV_ERROR_TEXT(EWriteError, list.SaveToString()),
            "Cannot store an object of class TForeign in an object list archive");
}

TEST_F(PersistentClasses, ALoadReplacesTheObjectsOnlyWhenItSucceeds) {
  TPersistentObjectList list;
  TObject* first = list.Add(new TCounted) >= 0 ? list.GetItem(0) : nullptr;
  list.Add(new TCounted);
  std::string three = Bytes("02 00 01 06 08 'TCounted' 02 00 02 00 00");

  // Cut short after the second new object: what was read is freed, the list is as it was.
  EXPECT_THROW(list.LoadFromString(three.substr(0, three.size() - 3)), EReadError);
  EXPECT_EQ(TCounted::Alive, 2);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.GetItem(0), first);
  // A nested list read before the failure goes with what it holds.
  std::string nestedThenCut = Bytes("02 00 01 06 15 'TPersistentObjectList' 02 00 01 06 08 'TCounted' 00 02 00");
  EXPECT_THROW(list.LoadFromString(nestedThenCut), EReadError);
  EXPECT_EQ(TCounted::Alive, 2);

  list.LoadFromString(three);
  EXPECT_EQ(TCounted::Alive, 3);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_NE(list.GetItem(0), first);
  EXPECT_EQ(list.Capacity(), 16);
  list.FreeAllAndClear();
  EXPECT_EQ(TCounted::Alive, 0);
}

TEST_F(PersistentClasses, FreeAllAndClearFreesAnObjectHeldTwiceOnce) {
  TPersistentObjectList list;
  auto* twice = new TCounted;
  list.Add(twice);
  list.Add(new TCounted);
  list.Add(nullptr);
  list.Add(twice);
  list.FreeAllAndClear();
  EXPECT_EQ(TCounted::Alive, 0);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST_F(PersistentClasses, ListOperations) {
  TPersistentObjectList list;
  TCounted a, b, c;
  EXPECT_EQ(list.Capacity(), 0);
  for (int i = 0; i < 16; ++i) list.Add(&a);
  EXPECT_EQ(list.Capacity(), 16);
  EXPECT_EQ(list.Add(&b), 16);
  EXPECT_EQ(list.Capacity(), 32);
  EXPECT_EQ(list.IndexOf(&b), 16);
  EXPECT_EQ(list.IndexOf(&c), -1);
  EXPECT_EQ(list.Remove(&a), 0);
  EXPECT_EQ(list.Count(), 16);
  EXPECT_EQ(list.Remove(&c), -1);
  for (int index : {16, -1, 1000}) EXPECT_EQ(BRV_ERROR_TEXT(EListError, list.Delete(index)), "Invalid list index");
  EXPECT_THROW(list.GetItem(16), EListError);

  // A capacity below the count lowers the count; growing again gives nil entries.
  list.SetCapacity(4);
  EXPECT_EQ(list.Count(), 4);
  list.SetCount(6);
  EXPECT_EQ(list.Capacity(), 6);
  EXPECT_EQ(list.GetItem(3), &a);
  EXPECT_EQ(list.GetItem(5), nullptr);
  list.SetCount(2);
  list.SetCount(4);
  EXPECT_EQ(list.GetItem(3), nullptr);
  EXPECT_THROW(list.SetCount(-1), EAssertionFailed);
  EXPECT_THROW(list.SetCapacity(-1), EAssertionFailed);
  list.Clear();
  EXPECT_EQ(list.Capacity(), 0);
  EXPECT_EQ(TCounted::Alive, 3);
}

TEST_F(PersistentClasses, SignatureIsWrittenRawAndChecked) {
  TSignedSample sample;
  sample.Name = "s";
  std::string bytes = sample.SaveToString();
  EXPECT_EQ(bytes.substr(0, 6), Bytes("'BRVS' 02 01"));

  TSignedSample back;
  back.Name = "kept";
  std::string wrong = bytes;
  wrong[3] = 'T';
  EXPECT_EQ(BRV_ERROR_TEXT(EInvalidFileSignature, back.LoadFromString(wrong)), "Invalid file signature");
  EXPECT_EQ(back.Name, "kept");
  back.LoadFromString(bytes);
  EXPECT_EQ(back.Name, "s");
}

TEST_F(PersistentClasses, AssignCopiesObjectsOfTheSameClassOnly) {
  std::unique_ptr<TSample> source(MakeSample("source", 7));
  TSample copy;
  copy.Assign(source.get());
  EXPECT_EQ(copy.Name, "source");
  EXPECT_EQ(copy.Number, 7);
  EXPECT_EQ(copy.Value, 1.75L);
  EXPECT_TRUE(copy.Flag);

  std::unique_ptr<TPersistentObject> clone = source->CreateCopy();
  EXPECT_EQ(&clone->ClassType(), &TSample::StaticClass());
  EXPECT_EQ(clone->SaveToString(), source->SaveToString());

  TCounted other;
  EXPECT_EQ(BRV_ERROR_TEXT(EConvertError, copy.Assign(&other)), "Cannot assign a TCounted to a TSample");
  EXPECT_EQ(BRV_ERROR_TEXT(EConvertError, copy.Assign(nullptr)), "Cannot assign a nil to a TSample");
  // A descendant is another class, too.
  TSignedSample signedSample;
  EXPECT_THROW(copy.Assign(&signedSample), EConvertError);
  EXPECT_EQ(copy.Name, "source");
}

TEST_F(PersistentClasses, ObjectsFollowEachOtherInAStream) {
  std::unique_ptr<TSample> one(MakeSample("one", 1)), two(MakeSample("two", 2));
  TStringStream stream;
  one->SaveToStream(stream);
  two->SaveToStream(stream);
  stream.SetPosition(0);
  TSample a, b;
  a.LoadFromStream(stream);
  EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(one->SaveToString().size()));
  b.LoadFromStream(stream);
  EXPECT_EQ(a.Name, "one");
  EXPECT_EQ(b.Name, "two");
  EXPECT_EQ(stream.BytesLeft(), 0);
}

TEST_F(PersistentClasses, FilesAreReplacedOnlyByACompleteSave) {
  TScratchFolder folder;
  std::string file = folder.File("sample.bin");
  std::unique_ptr<TSample> sample(MakeSample("first", 3));
  sample->SaveToFile(file);
  TSample back;
  back.LoadFromFile(file);
  EXPECT_EQ(back.Name, "first");

  std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  std::string before = sample->SaveToString();
  TFailing failing;
  EXPECT_EQ(BRV_ERROR_TEXT(EWriteError, failing.SaveToFile(file)), "disk gone");
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), before);
  // Nothing else is left beside it, and a replaced file keeps its permissions.
  sample->Name = "second";
  sample->SaveToFile(file);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
  EXPECT_EQ(std::filesystem::status(file).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  back.LoadFromFile(file);
  EXPECT_EQ(back.Name, "second");

  std::string missing = folder.File("no/such.bin");
  EXPECT_EQ(BRV_ERROR_TEXT(EFOpenError, back.LoadFromFile(missing)),
            "Cannot open file \"" + missing + "\". No such file or directory");
  EXPECT_EQ(BRV_ERROR_TEXT(EFCreateError, sample->SaveToFile(missing)),
            "Cannot create file \"" + missing + "\". No such file or directory");
}

TEST_F(PersistentClasses, NestingIsLimitedSoThatTheStackIsNot) {
  auto nested = [](int levels) {
    std::string bytes = Bytes("02 00 01");
    for (int i = 0; i < levels; ++i) bytes += Bytes("06 15 'TPersistentObjectList' 02 00 01");
    return bytes + std::string(static_cast<std::size_t>(levels) + 1, '\0');
  };
  TPersistentObjectList list;
  list.LoadFromString(nested(999));
  // The lists do not own their items: free the chain from the deepest up.
  std::vector<TPersistentObjectList*> chain{&list};
  while (chain.back()->Count() > 0) chain.push_back(dynamic_cast<TPersistentObjectList*>(chain.back()->GetItem(0)));
  EXPECT_EQ(chain.size(), 1000u);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) (*it)->FreeAllAndClear();

  EXPECT_EQ(BRV_ERROR_TEXT(EReadError, list.LoadFromString(nested(1000))),
            "Object lists nested deeper than 1000 levels");
  EXPECT_THROW(list.LoadFromString(nested(100000)), EReadError);
}

}  // namespace
