#pragma once
// Growable arrays of fixed-size items that store themselves as persistent objects:
// TBaseList, TBaseVectorList with whole-list vector operations, and the concrete
// lists of vectors, texture points, integers and singles. Items lie contiguously, so
// that List() can be handed to the array routines and to the graphics library.
//
// Stored form: version 0, Count, ItemSize, then Count x ItemSize raw bytes; the
// vector lists add a second version word 0 of their own. A TAffineVectorList
// holding (1, 2, 3) is 02 00, 02 01, 02 0C, the twelve bytes of the singles, 02 00.

#include <cstddef>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "base/Geometry.h"
#include "base/PersistentClasses.h"

struct TTexPoint {
  float S, T;
};

struct TPoint2D {
  float x, y;
};

struct TBaseListOptions {
  // The storage belongs to another owner: it is forgotten, not freed, at the next
  // reallocation, and the new storage starts zeroed.
  bool ExternalData = false;
  // SetCount fills new items with zero bytes.
  bool ZeroNewItems = false;
};

class TBaseList : public TPersistentObject {
  BRV_PERSISTENT_CLASS(TBaseList, TPersistentObject)

public:
  ~TBaseList() override;

  int Count() const { return FCount; }
  int Capacity() const { return FCapacity; }
  int ItemSize() const { return FItemSize; }
  int GrowthDelta() const { return FGrowthDelta; }
  // At least 1.
  void SetGrowthDelta(int delta);
  const TBaseListOptions& Options() const { return FOptions; }
  // Set at creation. ExternalData is set only by UseExternalData.
  void SetZeroNewItems(bool zero) { FOptions.ZeroNewItems = zero; }
  // The item storage, Capacity x ItemSize bytes (null when the capacity is 0).
  std::byte* BaseData() { return FBaseData; }
  const std::byte* BaseData() const { return FBaseData; }

  // Null clears the list. A list source sets the capacity and the count to the
  // source's count and copies GrowthDelta; the items are copied when the source is
  // of this list's class. Other sources go to TPersistentObject::Assign.
  void Assign(const TPersistent* source) override;
  // count < 0 is an assertion failure. A count beyond the capacity sets the capacity
  // to exactly that; new items are zero bytes when ZeroNewItems is set.
  void SetCount(int count);
  // Reallocates to `capacity` items, keeping the items that fit; the new items are
  // zero bytes. A capacity below Count lowers Count.
  virtual void SetCapacity(int capacity);
  // Appends `count` zeroed items; the capacity grows to exactly what is needed.
  void AppendZeroed(int count);
  void EnsureCapacity(int capacity);
  // Count and capacity to 0: the storage is released.
  void Clear();
  // Swaps two items; an index outside 0..Count-1 is an assertion failure.
  void Exchange(int index1, int index2);
  // Takes `count` items of storage that stays another owner's: Count and Capacity
  // become `count` and ExternalData is set. The list never frees that storage, and
  // it must outlive the list or its next reallocation.
  void UseExternalData(void* data, int count);

  void WriteFields(TVirtualWriter& writer) const override;
  // The items are read into new storage, which replaces the old only once all is read.
  void ReadFields(TVirtualReader& reader) override;

protected:
  explicit TBaseList(int itemSize);

  // Appends `count` items, growing the capacity by GrowthDelta steps until they fit;
  // returns the first new item (contents as ZeroNewItems leaves them).
  std::byte* AppendItems(int count);
  // The address of an item; an index outside 0..Count-1 is an assertion failure.
  std::byte* ItemBytes(int index);
  const std::byte* ItemBytes(int index) const;

  // Items read from an archive but not yet in the list.
  struct TStoredItems {
    std::unique_ptr<std::byte[]> Data;
    int Count = 0;
  };
  // Reads the fields that TBaseList writes; the stored count and item size are
  // checked against the class and the bytes left before anything is allocated.
  TStoredItems ReadStoredItems(TVirtualReader& reader);
  void AdoptStoredItems(TStoredItems&& items);

private:
  void ReplaceStorage(std::unique_ptr<std::byte[]> data, int capacity);

  std::unique_ptr<std::byte[]> FOwnedData;
  std::byte* FBaseData = nullptr;
  int FCount = 0;
  int FCapacity = 0;
  int FGrowthDelta = 16;
  int FItemSize;
  TBaseListOptions FOptions;
};

// A list whose items begin with three singles, handled as TAffineVectors.
class TBaseVectorList : public TBaseList {
  BRV_PERSISTENT_CLASS(TBaseVectorList, TBaseList)

public:
  void WriteFields(TVirtualWriter& writer) const override;
  void ReadFields(TVirtualReader& reader) override;

  // The first three singles of item `index` (an assertion failure outside 0..Count-1).
  TAffineVector* ItemAddress(int index) { return reinterpret_cast<TAffineVector*>(ItemBytes(index)); }
  const TAffineVector* ItemAddress(int index) const { return reinterpret_cast<const TAffineVector*>(ItemBytes(index)); }

