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
    // The n-th call of any function: armed, its error, the calls still to
    // pass, and the calls counted since arming.
    bool anyArmed = false;
    TQ3Error anyError = kQ3ErrorNone;
    TQ3Uns32 anySkip = 0;
    TQ3Uns32 anyCounted = 0;
};

void updateArmed(FailPointState& s) {
    detail::gArmedFailures.store(s.armed.size() + (s.anyArmed ? 1 : 0), std::memory_order_relaxed);
}

FailPointState& state() { return libraryState<FailPointState>(); }

}  // namespace

namespace detail {

constinit std::atomic<std::size_t> gArmedFailures{0};

// The n-th call of any function is armed apart from the named ones: it
// counts every call, and fires first.
bool nthCallFires(FailPointState& s, const char* function, TQ3Error& error) {
    // A disposal that fails leaves its object, and no caller can do anything
    // about that: disposals are not among the calls a sweep fails.
    if (!s.anyArmed || std::strcmp(function, "Q3Object_Dispose") == 0) return false;
    ++s.anyCounted;
    if (s.anySkip > 0) {
        --s.anySkip;
        return false;
    }
    error = s.anyError;
    s.anyArmed = false;
    updateArmed(s);
    return true;
}

bool namedCallFires(FailPointState& s, const char* function, TQ3Error& error) {
    auto it = std::find_if(s.armed.begin(), s.armed.end(),
                           [&](const ArmedFailure& a) { return std::strcmp(a.function.c_str(), function) == 0; });
    if (it == s.armed.end()) return false;
    if (it->skip > 0) {
        --it->skip;
        return false;
    }
    error = it->error;
    s.armed.erase(it);
    updateArmed(s);
    return true;
}

bool failPointArmed(const char* function) noexcept {
    FailPointState& s = state();
    TQ3Error error = kQ3ErrorNone;
    bool fires;
    {
        std::lock_guard lock(s.mutex);
        fires = nthCallFires(s, function, error) || namedCallFires(s, function, error);
    }
    if (fires) postError(error);
    return fires;
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
    updateArmed(s);
}

void armNthFailure(TQ3Error error, TQ3Uns32 skip) {
    FailPointState& s = state();
    std::lock_guard lock(s.mutex);
    s.anyArmed = true;
    s.anyError = error;
    s.anySkip = skip;
    s.anyCounted = 0;
    updateArmed(s);
}

TQ3Uns32 countedCalls() {
    FailPointState& s = state();
    std::lock_guard lock(s.mutex);
    return s.anyCounted;
}

void clearFailures() noexcept {
    FailPointState& s = state();
    std::lock_guard lock(s.mutex);
    s.armed.clear();
    s.anyArmed = false;
    updateArmed(s);
}

}  // namespace q3d
