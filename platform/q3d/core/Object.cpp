#include "platform/q3d/core/Object.h"

#include <list>
#include <stdexcept>

#include "platform/q3d/core/FailPoints.h"

namespace q3d {

// Scenes may hold millions of objects (one attribute set per grid vertex):
// the base is the vtable pointer and a byte.
static_assert(sizeof(Object) <= 2 * sizeof(void*));

TQ3Uns32 detail::gLiveObjects = 0;

namespace {

// References waiting to be released by the drain loop running now (nullptr
// while none runs).
OwnedReferences* gPendingReleases = nullptr;

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

void detail::refuseAdoption(std::unique_ptr<Object> object) {
    object.release();
    throw std::logic_error("object not made with new");
}

void destroy(Object& object) noexcept {
    --detail::gLiveObjects;
    delete &object;
}

void releaseAll(OwnedReferences& references) noexcept {
    if (gPendingReleases != nullptr) {
        // A drain loop further up the stack will release them.
        gPendingReleases->splice(gPendingReleases->end(), references);
        return;
    }
    OwnedReferences pending;
    gPendingReleases = &pending;
    pending.splice(pending.end(), references);
    while (!pending.empty()) {
        Object* next = pending.front();
        pending.pop_front();
        release(*next);
    }
    gPendingReleases = nullptr;
}

TQ3Uns32 liveObjectCount() noexcept { return detail::gLiveObjects; }

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