  // Per-axis minimum and maximum; an empty list gives +infinity and -infinity.
  virtual void GetExtents(TAffineVector& min, TAffineVector& max) const;
  virtual TAffineVector Sum() const;
  virtual void Normalize();
  // The largest Manhattan distance between items of equal index; the counts must be equal.
  virtual float MaxSpacing(const TBaseVectorList& other) const;
  virtual void Translate(const TAffineVector& delta);
  // item[i] += other[i]; `other` must hold at least Count items.
  virtual void TranslateItems(const TBaseVectorList& other);
  // item[i] = lerp(list1[i], list2[i], t) for lists of this list's class.
  virtual void Lerp(const TBaseVectorList& list1, const TBaseVectorList& list2, float t) = 0;
  // Takes list1's count; item[i] = Vec3AngleLerp(list1[i], list2[i], t); equal counts.
  virtual void AngleLerp(const TBaseVectorList& list1, const TBaseVectorList& list2, float t);
  // item[i] += other[i] * factor; equal counts.
  void AddScaledList(const TBaseVectorList& other, float factor);
  // item[i] += other[i] * factor; `other` must hold at least Count items.
  virtual void CombineItems(const TBaseVectorList& other, float factor);

protected:
  using TBaseList::TBaseList;

private:
  TAffineVector Vector(int index) const;
  void SetVector(int index, const TAffineVector& v);
  void AddScaledItems(const TBaseVectorList& other, float factor);
};

// The typed view of a list's storage, shared by the concrete lists.
template <class TItem, class TParent>
class TTypedList : public TParent {
public:
  TItem* List() { return reinterpret_cast<TItem*>(this->BaseData()); }
  const TItem* List() const { return reinterpret_cast<const TItem*>(this->BaseData()); }

protected:
  TTypedList() : TParent(sizeof(TItem)) {}
  int AddItem(const TItem& item) {
    // `item` may be one of this list's own items, which growing frees: copy it first.
    const TItem copy = item;
    std::memcpy(this->AppendItems(1), &copy, sizeof(TItem));
    return this->Count() - 1;
  }
  TItem& ItemAt(int index) { return *reinterpret_cast<TItem*>(this->ItemBytes(index)); }
  const TItem& ItemAt(int index) const { return *reinterpret_cast<const TItem*>(this->ItemBytes(index)); }
};

class TAffineVectorList : public TTypedList<TAffineVector, TBaseVectorList> {
  BRV_PERSISTENT_CLASS(TAffineVectorList, TBaseVectorList)

public:

  int Add(const TAffineVector& v) { return AddItem(v); }
  int AddXYZ(float x, float y, float z) { return AddItem({x, y, z}); }
  // Appends (p.x, p.y, 0).
  void AddPoint2D(const TPoint2D& p) { AddItem({p.x, p.y, 0}); }
  void Add3(const TAffineVector& a, const TAffineVector& b, const TAffineVector& c);
  // Appends the items of `other` (may be this list); null or empty adds nothing.
  void AddList(const TAffineVectorList* other);
  TAffineVector GetItem(int index) const { return ItemAt(index); }
  void SetItem(int index, const TAffineVector& v) { ItemAt(index) = v; }
  // The first bit-identical item (Vec3Equal), -1 when none.
  int IndexOf(const TAffineVector& v) const;
  int FindOrAdd(const TAffineVector& v);
  // item[index] += delta; returns the item's address.
  TAffineVector* TranslateItem(int index, const TAffineVector& delta);
  // Every component times `factor`.
  void Scale(float factor);

  void Translate(const TAffineVector& delta) override;
  void Normalize() override;
  // Only when both lists are TAffineVectorLists; the list takes list1's count.
  void Lerp(const TBaseVectorList& list1, const TBaseVectorList& list2, float t) override;
};

class TVectorList : public TTypedList<TVector, TBaseVectorList> {
  BRV_PERSISTENT_CLASS(TVectorList, TBaseVectorList)

public:
  // Only when both lists are TVectorLists; the list takes list1's count.
  void Lerp(const TBaseVectorList& list1, const TBaseVectorList& list2, float t) override;
};

class TTexPointList : public TTypedList<TTexPoint, TBaseList> {
  BRV_PERSISTENT_CLASS(TTexPointList, TBaseList)
};

class TIntegerList : public TTypedList<std::int32_t, TBaseList> {
  BRV_PERSISTENT_CLASS(TIntegerList, TBaseList)

public:
  int Add(std::int32_t value) { return AddItem(value); }
  std::int32_t GetItem(int index) const { return ItemAt(index); }
};

class TSingleList : public TTypedList<float, TBaseList> {
  BRV_PERSISTENT_CLASS(TSingleList, TBaseList)

public:
  int Add(float value) { return AddItem(value); }
};

// Sorts the singles between indices lo and hi ascending (Hoare partition, middle
// pivot) and makes every exchange in `objects` too, so that the objects end in the
// order of their keys. Both ranges must hold index hi.
template <class T>
void SortSinglesWithObjects(TSingleList& singles, int lo, int hi, std::vector<T>& objects) {
  if (hi - lo < 1) return;
  BRV_ASSERT(lo >= 0 && hi < singles.Count() && static_cast<std::size_t>(hi) < objects.size());
  auto exchange = [&](int i, int j) {
    singles.Exchange(i, j);
    std::swap(objects[static_cast<std::size_t>(i)], objects[static_cast<std::size_t>(j)]);
  };
  const float* a = singles.List();
  if (hi - lo == 1) {
    if (a[hi] < a[lo]) exchange(lo, hi);
    return;
  }
  do {
    int i = lo, j = hi;
    float pivot = a[lo + (hi - lo) / 2];
    do {
      // The bounds hold for any keys; they only matter for NaNs, which compare false.
      while (i < hi && a[i] < pivot) ++i;
      while (j > lo && a[j] > pivot) --j;
      if (i <= j) {
        exchange(i, j);
        ++i;
        --j;
      }
    } while (i <= j);
    if (lo < j) SortSinglesWithObjects(singles, lo, j, objects);
    lo = i;
  } while (lo < hi);
}

// Start-up registration of the unit's streamable classes: TAffineVectorList,
// TVectorList, TTexPointList and TSingleList (not TIntegerList).
void InitializeVectorLists();
