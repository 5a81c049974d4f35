#include "scene/builders/ObjectRef.h"

#include "scene/Q3Check.h"

namespace vask {

ObjectRef::ObjectRef(const ObjectRef& other)
    : object_(other.object_ ? q3Check(Q3Shared_GetReference(other.object_)) : nullptr) {}

ObjectRef& ObjectRef::operator=(const ObjectRef& other) {
  if (this == &other || !other.object_) return *this;
  TQ3Object shared = q3Check(Q3Shared_GetReference(other.object_));
  reset(shared);
  return *this;
}

ObjectRef& ObjectRef::operator=(ObjectRef&& other) noexcept {
  if (this == &other || !other.object_) return *this;
  reset(other.release());
  return *this;
}

void ObjectRef::reset(TQ3Object adopted) noexcept {
  // Disposals are not checked: there is nothing a caller could do about a
  // failed release, and it must not stop the unwinding of a failure.
  if (object_) Q3Object_Dispose(object_);
  object_ = adopted;
}

std::ostream& operator<<(std::ostream& os, const ObjectRef& ref) {
  if (!ref) return os << "ObjectRef{empty}";
  const auto type = static_cast<uint32_t>(Q3Object_GetLeafType(ref.get()));
  const char code[5] = {static_cast<char>(type >> 24), static_cast<char>(type >> 16),
                        static_cast<char>(type >> 8), static_cast<char>(type), '\0'};
  return os << "ObjectRef{'" << code << "' " << static_cast<const void*>(ref.get()) << '}';
}

}  // namespace vask
