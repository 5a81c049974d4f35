// The desktop of the command line: nothing can be clicked, so a message box
// a plug-in shows is printed (caption and text) to a stream and answered OK,
// the open-file dialog is cancelled unless the command scripted its answer,
// and modal dialogs cannot run.
#pragma once

#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/os/Desktop.h"

namespace vask::host {

class CliDesktop final : public os::Desktop {
 public:
  // `out` (stderr in `vask`) must outlive the desktop.
  explicit CliDesktop(std::ostream& out) : out_(out) {}

  int messageBox(os::WindowRef owner, std::string_view text, std::string_view caption,
                 unsigned style) override;
  void flushKeyboard() override {}
  os::Cursor setCursor(os::Cursor cursor) override;
  bool keyDown(os::Key) override { return false; }

  // The next open-file dialog chooses `path` (`vask controls --click-import`).
  void queueOpenFileAnswer(std::string path) { openFileAnswers_.push_back(std::move(path)); }

 protected:
  std::optional<std::string> showOpenFileDialog(const os::OpenFileRequest&) override;
  int showModalDialog(os::WindowRef, os::Module*, std::string_view, const os::DialogProc&) override {
    return os::kDialogFailed;
  }

 private:
  std::ostream& out_;
  std::deque<std::string> openFileAnswers_;
  os::Cursor cursor_ = os::Cursor::Arrow;
};

}  // namespace vask::host
