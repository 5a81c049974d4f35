#include "platform/q3d/core/Errors.h"

#include <mutex>

#include "platform/q3d/core/LibraryState.h"

namespace q3d {
namespace {

struct Channel {
    TQ3Int32 first = 0;
    TQ3Int32 latest = 0;

    void post(TQ3Int32 code) {
        if (code == 0) return;
        if (first == 0) first = code;
        latest = code;
    }

    TQ3Int32 take(TQ3Int32& firstOut) {
        firstOut = first;
        const TQ3Int32 result = latest;
        first = latest = 0;
        return result;
    }
};

struct ErrorState {
    std::mutex mutex;
    Channel errors, warnings, notices;
};

// Kept past static destructors: plug-ins may post or read codes from their
// own, after this library's statics would otherwise be gone.
ErrorState& state() { return libraryState<ErrorState>(); }

void post(Channel ErrorState::*channel, TQ3Int32 code) noexcept {
    ErrorState& s = state();
    std::lock_guard lock(s.mutex);
    (s.*channel).post(code);
}

TQ3Int32 take(Channel ErrorState::*channel, TQ3Int32& first) noexcept {
    ErrorState& s = state();
    std::lock_guard lock(s.mutex);
    return (s.*channel).take(first);
}

}  // namespace

void postError(TQ3Error error) noexcept { post(&ErrorState::errors, error); }
void postWarning(TQ3Warning warning) noexcept { post(&ErrorState::warnings, warning); }
void postNotice(TQ3Notice notice) noexcept { post(&ErrorState::notices, notice); }

void clearPostedCodes() noexcept {
    ErrorState& s = state();
    std::lock_guard lock(s.mutex);
    s.errors = s.warnings = s.notices = Channel{};
}

}  // namespace q3d

TQ3Error Q3Error_Get(TQ3Error* firstError) {
    TQ3Int32 first = 0;
    const auto latest = static_cast<TQ3Error>(q3d::take(&q3d::ErrorState::errors, first));
    if (firstError != nullptr) *firstError = static_cast<TQ3Error>(first);
    return latest;
}

TQ3Warning Q3Warning_Get(TQ3Warning* firstWarning) {
    TQ3Int32 first = 0;
    const auto latest = static_cast<TQ3Warning>(q3d::take(&q3d::ErrorState::warnings, first));
    if (firstWarning != nullptr) *firstWarning = static_cast<TQ3Warning>(first);
    return latest;
}

TQ3Notice Q3Notice_Get(TQ3Notice* firstNotice) {
    TQ3Int32 first = 0;
    const auto latest = static_cast<TQ3Notice>(q3d::take(&q3d::ErrorState::notices, first));
    if (firstNotice != nullptr) *firstNotice = static_cast<TQ3Notice>(first);
    return latest;
}
