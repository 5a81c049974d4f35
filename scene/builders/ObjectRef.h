// ObjectRef: an owning slot for one QuickDraw 3D reference.
//
// A slot holds at most one reference and releases it (Q3Object_Dispose) when
// it is destroyed, so an exception leaving a builder halfway frees whatever
// the builder had made. The builders write into slots; the records that live
// in host handles keep raw references, which they take from a slot with
// `release` once everything they need has been made.
//
// Copying shares: a copy takes a new reference (Q3Shared_GetReference) to the
// same object. Assignment keeps the target's object when the source is empty;
// use `reset` to empty a slot.
#pragma once

#include <ostream>

#include "platform/q3d/QD3D.h"

namespace vask {

class ObjectRef {
public:
  ObjectRef() = default;

  // Takes over `adopted`, a reference the caller owned (null gives an empty
  // slot). Nothing is checked: pass what a checked creation returned.
  explicit ObjectRef(TQ3Object adopted) noexcept : object_(adopted) {}

  // A new reference to other's object, or an empty slot when other is empty.
  // Raises the QuickDraw 3D error when the object cannot be shared (a view, a
  // pick: objects with a single owner).
  ObjectRef(const ObjectRef& other);

  // Steals other's reference; other is left empty.
  ObjectRef(ObjectRef&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }

  // Nothing happens when other is this slot or is empty: the target keeps its
  // object. Otherwise a new reference to other's object replaces the target's
  // (the new one is taken first, so a failure leaves the target as it was).
  ObjectRef& operator=(const ObjectRef& other);

  // As the copy, with other's reference moved instead of a new one taken:
  // an empty source leaves the target as it is (and other stays empty).
  ObjectRef& operator=(ObjectRef&& other) noexcept;

  ~ObjectRef() { reset(); }

  // The held reference, still owned by the slot; null when empty.
  TQ3Object get() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }

  // Releases the held reference (if any) and takes over `adopted` (may be null).
  void reset(TQ3Object adopted = nullptr) noexcept;

  // Hands the held reference to the caller, who must dispose it; the slot is
  // left empty.
  [[nodiscard]] TQ3Object release() noexcept {
    TQ3Object out = object_;
    object_ = nullptr;
    return out;
  }

private:
  TQ3Object object_ = nullptr;
};

// "ObjectRef{empty}" or "ObjectRef{'box ' 0x…}" (the object's leaf type).
std::ostream& operator<<(std::ostream& os, const ObjectRef& ref);

}  // namespace vask
