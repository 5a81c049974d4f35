#include "platform/os/SystemMessage.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace os = vask::os;

TEST(SystemMessage, KnownCodesHaveTextUnknownCodesHaveNone) {
    EXPECT_EQ(os::systemMessage(ENOENT), "No such file or directory");
    EXPECT_TRUE(os::systemMessage(EACCES).has_value());
    for (int code : {-1, -28085, 4095, 99999}) {
        EXPECT_EQ(os::systemMessage(code), std::nullopt) << "code " << code;
    }
}

TEST(SystemMessage, TestTextsReplaceTheSystemsUntilCleared) {
    os::testing::setSystemMessage(1039, "Model file is locked.\r\n");
    os::testing::setSystemMessage(ENOENT, std::nullopt);
    EXPECT_EQ(os::systemMessage(1039), "Model file is locked.\r\n");
    EXPECT_EQ(os::systemMessage(ENOENT), std::nullopt);

    os::testing::clearSystemMessages();
    EXPECT_EQ(os::systemMessage(1039), std::nullopt);
    EXPECT_EQ(os::systemMessage(ENOENT), "No such file or directory");
}
