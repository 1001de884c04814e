#pragma once
// Run-time class references, the root classes TObject and TPersistent, and the
// program-wide registry that finds a streamable class by its name.
//
// A class of the hierarchy declares its class reference with one of the
// BRV_..._CLASS macros: T::StaticClass() is the class itself, obj.ClassType() the
// exact class of an object. The name a class reference carries is the fixed text
// written into streams, so it never depends on the compiler.

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "base/Exceptions.h"

// A class of the hierarchy: its name and its parent. Kinds of classes that can be
// created by name (persistent objects, collection items) derive their own class
// reference from this one and add a virtual constructor.
class TClass {
public:
  TClass(std::string_view name, const TClass* parent) : FName(name), FParent(parent) {}
  virtual ~TClass() = default;
  TClass(const TClass&) = delete;
  TClass& operator=(const TClass&) = delete;

  const std::string& ClassName() const { return FName; }
  const TClass* ClassParent() const { return FParent; }
  // True for this class and every descendant of `ancestor`.
  bool InheritsFrom(const TClass& ancestor) const;

private:
  std::string FName;
  const TClass* FParent;
};

// A class reference with a virtual constructor: Create(args...) makes a new object
// of the class as a TBase. A class that cannot be made from those arguments
// (abstract, or without such a constructor) has none.
template <class TBase, class... Args>
class TCreatableClass : public TClass {
public:
  using TConstructor = std::unique_ptr<TBase> (*)(Args...);
  TCreatableClass(std::string_view name, const TClass* parent, TConstructor constructor)
      : TClass(name, parent), FConstructor(constructor) {}

  bool CanCreate() const { return FConstructor != nullptr; }
  // A new object of this class; an assertion failure when the class cannot be created.
  std::unique_ptr<TBase> Create(Args... args) const {
    if (!FConstructor) AssertionFailure("Create(): " + ClassName() + " cannot be created", __FILE__, __LINE__);
    return FConstructor(args...);
  }

  // The virtual constructor of T, or none.
  template <class T>
  static constexpr TConstructor ConstructorOf() {
    if constexpr (std::is_constructible_v<T, Args...> && !std::is_abstract_v<T>)
      return [](Args... args) -> std::unique_ptr<TBase> { return std::make_unique<T>(args...); };
    else
      return nullptr;
  }

private:
  TConstructor FConstructor;
};

// Declares the class reference of a class whose reference is of kind TMeta.
// Parent is the design's parent class (a template layer in between is skipped).
#define BRV_CLASS_OF_KIND(T, Parent, TMeta, ...)                                  \
public:                                                                             \
  static const TMeta& StaticClass() {                                               \
    static const TMeta info(#T, &Parent::StaticClass() __VA_OPT__(, ) __VA_ARGS__); \
    return info;                                                                    \
  }                                                                                 \
  const TMeta& ClassType() const override { return StaticClass(); }

#define BRV_CLASS(T, Parent) BRV_CLASS_OF_KIND(T, Parent, TClass)

// The root of the hierarchy: every object knows its exact class.
class TObject {
public:
  TObject() = default;
  virtual ~TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;

  static const TClass& StaticClass();
  virtual const TClass& ClassType() const = 0;
  const std::string& ClassName() const { return ClassType().ClassName(); }
  bool InheritsFrom(const TClass& ancestor) const { return ClassType().InheritsFrom(ancestor); }
};

// An object that can copy itself from another (Assign) and that has an owner and a
// name path for the layout streams.
class TPersistent : public TObject {
  BRV_CLASS(TPersistent, TObject)

public:
  // Copies `source` into this object. Here: the source's AssignTo decides; nothing
  // that can take the copy raises EConvertError ("Cannot assign a TX to a TY").
  virtual void Assign(const TPersistent* source);
  // The path of the object in its owner chain; here the class name, after the
  // owner's path and a dot when the owner has a non-empty path.
  virtual std::string GetNamePath() const;
  virtual TPersistent* GetOwner() const { return nullptr; }

protected:
  virtual void AssignTo(TPersistent* dest) const;
  [[noreturn]] void AssignError(const TPersistent* source) const;
};

// An index outside a list.
class EListError : public Exception {
public:
  using Exception::Exception;
};

// Raises EListError for `index` outside a list: "List index out of bounds (5)".
[[noreturn]] void RaiseListIndexError(int index);

// A stream names a class that nobody registered.
class EClassNotFound : public Exception {
public:
  using Exception::Exception;
};

// Classes of one kind in order of registration, found by exact (case-sensitive) name.
template <class TMeta>
class TClassList {
public:
  // Appends `cls` unless it is there already.
  void Add(const TMeta& cls) {
    if (std::find(FClasses.begin(), FClasses.end(), &cls) == FClasses.end()) FClasses.push_back(&cls);
  }
  // The first class of this name, or null.
  const TMeta* FindByName(std::string_view name) const {
    for (const TMeta* c : FClasses)
      if (c->ClassName() == name) return c;
    return nullptr;
  }

private:
  std::vector<const TMeta*> FClasses;
};

// The classes named so far in one stream, numbered from 0 in order of first
// appearance: the first item of a class is stored with the class's name, the later
// ones with its number.
template <class TMeta>
class TStreamClassTable {
public:
  // Writes the class of the next item through `writer` (any writer of the filer
  // encoding): its name at its first appearance, which numbers it, else its number.
  template <class TValueWriter>
  void WriteClass(TValueWriter& writer, const TMeta& cls) {
    auto found = std::find(FClasses.begin(), FClasses.end(), &cls);
    if (found != FClasses.end()) {
      writer.WriteInteger(static_cast<int>(found - FClasses.begin()));
      return;
    }
    FClasses.push_back(&cls);
    writer.WriteString(cls.ClassName());
  }
  // A class read by name.
  void Add(const TMeta& cls) { FClasses.push_back(&cls); }
  // The class of a number read from a stream; a number outside the table raises EListError.
  const TMeta& ClassOf(int number) const {
    if (number < 0 || static_cast<std::size_t>(number) >= FClasses.size())
      throw EListError("Class number " + std::to_string(number) + " in a stream that has named " +
                       std::to_string(FClasses.size()) + " classes");
    return *FClasses[static_cast<std::size_t>(number)];
  }

private:
  std::vector<const TMeta*> FClasses;
};

// Registers a persistent class so that streams can name it. Registering the same
// class again does nothing; a second class under a registered name is an assertion
// failure. Registration happens at start-up, on the main thread.
void RegisterClass(const TClass& cls);
// The registered class of exactly this name (case-sensitive), or null.
const TClass* GetClass(std::string_view name);
// As GetClass; an unregistered name raises EClassNotFound ("Class TX not found").
const TClass& FindClass(std::string_view name);
