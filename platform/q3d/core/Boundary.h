// Helpers for the C entry points: no C++ exception ever reaches a C caller,
// and every creation call checks the seam and the initialisation the same way.
#pragma once

#include <memory>
#include <new>
#include <utility>

#include "platform/q3d/core/Errors.h"
#include "platform/q3d/core/FailPoints.h"
#include "platform/q3d/core/Object.h"
#include "platform/q3d/core/System.h"

namespace q3d {

// Runs body and returns its result; an escaping exception becomes a posted
// error (kQ3ErrorOutOfMemory for std::bad_alloc) and onFailure.
template <class Result, class Body>
Result guarded(Result onFailure, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (const std::bad_alloc&) {
        postError(kQ3ErrorOutOfMemory);
    } catch (...) {
        postError(kQ3ErrorInternalError);
    }
    return onFailure;
}

// The shared prologue of every creation call: the fail point, then the
// initialisation check. False means an error has been posted.
inline bool mayCreate(const char* function) noexcept {
    return !failPoint(function) && requireInitialized();
}

// The whole of a creation call whose object needs no validated arguments:
//     TQ3GroupObject Q3Group_New(void) { return q3d::createObject<q3d::Group>(__func__); }
template <class T, class... Args>
TQ3Object createObject(const char* function, Args&&... args) noexcept {
    if (!mayCreate(function)) return nullptr;
    return guarded<TQ3Object>(nullptr, [&] { return adopt(std::make_unique<T>(std::forward<Args>(args)...)); });
}

}  // namespace q3d
