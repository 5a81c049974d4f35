// The object model behind every TQ3Object.
//
// Each object is a C++ object derived from Object, living in a slot of the
// library's pool (Pool.h): Object's own operator new and delete route every
// object there, so `std::make_unique<Box>(...)` needs nothing special. The
// object's address is the TQ3Object handed to callers. The base holds only
// the vtable pointer and a byte (FastKind); the reference count lives beside
// the slot in the pool.
// Families derive from SharedObject or Shape and declare their place in the
// type chain with a ClassInfo:
//
//     class Box : public Geometry {
//     public:
//         static constexpr ClassInfo kClass{kQ3GeometryTypeBox, &Geometry::kClass};
//         const ClassInfo& classInfo() const override { return kClass; }
//     };
//
// Every concrete class declares its own kClass: objectAs<T> and resolveAs<T>
// recognise a T by it before falling back to a dynamic_cast, so for a class
// that merely inherited its parent's kClass, objects of the parent would
// pass as that class.
//
// Objects enter the world through adopt(), which gives them their first
// reference, and leave through release(). Every handle that comes in from a
// caller goes through resolve() first, so a stale or foreign pointer is
// refused before it is dereferenced.
//
// Single-threaded, like the whole library (QD3D.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <new>

#include "platform/q3d/QD3D.h"
#include "platform/q3d/core/Errors.h"
#include "platform/q3d/core/Pool.h"

namespace q3d {

// One link of a type chain; parent is nullptr for a top-level type.
struct ClassInfo {
    TQ3ObjectType type;
    const ClassInfo* parent;
};

// The classes whose handles arrive millions of times per frame (an
// attribute set per grid vertex) are recognised by this byte in the base
// instead of a virtual call. Each is final, so the byte names it exactly.
enum class FastKind : std::uint8_t { kOther = 0, kAttributeSet };

class Object {
public:
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object() = default;

    // Objects live in the pool. Throws std::bad_alloc.
    static void* operator new(std::size_t bytes) { return pool::allocate(bytes); }
    static void operator delete(void* slot) noexcept { pool::deallocate(slot); }
    static void* operator new[](std::size_t) = delete;
    static void* operator new(std::size_t, std::align_val_t) = delete;

    virtual const ClassInfo& classInfo() const = 0;

    // Whether a display group accepts the object and a view can submit it.
    virtual bool isDrawable() const { return false; }

    bool isType(TQ3ObjectType type) const;
    TQ3ObjectType leafType() const { return classInfo().type; }
    TQ3ObjectType topType() const;
    // The type one link below `ancestor` in this object's chain;
    // kQ3ObjectTypeInvalid if ancestor is not in the chain or is the leaf.
    TQ3ObjectType typeBelow(TQ3ObjectType ancestor) const;

    // 0 until adopt() and while the object is being destroyed.
    TQ3Uns32 referenceCount() const { return pool::countOf(this); }

    FastKind fastKind() const { return fastKind_; }

protected:
    explicit Object(FastKind fastKind = FastKind::kOther) : fastKind_(fastKind) {}

private:
    // In what would be the base's padding; derived members pack after it.
    FastKind fastKind_;
};

// Reference-counted objects: everything below kQ3ObjectTypeShared.
class SharedObject : public Object {
public:
    static constexpr ClassInfo kClass{kQ3ObjectTypeShared, nullptr};

protected:
    explicit SharedObject(FastKind fastKind = FastKind::kOther) : Object(fastKind) {}
};

// Scene content: geometry, groups, lights, transforms, styles, shaders, cameras.
class Shape : public SharedObject {
public:
    static constexpr ClassInfo kClass{kQ3SharedTypeShape, &SharedObject::kClass};
    bool isDrawable() const override { return true; }
};

inline TQ3Object handleOf(Object& object) { return reinterpret_cast<TQ3Object>(&object); }

namespace detail {
extern TQ3Uns32 gLiveObjects;
[[noreturn]] void refuseAdoption(std::unique_ptr<Object> object);
}  // namespace detail

// Makes a fully constructed object live and hands out its handle, which
// carries the object's first reference. Never fails for an object made with
// new; anything else throws std::logic_error (and is not freed: it is not
// the pool's).
inline TQ3Object adopt(std::unique_ptr<Object> object) {
    // A handle is the slot's address; anything else could never be resolved.
    std::uint32_t index = 0;
    const pool::detail::Chunk* chunk = pool::detail::slotAt(object.get(), index);
    if (chunk == nullptr) detail::refuseAdoption(std::move(object));
    chunk->counts[index] = 1;
    ++detail::gLiveObjects;
    return handleOf(*object.release());
}

// The live object behind handle, or nullptr; posts nothing.
inline Object* findObject(TQ3Object handle) noexcept {
    return static_cast<Object*>(pool::findLive(handle));
}

// The live object behind handle, or nullptr after posting
// kQ3ErrorNULLParameter (null handle) or kQ3ErrorInvalidObject (anything
// that is not a live object of this library).
inline Object* resolve(TQ3Object handle) noexcept {
    // The pool vouches for the address before anything reads the object.
    Object* object = findObject(handle);
    if (object == nullptr) postError(handle == nullptr ? kQ3ErrorNULLParameter : kQ3ErrorInvalidObject);
    return object;
}

// The object as a T, or nullptr.
template <class T>
T* objectAs(Object& object) noexcept {
    if constexpr (requires { T::kFastKind; }) {
        return object.fastKind() == T::kFastKind ? static_cast<T*>(&object) : nullptr;
    } else {
        if (&object.classInfo() == &T::kClass) return static_cast<T*>(&object);
        return dynamic_cast<T*>(&object);
    }
}

template <class T>
const T* objectAs(const Object& object) noexcept {
    return objectAs<T>(const_cast<Object&>(object));
}

// As resolve, and the object must be a T; otherwise posts
// kQ3ErrorInvalidObjectType and returns nullptr.
template <class T>
T* resolveAs(TQ3Object handle) noexcept;

// Adds a reference. Precondition: object is live.
inline void retain(Object& object) noexcept { ++pool::countOf(&object); }

// Drops one reference and destroys the object at zero. Precondition: object
// is live.
void destroy(Object& object) noexcept;
inline void release(Object& object) noexcept {
    if (--pool::countOf(&object) == 0) destroy(object);
}

// Q3Object_Dispose without the seam: drops one reference to the object
// behind handle when it is live and returns false otherwise, posting
// nothing.
inline bool disposeQuietly(TQ3Object handle) noexcept {
    TQ3Uns32* count = pool::findLiveCount(handle);
    if (count == nullptr) return false;
    if (--*count == 0) destroy(*reinterpret_cast<Object*>(handle));
    return true;
}

// The same, for a run of handles looked up through one cursor.
inline bool disposeQuietly(TQ3Object handle, pool::CountCursor& cursor) noexcept {
    TQ3Uns32* count = cursor.liveCount(handle);
    if (count == nullptr) return false;
    if (--*count == 0) {
        destroy(*reinterpret_cast<Object*>(handle));
        cursor.reset();
    }
    return true;
}

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
    T* typed = objectAs<T>(*object);
    if (typed == nullptr) postError(kQ3ErrorInvalidObjectType);
    return typed;
}
