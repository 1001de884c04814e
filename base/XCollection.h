#pragma once
// Owner-held lists of named items of several classes, stored in the layout streams.
// Item classes are registered by name at start-up (RegisterItemClass), so that a
// stream can name the class of each item and a reader can recreate it.
//
// Stream form, in the filer value encoding: the item count; then per item the class
// name at the first item of its class in this stream, or else the class's number in
// order of first appearance; then the item's WriteItemFields (TXCollectionItem:
// version 0 and Name; a descendant appends its own fields).

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ClassRegistry.h"
#include "base/Filer.h"

class TXCollection;
class TXCollectionItem;

// What an item class says about itself. An empty or unset entry takes the parent
// class's answer; at the root, DisplayDescription is DisplayName, CategoryName is
// empty and OnePerCollection is false. A class that can be created needs a
// DisplayName somewhere on its way to the root.
struct TXCollectionItemClassInfo {
  std::string_view DisplayName = {};
  std::string_view DisplayDescription = {};
  std::string_view CategoryName = {};
  // True: at most one item of this class (or of a descendant) per collection.
  std::optional<bool> OnePerCollection = {};
};

// The class of a collection item, with its virtual constructor.
class TXCollectionItemClass : public TCreatableClass<TXCollectionItem, TXCollection*> {
public:
  TXCollectionItemClass(std::string_view name, const TClass* parent, TConstructor constructor,
                        const TXCollectionItemClassInfo& info = {});

  // A new item of this class named after DisplayName. It knows `owner` but is not in
  // its list yet: TXCollection::Add creates an item and puts it there.
  std::unique_ptr<TXCollectionItem> Create(TXCollection* owner) const;

  std::string DisplayName() const;
  std::string DisplayDescription() const;
  std::string CategoryName() const;
  bool OnePerCollection() const;

private:
  const TXCollectionItemClass* ItemParent() const;

  TXCollectionItemClassInfo FInfo;
};

// Declares the class reference of an item class, with T's virtual constructor when T
// can be made from an owner. The arguments after Parent are designated initialisers
// of TXCollectionItemClassInfo:
//   BRV_XCOLLECTION_ITEM_CLASS(TGLBInertia, TGLBehaviour, .DisplayName = "Simple Inertia", .OnePerCollection = true)
#define BRV_XCOLLECTION_ITEM_CLASS(T, Parent, ...)                                                \
  BRV_CLASS_OF_KIND(T, Parent, TXCollectionItemClass, TXCollectionItemClass::ConstructorOf<T>(), \
                    TXCollectionItemClassInfo{__VA_ARGS__})

class TXCollectionItem : public TPersistent {
  BRV_XCOLLECTION_ITEM_CLASS(TXCollectionItem, TPersistent)

public:
  TXCollection* Owner() const { return FOwner; }
  TPersistent* GetOwner() const override;
  const std::string& Name() const { return FName; }
  virtual void SetName(const std::string& name) { FName = name; }
  // Position in the owner's list, -1 without an owner (or while it is being read).
  int Index() const;

  // Copies Name from another item; other sources go to TPersistent::Assign.
  void Assign(const TPersistent* source) override;
  // Version 0 and Name; a descendant calls this first, then writes its own fields.
  virtual void WriteItemFields(TWriter& writer) const;
  // A version other than 0 is an assertion failure.
  virtual void ReadItemFields(TReader& reader);
  // Called after a whole collection has been read; nothing here.
  virtual void Loaded() {}
  // Without an owner the class name, else the owner's name path and "[index]".
  std::string GetNamePath() const override;

protected:
  explicit TXCollectionItem(TXCollection* owner) : FOwner(owner) {}

private:
  friend class TXCollection;
  friend class TXCollectionItemClass;
  TXCollection* FOwner;
  std::string FName;
};

class TXCollection : public TPersistent {
  BRV_CLASS(TXCollection, TPersistent)

public:
  explicit TXCollection(TPersistent* owner) : FOwner(owner) {}
  ~TXCollection() override;

  TPersistent* Owner() const { return FOwner; }
  TPersistent* GetOwner() const override { return FOwner; }
  int Count() const { return static_cast<int>(FItems.size()); }
  // A bad index raises EListError.
  TXCollectionItem* GetItem(int index) const;

  // The class every item derives from; TXCollectionItem here.
  virtual const TXCollectionItemClass& ItemsClass() const { return TXCollectionItem::StaticClass(); }
  // False when `cls` is one-per-collection and an item of it (or of a descendant) is
  // present, or when an item of a one-per-collection class is present and `cls` is
  // that class or a descendant of it.
  virtual bool AcceptsClass(const TXCollectionItemClass& cls) const;

  // Creates an item of `cls` (a descendant of ItemsClass) at the end of the list.
  TXCollectionItem& Add(const TXCollectionItemClass& cls);
  template <class T>
  T& Add() {
    return static_cast<T&>(Add(T::StaticClass()));
  }
  // Frees an item; the later items move down by one.
  void Delete(int index);
  void Remove(TXCollectionItem& item);
  // Detaches and frees every item, in index order.
  void Clear();
  // Null clears. A collection of the same class is copied item by item (new items
  // of the same classes, each assigned from its source); other sources go to
  // TPersistent::Assign.
  void Assign(const TPersistent* source) override;
  // The class name; with an owner of non-empty name path, that path and ".XCollection".
  std::string GetNamePath() const override;
  // Calls Loaded of every item, in order.
  void NotifyItemsLoaded();

  void WriteItems(TWriter& writer) const;
  // Reads a collection written by WriteItems. The items are read aside and replace
  // the present ones only when the whole collection has been read. An unregistered
  // class name or an unknown item version is an assertion failure.
  void ReadItems(TReader& reader);

private:
  using TItems = std::vector<std::unique_ptr<TXCollectionItem>>;
  // Makes `items` the collection's items, freeing the present ones.
  void ReplaceItems(TItems&& items);

  TPersistent* FOwner;
  TItems FItems;
};

// Registers an item class unless it is registered already.
void RegisterItemClass(const TXCollectionItemClass& cls);
// The first registered item class of exactly this name (case-sensitive), or null.
const TXCollectionItemClass* ItemClassByName(std::string_view name);
