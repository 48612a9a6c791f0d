// The root of every host object: run-time class information (name and
// ancestry, as scripts and error texts need them) and checked handles, so that
// a value still naming a freed object is caught instead of followed.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// One class's run-time description: its name and its parent.
struct TClassInfo {
  const char* Name;
  const TClassInfo* Parent;

  // True when this class is `other` or descends from it.
  bool InheritsFrom(const TClassInfo* other) const;
};

// Declares the class information of a TObject descendant; place it first in
// the class body.
#define PX_CLASS(ClassName, BaseName)                                      \
 public:                                                                  \
  static const TClassInfo& StaticClass() {                                \
    static const TClassInfo info{#ClassName, &BaseName::StaticClass()};   \
    return info;                                                          \
  }                                                                       \
  const TClassInfo& ClassType() const override { return StaticClass(); } \
                                                                          \
 private:

class TObject {
 public:
  TObject();
  // A copy is a new object with an identity (and handle) of its own.
  TObject(const TObject&);
  TObject& operator=(const TObject&) { return *this; }
  virtual ~TObject();

  static const TClassInfo& StaticClass();
  virtual const TClassInfo& ClassType() const { return StaticClass(); }
  std::string ClassName() const { return ClassType().Name; }
  bool InheritsFrom(const TClassInfo& cls) const { return ClassType().InheritsFrom(&cls); }

  // A process-unique number that finds this object again while it lives.
  // Handles are never reused; 0 is never a handle.
  uint64_t Handle() const;
  // The object a handle was given for, or nullptr once it has been freed.
  static TObject* FromHandle(uint64_t handle);
  // Objects alive in the process now: a long-running program checks with it
  // that repeated work leaves nothing behind.
  static int64_t LiveCount();

 private:
  mutable std::atomic<uint64_t> handle_{0};
};

// Checked downcast: nullptr unless `obj` is of class T or descends from it.
template <class T>
T* ObjectAs(TObject* obj) {
  return obj && obj->InheritsFrom(T::StaticClass()) ? static_cast<T*>(obj) : nullptr;
}
