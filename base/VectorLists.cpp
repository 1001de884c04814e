#include "base/VectorLists.h"

#include <algorithm>
#include <limits>

namespace {

// out = lerp(list1, list2, t) item by item, when both lists are of out's class.
template <class TList, class TItem>
void LerpLists(TList& out, const TBaseVectorList& list1, const TBaseVectorList& list2, float t,
               void (*lerp)(const TItem*, const TItem*, float, TItem*, int)) {
  auto* a = dynamic_cast<const TList*>(&list1);
  auto* b = dynamic_cast<const TList*>(&list2);
  if (a == nullptr || b == nullptr) return;
  BRV_ASSERT(a->Count() == b->Count());
  int count = a->Count();
  out.SetCapacity(count);
  out.SetCount(count);
  lerp(a->List(), b->List(), t, out.List(), count);
}

}  // namespace

// ---------------------------------------------------------------------------
// TBaseList

TBaseList::TBaseList(int itemSize) : FItemSize(itemSize) {
  BRV_ASSERT(itemSize > 0);
  FOptions.ZeroNewItems = true;
}

TBaseList::~TBaseList() = default;

void TBaseList::SetGrowthDelta(int delta) {
  // Appends grow by this step: a step of 0 would never make room.
  BRV_ASSERT(delta >= 1);
  FGrowthDelta = delta;
}

void TBaseList::ReplaceStorage(std::unique_ptr<std::byte[]> data, int capacity) {
  FOwnedData = std::move(data);
  FBaseData = FOwnedData.get();
  FCapacity = capacity;
  FCount = std::min(FCount, capacity);
  FOptions.ExternalData = false;
}

void TBaseList::SetCapacity(int capacity) {
  BRV_ASSERT(capacity >= 0);
  if (capacity == FCapacity) return;
  std::size_t size = static_cast<std::size_t>(CheckedMul(capacity, FItemSize));
  std::unique_ptr<std::byte[]> data(capacity > 0 ? new std::byte[size]() : nullptr);
  // External storage is left as it is: the new storage starts zeroed instead.
  if (!FOptions.ExternalData && FBaseData != nullptr && capacity > 0)
    std::memcpy(data.get(), FBaseData, static_cast<std::size_t>(std::min(capacity, FCapacity)) * FItemSize);
  ReplaceStorage(std::move(data), capacity);
}

void TBaseList::SetCount(int count) {
  BRV_ASSERT(count >= 0);
  if (count > FCapacity) SetCapacity(count);
  if (count > FCount && FOptions.ZeroNewItems)
    std::memset(FBaseData + static_cast<std::size_t>(FCount) * FItemSize, 0,
                static_cast<std::size_t>(count - FCount) * FItemSize);
  FCount = count;
}

void TBaseList::AppendZeroed(int count) {
  BRV_ASSERT(count >= 0);
  int total = CheckedAdd(FCount, count);
  if (total > FCapacity) SetCapacity(total);
  if (count > 0)
    std::memset(FBaseData + static_cast<std::size_t>(FCount) * FItemSize, 0, static_cast<std::size_t>(count) * FItemSize);
  FCount = total;
}

std::byte* TBaseList::AppendItems(int count) {
  int total = CheckedAdd(FCount, count);
  if (total > FCapacity) {
    int capacity = FCapacity;
    while (capacity < total) capacity = CheckedAdd(capacity, FGrowthDelta);
    SetCapacity(capacity);
  }
  int first = FCount;
  SetCount(total);
  return FBaseData + static_cast<std::size_t>(first) * FItemSize;
}

void TBaseList::EnsureCapacity(int capacity) {
  if (FCapacity < capacity) SetCapacity(capacity);
}

void TBaseList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

std::byte* TBaseList::ItemBytes(int index) {
  BRV_ASSERT(index >= 0 && index < FCount);
  return FBaseData + static_cast<std::size_t>(index) * FItemSize;
}

const std::byte* TBaseList::ItemBytes(int index) const {
  BRV_ASSERT(index >= 0 && index < FCount);
  return FBaseData + static_cast<std::size_t>(index) * FItemSize;
}

void TBaseList::Exchange(int index1, int index2) {
  BRV_ASSERT(index1 >= 0 && index1 < FCount && index2 >= 0 && index2 < FCount);
  std::byte* a = ItemBytes(index1);
  if (index1 != index2) std::swap_ranges(a, a + FItemSize, ItemBytes(index2));
}

