// Dialog descriptions: a whole description read back, and one rejection for
// each way a line can be malformed, named by its line.
#include <gtest/gtest.h>

#include <string>

#include "platform/os/DialogTemplate.h"

namespace vask::os {
namespace {

std::optional<DialogTemplate> parse(std::string_view text, std::string* why = nullptr) {
    return parseDialogTemplate(std::as_bytes(std::span(text.data(), text.size())), why);
}

TEST(DialogTemplate, ReadsEveryItem) {
    const auto d = parse("DIALOG BOX 200 100\r\n\nSTYLE popup centered\nFONT 9 Arial\n"
                         "LTEXT 7 1 2 3 4 group \"two\\nlines \\\"quoted\\\"\"\nBITMAP -1 5 6 7 8 140");
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->name, "BOX");
    EXPECT_EQ(d->style, kDialogPopup | kDialogCentered);
    EXPECT_EQ(d->fontPoints, 9);
    ASSERT_EQ(d->controls.size(), 2u);
    EXPECT_EQ(d->controls[0].text, "two\nlines \"quoted\"");
    EXPECT_TRUE(d->controls[0].group);
    EXPECT_EQ(d->controls[1].picture, 140);
    EXPECT_EQ(d->control(99), nullptr);
}

TEST(DialogTemplate, RejectsMalformedLinesNamingThem) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "no DIALOG line"},
        {"FONT 8 Arial\n", "line 1: a description starts with its DIALOG line"},
        {"DIALOG A 10 10\nDIALOG B 10 10", "line 2: a second DIALOG line"},
        {"DIALOG A 10", "line 1: DIALOG needs a name, a width and a height"},
        {"DIALOG A 0 10", "line 1: DIALOG needs a name, a width and a height"},
        {"DIALOG A 10 10\nSTYLE popup wobbly", "line 2: unknown style \"wobbly\""},
        {"DIALOG A 10 10\nFONT big Arial", "line 2: FONT needs a size in points and a name"},
        {"DIALOG A 10 10\nLTEXT 1 2 3 4 \"x\"", "line 2: LTEXT needs an id and x, y, width and height in dialog units"},
        {"DIALOG A 10 10\nLTEXT 1 2 3 4 99999 \"x\"", "line 2: LTEXT needs an id and x, y, width and height in dialog units"},
        {"DIALOG A 10 10\nLTEXT 1 2 3 4 5 x", "line 2: LTEXT ends with its text in double quotes"},
        {"DIALOG A 10 10\nLTEXT 1 2 3 4 5 \"x", "line 2: a text without its closing quote"},
        {"DIALOG A 10 10\nBITMAP 1 2 3 4 5", "line 2: BITMAP ends with the number of its picture"},
        {"DIALOG A 10 10\nBUTTON 1 2 3 4 5", "line 2: unknown item \"BUTTON\""},
    };
    for (const auto& [text, reason] : cases) {
        std::string why;
        EXPECT_FALSE(parse(text, &why)) << text;
        EXPECT_EQ(why, reason) << text;
    }
}

}  // namespace
}  // namespace vask::os
