// Shared helpers of the libvask_q3d tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/q3d/QD3D.h"
#include "platform/q3d/QD3DErrors.h"
#include "platform/q3d/QD3DTesting.h"

namespace q3dtest {

struct Disposer {
    void operator()(TQ3Object object) const { Q3Object_Dispose(object); }
};
// Owns one reference, like the callers of the library do.
using Ref = std::unique_ptr<OpaqueTQ3Object, Disposer>;

// Each test starts initialised, with a clean seam and no pending codes, and
// must leave as many live objects as it found.
class Q3dTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Q3Initialize(), kQ3Success);
        Q3Testing_Reset();
        liveAtStart_ = Q3Testing_LiveObjectCount();
    }
    void TearDown() override {
        Q3Testing_Reset();
        EXPECT_EQ(Q3Exit(), kQ3Success);
        EXPECT_EQ(Q3Testing_LiveObjectCount(), liveAtStart_) << "objects leaked or freed twice";
    }
    TQ3Uns32 liveAtStart_ = 0;
};

inline TQ3Uns32 refCount(TQ3Object object) { return Q3Shared_GetReferenceCount(object); }

}  // namespace q3dtest
