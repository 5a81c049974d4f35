// The `vask` command line: its commands, options, help and exit statuses.
//
// Exit statuses, the same for every command:
//   0         success (`vask check`: nothing wrong)
//   1         the command failed: one "vask: …" line says why (`vask check`:
//             one line per problem and a count)
//   2         the command line itself is wrong (an unknown command or option,
//             a missing or malformed argument): "vask: …" and the command's
//             usage
//   128 + N   a render stopped by signal N (130 for Ctrl-C, 143 for SIGTERM)
//             after the frame in hand: the frames that landed are whole
// Every message the program itself prints starts with "vask: ".
#pragma once

#include <ostream>

namespace vask::host {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Runs the command that `argv` names (argv[0] is the program), printing
// results to `out` and progress, warnings and failures to `err`. Returns the
// exit status.
int runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace vask::host
