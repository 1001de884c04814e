#include "base/XCollection.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// Item classes and their registry

TXCollectionItemClass::TXCollectionItemClass(std::string_view name, const TClass* parent, TConstructor constructor,
                                             const TXCollectionItemClassInfo& info)
    : TCreatableClass(name, parent, constructor), FInfo(info) {}

const TXCollectionItemClass* TXCollectionItemClass::ItemParent() const {
  return dynamic_cast<const TXCollectionItemClass*>(ClassParent());
}

std::string TXCollectionItemClass::DisplayName() const {
  for (const TXCollectionItemClass* c = this; c != nullptr; c = c->ItemParent())
    if (!c->FInfo.DisplayName.empty()) return std::string(c->FInfo.DisplayName);
  AssertionFailure("TXCollectionItemClass::DisplayName(): " + ClassName() + " has no display name", __FILE__, __LINE__);
}

std::string TXCollectionItemClass::DisplayDescription() const {
  for (const TXCollectionItemClass* c = this; c != nullptr; c = c->ItemParent())
    if (!c->FInfo.DisplayDescription.empty()) return std::string(c->FInfo.DisplayDescription);
  return DisplayName();
}

std::string TXCollectionItemClass::CategoryName() const {
  for (const TXCollectionItemClass* c = this; c != nullptr; c = c->ItemParent())
    if (!c->FInfo.CategoryName.empty()) return std::string(c->FInfo.CategoryName);
  return {};
}

bool TXCollectionItemClass::OnePerCollection() const {
  for (const TXCollectionItemClass* c = this; c != nullptr; c = c->ItemParent())
    if (c->FInfo.OnePerCollection) return *c->FInfo.OnePerCollection;
  return false;
}

std::unique_ptr<TXCollectionItem> TXCollectionItemClass::Create(TXCollection* owner) const {
  std::unique_ptr<TXCollectionItem> item = TCreatableClass::Create(owner);
  item->FName = DisplayName();
  return item;
}

namespace {

// The registered item classes; lives until the program ends.
TClassList<TXCollectionItemClass>& ItemClassRegistry() {
  static TClassList<TXCollectionItemClass> classes;
  return classes;
}

}  // namespace

void RegisterItemClass(const TXCollectionItemClass& cls) { ItemClassRegistry().Add(cls); }

const TXCollectionItemClass* ItemClassByName(std::string_view name) { return ItemClassRegistry().FindByName(name); }

// ---------------------------------------------------------------------------
// TXCollectionItem

TPersistent* TXCollectionItem::GetOwner() const { return FOwner; }

int TXCollectionItem::Index() const {
  if (FOwner == nullptr) return -1;
  for (int i = 0; i < FOwner->Count(); ++i)
    if (FOwner->GetItem(i) == this) return i;
  return -1;
}

void TXCollectionItem::Assign(const TPersistent* source) {
  if (auto* item = dynamic_cast<const TXCollectionItem*>(source)) {
    SetName(item->FName);
    return;
  }
  TPersistent::Assign(source);
}

void TXCollectionItem::WriteItemFields(TWriter& writer) const {
  writer.WriteInteger(0);  // version
  writer.WriteString(FName);
}

void TXCollectionItem::ReadItemFields(TReader& reader) {
  int version = reader.ReadInteger();
  BRV_ASSERT(version == 0);
  FName = reader.ReadString();
}

std::string TXCollectionItem::GetNamePath() const {
  if (FOwner == nullptr) return TPersistent::GetNamePath();
  return FOwner->GetNamePath() + "[" + std::to_string(Index()) + "]";
}

// ---------------------------------------------------------------------------
// TXCollection

TXCollection::~TXCollection() { Clear(); }

TXCollectionItem* TXCollection::GetItem(int index) const {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  return FItems[static_cast<std::size_t>(index)].get();
}

bool TXCollection::AcceptsClass(const TXCollectionItemClass& cls) const {
  for (const auto& item : FItems) {
    const TXCollectionItemClass& itemClass = item->ClassType();
    if (cls.OnePerCollection() && itemClass.InheritsFrom(cls)) return false;
    if (itemClass.OnePerCollection() && cls.InheritsFrom(itemClass)) return false;
  }
  return true;
}

TXCollectionItem& TXCollection::Add(const TXCollectionItemClass& cls) {
  BRV_ASSERT(cls.InheritsFrom(ItemsClass()));
  FItems.push_back(cls.Create(this));
  return *FItems.back();
}

void TXCollection::Delete(int index) {
  GetItem(index);  // checks the index
  std::unique_ptr<TXCollectionItem> doomed = std::move(FItems[static_cast<std::size_t>(index)]);
  FItems.erase(FItems.begin() + index);
  doomed->FOwner = nullptr;
}

void TXCollection::Remove(TXCollectionItem& item) {
  BRV_ASSERT(item.FOwner == this);
  Delete(item.Index());
}

void TXCollection::Clear() {
  TItems doomed = std::move(FItems);
  FItems.clear();
  for (auto& item : doomed) {
    item->FOwner = nullptr;
    item.reset();
  }
}

void TXCollection::ReplaceItems(TItems&& items) {
  Clear();
  FItems = std::move(items);
}

void TXCollection::Assign(const TPersistent* source) {
  if (source == nullptr) {
    Clear();
    return;
  }
  if (&source->ClassType() != &ClassType()) {
    TPersistent::Assign(source);
    return;
  }
  if (source == this) return;
  TItems items;
  for (const auto& sourceItem : static_cast<const TXCollection*>(source)->FItems) {
    items.push_back(sourceItem->ClassType().Create(this));
    items.back()->Assign(sourceItem.get());
  }
  ReplaceItems(std::move(items));
}

std::string TXCollection::GetNamePath() const {
  std::string ownerPath = FOwner ? FOwner->GetNamePath() : std::string();
  return ownerPath.empty() ? ClassName() : ownerPath + ".XCollection";
}

void TXCollection::NotifyItemsLoaded() {
  for (const auto& item : FItems) item->Loaded();
}

void TXCollection::WriteItems(TWriter& writer) const {
  writer.WriteInteger(Count());
  TStreamClassTable<TXCollectionItemClass> classes;
  for (const auto& item : FItems) {
    classes.WriteClass(writer, item->ClassType());
    item->WriteItemFields(writer);
  }
}

void TXCollection::ReadItems(TReader& reader) {
  int count = reader.ReadInteger();
  // Every item takes at least two bytes (its class), so a larger count is broken.
  if (count < 0 || count > reader.BytesLeft())
    throw EReadError(ClassName() + ": stored item count " + std::to_string(count) + " in a stream with " +
                     std::to_string(reader.BytesLeft()) + " bytes left");
  TStreamClassTable<TXCollectionItemClass> classes;
  TItems items;
  for (int i = 0; i < count; ++i) {
    const TXCollectionItemClass* cls;
    TValueType next = reader.NextValue();
    if (next == TValueType::String || next == TValueType::LongString) {
      std::string name = reader.ReadString();
      cls = ItemClassByName(name);
      BRV_ASSERT_MSG(cls != nullptr, "Class " + name + " unknown. Add the relevant unit to your \"uses\".");
      // The owner of the collection treats its items as ItemsClass objects.
      if (!cls->InheritsFrom(ItemsClass()) || !cls->CanCreate())
        throw EReadError("Class " + name + " cannot be an item of " + ClassName());
      classes.Add(*cls);
    } else {
      cls = &classes.ClassOf(reader.ReadInteger());
    }
    items.push_back(cls->Create(this));
    items.back()->ReadItemFields(reader);
  }
  ReplaceItems(std::move(items));
}
