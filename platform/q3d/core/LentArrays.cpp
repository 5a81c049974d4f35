#include "platform/q3d/core/LentArrays.h"

#include <unordered_map>
#include <utility>

#include "platform/q3d/core/LargeBuffer.h"
#include "platform/q3d/core/LibraryState.h"

namespace q3d {
namespace {

struct Loan {
    LargeBuffer buffer;
    std::size_t asked;
};

struct State {
    std::unordered_map<const void*, Loan> lent;
};

// Kept past static destructors (records may be emptied from them at exit).
State& state() { return libraryState<State>(); }

}  // namespace

void* lendArray(std::size_t bytes) {
    State& s = state();
    if (bytes == 0) bytes = 1;
    LargeBuffer buffer(bytes);
    void* array = buffer.data();
    s.lent.emplace(array, Loan{std::move(buffer), bytes});
    return array;
}

std::size_t lentBytes(const void* array) noexcept {
    if (array == nullptr) return 0;
    const State& s = state();
    auto it = s.lent.find(array);
    return it == s.lent.end() ? 0 : it->second.asked;
}

void giveBackArray(void* array) noexcept {
    State& s = state();
    auto it = s.lent.find(array);
    if (it == s.lent.end()) return;
    s.lent.erase(it);
}

}  // namespace q3d