void TBaseList::UseExternalData(void* data, int count) {
  BRV_ASSERT(count >= 0 && (data != nullptr || count == 0));
  ReplaceStorage(nullptr, 0);
  FBaseData = static_cast<std::byte*>(data);
  FCapacity = FCount = count;
  FOptions.ExternalData = true;
}

void TBaseList::Assign(const TPersistent* source) {
  if (source == nullptr) {
    Clear();
    return;
  }
  auto* list = dynamic_cast<const TBaseList*>(source);
  if (list == nullptr) {
    TPersistentObject::Assign(source);
    return;
  }
  int count = list->FCount;
  SetCapacity(count);
  FGrowthDelta = list->FGrowthDelta;
  FCount = FCapacity;
  // Items of another class would be of another size: only the count carries over.
  if (list != this && source->InheritsFrom(ClassType()) && count > 0)
    std::memcpy(FBaseData, list->FBaseData, static_cast<std::size_t>(count) * FItemSize);
}

void TBaseList::WriteFields(TVirtualWriter& writer) const {
  TPersistentObject::WriteFields(writer);
  writer.WriteInteger(0);  // archive version
  writer.WriteInteger(FCount);
  writer.WriteInteger(FItemSize);
  if (FCount > 0) writer.Write(FBaseData, static_cast<std::size_t>(FCount) * FItemSize);
}

TBaseList::TStoredItems TBaseList::ReadStoredItems(TVirtualReader& reader) {
  TPersistentObject::ReadFields(reader);
  int version = reader.ReadInteger();
  if (version != 0) RaiseFilerException(version);
  TStoredItems items;
  items.Count = reader.ReadInteger();
  int itemSize = reader.ReadInteger();
  if (items.Count < 0) throw EReadError(ClassName() + ": stored count " + std::to_string(items.Count) + " is negative");
  // The typed operations rely on the class's own item size.
  if (itemSize != FItemSize)
    throw EReadError(ClassName() + ": stored item size " + std::to_string(itemSize) + ", expected " +
                     std::to_string(FItemSize));
  std::int64_t size = static_cast<std::int64_t>(items.Count) * FItemSize;
  if (size > reader.BytesLeft())
    throw EReadError(ClassName() + ": " + std::to_string(items.Count) + " items need " + std::to_string(size) +
                     " bytes, the stream has " + std::to_string(reader.BytesLeft()) + " left");
  if (items.Count > 0) {
    items.Data.reset(new std::byte[static_cast<std::size_t>(CheckedMul(items.Count, FItemSize))]);
    reader.Read(items.Data.get(), static_cast<std::size_t>(size));
  }
  return items;
}

void TBaseList::AdoptStoredItems(TStoredItems&& items) {
  ReplaceStorage(std::move(items.Data), items.Count);
  FCount = items.Count;
}

void TBaseList::ReadFields(TVirtualReader& reader) { AdoptStoredItems(ReadStoredItems(reader)); }

// ---------------------------------------------------------------------------
// TBaseVectorList

TAffineVector TBaseVectorList::Vector(int index) const {
  TAffineVector v;
  std::memcpy(&v, ItemBytes(index), sizeof v);
  return v;
}

void TBaseVectorList::SetVector(int index, const TAffineVector& v) { std::memcpy(ItemBytes(index), &v, sizeof v); }

void TBaseVectorList::WriteFields(TVirtualWriter& writer) const {
  TBaseList::WriteFields(writer);
  writer.WriteInteger(0);  // the vector list's own version
}

void TBaseVectorList::ReadFields(TVirtualReader& reader) {
  TStoredItems items = ReadStoredItems(reader);
  int version = reader.ReadInteger();
  if (version != 0) RaiseFilerException(version);
  AdoptStoredItems(std::move(items));
}

void TBaseVectorList::GetExtents(TAffineVector& min, TAffineVector& max) const {
  constexpr float inf = std::numeric_limits<float>::infinity();
  min = {inf, inf, inf};
  max = {-inf, -inf, -inf};
  for (int i = 0; i < Count(); ++i) {
    TAffineVector v = Vector(i);
    for (int axis = 0; axis < 3; ++axis) {
      if (v[axis] < min[axis]) min[axis] = v[axis];
      if (v[axis] > max[axis]) max[axis] = v[axis];
    }
  }
}

TAffineVector TBaseVectorList::Sum() const {
  TAffineVector sum{0, 0, 0};
  for (int i = 0; i < Count(); ++i) Vec3AddInPlace(sum, Vector(i));
  return sum;
}

