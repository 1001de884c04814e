#include "base/XCollection.h"

#include <gtest/gtest.h>

#include "tests/base/PersistenceTestSupport.h"

namespace {

class TItemA : public TXCollectionItem {
  BRV_XCOLLECTION_ITEM_CLASS(TItemA, TXCollectionItem, .DisplayName = "Item A", .CategoryName = "Tests")

public:
  explicit TItemA(TXCollection* owner) : TXCollectionItem(owner) {}
  std::int32_t Value = 0;
  int LoadedCalls = 0;

  void Assign(const TPersistent* source) override {
    if (auto* a = dynamic_cast<const TItemA*>(source)) Value = a->Value;
    TXCollectionItem::Assign(source);
  }
  void WriteItemFields(TWriter& writer) const override {
    TXCollectionItem::WriteItemFields(writer);
    writer.WriteInteger(0);
    writer.WriteInteger(Value);
  }
  void ReadItemFields(TReader& reader) override {
    TXCollectionItem::ReadItemFields(reader);
    BRV_ASSERT(reader.ReadInteger() == 0);
    Value = reader.ReadInteger();
  }
  void Loaded() override { ++LoadedCalls; }
};

class TItemB : public TXCollectionItem {
  BRV_XCOLLECTION_ITEM_CLASS(TItemB, TXCollectionItem, .DisplayName = "Item B",
                             .DisplayDescription = "The second kind", .OnePerCollection = true)

public:
  explicit TItemB(TXCollection* owner) : TXCollectionItem(owner) {}
};

// Inherits B's one-per-collection rule and description.
class TItemC : public TItemB {
  BRV_XCOLLECTION_ITEM_CLASS(TItemC, TItemB, .DisplayName = "Item C")

public:
  explicit TItemC(TXCollection* owner) : TItemB(owner) {}
};

class TNamedOwner : public TPersistent {
  BRV_CLASS(TNamedOwner, TPersistent)

public:
  explicit TNamedOwner(std::string path) : Path(std::move(path)) {}
  std::string Path;
  std::string GetNamePath() const override { return Path; }
};

// A collection whose items are TItemAs, as the behaviours of a scene object are TGLBehaviours.
class TACollection : public TXCollection {
  BRV_CLASS(TACollection, TXCollection)

public:
  using TXCollection::TXCollection;
  const TXCollectionItemClass& ItemsClass() const override { return TItemA::StaticClass(); }
};

class XCollection : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterItemClass(TItemA::StaticClass());
    RegisterItemClass(TItemB::StaticClass());
    RegisterItemClass(TItemC::StaticClass());
  }

  static std::string Written(const TXCollection& collection) {
    TStringStream stream;
    TWriter writer(stream);
    collection.WriteItems(writer);
    writer.FlushBuffer();
    return stream.DataString();
  }
  static void Read(TXCollection& collection, const std::string& bytes) {
    TStringStream stream(bytes);
    TReader reader(stream);
    collection.ReadItems(reader);
  }
};

TEST_F(XCollection, ItemsABAAreStoredWithTheirClassNamedOnce) {
  TXCollection collection(nullptr);
  EXPECT_BYTES(Written(collection), Bytes("02 00"));
  collection.Add<TItemA>().Value = 5;
  collection.Add<TItemB>();
  auto& last = collection.Add<TItemA>();
  last.SetName("x");
  last.Value = 300;
  std::string expected = Bytes("02 03") + Bytes("06 06 'TItemA' 02 00 06 06 'Item A' 02 00 02 05") +
                         Bytes("06 06 'TItemB' 02 00 06 06 'Item B'") + Bytes("02 00 02 00 06 01 'x' 02 00 03 2C 01");
  EXPECT_BYTES(Written(collection), expected);

  TXCollection back(nullptr);
  Read(back, expected);
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(&back.GetItem(1)->ClassType(), &TItemB::StaticClass());
  auto* a = dynamic_cast<TItemA*>(back.GetItem(2));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->Name(), "x");
  EXPECT_EQ(a->Value, 300);
  EXPECT_EQ(a->Owner(), &back);
  EXPECT_EQ(a->Index(), 2);
  EXPECT_BYTES(Written(back), expected);

  back.NotifyItemsLoaded();
  EXPECT_EQ(dynamic_cast<TItemA*>(back.GetItem(0))->LoadedCalls, 1);
  EXPECT_EQ(a->LoadedCalls, 1);
}

