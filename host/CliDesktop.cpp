#include "host/CliDesktop.h"

#include <utility>

namespace vask::host {

int CliDesktop::messageBox(os::WindowRef, std::string_view text, std::string_view caption,
                           unsigned) {
  out_ << "vask: " << (caption.empty() ? "message" : caption) << ": " << text << "\n";
  out_.flush();
  return os::kButtonOk;
}

std::optional<std::string> CliDesktop::showOpenFileDialog(const os::OpenFileRequest&) {
  if (openFileAnswers_.empty()) return std::nullopt;
  std::string path = std::move(openFileAnswers_.front());
  openFileAnswers_.pop_front();
  return path;
}

os::Cursor CliDesktop::setCursor(os::Cursor cursor) { return std::exchange(cursor_, cursor); }

}  // namespace vask::host
