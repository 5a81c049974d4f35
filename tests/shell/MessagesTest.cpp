#include "shell/Messages.h"

#include "platform/os/SystemMessage.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace vask {
namespace {

std::string text(int32_t number) {
    char out[kMessageTextSize];
    std::memset(out, 'z', sizeof out);
    messageText(number, out);
    return out;
}

TEST(MessagesTest, NumbersWithoutTextNameThemselves) {
    EXPECT_EQ(text(-5), "OS error -5");
    EXPECT_EQ(text(-28499), "OS error -28499");
    EXPECT_EQ(text(1024), "Out of Memory");
    EXPECT_EQ(text(517), "After Effects interrupt cancel.");
    EXPECT_EQ(text(1040), "MSG(16)");  // past the last program message
    EXPECT_EQ(text(1025), "MSG(1)");   // inside the group, no text
    EXPECT_EQ(text(518), "MSG(6)");
    EXPECT_EQ(text(300), "MSG(44)");  // group 256 has no table
    EXPECT_EQ(text(773), "MSG(5)");
    EXPECT_EQ(text(0), "MSG(0)");
    EXPECT_EQ(text(4096), "");
    EXPECT_EQ(text(4097), "MSG(1)");
    EXPECT_EQ(text(2121), "MSG(73)");
    EXPECT_EQ(messageString(2110), "VASK Alert");
}

TEST(MessagesTest, InterfaceTextsFitTheParameterDefinitions) {
    // Every name and label goes into a 32-byte field with its terminator.
    const std::vector<int32_t> names = {2050, 2063, 2064, 2065, 2066, 2067, 2068, 2069, 2070,
                                        2072, 2077, 2078, 2079, 2080, 2081, 2082, 2087, 2088,
                                        2089, 2091, 2093, 2097, 2100, 2103, 2106, 2107};
    for (int32_t id : names) {
        std::string name = text(id);
        EXPECT_FALSE(name.empty()) << id;
        EXPECT_NE(name.rfind("MSG(", 0), 0u) << id << " has no text";
        EXPECT_LE(name.size(), 31u) << id;
    }
    EXPECT_EQ(text(2106), "Left/Right");
    EXPECT_EQ(text(2050), "Vask");
    EXPECT_EQ(text(2120), "Import...");
    EXPECT_EQ(text(2109), "VASK Information");

    // The popups declare 3, 4 and 5 choices.
    auto items = [](const std::string& s) {
        int n = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] != '|' && (i == 0 || s[i - 1] == '|')) ++n;
        }
        return n;
    };
    EXPECT_EQ(items(text(2071)), 3);
    EXPECT_EQ(items(text(2073)), 4);
    EXPECT_EQ(items(text(2092)), 5);
    EXPECT_EQ(text(2092), "Luminance|Red|Green|Blue|Alpha");
}

class SystemMessageTest : public ::testing::Test {
protected:
    void TearDown() override { os::testing::clearSystemMessages(); }
};

TEST_F(SystemMessageTest, StripsLineEndsAndCuts) {
    os::testing::setSystemMessage(9001, "The device is not ready.\r\n\r\n");
    EXPECT_STREQ(systemMessageText(9001), "The device is not ready.");

    os::testing::setSystemMessage(9002, std::string(300, 'w') + "\n");
    EXPECT_EQ(std::string(systemMessageText(9002)), std::string(127, 'w'));

    os::testing::setSystemMessage(9003, "\r\n");
    EXPECT_STREQ(systemMessageText(9003), "");
}

TEST_F(SystemMessageTest, UnknownCodesGiveTheirHexForm) {
    os::testing::setSystemMessage(ENOENT, std::nullopt);
    EXPECT_STREQ(systemMessageText(ENOENT), "MSG00000002");
    EXPECT_STREQ(systemMessageText(-1), "MSGFFFFFFFF");
    os::testing::clearSystemMessages();
    EXPECT_STREQ(systemMessageText(ENOENT), std::strerror(ENOENT));
}

int32_t tableSize(Q3NameTable which) {
    const Q3ErrorNameEntry* table = q3ErrorNameTable(which);
    int32_t n = 0;
    while (table[n].name != nullptr) ++n;
    return n;
}

TEST(Q3ErrorNameTest, TablesHaveTheirShape) {
    struct Run {
        int32_t first;
        int32_t count;
    };
    struct Shape {
        Q3NameTable table;
        int32_t size;
        std::vector<Run> runs;
    };
    const Shape shapes[] = {
        {Q3NameTable::Errors, 114, {{-28499, 2}, {-28489, 112}}},
        {Q3NameTable::Warnings, 39, {{-28299, 39}}},
        {Q3NameTable::Notices, 15, {{-28099, 15}}},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(static_cast<int>(shape.table));
        ASSERT_EQ(tableSize(shape.table), shape.size);
        const Q3ErrorNameEntry* table = q3ErrorNameTable(shape.table);
        int32_t i = 0;
        for (Run run : shape.runs) {
            for (int32_t k = 0; k < run.count; ++k, ++i) {
                EXPECT_EQ(table[i].code, run.first + k) << "entry " << i;
                // Every entry is found again by its code.
                EXPECT_STREQ(q3dErrorName(table[i].code), table[i].name) << "entry " << i;
            }
        }
    }
}

TEST(Q3ErrorNameTest, NamesAndDecimalFallback) {
    EXPECT_STREQ(q3dErrorName(-28499), "NoRecovery");
    EXPECT_STREQ(q3dErrorName(-28481), "kQ3ErrorNULLParameter");
    EXPECT_STREQ(q3dErrorName(-28456), "FileCancelled");
    EXPECT_STREQ(q3dErrorName(-28378), "BoundingLoopFailed");
    EXPECT_STREQ(q3dErrorName(-28299), "NoObjectSupportForDuplicateMethod");
    EXPECT_STREQ(q3dErrorName(-28261), "InvalidObjectInGroupMetafile");
    EXPECT_STREQ(q3dErrorName(-28099), "MethodNotSupported");
    EXPECT_STREQ(q3dErrorName(-28085), "FileCancelled");
    EXPECT_STREQ(q3dErrorName(-28300), "-28300");
    EXPECT_STREQ(q3dErrorName(-28490), "-28490");  // the gap after LastFatalError
    EXPECT_STREQ(q3dErrorName(0), "0");
    EXPECT_STREQ(q3dErrorName(-2147483647 - 1), "-2147483648");
}

}  // namespace
}  // namespace vask
