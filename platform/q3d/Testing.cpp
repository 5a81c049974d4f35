// The exported test seam (QD3DTesting.h).
#include "platform/q3d/QD3DTesting.h"

#include "platform/q3d/core/Boundary.h"
#include "platform/q3d/core/LargeBuffer.h"
#include "platform/q3d/core/Pool.h"

void Q3Testing_FailCall(const char* functionName, TQ3Error error, TQ3Uns32 skip) {
    if (functionName == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return;
    }
    q3d::guarded(0, [&] {
        q3d::armFailure(functionName, error, skip);
        return 0;
    });
}

void Q3Testing_FailNthCall(TQ3Error error, TQ3Uns32 skip) {
    q3d::guarded(0, [&] {
        q3d::armNthFailure(error, skip);
        return 0;
    });
}

TQ3Uns32 Q3Testing_CountedCalls(void) { return q3d::countedCalls(); }

void Q3Testing_ClearFailures(void) { q3d::clearFailures(); }

void Q3Testing_SetVersion(TQ3Uns32 majorRevision, TQ3Uns32 minorRevision) {
    q3d::setReportedVersion(majorRevision, minorRevision);
}

TQ3Uns32 Q3Testing_LiveObjectCount(void) { return q3d::liveObjectCount(); }

TQ3Uns64 Q3Testing_HeldBytes(void) { return q3d::pool::mappedBytes() + q3d::LargeBuffer::heldBytes(); }

void Q3Testing_Reset(void) {
    q3d::clearFailures();
    q3d::restoreReportedVersion();
    q3d::clearPostedCodes();
}
