#include "base/ClassRegistry.h"

bool TClass::InheritsFrom(const TClass& ancestor) const {
  for (const TClass* c = this; c != nullptr; c = c->FParent)
    if (c == &ancestor) return true;
  return false;
}

const TClass& TObject::StaticClass() {
  static const TClass info("TObject", nullptr);
  return info;
}

void TPersistent::Assign(const TPersistent* source) {
  if (source == nullptr) AssignError(nullptr);
  source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest) const { dest->AssignError(this); }

void TPersistent::AssignError(const TPersistent* source) const {
  std::string sourceName = source ? source->ClassName() : std::string("nil");
  throw EConvertError("Cannot assign a " + sourceName + " to a " + ClassName());
}

std::string TPersistent::GetNamePath() const {
  TPersistent* owner = GetOwner();
  std::string ownerPath = owner ? owner->GetNamePath() : std::string();
  return ownerPath.empty() ? ClassName() : ownerPath + "." + ClassName();
}

void RaiseListIndexError(int index) { throw EListError("List index out of bounds (" + std::to_string(index) + ")"); }

namespace {

// The registered classes; lives until the program ends.
TClassList<TClass>& Registry() {
  static TClassList<TClass> classes;
  return classes;
}

}  // namespace

void RegisterClass(const TClass& cls) {
  BRV_ASSERT(cls.InheritsFrom(TPersistent::StaticClass()));
  const TClass* known = GetClass(cls.ClassName());
  BRV_ASSERT_MSG(known == nullptr || known == &cls,
                 "RegisterClass(): a class named " + cls.ClassName() + " is already registered");
  Registry().Add(cls);
}

const TClass* GetClass(std::string_view name) { return Registry().FindByName(name); }

const TClass& FindClass(std::string_view name) {
  const TClass* c = GetClass(name);
  if (c == nullptr) throw EClassNotFound("Class " + std::string(name) + " not found");
  return *c;
}
