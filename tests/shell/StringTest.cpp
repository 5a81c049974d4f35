#include "shell/String.h"

#include "shell/ErrData.h"
#include "platform/os/LocalHeap.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace vask {
namespace {

class StringTest : public ::testing::Test {
protected:
    void SetUp() override { live = os::testing::liveAllocations(); }
    void TearDown() override { os::testing::failAllocations(0, 0); }
    std::size_t allocated() const { return os::testing::liveAllocations() - live; }
    std::size_t live = 0;
};

int64_t estimate(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int64_t n = String::estimateFormatLength(format, args);
    va_end(args);
    return n;
}

TEST_F(StringTest, EmptyStringsShareTheEmptyBlockAndAllocateNothing) {
    {
        String a;
        String b(nullptr);
        String c("");
        String d(a);
        for (const String* s : {&a, &b, &c, &d}) {
            EXPECT_TRUE(s->usesEmptyBlock());
            EXPECT_EQ(s->shareCount(), -1);
            EXPECT_STREQ(s->characters(), "");
        }
        a = c;
        a.empty();
        EXPECT_EQ(allocated(), 0u);
    }
    String e;  // the empty block survived every destructor above
    EXPECT_EQ(e.shareCount(), -1);
    EXPECT_EQ(e.length(), 0);
}

TEST_F(StringTest, TextGetsABlockOfExactlyItsLength) {
    String s("Left/Right");
    EXPECT_EQ(s, "Left/Right");
    EXPECT_EQ(s.length(), 10);
    EXPECT_EQ(s.capacity(), 10);
    EXPECT_EQ(s.shareCount(), 1);
    EXPECT_EQ(allocated(), 1u);
    s.empty();
    EXPECT_TRUE(s.usesEmptyBlock());
    EXPECT_EQ(allocated(), 0u);
}

TEST_F(StringTest, CopiesShareUntilOneWrites) {
    String a("model.3dmf");
    String b = a;
    EXPECT_TRUE(b.sharesBlockWith(a));
    EXPECT_EQ(a.shareCount(), 2);
    EXPECT_EQ(allocated(), 1u);

    // Writing through a buffer gives the writer its own block.
    char* buffer = b.getBuffer(20);
    buffer[0] = 'M';
    b.releaseBuffer();
    EXPECT_EQ(b, "Model.3dmf");
    EXPECT_EQ(a, "model.3dmf");
    EXPECT_EQ(a.shareCount(), 1);
    EXPECT_EQ(b.shareCount(), 1);

    // So does assigning text.
    String c = a;
    c = "other";
    EXPECT_EQ(a, "model.3dmf");
    EXPECT_EQ(a.shareCount(), 1);

    // Assigning an empty string to one copy leaves the other alone.
    String d = a;
    d = String();
    EXPECT_TRUE(d.isEmpty());
    EXPECT_EQ(a, "model.3dmf");
    EXPECT_EQ(a.shareCount(), 1);
}

TEST_F(StringTest, AssigningToItselfOrASharerChangesNothing) {
    String a("abc");
    String b = a;
    const String& self = a;
    a = self;
    a = b;
    b = a;
    EXPECT_EQ(a.shareCount(), 2);
    EXPECT_EQ(a, "abc");
    EXPECT_EQ(allocated(), 1u);

    String moved = std::move(a);
    EXPECT_TRUE(a.usesEmptyBlock());  // NOLINT: a moved-from String is empty by contract
    EXPECT_TRUE(moved.sharesBlockWith(b));
    EXPECT_EQ(b.shareCount(), 2);
    b = std::move(moved);  // the same block: b keeps it, one reference less
    EXPECT_EQ(b.shareCount(), 1);
    EXPECT_EQ(b, "abc");
}

TEST_F(StringTest, AssignReusesAPrivateBlockAndHandlesOverlap) {
    String s("0123456789");
    const char* block = s.characters();
    s = "abc";
    EXPECT_EQ(s.characters(), block);
    EXPECT_EQ(s.capacity(), 10);
    EXPECT_EQ(s, "abc");

    s = "0123456789";
    s = s.characters() + 4;  // source inside the block
    EXPECT_EQ(s, "456789");

    String t("shared text");
    String keep = t;
    t = t.characters() + 7;  // source inside a shared block that t lets go
    EXPECT_EQ(t, "text");
    EXPECT_EQ(keep, "shared text");

    String u("xyz");
    u.assign("hello", 4);
    EXPECT_EQ(u, "hell");
    EXPECT_EQ(u.capacity(), 4);
}

TEST_F(StringTest, ReleaseBufferMeasuresWithinTheBlock) {
    String s;
    char* buffer = s.getBuffer(8);
    EXPECT_FALSE(s.usesEmptyBlock());
    std::snprintf(buffer, 9, "%s", "hi");
    s.releaseBuffer(-1);
    EXPECT_EQ(s, "hi");
    EXPECT_EQ(s.capacity(), 8);

    // Filled to the brim without a terminator, or a length that overstates.
    buffer = s.getBuffer(8);
    std::memset(buffer, 'x', 8);
    s.releaseBuffer(-1);
    EXPECT_EQ(s.length(), 8);
    s.getBuffer(8);
    s.releaseBuffer(1000);
    EXPECT_EQ(s.length(), 8);
    EXPECT_EQ(s.characters()[8], '\0');

    // The buffer keeps the text; a smaller minimum keeps the block.
    const char* block = s.characters();
    buffer = s.getBuffer(2);
    EXPECT_EQ(buffer, block);
    EXPECT_EQ(std::string(buffer), "xxxxxxxx");
    s.releaseBuffer(3);
    EXPECT_EQ(s, "xxx");
}

TEST_F(StringTest, AllocationFailureKeepsThePreviousText) {
    String s("short");
    String sharer = s;
    os::testing::failAllocations(0, 1);
    EXPECT_THROW(s = "a much longer text", ErrData);
    EXPECT_EQ(s, "short");
    EXPECT_TRUE(s.sharesBlockWith(sharer));

    os::testing::failAllocations(0, 1);
    try {
        s.format("%d", 12);
        FAIL() << "format allocated on an exhausted heap";
    } catch (const ErrData& e) {
        EXPECT_EQ(e, ErrData::host(1024));
    }
    EXPECT_EQ(s, "short");
}

TEST_F(StringTest, FromMessageNumber) {
    EXPECT_EQ(String(2106), "Left/Right");
    EXPECT_EQ(String(1024), "Out of Memory");
    EXPECT_EQ(String(1040), "MSG(16)");
    EXPECT_TRUE(String(4096).isEmpty());
}

TEST_F(StringTest, FormatSizesTheBlockFromTheEstimate) {
    String version;
    version.format("%d.%d", 1, 0);
    EXPECT_EQ(version, "1.0");
    EXPECT_EQ(version.length(), 3);
    EXPECT_EQ(version.capacity(), 65);  // 1 + 32 + 32

    std::string long300(300, 'q');
    String s;
    s.format("%s", long300.c_str());
    EXPECT_EQ(s.view(), long300);

    s.format("%d.%d%c%d", 1, 0, 'a', 7);
    EXPECT_EQ(s, "1.0a7");
}

TEST_F(StringTest, EstimateFollowsEachConversion) {
    EXPECT_EQ(estimate("abc%%"), 4);
    EXPECT_EQ(estimate("%#x", 255), 34);
    EXPECT_EQ(estimate("%s", ""), 1);
    EXPECT_EQ(estimate("%5s", "ab"), 5);
    EXPECT_EQ(estimate("%.2s", "abcdef"), 2);
    EXPECT_EQ(estimate("%s", static_cast<const char*>(nullptr)), 6);
    EXPECT_EQ(estimate("%c", 'x'), 2);
    EXPECT_EQ(estimate("%10c", 'x'), 10);
    EXPECT_EQ(estimate("%*d", 40, 1), 40);
    EXPECT_EQ(estimate("%-*d", -50, 1), 50);
    EXPECT_EQ(estimate("%20.30d", 1), 50);
    EXPECT_EQ(estimate("%.*f", 200, 1.5), 200);
    EXPECT_EQ(estimate("%g", 1.5), 128);
    EXPECT_EQ(estimate("%p", nullptr), 32);
    int count = 0;
    EXPECT_EQ(estimate("ab%n", &count), 2);
}

TEST_F(StringTest, FormatTakesEveryArgumentWithItsType) {
    // Each case puts a string after the conversion under test: a width,
    // precision or size taken wrongly would misread the pointer.
    String s;
    s.format("%*d|%.*s|%s", 5, 7, 2, "abcdef", "end");
    EXPECT_EQ(s, "    7|ab|end");
    s.format("%ld %lld %zu %hhd %s", 1L << 40, 3LL, std::size_t{4}, 300, "end");
    EXPECT_EQ(s, "1099511627776 3 4 44 end");
    s.format("%.1f %.1Lf %lc %s", 2.5, 3.5L, static_cast<wint_t>(L'w'), "end");
    EXPECT_EQ(s, "2.5 3.5 w end");
    s.format("%F %s", 1.0, "end");
    EXPECT_EQ(s, "1.000000 end");
}

TEST_F(StringTest, FormatNeverCutsOrOverrunsAShortEstimate) {
    char expected[512];
    std::snprintf(expected, sizeof expected, "%f", 1e300);
    ASSERT_GT(std::strlen(expected), 128u);
    String s;
    s.format("%f", 1e300);
    EXPECT_EQ(s, expected);

    // "%.3s" may take an array without a terminator.
    const char raw[3] = {'a', 'b', 'c'};
    s.format("%.3s!", raw);
    EXPECT_EQ(s, "abc!");
}

TEST_F(StringTest, FormatArgumentsMayPointIntoTheTarget) {
    String s("abc");
    s.format("%s-%s", s.characters(), s.characters());
    EXPECT_EQ(s, "abc-abc");
}

}  // namespace
}  // namespace vask
