#include "platform/q3d/core/Object.h"

#include <list>
#include <mutex>
#include <unordered_set>

#include "platform/q3d/core/FailPoints.h"

namespace q3d {

// Scenes may hold many objects; the base must stay a vtable pointer and a count.
static_assert(sizeof(Object) <= 2 * sizeof(void*));

namespace {

// Every live object, so that a handle from outside can be checked before it
// is dereferenced. Reference counts are changed under the same lock, which
// keeps "is it live" and "how many references" consistent.
struct Registry {
    std::mutex mutex;
    std::unordered_set<const Object*> live;
};

// Never destroyed: plug-ins may dispose objects from their own static
// destructors at process exit.
Registry& registry() {
    static Registry* const instance = new Registry;
    return *instance;
}

// References waiting to be released by the drain loop running on this thread
// (nullptr while none runs).
thread_local OwnedReferences* pendingReleases = nullptr;

}  // namespace

bool Object::isType(TQ3ObjectType type) const {
    for (const ClassInfo* link = &classInfo(); link != nullptr; link = link->parent) {
        if (link->type == type) return true;
    }
    return false;
}

TQ3ObjectType Object::topType() const {
    const ClassInfo* link = &classInfo();
    while (link->parent != nullptr) link = link->parent;
    return link->type;
}

TQ3ObjectType Object::typeBelow(TQ3ObjectType ancestor) const {
    for (const ClassInfo* link = &classInfo(); link->parent != nullptr; link = link->parent) {
        if (link->parent->type == ancestor) return link->type;
    }
    return kQ3ObjectTypeInvalid;
}

TQ3Uns32 Object::referenceCount() const {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return references_;
}

TQ3Object adopt(std::unique_ptr<Object> object) {
    Registry& r = registry();
    {
        std::lock_guard lock(r.mutex);
        r.live.insert(object.get());
    }
    return handleOf(*object.release());
}

Object* resolve(TQ3Object handle) noexcept {
    if (handle == nullptr) {
        postError(kQ3ErrorNULLParameter);
        return nullptr;
    }
    // Compare addresses only: the pointer is not dereferenced until the
    // registry vouches for it.
    auto* candidate = reinterpret_cast<Object*>(handle);
    Registry& r = registry();
    bool live;
    {
        std::lock_guard lock(r.mutex);
        live = r.live.count(candidate) != 0;
    }
    if (!live) {
        postError(kQ3ErrorInvalidObject);
        return nullptr;
    }
    return candidate;
}

void retain(Object& object) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    ++object.references_;
}

void release(Object& object) {
    Registry& r = registry();
    {
        std::lock_guard lock(r.mutex);
        if (--object.references_ != 0) return;
        r.live.erase(&object);
    }
    delete &object;
}

void releaseAll(OwnedReferences& references) noexcept {
    if (pendingReleases != nullptr) {
        // A drain loop further up this thread's stack will release them.
        pendingReleases->splice(pendingReleases->end(), references);
        return;
    }
    OwnedReferences pending;
    pendingReleases = &pending;
    pending.splice(pending.end(), references);
    while (!pending.empty()) {
        Object* next = pending.front();
        pending.pop_front();
        release(*next);
    }
    pendingReleases = nullptr;
}

TQ3Uns32 liveObjectCount() noexcept {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return static_cast<TQ3Uns32>(r.live.size());
}

}  // namespace q3d

TQ3Status Q3Object_Dispose(TQ3Object object) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    q3d::Object* resolved = q3d::resolve(object);
    if (resolved == nullptr) return kQ3Failure;
    q3d::release(*resolved);
    return kQ3Success;
}

TQ3ObjectType Q3Object_GetType(TQ3Object object) {
    const q3d::Object* resolved = q3d::resolve(object);
    return resolved != nullptr ? resolved->topType() : kQ3ObjectTypeInvalid;
}

TQ3ObjectType Q3Object_GetLeafType(TQ3Object object) {
    const q3d::Object* resolved = q3d::resolve(object);
    return resolved != nullptr ? resolved->leafType() : kQ3ObjectTypeInvalid;
}

TQ3Boolean Q3Object_IsType(TQ3Object object, TQ3ObjectType type) {
    const q3d::Object* resolved = q3d::resolve(object);
    return resolved != nullptr && resolved->isType(type) ? kQ3True : kQ3False;
}

TQ3Boolean Q3Object_IsDrawable(TQ3Object object) {
    const q3d::Object* resolved = q3d::resolve(object);
    return resolved != nullptr && resolved->isDrawable() ? kQ3True : kQ3False;
}

TQ3ObjectType Q3Shared_GetType(TQ3SharedObject sharedObject) {
    const auto* shared = q3d::resolveAs<q3d::SharedObject>(sharedObject);
    return shared != nullptr ? shared->typeBelow(kQ3ObjectTypeShared) : kQ3ObjectTypeInvalid;
}

TQ3SharedObject Q3Shared_GetReference(TQ3SharedObject sharedObject) {
    if (q3d::failPoint(__func__)) return nullptr;
    auto* shared = q3d::resolveAs<q3d::SharedObject>(sharedObject);
    if (shared == nullptr) return nullptr;
    q3d::retain(*shared);
    return sharedObject;
}

TQ3Uns32 Q3Shared_GetReferenceCount(TQ3SharedObject sharedObject) {
    const auto* shared = q3d::resolveAs<q3d::SharedObject>(sharedObject);
    return shared != nullptr ? shared->referenceCount() : 0;
}
