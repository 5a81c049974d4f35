// An owning reference from one object to another, inside the library.
#pragma once

#include <utility>

#include "platform/q3d/core/Object.h"

namespace q3d {

// Holds one reference to a live T (or nothing) and releases it when it goes.
// Move-only: a copy would have to take a reference of its own, which is
// clearer spelled out with share().
template <class T>
class Ref {
public:
    Ref() = default;
    ~Ref() { reset(); }
    Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Ref& operator=(Ref&& other) noexcept {
        Ref(std::move(other)).swap(*this);
        return *this;
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;

    // Takes a new reference to object (nullptr gives an empty Ref).
    // Precondition: object is live.
    static Ref share(T* object) noexcept {
        if (object != nullptr) retain(*object);
        return Ref(object);
    }

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }

    // The object's handle, or nullptr.
    TQ3Object handle() const { return object_ != nullptr ? handleOf(*object_) : nullptr; }

    void reset() noexcept {
        if (T* object = std::exchange(object_, nullptr)) release(*object);
    }
    void swap(Ref& other) noexcept { std::swap(object_, other.object_); }

private:
    explicit Ref(T* object) : object_(object) {}
    T* object_ = nullptr;
};

// A new reference to what `ref` holds, as a handle for a caller to own, or
// nullptr when it is empty.
template <class T>
TQ3Object shareHandle(const Ref<T>& ref) noexcept {
    if (ref) retain(*ref.get());
    return ref.handle();
}

}  // namespace q3d
