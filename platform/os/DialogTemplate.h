#pragma once

#include "platform/os/Export.h"

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vask::os {

// ---------------------------------------------------------------------------
// Dialog descriptions: what a modal dialog looks like, kept as a resource of
// type "DIALOG" found by the dialog's name. The resource is text, one item a
// line, sizes in dialog units (a quarter of the font's average character
// width across, an eighth of its height down):
//
//   DIALOG ABOUTBOX 228 191
//   STYLE popup visible modalframe centered nocaption
//   FONT 8 Arial
//   LTEXT 1021 130 66 31 8 group "Version:"
//   BITMAP -1 14 10 83 87 140
//
// LTEXT is a left-aligned static text: id, x, y, width, height, optional
// "group", then its text in double quotes, where a backslash escapes the
// next character and backslash-n breaks the line. BITMAP is a static
// picture: id, x, y, width, height, and the number of the "BITMAP"
// resource it shows. Blank lines are skipped.

inline constexpr std::string_view kDialogResourceType = "DIALOG";

enum DialogStyle : unsigned {
    kDialogPopup = 0x01,
    kDialogVisible = 0x02,
    kDialogModalFrame = 0x04,
    kDialogCentered = 0x08,
    kDialogNoCaption = 0x10,
};

struct DialogControl {
    enum class Kind { Text, Picture };
    Kind kind = Kind::Text;
    int id = -1;
    int x = 0, y = 0, width = 0, height = 0;
    bool group = false;
    std::string text;   // Text
    int picture = 0;    // Picture: the "BITMAP" resource
    friend bool operator==(const DialogControl&, const DialogControl&) = default;
};

struct DialogTemplate {
    std::string name;
    int width = 0, height = 0;
    unsigned style = 0;  // DialogStyle bits
    int fontPoints = 0;
    std::string font;
    std::vector<DialogControl> controls;

    // The control with `id`, or null.
    VASK_OS_API const DialogControl* control(int id) const;
    friend bool operator==(const DialogTemplate&, const DialogTemplate&) = default;
};

// The description in `bytes`, or nullopt with the reason ("line 3: ...") in
// `why`: a line of another kind, a missing or extra field, a number that is
// not one (or outside 0 … 32767; ids from −1), an unknown style word, an
// unterminated text. A description needs its DIALOG line first.
VASK_OS_API std::optional<DialogTemplate> parseDialogTemplate(std::span<const std::byte> bytes,
                                                              std::string* why = nullptr);

VASK_OS_API std::ostream& operator<<(std::ostream& out, const DialogTemplate& dialog);

}  // namespace vask::os
