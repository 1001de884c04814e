#pragma once
// Owned lists of items of one class: TCollection holds items of its item class (or
// of a descendant given when it is made), frees them, and runs its Update hook
// after every change of an item or of the list, unless held back between
// BeginUpdate and EndUpdate (the last EndUpdate runs it once for the whole list).
// TOwnedCollection adds the owner that name paths and notifications go to.
//
//   TOwnedCollection points(owner, TPoint::StaticClass());
//   TPoint& p = static_cast<TPoint&>(points.Add());

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "base/ClassRegistry.h"

class TCollection;
class TCollectionItem;

// The class of a collection item: its virtual constructor makes an item that
// knows its collection but is not in its list yet.
using TCollectionItemClass = TCreatableClass<TCollectionItem, TCollection*>;

#define BRV_COLLECTION_ITEM_CLASS(T, Parent) \
  BRV_CLASS_OF_KIND(T, Parent, TCollectionItemClass, TCollectionItemClass::ConstructorOf<T>())

class TCollectionItem : public TPersistent {
  BRV_COLLECTION_ITEM_CLASS(TCollectionItem, TPersistent)

public:
  explicit TCollectionItem(TCollection* collection) : FCollection(collection) {}

  TCollection* Collection() const { return FCollection; }
  TPersistent* GetOwner() const override;
  // Position in the collection's list; -1 while the item is not in it.
  int Index() const;
  // The text an editor shows for the item; the class name here.
  virtual std::string GetDisplayName() const { return ClassName(); }

protected:
  // Tells the collection that this item changed.
  void Changed();

private:
  TCollection* FCollection;
};

class TCollection : public TPersistent {
  BRV_CLASS(TCollection, TPersistent)

public:
  // Items are made of `itemClass`, which must be able to create them.
  explicit TCollection(const TCollectionItemClass& itemClass);
  // Frees the items without running Update.
  ~TCollection() override;

  const TCollectionItemClass& ItemClass() const { return FItemClass; }
  int Count() const { return static_cast<int>(FItems.size()); }
  // A bad index raises EListError.
  TCollectionItem& Items(int index) const;
  int IndexOf(const TCollectionItem& item) const;

  // A new item of the item class at the end of the list.
  TCollectionItem& Add();
  // Frees the item at `index`; the later items move down by one.
  void Delete(int index);
  void Clear();

  void BeginUpdate() { ++FUpdateCount; }
  // An EndUpdate without BeginUpdate is an assertion failure.
  void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }

  // From another collection: the items are replaced by as many new ones, each
  // assigned from its source item; one Update at the end. Other sources go to
  // TPersistent::Assign.
  void Assign(const TPersistent* source) override;

protected:
  // After an item changed (`item`) or the list changed (nullptr), outside updates.
  virtual void Update(TCollectionItem* item);

private:
  friend class TCollectionItem;
  void Changed(TCollectionItem* item);

  const TCollectionItemClass& FItemClass;
  std::vector<std::unique_ptr<TCollectionItem>> FItems;
  int FUpdateCount = 0;
};

class TOwnedCollection : public TCollection {
  BRV_CLASS(TOwnedCollection, TCollection)

public:
  TOwnedCollection(TPersistent* owner, const TCollectionItemClass& itemClass)
      : TCollection(itemClass), FOwner(owner) {}
  TPersistent* GetOwner() const override { return FOwner; }

private:
  TPersistent* FOwner;
};
