#include "base/VectorLists.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numeric>
#include <random>

#include "GeometryTestSupport.h"
#include "tests/base/PersistenceTestSupport.h"

namespace {

std::string StorageOf(const TBaseList& list) {
  return std::string(reinterpret_cast<const char*>(list.BaseData()),
                     static_cast<std::size_t>(list.Count()) * static_cast<std::size_t>(list.ItemSize()));
}

// Saves, loads into a new list of the same class and compares the items byte by byte;
// returns the archive.
std::string ExpectRoundTrip(const TBaseList& list) {
  std::string archive = list.SaveToString();
  std::unique_ptr<TPersistentObject> back = list.ClassType().Create();
  back->LoadFromString(archive);
  auto& backList = dynamic_cast<TBaseList&>(*back);
  EXPECT_EQ(backList.Count(), list.Count()) << list.ClassName();
  EXPECT_EQ(backList.Capacity(), list.Count());
  EXPECT_EQ(StorageOf(backList), StorageOf(list)) << list.ClassName();
  EXPECT_EQ(back->SaveToString(), archive);
  // Assign and CreateCopy give the same items.
  std::unique_ptr<TPersistentObject> copy = list.CreateCopy();
  EXPECT_EQ(StorageOf(dynamic_cast<TBaseList&>(*copy)), StorageOf(list));
  return archive;
}

TEST(VectorLists, EveryTypedListRoundTripsAndStoresItsDocumentedBytes) {
  RegisterBaseClasses();
  TAffineVectorList affine;
  affine.Add({1, 2, 3});
  EXPECT_BYTES(ExpectRoundTrip(affine),
               Bytes("02 00 02 01 02 0C 00 00 80 3F 00 00 00 40 00 00 40 40 02 00"));
  TIntegerList integers;
  integers.Add(1);
  integers.Add(-1);
  EXPECT_BYTES(ExpectRoundTrip(integers), Bytes("02 00 02 02 02 04 01 00 00 00 FF FF FF FF"));
  TVectorList empty;
  EXPECT_BYTES(ExpectRoundTrip(empty), Bytes("02 00 02 00 02 10 02 00"));

  TRandomInputs random(5);
  TVectorList vectors;
  TTexPointList texPoints;
  TSingleList singles;
  for (int i = 0; i < 300; ++i) {
    affine.Add(random.Vec3());
    vectors.SetCount(i + 1);
    vectors.List()[i] = random.Vec4();
    texPoints.SetCount(i + 1);
    texPoints.List()[i] = {random.Value(), random.Value()};
    singles.Add(random.Value());
    integers.Add(static_cast<std::int32_t>(random.Value(1e9f)));
  }
  // A count of 300 takes the 2-byte integer code.
  EXPECT_EQ(ExpectRoundTrip(vectors).substr(2, 5), Bytes("03 2C 01 02 10"));
  for (const TBaseList* list : std::initializer_list<const TBaseList*>{&affine, &texPoints, &singles, &integers})
    ExpectRoundTrip(*list);
}

TEST(VectorLists, StoredFieldsAreCheckedBeforeAnythingIsAllocated) {
  TAffineVectorList list;
  list.AddXYZ(7, 8, 9);
  std::string good = list.SaveToString();
  struct {
    std::string bytes;
    std::string text;
  } cases[] = {
      {Bytes("02 03"), "TAffineVectorList : unknown archive version 3"},
      {Bytes("02 00 02 01 02 10") + std::string(16, '\0') + Bytes("02 00"),
       "TAffineVectorList: stored item size 16, expected 12"},
      {Bytes("02 00 02 FF 02 0C 02 00"), "TAffineVectorList: stored count -1 is negative"},
      {Bytes("04 00 00 00 00 04 FF FF FF 7F 02 0C 'abc'"),
       "TAffineVectorList: 2147483647 items need 25769803764 bytes, the stream has 3 left"},
      {Bytes("02 00 03 E8 03 02 0C 02 00"), "TAffineVectorList: 1000 items need 12000 bytes, the stream has 2 left"},
      {good.substr(0, good.size() - 2) + Bytes("02 01"), "TAffineVectorList : unknown archive version 1"},
      {good.substr(0, good.size() - 5), "TAffineVectorList: 1 items need 12 bytes, the stream has 9 left"},
      {Bytes("02 00 02 01"), "Stream read error"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BRV_ERROR_TEXT(Exception, list.LoadFromString(c.bytes)), c.text) << Hex(c.bytes);
    // A failed load leaves the list as it was.
    ASSERT_EQ(list.Count(), 1);
    EXPECT_TRUE(Vec3Equal(list.GetItem(0), {7, 8, 9}));
  }
  EXPECT_THROW(list.LoadFromString(Bytes("02 07")), EFilerException);
}

TEST(VectorLists, CapacityGrowsByTheDeltaOrExactly) {
  TAffineVectorList list;
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
  list.Add({1, 1, 1});
  EXPECT_EQ(list.Capacity(), 16);
  for (int i = 1; i < 16; ++i) list.AddXYZ(static_cast<float>(i), 0, 0);
  EXPECT_EQ(list.Capacity(), 16);
  list.AddPoint2D({5, 6});
  EXPECT_EQ(list.Capacity(), 32);
  EXPECT_TRUE(Vec3Equal(list.GetItem(16), {5, 6, 0}));
  list.SetGrowthDelta(4);
  for (int i = 0; i < 5; ++i) list.Add3({1, 0, 0}, {2, 0, 0}, {3, 0, 0});
  EXPECT_EQ(list.Count(), 32);
  EXPECT_EQ(list.Capacity(), 32);
  list.Add3({1, 0, 0}, {2, 0, 0}, {3, 0, 0});
  EXPECT_EQ(list.Capacity(), 36);
  EXPECT_TRUE(Vec3Equal(list.GetItem(34), {3, 0, 0}));
  EXPECT_THROW(list.SetGrowthDelta(0), EAssertionFailed);

  // AddList, SetCount and AppendZeroed allocate exactly; AddList of itself doubles.
  TAffineVectorList other;
  other.AddList(&list);
  EXPECT_EQ(other.Capacity(), 35);
  other.AddList(&other);
  EXPECT_EQ(other.Count(), 70);
  EXPECT_TRUE(Vec3Equal(other.GetItem(69), {3, 0, 0}));
  other.AddList(nullptr);
  EXPECT_EQ(other.Count(), 70);

  TSingleList singles;
  singles.SetCount(5);
  EXPECT_EQ(singles.Capacity(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(singles.List()[i], 0.0f);
  singles.AppendZeroed(2);
  EXPECT_EQ(singles.Capacity(), 7);
  singles.Clear();
  EXPECT_EQ(singles.Capacity(), 0);
  EXPECT_EQ(singles.BaseData(), nullptr);
}

// Appending one of the list's own items when the list is full: growing frees the
// storage that the item was read from.
TEST(VectorLists, AppendingItsOwnItemsSurvivesGrowth) {
  TAffineVectorList list;
  for (int i = 0; i < 16; ++i) list.AddXYZ(static_cast<float>(i), 1, 2);
  ASSERT_EQ(list.Capacity(), list.Count());
  EXPECT_EQ(list.Add(list.List()[3]), 16);
  EXPECT_TRUE(Vec3Equal(list.GetItem(16), {3, 1, 2}));
  while (list.Count() < list.Capacity()) list.AddXYZ(0, 0, 0);
  list.Add3(list.List()[1], list.List()[2], list.List()[16]);
  EXPECT_TRUE(Vec3Equal(list.GetItem(list.Count() - 3), {1, 1, 2}));
  EXPECT_TRUE(Vec3Equal(list.GetItem(list.Count() - 2), {2, 1, 2}));
  EXPECT_TRUE(Vec3Equal(list.GetItem(list.Count() - 1), {3, 1, 2}));

  TIntegerList integers;
  for (int i = 0; i < 16; ++i) integers.Add(i + 100);
  EXPECT_EQ(integers.Add(integers.List()[15]), 16);
  EXPECT_EQ(integers.GetItem(16), 115);
}

TEST(VectorLists, StorageStaysConsistentAndZeroFilled) {
  TIntegerList list;
  for (int i = 1; i <= 10; ++i) list.Add(i);
  // A capacity below the count lowers the count; new items come back zeroed.
  list.SetCapacity(4);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.GetItem(3), 4);
  list.SetCapacity(8);
  list.SetCount(8);
  EXPECT_EQ(list.GetItem(7), 0);

  // Without ZeroNewItems SetCount uncovers old items; AppendZeroed zeroes anyway.
  list.SetZeroNewItems(false);
  list.List()[5] = 55;
  list.SetCount(5);
  list.SetCount(6);
  EXPECT_EQ(list.GetItem(5), 55);
  list.SetCount(5);
  list.AppendZeroed(1);
  EXPECT_EQ(list.GetItem(5), 0);

  // External storage is never written or freed; the next reallocation starts zeroed.
  std::int32_t external[3] = {7, 8, 9};
  list.UseExternalData(external, 3);
  EXPECT_TRUE(list.Options().ExternalData);
  EXPECT_EQ(list.GetItem(2), 9);
  list.SetCapacity(5);
  EXPECT_FALSE(list.Options().ExternalData);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.GetItem(0), 0);
  list.List()[0] = 1;
  EXPECT_EQ(external[0], 7);
  list.UseExternalData(external, 3);
  list.Clear();
  EXPECT_EQ(external[2], 9);

  list.Add(1);
  list.Add(2);
  list.Exchange(0, 1);
  EXPECT_EQ(list.GetItem(0), 2);
  EXPECT_EQ(list.GetItem(1), 1);
}

TEST(VectorLists, AssignCopiesListsOfItsClass) {
  RegisterBaseClasses();
  TAffineVectorList source, target;
  source.Add({1, 2, 3});
  source.Add({4, 5, 6});
  source.SetGrowthDelta(3);
  target.AddXYZ(9, 9, 9);
  target.Assign(&source);
  EXPECT_EQ(StorageOf(target), StorageOf(source));
  EXPECT_EQ(target.Capacity(), 2);
  EXPECT_EQ(target.GrowthDelta(), 3);
  target.Assign(&target);
  EXPECT_EQ(StorageOf(target), StorageOf(source));
  // Another list class carries only its count over.
  TSingleList singles;
  singles.Add(1);
  target.Assign(&singles);
  EXPECT_EQ(target.Count(), 1);
  target.Assign(nullptr);
  EXPECT_EQ(target.Count(), 0);
  EXPECT_EQ(target.Capacity(), 0);
  TPersistentObjectList other;
  EXPECT_EQ(BRV_ERROR_TEXT(EConvertError, target.Assign(&other)),
            "Cannot assign a TPersistentObjectList to a TAffineVectorList");
}

TEST(VectorLists, BrokenCallContractsAreAssertionFailures) {
  TAffineVectorList a, b;
  a.Add({1, 2, 3});
  TVectorList v;
  TIntegerList integers;
  std::function<void()> cases[] = {
      [&] { a.SetCount(-1); },
      [&] { a.SetCapacity(-1); },
      [&] { a.AppendZeroed(-1); },
      [&] { a.Exchange(0, 1); },
      [&] { a.Exchange(-1, 0); },
      [&] { a.GetItem(1); },
      [&] { a.GetItem(-1); },
      [&] { a.SetItem(1, {}); },
      [&] { a.ItemAddress(1); },
      [&] { a.TranslateItem(-1, {}); },
      [&] { a.MaxSpacing(b); },
      [&] { a.TranslateItems(b); },
      [&] { a.AngleLerp(a, b, 0.5f); },
      [&] { a.AddScaledList(b, 2); },
      [&] { a.CombineItems(b, 2); },
      [&] { b.Lerp(a, b, 0.5f); },
      [&] { integers.GetItem(0); },
      [&] { v.ItemAddress(0); },
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    try {
      cases[i]();
      ADD_FAILURE() << "case " << i;
    } catch (const EAssertionFailed& e) {
      EXPECT_EQ(e.Unit(), "VectorLists") << "case " << i;
      EXPECT_EQ(e.Message(), "Assertion failure") << "case " << i;
    }
  }
  EXPECT_EQ(a.Count(), 1);
}

TEST(VectorLists, SearchesCompareBits) {
  TAffineVectorList list;
  list.Add({-0.0f, 0, 0});
  EXPECT_EQ(list.IndexOf({0, 0, 0}), -1);
  EXPECT_EQ(list.IndexOf({-0.0f, 0, 0}), 0);
  EXPECT_EQ(list.FindOrAdd({0, 0, 0}), 1);
  EXPECT_EQ(list.FindOrAdd({-0.0f, 0, 0}), 0);
  EXPECT_EQ(list.Count(), 2);
}

TEST(VectorLists, WholeListOperationsMatchTheVectorRoutines) {
  TRandomInputs random(11);
  TAffineVectorList a, b;
  TVectorList va, vb;
  TAffineVector min, max;
  a.GetExtents(min, max);
  EXPECT_EQ(min.x, std::numeric_limits<float>::infinity());
  EXPECT_EQ(max.z, -std::numeric_limits<float>::infinity());
  EXPECT_EQ(a.MaxSpacing(b), 0);
  const int n = 9;
  for (int i = 0; i < n; ++i) {
    a.Add(random.Vec3());
    b.Add(random.Vec3());
    va.SetCount(i + 1);
    vb.SetCount(i + 1);
    va.List()[i] = random.Vec4();
    vb.List()[i] = random.Vec4();
  }
  TAffineVector sum{0, 0, 0}, low{1e9f, 1e9f, 1e9f}, high{-1e9f, -1e9f, -1e9f};
  float spacing = 0;
  for (int i = 0; i < n; ++i) {
    Vec3AddInPlace(sum, a.GetItem(i));
    for (int axis = 0; axis < 3; ++axis) {
      low[axis] = std::fmin(low[axis], a.GetItem(i)[axis]);
      high[axis] = std::fmax(high[axis], a.GetItem(i)[axis]);
    }
    spacing = std::fmax(spacing, Vec3ManhattanDistance(a.GetItem(i), b.GetItem(i)));
  }
  a.GetExtents(min, max);
  EXPECT_TRUE(Vec3Equal(min, low) && Vec3Equal(max, high));
  EXPECT_TRUE(Vec3Equal(a.Sum(), sum));
  EXPECT_EQ(a.MaxSpacing(b), spacing);

  // The generic operations on 16-byte items touch x, y and z only.
  TVectorList before;
  before.Assign(&va);
  va.Translate({1, 2, 3});
  va.TranslateItems(a);
  va.CombineItems(b, 0.5f);
  va.Normalize();
  for (int i = 0; i < n; ++i) {
    TAffineVector expected = Vec3Add(Vec3Add(Vec3Of(before.List()[i]), {1, 2, 3}), a.GetItem(i));
    expected = Vec3AddScaled(expected, b.GetItem(i), 0.5f);
    Vec3NormalizeInPlace(expected);
    EXPECT_TRUE(Vec3Equal(Vec3Of(va.List()[i]), expected)) << i;
    EXPECT_EQ(va.List()[i].w, before.List()[i].w);
  }

  TAffineVectorList c;
  c.Assign(&a);
  c.Scale(2);
  c.AddScaledList(b, -1);
  c.Translate({0, 0, 1});
  for (int i = 0; i < n; ++i) {
    TAffineVector expected = Vec3Add(Vec3AddScaled(Vec3Scaled(a.GetItem(i), 2), b.GetItem(i), -1), {0, 0, 1});
    EXPECT_TRUE(Vec3Equal(c.GetItem(i), expected)) << i;
  }
  TAffineVector first = c.GetItem(0);
  TAffineVector* moved = c.TranslateItem(0, {1, 0, 0});
  EXPECT_EQ(moved, c.ItemAddress(0));
  EXPECT_TRUE(Vec3Equal(*moved, Vec3Add(first, {1, 0, 0})));

  TAffineVectorList lerped, angles;
  lerped.Lerp(a, b, 0.25f);
  angles.AngleLerp(a, b, 0.25f);
  ASSERT_EQ(lerped.Count(), n);
  for (int i = 0; i < n; ++i) {
    EXPECT_TRUE(Vec3Equal(lerped.GetItem(i), Vec3Lerp(a.GetItem(i), b.GetItem(i), 0.25f))) << i;
    EXPECT_TRUE(Vec3Equal(angles.GetItem(i), Vec3AngleLerp(a.GetItem(i), b.GetItem(i), 0.25f))) << i;
  }
  TVectorList v4;
  v4.Lerp(vb, before, 0.5f);
  ASSERT_EQ(v4.Count(), n);
  EXPECT_TRUE(Vec4Equal(v4.List()[3], Vec4Lerp(vb.List()[3], before.List()[3], 0.5f)));
  // Lists of another class are left alone.
  v4.Lerp(a, b, 0.5f);
  lerped.Lerp(va, vb, 0.5f);
  EXPECT_EQ(lerped.Count(), n);
  EXPECT_TRUE(Vec3Equal(lerped.GetItem(0), Vec3Lerp(a.GetItem(0), b.GetItem(0), 0.25f)));
}

TEST(VectorLists, SortSinglesCarriesTheObjectsAlong) {
  std::mt19937 random(3);
  for (int n : {0, 1, 2, 3, 17, 200}) {
    TSingleList keys;
    std::vector<int> objects(static_cast<std::size_t>(n));
    std::iota(objects.begin(), objects.end(), 0);
    for (int i = 0; i < n; ++i) keys.Add(static_cast<float>(random() % 50));  // with repeats
    std::vector<float> original(keys.List(), keys.List() + n);
    SortSinglesWithObjects(keys, 0, n - 1, objects);
    for (int i = 0; i < n; ++i) {
      if (i > 0) {
        EXPECT_LE(keys.List()[i - 1], keys.List()[i]) << n;
      }
      EXPECT_EQ(original[static_cast<std::size_t>(objects[static_cast<std::size_t>(i)])], keys.List()[i]) << n;
    }
  }
  // NaN keys break the order but never the bounds.
  TSingleList keys;
  std::vector<int> objects(40);
  for (int i = 0; i < 40; ++i) keys.Add(i % 3 ? static_cast<float>(40 - i) : std::nanf(""));
  SortSinglesWithObjects(keys, 0, 39, objects);
  EXPECT_EQ(keys.Count(), 40);
  std::vector<int> tooShort(3);
  EXPECT_THROW(SortSinglesWithObjects(keys, 0, 39, tooShort), EAssertionFailed);
}

}  // namespace
