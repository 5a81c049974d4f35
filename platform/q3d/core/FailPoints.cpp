#include "platform/q3d/core/FailPoints.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/q3d/core/Errors.h"
#include "platform/q3d/core/LibraryState.h"

namespace q3d {
namespace {

struct ArmedFailure {
    std::string function;
    TQ3Error error;
    TQ3Uns32 skip;
};

struct FailPointState {
    std::mutex mutex;
    std::vector<ArmedFailure> armed;  // a handful at most: a linear scan is fine
};

FailPointState& state() { return libraryState<FailPointState>(); }

}  // namespace

namespace detail {

constinit std::atomic<std::size_t> gArmedFailures{0};

bool failPointArmed(const char* function) noexcept {
    FailPointState& s = state();
    TQ3Error error = kQ3ErrorNone;
    {
        std::lock_guard lock(s.mutex);
        auto it = std::find_if(s.armed.begin(), s.armed.end(),
                               [&](const ArmedFailure& a) { return std::strcmp(a.function.c_str(), function) == 0; });
        if (it == s.armed.end()) return false;
        if (it->skip > 0) {
            --it->skip;
            return false;
        }
        error = it->error;
        s.armed.erase(it);
        gArmedFailures.store(s.armed.size(), std::memory_order_relaxed);
    }
    postError(error);
    return true;
}

}  // namespace detail

void armFailure(const char* function, TQ3Error error, TQ3Uns32 skip) {
    FailPointState& s = state();
    std::lock_guard lock(s.mutex);
    auto it = std::find_if(s.armed.begin(), s.armed.end(),
                           [&](const ArmedFailure& a) { return a.function == function; });
    if (it != s.armed.end()) {
        it->error = error;
        it->skip = skip;
    } else {
        s.armed.push_back(ArmedFailure{function, error, skip});
    }
    detail::gArmedFailures.store(s.armed.size(), std::memory_order_relaxed);
}

void clearFailures() noexcept {
    FailPointState& s = state();
    std::lock_guard lock(s.mutex);
    s.armed.clear();
    detail::gArmedFailures.store(0, std::memory_order_relaxed);
}

}  // namespace q3d