void TBaseVectorList::Normalize() {
  for (int i = 0; i < Count(); ++i) {
    TAffineVector v = Vector(i);
    Vec3NormalizeInPlace(v);
    SetVector(i, v);
  }
}

float TBaseVectorList::MaxSpacing(const TBaseVectorList& other) const {
  BRV_ASSERT(Count() == other.Count());
  float spacing = 0;
  for (int i = 0; i < Count(); ++i) spacing = std::max(spacing, Vec3ManhattanDistance(Vector(i), other.Vector(i)));
  return spacing;
}

void TBaseVectorList::Translate(const TAffineVector& delta) {
  for (int i = 0; i < Count(); ++i) SetVector(i, Vec3Add(Vector(i), delta));
}

void TBaseVectorList::TranslateItems(const TBaseVectorList& other) {
  BRV_ASSERT(Count() <= other.Count());
  for (int i = 0; i < Count(); ++i) SetVector(i, Vec3Add(Vector(i), other.Vector(i)));
}

void TBaseVectorList::AngleLerp(const TBaseVectorList& list1, const TBaseVectorList& list2, float t) {
  BRV_ASSERT(list1.Count() == list2.Count());
  SetCount(list1.Count());
  for (int i = 0; i < Count(); ++i) SetVector(i, Vec3AngleLerp(list1.Vector(i), list2.Vector(i), t));
}

void TBaseVectorList::AddScaledItems(const TBaseVectorList& other, float factor) {
  for (int i = 0; i < Count(); ++i) SetVector(i, Vec3AddScaled(Vector(i), other.Vector(i), factor));
}

void TBaseVectorList::AddScaledList(const TBaseVectorList& other, float factor) {
  BRV_ASSERT(Count() == other.Count());
  AddScaledItems(other, factor);
}

void TBaseVectorList::CombineItems(const TBaseVectorList& other, float factor) {
  BRV_ASSERT(other.Count() >= Count());
  AddScaledItems(other, factor);
}

// ---------------------------------------------------------------------------
// TAffineVectorList

void TAffineVectorList::Add3(const TAffineVector& a, const TAffineVector& b, const TAffineVector& c) {
  // The three may be items of this list, which growing frees: copy them first.
  const TAffineVector items[3] = {a, b, c};
  std::memcpy(AppendItems(3), items, sizeof items);
}

void TAffineVectorList::AddList(const TAffineVectorList* other) {
  if (other == nullptr || other->Count() == 0) return;
  int count = other->Count();
  EnsureCapacity(CheckedAdd(Count(), count));
  int first = Count();
  SetCount(first + count);
  // `other` may be this list: its items are read after the reallocation.
  std::memcpy(List() + first, other->List(), static_cast<std::size_t>(count) * sizeof(TAffineVector));
}

int TAffineVectorList::IndexOf(const TAffineVector& v) const {
  for (int i = 0; i < Count(); ++i)
    if (Vec3Equal(List()[i], v)) return i;
  return -1;
}

int TAffineVectorList::FindOrAdd(const TAffineVector& v) {
  int index = IndexOf(v);
  return index >= 0 ? index : Add(v);
}

TAffineVector* TAffineVectorList::TranslateItem(int index, const TAffineVector& delta) {
  TAffineVector& item = ItemAt(index);
  Vec3AddInPlace(item, delta);
  return &item;
}

void TAffineVectorList::Scale(float factor) {
  if (Count() > 0 && factor != 1) ScaleFloatArray(reinterpret_cast<float*>(List()), CheckedMul(3, Count()), factor);
}

void TAffineVectorList::Translate(const TAffineVector& delta) { Vec3ArrayTranslate(List(), delta, List(), Count()); }

void TAffineVectorList::Normalize() { Vec3ArrayNormalize(List(), Count()); }

void TAffineVectorList::Lerp(const TBaseVectorList& list1, const TBaseVectorList& list2, float t) {
  LerpLists(*this, list1, list2, t, Vec3ArrayLerp);
}

// ---------------------------------------------------------------------------
// TVectorList

void TVectorList::Lerp(const TBaseVectorList& list1, const TBaseVectorList& list2, float t) {
  LerpLists(*this, list1, list2, t, Vec4ArrayLerp);
}

void InitializeVectorLists() {
  RegisterClass(TAffineVectorList::StaticClass());
  RegisterClass(TVectorList::StaticClass());
  RegisterClass(TTexPointList::StaticClass());
  RegisterClass(TSingleList::StaticClass());
}
