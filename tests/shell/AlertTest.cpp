#include "shell/Alert.h"

#include "platform/os/HeadlessDesktop.h"

#include <gtest/gtest.h>

#include <string>

namespace vask {
namespace {

class AlertTest : public ::testing::Test {
protected:
    os::HeadlessDesktop desktop;
    os::ScopedDesktop installed{desktop};
};

TEST_F(AlertTest, CaptionFollowsTheFlags) {
    EXPECT_EQ(alert(1, 1039, "No such file or directory"), os::kButtonOk);
    EXPECT_EQ(alert(5, 1030, "InvalidMetafile"), os::kButtonOk);
    EXPECT_EQ(alert(2, 1024), os::kButtonOk);
    EXPECT_EQ(alert(3, 1024), os::kButtonOk);
    ASSERT_EQ(desktop.boxes().size(), 4u);

    const auto& boxes = desktop.boxes();
    EXPECT_EQ(boxes[0].text, "Could not open model for VASK File Object. No such file or directory.");
    EXPECT_EQ(boxes[0].caption, "VASK Alert");
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].style, os::kBoxOk);
    EXPECT_EQ(boxes[1].text, "Could not use 3DMF model file. InvalidMetafile.");
    EXPECT_EQ(boxes[1].caption, "VASK Alert");
    EXPECT_EQ(boxes[2].caption, "VASK Information");
    EXPECT_EQ(boxes[3].caption, "VASK Information");  // 2 wins over 1
}

TEST_F(AlertTest, WithoutCaptionFlagNothingIsShown) {
    EXPECT_EQ(alert(4, 1024), 4);
    EXPECT_EQ(alert(0, 1024), 0);
    EXPECT_TRUE(desktop.boxes().empty());
}

TEST_F(AlertTest, ReturnsTheAnswerAndIgnoresEarlierKeys) {
    desktop.postKeyMessages(3);
    desktop.queueBoxAnswer(os::kButtonCancel);
    EXPECT_EQ(alert(1, 1028), os::kButtonCancel);
    ASSERT_EQ(desktop.boxes().size(), 1u);
    EXPECT_FALSE(desktop.boxes()[0].keysPending);
    EXPECT_EQ(desktop.pendingKeyMessages(), 0);
}

TEST_F(AlertTest, TextIsCutTo255Characters) {
    std::string detail(400, 'd');
    alert(1, 1030, detail.c_str());
    ASSERT_EQ(desktop.boxes().size(), 1u);
    const std::string& shown = desktop.boxes()[0].text;
    EXPECT_EQ(shown.size(), 255u);
    EXPECT_EQ(shown.rfind("Could not use 3DMF model file. ddd", 0), 0u);
}

}  // namespace
}  // namespace vask
