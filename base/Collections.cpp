#include "base/Collections.h"

#include <algorithm>

TPersistent* TCollectionItem::GetOwner() const { return FCollection; }

int TCollectionItem::Index() const { return FCollection ? FCollection->IndexOf(*this) : -1; }

void TCollectionItem::Changed() {
  if (FCollection) FCollection->Changed(this);
}

TCollection::TCollection(const TCollectionItemClass& itemClass) : FItemClass(itemClass) {
  BRV_ASSERT_MSG(itemClass.CanCreate(), "TCollection: items of " + itemClass.ClassName() + " cannot be created");
}

TCollection::~TCollection() = default;

TCollectionItem& TCollection::Items(int index) const {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  return *FItems[static_cast<std::size_t>(index)];
}

int TCollection::IndexOf(const TCollectionItem& item) const {
  auto found = std::find_if(FItems.begin(), FItems.end(), [&](const auto& p) { return p.get() == &item; });
  return found == FItems.end() ? -1 : static_cast<int>(found - FItems.begin());
}

TCollectionItem& TCollection::Add() {
  FItems.push_back(FItemClass.Create(this));
  TCollectionItem& item = *FItems.back();
  Changed(nullptr);
  return item;
}

void TCollection::Delete(int index) {
  Items(index);
  // The item leaves the list before it is freed, so that it never sees itself listed.
  std::unique_ptr<TCollectionItem> doomed = std::move(FItems[static_cast<std::size_t>(index)]);
  FItems.erase(FItems.begin() + index);
  doomed.reset();
  Changed(nullptr);
}

void TCollection::Clear() {
  if (FItems.empty()) return;
  std::vector<std::unique_ptr<TCollectionItem>> doomed;
  doomed.swap(FItems);
  doomed.clear();
  Changed(nullptr);
}

void TCollection::EndUpdate() {
  BRV_ASSERT_MSG(FUpdateCount > 0, "TCollection::EndUpdate(): no update to end");
  if (--FUpdateCount == 0) Changed(nullptr);
}

void TCollection::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TCollection*>(source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  if (other == this) return;
  BeginUpdate();
  try {
    Clear();
    for (const auto& item : other->FItems) Add().Assign(item.get());
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::Changed(TCollectionItem* item) {
  if (FUpdateCount == 0) Update(item);
}
