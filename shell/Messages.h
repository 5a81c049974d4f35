// The message table and the text lookups for numbers and codes.
//
// Every user-visible text is found by number. A message number is a group
// plus an index below 256 (group = number with the low eight bits cleared):
//   512  host error texts        (512 … 517)
//   1024 program messages        (1024 … 1039, some without text)
//   2048 user-interface texts    (parameter names, labels, choices, captions)
//   4096 one entry, the empty text
// The table is fixed data compiled into each plug-in.
//
// All functions are for the host's one thread: the shared buffers below are
// process-wide and valid until the next call of the same function.
#pragma once

#include "shell/String.h"

#include <cstddef>
#include <cstdint>

namespace vask {

inline constexpr std::size_t kMessageTextSize = 260;

// Message numbers of the user-interface texts that the shell itself names.
namespace msg {
inline constexpr int32_t kVask = 2050;  // the third rotation angle's name
inline constexpr int32_t kXPosition = 2063;
inline constexpr int32_t kYPosition = 2064;
inline constexpr int32_t kZPosition = 2065;
inline constexpr int32_t kIntensity = 2066;
inline constexpr int32_t kColor = 2067;
inline constexpr int32_t kHotAngle = 2068;
inline constexpr int32_t kOuterAngle = 2069;
inline constexpr int32_t kAttenuation = 2070;
inline constexpr int32_t kAttenuationChoices = 2071;  // "None|Inv Dist|Inv Dist Sq"
inline constexpr int32_t kFallOff = 2072;
inline constexpr int32_t kFallOffChoices = 2073;  // "None|Linear|Exp|Cos"
inline constexpr int32_t kXTranslation = 2077;
inline constexpr int32_t kYTranslation = 2078;
inline constexpr int32_t kZTranslation = 2079;
inline constexpr int32_t kXScale = 2080;
inline constexpr int32_t kYScale = 2081;
inline constexpr int32_t kZScale = 2082;
inline constexpr int32_t kSmooth = 2087;
inline constexpr int32_t kTexture = 2088;
inline constexpr int32_t kHeightField = 2089;
inline constexpr int32_t kHeightFrom = 2091;
inline constexpr int32_t kHeightFromChoices = 2092;  // "Luminance|Red|Green|Blue|Alpha"
inline constexpr int32_t kInvert = 2093;
inline constexpr int32_t kVisible = 2097;
inline constexpr int32_t kModel = 2100;
inline constexpr int32_t kManipulator = 2103;
inline constexpr int32_t kLeftRight = 2106;
inline constexpr int32_t kUpDown = 2107;
inline constexpr int32_t kInformationCaption = 2109;  // "VASK Information"
inline constexpr int32_t kAlertCaption = 2110;        // "VASK Alert"
inline constexpr int32_t kImportButton = 2120;        // "Import..."
}  // namespace msg

// Writes the text for `number` into `out` (always zero-terminated):
//   - a negative number: "OS error <number>";
//   - a number whose group has a table entry with a text: that text;
//   - anything else: "MSG(<index>)" with the low eight bits only, so 773
//     gives "MSG(5)".
// Texts may hold printf conversions ("%s"): callers that pass arguments
// format with them (String::format, alert).
void messageText(int32_t number, char (&out)[kMessageTextSize]);

// messageText as a String (the "string by id"). Throws ErrData 1024 only.
String messageString(int32_t number);

// The system's text for an error code (an errno value here), with every
// trailing CR and LF removed and cut to 127 characters; "MSG%08X" with the
// code when the system has no text. Returns a buffer shared by all calls.
const char* systemMessageText(int32_t code);

// The QuickDraw 3D name of an error, warning or notice code ("FileCancelled"
// for -28456 and for -28085), or the code in decimal in a shared buffer when
// no table holds it. The names are static; the decimal buffer is valid until
// the next call.
const char* q3dErrorName(int32_t code);

// The error-name tables, exposed so tests can check their shape. Each is in
// ascending code order and ends with an entry whose name is null.
struct Q3ErrorNameEntry {
    int32_t code;
    const char* name;
};
enum class Q3NameTable { Errors, Warnings, Notices };
const Q3ErrorNameEntry* q3ErrorNameTable(Q3NameTable which);

}  // namespace vask
