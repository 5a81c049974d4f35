#pragma once

#include "platform/os/Export.h"

#include <optional>
#include <string>

namespace vask::os {

// The system's text for an errno code, e.g. "No such file or directory" for
// ENOENT, or nullopt when the system has no text for the code (negative codes,
// codes past the last errno value). The text is returned as the system gives
// it; a caller that must fit it into a fixed buffer or strip line ends does so
// itself. Thread-safe.
VASK_OS_API std::optional<std::string> systemMessage(int code);

namespace testing {

// From now on systemMessage(code) returns `text` (nullopt: "no text"), so that
// callers can be tested with texts the system never gives, such as one ending
// in "\r\n", or with a known code that has no text.
VASK_OS_API void setSystemMessage(int code, std::optional<std::string> text);

// Removes every text set by setSystemMessage.
VASK_OS_API void clearSystemMessages();

}  // namespace testing
}  // namespace vask::os
