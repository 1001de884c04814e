// Valid archives, cut short and with bytes changed, are loaded: every load either
// succeeds or raises one of our exceptions. Run under the sanitizers, this also shows
// that no byte sequence makes a reader touch memory it does not own or leak.

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "GeometryTestSupport.h"
#include "base/XCollection.h"
#include "tests/base/PersistenceTestSupport.h"

namespace {

// Fields of every kind the filer knows.
class TMixed : public TPersistentObject {
  BRV_PERSISTENT_CLASS(TMixed, TPersistentObject)

public:
  std::string Text;
  long double Value = 0;
  bool Flag = false;

  void WriteFields(TVirtualWriter& writer) const override {
    writer.WriteInteger(0);
    writer.WriteString(Text);
    writer.WriteFloat(Value);
    writer.WriteBoolean(Flag);
  }
  void ReadFields(TVirtualReader& reader) override {
    int version = reader.ReadInteger();
    if (version != 0) RaiseFilerException(version);
    Text = reader.ReadString();
    Value = reader.ReadFloat();
    Flag = reader.ReadBoolean();
  }
};

class TMutationItem : public TXCollectionItem {
  BRV_XCOLLECTION_ITEM_CLASS(TMutationItem, TXCollectionItem, .DisplayName = "Mutation item")

public:
  explicit TMutationItem(TXCollection* owner) : TXCollectionItem(owner) {}
};

class TOtherMutationItem : public TMutationItem {
  BRV_XCOLLECTION_ITEM_CLASS(TOtherMutationItem, TMutationItem, .DisplayName = "Other mutation item")

public:
  explicit TOtherMutationItem(TXCollection* owner) : TMutationItem(owner) {}
};

// Frees what a list read from an archive holds, nested lists included.
void FreeDeep(TPersistentObjectList& list) {
  for (int i = 0; i < list.Count(); ++i)
    if (auto* inner = dynamic_cast<TPersistentObjectList*>(list.GetItem(i))) FreeDeep(*inner);
  list.FreeAllAndClear();
}

std::string ObjectListArchive() {
  TRandomInputs random(17);
  TPersistentObjectList list, inner;
  TAffineVectorList affine;
  TVectorList vectors;
  TTexPointList texPoints;
  TSingleList singles;
  TMixed mixed, long1;
  for (int i = 0; i < 5; ++i) affine.Add(random.Vec3());
  vectors.SetCount(3);
  texPoints.SetCount(2);
  for (int i = 0; i < 4; ++i) singles.Add(random.Value());
  mixed.Text = "caf\xC3\xA9";
  mixed.Value = 0.1L;
  long1.Text = std::string(300, 'L');
  inner.Add(&affine);
  inner.Add(&mixed);
  for (TObject* item : std::initializer_list<TObject*>{&affine, nullptr, &vectors, &texPoints, &singles, &inner,
                                                       &mixed, &long1, &affine})
    list.Add(item);
  return list.SaveToString();
}

std::string CollectionStream() {
  TXCollection collection(nullptr);
  collection.Add<TMutationItem>();
  collection.Add<TOtherMutationItem>().SetName(std::string(260, 'n'));
  collection.Add<TMutationItem>().SetName("third");
  TStringStream stream;
  TWriter writer(stream);
  collection.WriteItems(writer);
  writer.FlushBuffer();
  return stream.DataString();
}

// Loads `bytes` with `load`; a failure other than one of our exceptions fails the test.
void ExpectSafeLoad(const std::function<void(const std::string&)>& load, const std::string& bytes) {
  try {
    load(bytes);
  } catch (const Exception&) {
  } catch (const std::exception& e) {
    ADD_FAILURE() << "foreign exception \"" << e.what() << "\" for " << Hex(bytes);
  }
}

// Every cut, every byte set to a few telling values, and random changes of up to four bytes.
void MutateAndLoad(const std::string& archive, const std::function<void(const std::string&)>& load) {
  load(archive);  // the unchanged archive loads
  for (std::size_t size = 0; size < archive.size(); ++size) ExpectSafeLoad(load, archive.substr(0, size));
  for (std::size_t i = 0; i < archive.size(); ++i) {
    for (unsigned char value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
      std::string changed = archive;
      changed[i] = static_cast<char>(value);
      ExpectSafeLoad(load, changed);
    }
    std::string flipped = archive;
    flipped[i] = static_cast<char>(flipped[i] ^ 0x10);
    ExpectSafeLoad(load, flipped);
  }
  std::mt19937 random(99);
  for (int run = 0; run < 3000; ++run) {
    std::string changed = archive;
    int changes = 1 + static_cast<int>(random() % 4);
    for (int k = 0; k < changes; ++k) changed[random() % changed.size()] = static_cast<char>(random());
    if (random() % 3 == 0) changed.resize(random() % changed.size());
    ExpectSafeLoad(load, changed);
  }
}

TEST(ArchiveMutation, ObjectListArchivesNeverBreakTheReader) {
  RegisterBaseClasses();
  RegisterClass(TMixed::StaticClass());
  MutateAndLoad(ObjectListArchive(), [](const std::string& bytes) {
    TPersistentObjectList list;
    try {
      list.LoadFromString(bytes);
    } catch (...) {
      EXPECT_EQ(list.Count(), 0);
      throw;
    }
    FreeDeep(list);
  });
}

TEST(ArchiveMutation, TypedListArchivesNeverBreakTheReader) {
  TAffineVectorList list;
  for (int i = 0; i < 6; ++i) list.AddXYZ(static_cast<float>(i), 1, 2);
  std::string archive = list.SaveToString();
  MutateAndLoad(archive, [&](const std::string& bytes) {
    TAffineVectorList target;
    target.Add({9, 9, 9});
    try {
      target.LoadFromString(bytes);
    } catch (...) {
      EXPECT_EQ(target.Count(), 1);
      throw;
    }
    EXPECT_EQ(target.Capacity(), target.Count());
  });
}

TEST(ArchiveMutation, CollectionStreamsNeverBreakTheReader) {
  RegisterItemClass(TMutationItem::StaticClass());
  RegisterItemClass(TOtherMutationItem::StaticClass());
  MutateAndLoad(CollectionStream(), [](const std::string& bytes) {
    TXCollection collection(nullptr);
    TStringStream stream(bytes);
    TReader reader(stream);
    collection.ReadItems(reader);
  });
}

}  // namespace