TEST_F(XCollection, ItemClassesDescribeThemselves) {
  const TXCollectionItemClass& a = TItemA::StaticClass();
  const TXCollectionItemClass& b = TItemB::StaticClass();
  const TXCollectionItemClass& c = TItemC::StaticClass();
  EXPECT_EQ(a.DisplayDescription(), "Item A");
  EXPECT_EQ(a.CategoryName(), "Tests");
  EXPECT_FALSE(a.OnePerCollection());
  EXPECT_EQ(b.DisplayDescription(), "The second kind");
  EXPECT_TRUE(b.OnePerCollection());
  EXPECT_EQ(c.DisplayName(), "Item C");
  EXPECT_EQ(c.DisplayDescription(), "The second kind");
  EXPECT_EQ(c.CategoryName(), "");
  EXPECT_TRUE(c.OnePerCollection());
  EXPECT_FALSE(TXCollectionItem::StaticClass().CanCreate());
  EXPECT_THROW(TXCollectionItem::StaticClass().DisplayName(), EAssertionFailed);

  EXPECT_EQ(ItemClassByName("TItemC"), &c);
  EXPECT_EQ(ItemClassByName("titemc"), nullptr);
  RegisterItemClass(c);
  EXPECT_EQ(ItemClassByName("TItemC"), &c);
}

TEST_F(XCollection, OnePerCollectionClassesAreAcceptedOnce) {
  TXCollection collection(nullptr);
  const TXCollectionItemClass& a = TItemA::StaticClass();
  const TXCollectionItemClass& b = TItemB::StaticClass();
  const TXCollectionItemClass& c = TItemC::StaticClass();
  EXPECT_TRUE(collection.AcceptsClass(b));
  collection.Add<TItemA>();
  EXPECT_TRUE(collection.AcceptsClass(a));
  auto& itemB = collection.Add<TItemB>();
  EXPECT_TRUE(collection.AcceptsClass(a));
  EXPECT_FALSE(collection.AcceptsClass(b));
  EXPECT_FALSE(collection.AcceptsClass(c));  // a descendant of the present one-per class
  // Freeing the item takes it out of the list.
  collection.Remove(itemB);
  EXPECT_EQ(collection.Count(), 1);
  EXPECT_TRUE(collection.AcceptsClass(b));
  collection.Add<TItemC>();
  EXPECT_FALSE(collection.AcceptsClass(b));  // b is one-per and an item descends from it
  EXPECT_FALSE(collection.AcceptsClass(c));
}

TEST_F(XCollection, NamePathsFollowTheOwner) {
  TNamedOwner owner("Form1.Cube1");
  TXCollection collection(&owner);
  collection.Add<TItemA>();
  collection.Add<TItemB>();
  EXPECT_EQ(collection.GetNamePath(), "Form1.Cube1.XCollection");
  EXPECT_EQ(collection.GetItem(0)->GetNamePath(), "Form1.Cube1.XCollection[0]");
  EXPECT_EQ(collection.GetItem(1)->GetNamePath(), "Form1.Cube1.XCollection[1]");
  EXPECT_EQ(collection.GetItem(1)->GetOwner(), &collection);

  TNamedOwner unnamed("");
  TXCollection loose(&unnamed);
  EXPECT_EQ(loose.GetNamePath(), "TXCollection");
  std::unique_ptr<TXCollectionItem> free = TItemA::StaticClass().Create(nullptr);
  EXPECT_EQ(free->GetNamePath(), "TItemA");
  EXPECT_EQ(free->Name(), "Item A");
  EXPECT_EQ(free->Index(), -1);
}

