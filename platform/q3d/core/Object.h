// The object model behind every TQ3Object.
//
// Each object is one heap block: a C++ object derived from Object, whose
// address is the TQ3Object handed to callers. The base holds only the vtable
// pointer and the reference count (16 bytes), because scenes may hold many
// objects. Families derive from SharedObject or Shape and declare their
// place in the type chain with a ClassInfo:
//
//     class Box : public Geometry {
//     public:
//         static constexpr ClassInfo kClass{kQ3GeometryTypeBox, &Geometry::kClass};
//         const ClassInfo& classInfo() const override { return kClass; }
//     };
//
// Objects enter the world through adopt(), which registers them as live, and
// leave through release(). Every handle that comes in from a caller goes
// through resolve() first, so a stale or foreign pointer is refused before it
// is dereferenced.
#pragma once

#include <list>
#include <memory>

#include "platform/q3d/QD3D.h"
#include "platform/q3d/core/Errors.h"

namespace q3d {

// One link of a type chain; parent is nullptr for a top-level type.
struct ClassInfo {
    TQ3ObjectType type;
    const ClassInfo* parent;
};

class Object {
public:
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object() = default;

    virtual const ClassInfo& classInfo() const = 0;

    // Whether a display group accepts the object and a view can submit it.
    virtual bool isDrawable() const { return false; }

    bool isType(TQ3ObjectType type) const;
    TQ3ObjectType leafType() const { return classInfo().type; }
    TQ3ObjectType topType() const;
    // The type one link below `ancestor` in this object's chain;
    // kQ3ObjectTypeInvalid if ancestor is not in the chain or is the leaf.
    TQ3ObjectType typeBelow(TQ3ObjectType ancestor) const;

    // Guarded by the registry; read it through referenceCount().
    TQ3Uns32 referenceCount() const;

protected:
    Object() = default;

private:
    friend void retain(Object& object);
    friend void release(Object& object);
    TQ3Uns32 references_ = 1;
};

// Reference-counted objects: everything below kQ3ObjectTypeShared.
class SharedObject : public Object {
public:
    static constexpr ClassInfo kClass{kQ3ObjectTypeShared, nullptr};
};

// Scene content: geometry, groups, lights, transforms, styles, shaders, cameras.
class Shape : public SharedObject {
public:
    static constexpr ClassInfo kClass{kQ3SharedTypeShape, &SharedObject::kClass};
    bool isDrawable() const override { return true; }
};

inline TQ3Object handleOf(Object& object) { return reinterpret_cast<TQ3Object>(&object); }

// Registers a fully constructed object as live and hands out its handle,
// which carries the object's first reference. Throws std::bad_alloc (the
// object is then destroyed).
TQ3Object adopt(std::unique_ptr<Object> object);

// The live object behind handle, or nullptr after posting
// kQ3ErrorNULLParameter (null handle) or kQ3ErrorInvalidObject (anything
// that is not a live object of this library).
Object* resolve(TQ3Object handle) noexcept;

// As resolve, and the object must be a T; otherwise posts
// kQ3ErrorInvalidObjectType and returns nullptr.
template <class T>
T* resolveAs(TQ3Object handle) noexcept;

void retain(Object& object);
// Drops one reference and destroys the object at zero.
void release(Object& object);

// References an object holds to others, one entry per reference.
using OwnedReferences = std::list<Object*>;

// Releases every reference in `references` and leaves it empty. An object
// that holds many references (a group) releases them through this from its
// destructor: nested destruction is then queued on one loop instead of
// recursing, so arbitrarily deep nesting cannot overflow the stack. Moves
// list nodes only, so it never allocates and never throws.
void releaseAll(OwnedReferences& references) noexcept;

TQ3Uns32 liveObjectCount() noexcept;

}  // namespace q3d

template <class T>
T* q3d::resolveAs(TQ3Object handle) noexcept {
    Object* object = resolve(handle);
    if (object == nullptr) return nullptr;
    T* typed = dynamic_cast<T*>(object);
    if (typed == nullptr) postError(kQ3ErrorInvalidObjectType);
    return typed;
}
