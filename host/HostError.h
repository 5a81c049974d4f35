// The host's one exception type.
//
// Everything the host does on behalf of a user (reading an effect library,
// loading it, setting up a composition) reports failure as a HostError whose
// message names what was at fault: the file, and the offset or field inside it.
// Errors that come back from a plug-in's `main` are not exceptions: they are
// the PF_Err of a CommandResult.
#pragma once

#include <stdexcept>
#include <string>

namespace vask::host {

class HostError : public std::runtime_error {
 public:
  explicit HostError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace vask::host
