#include "platform/q3d/core/System.h"

#include <atomic>
#include <mutex>

#include "platform/q3d/core/Errors.h"
#include "platform/q3d/core/FailPoints.h"
#include "platform/q3d/core/LargeBuffer.h"
#include "platform/q3d/core/LibraryState.h"
#include "platform/q3d/core/Object.h"
#include "platform/q3d/core/Pool.h"

namespace q3d {
namespace {

constexpr TQ3Uns32 kMajorRevision = 1;
constexpr TQ3Uns32 kMinorRevision = 6;

struct SystemState {
    std::mutex mutex;  // orders Q3Initialize and Q3Exit
    TQ3Uns32 major = kMajorRevision;
    TQ3Uns32 minor = kMinorRevision;
};

SystemState& state() { return libraryState<SystemState>(); }

}  // namespace

namespace detail {
constinit std::atomic<TQ3Uns32> gInitCount{0};
}  // namespace detail

void setReportedVersion(TQ3Uns32 major, TQ3Uns32 minor) noexcept {
    SystemState& s = state();
    std::lock_guard lock(s.mutex);
    s.major = major;
    s.minor = minor;
}

void restoreReportedVersion() noexcept { setReportedVersion(kMajorRevision, kMinorRevision); }

}  // namespace q3d

TQ3Status Q3Initialize(void) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    q3d::SystemState& s = q3d::state();
    bool nested;
    {
        std::lock_guard lock(s.mutex);
        nested = q3d::detail::gInitCount > 0;
        ++q3d::detail::gInitCount;
    }
    if (nested) q3d::postNotice(kQ3NoticeSystemAlreadyInitialized);
    return kQ3Success;
}

TQ3Status Q3Exit(void) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    q3d::SystemState& s = q3d::state();
    {
        std::lock_guard lock(s.mutex);
        if (q3d::detail::gInitCount > 0) {
            // The last exit gives the memory kept for objects and buffers
            // back to the system, so that a host that unloads its plug-ins
            // gets it back; unless objects outlive the exit (they stay
            // usable), and with them the pool that holds them.
            if (--q3d::detail::gInitCount == 0 && q3d::liveObjectCount() == 0) {
                q3d::pool::releaseAll();
                q3d::LargeBuffer::releaseKept();
            }
            return kQ3Success;
        }
    }
    q3d::postError(kQ3ErrorNotInitialized);
    return kQ3Failure;
}

TQ3Boolean Q3IsInitialized(void) {
    return q3d::detail::gInitCount.load(std::memory_order_relaxed) > 0 ? kQ3True : kQ3False;
}

TQ3Status Q3GetVersion(TQ3Uns32* majorRevision, TQ3Uns32* minorRevision) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    if (majorRevision == nullptr || minorRevision == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    q3d::SystemState& s = q3d::state();
    std::lock_guard lock(s.mutex);
    *majorRevision = s.major;
    *minorRevision = s.minor;
    return kQ3Success;
}
