// Process-wide state of this library that must outlive every static
// destructor, yet go when the library goes.
//
// Plug-ins may post errors, dispose objects or empty records from their own
// static destructors at exit, and the C++ runtime runs those after this
// library's function-local statics (made later, so destroyed earlier). So
// the state is never destroyed by static destruction; it is freed by this
// library's own finaliser, which the system runs when the library is
// unloaded or the process ends, after the finalisers of every library that
// depends on it. A host that loads and unloads its plug-ins thus gets it back.
#pragma once

namespace q3d {

namespace detail {
// Remembers `object` for `release` at the library's finalisation. A few
// state objects exist; the table is fixed and keeps no more than it holds.
void keepUntilUnload(void (*release)(void*), void* object) noexcept;
}  // namespace detail

// The library's one T, made on first use (thread-safe).
template <class T>
T& libraryState() {
    static T* const instance = [] {
        T* made = new T;
        detail::keepUntilUnload([](void* p) { delete static_cast<T*>(p); }, made);
        return made;
    }();
    return *instance;
}

}  // namespace q3d