TEST_F(XCollection, BadStreamsRaiseTheirErrorsAndKeepTheItems) {
  std::string itemA = Bytes("06 06 'TItemA' 02 00 06 01 'a' 02 00 02 07");
  struct {
    std::string bytes;
    std::string text;
  } cases[] = {
      {Bytes("02 01 06 05 'TNope' 02 00 06 00"),
       "Class TNope unknown. Add the relevant unit to your \"uses\". (XCollection, line "},
      {Bytes("02 01 06 06 'TItemB' 02 01 06 00"), "Assertion failure (XCollection, line "},
      {Bytes("02 02") + itemA + Bytes("02 01"), "Class number 1 in a stream that has named 1 classes"},
      {Bytes("02 01 02 FF"), "Class number -1 in a stream that has named 0 classes"},
      {Bytes("02 FF"), "TXCollection: stored item count -1 in a stream with 0 bytes left"},
      {Bytes("04 00 00 00 40") + itemA, "TXCollection: stored item count 1073741824 in a stream with 17 bytes left"},
      {Bytes("02 02") + itemA, "Stream read error"},
      {Bytes("02 01 08"), "Expected an integer in the stream, found value code 8"},
  };
  TXCollection collection(nullptr);
  TXCollectionItem* kept = &collection.Add<TItemA>();
  for (const auto& c : cases) {
    std::string text = BRV_ERROR_TEXT(Exception, Read(collection, c.bytes));
    EXPECT_EQ(text.substr(0, c.text.size()), c.text) << Hex(c.bytes);
    ASSERT_EQ(collection.Count(), 1);
    EXPECT_EQ(collection.GetItem(0), kept);
  }
  // A collection of TItemAs refuses other classes that a stream names.
  TACollection onlyA(nullptr);
  EXPECT_EQ(BRV_ERROR_TEXT(EReadError, Read(onlyA, Bytes("02 01 06 06 'TItemB' 02 00 06 00"))),
            "Class TItemB cannot be an item of TACollection");
  Read(onlyA, Bytes("02 01") + itemA);
  EXPECT_EQ(onlyA.Count(), 1);
  EXPECT_THROW(onlyA.Add<TItemB>(), EAssertionFailed);
}

TEST_F(XCollection, AssignCopiesTheItemsOfACollectionOfItsClass) {
  TXCollection source(nullptr), target(nullptr);
  source.Add<TItemA>().Value = 9;
  source.Add<TItemC>().SetName("c");
  target.Add<TItemB>();
  target.Assign(&source);
  ASSERT_EQ(target.Count(), 2);
  EXPECT_EQ(dynamic_cast<TItemA*>(target.GetItem(0))->Value, 9);
  EXPECT_EQ(&target.GetItem(1)->ClassType(), &TItemC::StaticClass());
  EXPECT_EQ(target.GetItem(1)->Name(), "c");
  EXPECT_EQ(target.GetItem(1)->Owner(), &target);
  EXPECT_EQ(Written(target), Written(source));

  target.Assign(&target);
  EXPECT_EQ(Written(target), Written(source));
  TACollection other(nullptr);
  EXPECT_EQ(BRV_ERROR_TEXT(EConvertError, target.Assign(&other)), "Cannot assign a TACollection to a TXCollection");
  target.Assign(nullptr);
  EXPECT_EQ(target.Count(), 0);

  TItemA lone(nullptr);
  lone.Assign(source.GetItem(1));
  EXPECT_EQ(lone.Name(), "c");
  EXPECT_EQ(BRV_ERROR_TEXT(EListError, source.GetItem(2)), "List index out of bounds (2)");
  source.Delete(0);
  EXPECT_EQ(source.GetItem(0)->Index(), 0);
}

}  // namespace
