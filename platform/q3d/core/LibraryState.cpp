#include "platform/q3d/core/LibraryState.h"

#include <algorithm>
#include <atomic>

namespace q3d {
namespace {

struct Kept {
    void (*release)(void*);
    void* object;
};
constexpr int kMaxKept = 16;
Kept gKept[kMaxKept];
std::atomic<int> gCount{0};

// Runs when the library is unloaded or the process ends, after every static
// destructor and after the finalisers of the libraries that depend on this
// one: nothing can reach the state any more.
__attribute__((destructor)) void releaseKept() {
    for (int i = std::min(gCount.load(), kMaxKept) - 1; i >= 0; --i) gKept[i].release(gKept[i].object);
    gCount.store(0);
}

}  // namespace

namespace detail {
void keepUntilUnload(void (*release)(void*), void* object) noexcept {
    const int at = gCount.fetch_add(1);
    if (at < kMaxKept) gKept[at] = Kept{release, object};
}
}  // namespace detail

}  // namespace q3d
