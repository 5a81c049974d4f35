#include "shell/Alert.h"

#include "shell/Messages.h"

#include "platform/os/Desktop.h"

#include <cstdarg>
#include <cstdio>

namespace vask {

int alert(int flags, int32_t number, ...) {
    char pattern[kMessageTextSize];
    messageText(number, pattern);

    char text[256];
    va_list args;
    va_start(args, number);
    // The message table's texts are the format: fixed data of this library.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    int written = std::vsnprintf(text, sizeof text, pattern, args);
#pragma GCC diagnostic pop
    va_end(args);
    if (written < 0) text[0] = '\0';

    os::Desktop& desktop = os::desktop();
    desktop.flushKeyboard();

    int32_t caption;
    if (flags & kAlertInformation) caption = msg::kInformationCaption;
    else if (flags & kAlertWarning) caption = msg::kAlertCaption;
    else return flags;

    char captionText[kMessageTextSize];
    messageText(caption, captionText);
    return desktop.messageBox(nullptr, text, captionText, os::kBoxOk);
}

}  // namespace vask
