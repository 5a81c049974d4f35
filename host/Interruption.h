// Stopping a long command cleanly when the user asks (Ctrl-C, SIGTERM from a
// job scheduler), and writing files under a size limit.
//
// While an InterruptHandling lives, SIGINT and SIGTERM only note that a stop
// was asked for; the command looks at stopRequested() between frames, lets
// the frame being written land whole, removes nothing that is complete, and
// says how far it got. A second signal means "now": the process ends at once,
// after removing the temporary files that are being written (registered
// below), so nothing half-written is left either way. SIGXFSZ is ignored, so
// that a write beyond the file-size limit fails like any other write instead
// of killing the process.
#pragma once

namespace vask::host {

class InterruptHandling {
 public:
  InterruptHandling();   // installs the handlers; the previous ones come back at destruction
  ~InterruptHandling();
  InterruptHandling(const InterruptHandling&) = delete;
  InterruptHandling& operator=(const InterruptHandling&) = delete;
};

// The signal that asked to stop (SIGINT or SIGTERM), or 0.
int stopRequested() noexcept;
// Forgets a stop request (at the start of a command).
void clearStopRequest() noexcept;

// Notes a temporary file being written, for removal if the process is ended
// by a second signal; returns a slot for releaseTemporary, or -1 when every
// slot is taken (the file is then simply not removed). Paths longer than the
// slot are not noted. Thread-safe.
int registerTemporary(const char* path) noexcept;
void releaseTemporary(int slot) noexcept;

}  // namespace vask::host
