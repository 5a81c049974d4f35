// Alert boxes: how meshfile reports an error that must not end the host
// command (a model that cannot be reloaded or imported).
#pragma once

#include <cstdint>

namespace vask {

// Alert flags. Only these two values choose a caption; the others are free
// for the caller and change nothing.
enum AlertFlags : int {
    kAlertWarning = 1,      // caption "VASK Alert" (message 2110)
    kAlertInformation = 2,  // caption "VASK Information" (message 2109); wins over 1
};

// Formats the text of message `number` with the further printf-style
// arguments (cut to 255 characters), removes every pending key message so a
// key pressed earlier cannot answer the box, and shows a modal message box
// with no owner window, that text, the caption chosen by `flags` and one OK
// button, through the installed os::desktop(). Returns the box's answer.
// With neither flag value present it shows nothing and returns `flags` (the
// pending keys are still removed).
//
// The arguments must match the conversions of the message text (1030 and
// 1039 take one C string). [any call; modal: the host's loop runs meanwhile]
int alert(int flags, int32_t number, ...);

}  // namespace vask
