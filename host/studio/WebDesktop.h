// The studio's desktop: what a plug-in shows (a message box, the open-file
// dialog, a modal dialog such as the About box, the wait cursor) appears in
// the page, and the page's answers and key presses come back.
//
// Two sides. The host thread calls the os::Desktop operations, which block
// until the page answers (a box up in the page holds the host thread as a
// modal box holds a desktop program's). The server's threads read what is
// shown (modal(), cursor()) and deliver answers and keys; they never block
// on the host thread. Every change of what is shown bumps changes() and calls
// the change callback, so that waiting requests can report it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "host/studio/ProjectFolder.h"
#include "platform/os/Desktop.h"

namespace vask::host {

class WebDesktop final : public os::Desktop {
 public:
  enum class ModalKind { Alert, OpenFile, Dialog };

  // What the page shows over everything else until it is answered.
  struct Modal {
    uint64_t id = 0;  // new for every box, dialog and picker
    ModalKind kind = ModalKind::Alert;
    std::string caption, text;             // Alert
    std::vector<os::FileFilter> filters;   // OpenFile
    int filterIndex = 1;                   // OpenFile: 1-based, the one shown first
    std::vector<std::byte> picture;        // Dialog: the dialog drawn, PNG
    int width = 0, height = 0;             // Dialog: its size in pixels
  };

  // The open-file dialog chooses among the files of `folder` only.
  explicit WebDesktop(const ProjectFolder& folder) : folder_(folder) {}

  // Called (from any thread, with no lock held) after every change of what
  // is shown. Set before the host thread starts.
  void setChangeCallback(std::function<void()> callback) { onChange_ = std::move(callback); }

  // ---- the page's side (any thread) ----
  std::optional<Modal> modal() const;
  os::Cursor cursor() const;
  uint64_t changes() const;
  // Each returns an empty string when taken, else why the answer was refused:
  // no modal `id` of that kind is up, or the file is not one of the folder's.
  std::string answerAlert(uint64_t id);
  // `relative`: the chosen file, relative to the folder; nullopt cancels.
  std::string answerOpenFile(uint64_t id, const std::optional<std::string>& relative);
  // A click on the dialog's surface or a command (1: OK, also Enter).
  std::string sendDialogMessage(uint64_t id, const os::DialogMessage& message);
  // The user pressed `key` in the page.
  void pressKey(os::Key key);
  // Ends every box, dialog and picker up now or shown later at once (an
  // alert answers OK, a picker cancels, a dialog fails), so that the host
  // thread can finish when the studio stops.
  void close();

  // ---- os::Desktop (the host thread) ----
  int messageBox(os::WindowRef owner, std::string_view text, std::string_view caption,
                 unsigned style) override;
  void flushKeyboard() override;
  os::Cursor setCursor(os::Cursor cursor) override;
  bool keyDown(os::Key key) override;

 protected:
  std::optional<std::string> showOpenFileDialog(const os::OpenFileRequest& request) override;
  int showModalDialog(os::WindowRef owner, os::Module* module, std::string_view templateName,
                      const os::DialogProc& proc) override;

 private:
  struct Reply {
    std::optional<std::string> file;  // OpenFile: the absolute path chosen
    std::optional<os::DialogMessage> message;
  };
  // Shows `modal` and waits for its reply; nullopt when closed.
  std::optional<Reply> show(Modal modal);
  void changed();

  const ProjectFolder& folder_;
  std::function<void()> onChange_;
  mutable std::mutex mutex_;
  std::condition_variable answered_;
  std::optional<Modal> modal_;
  std::optional<Reply> reply_;
  uint64_t nextId_ = 1;
  uint64_t changes_ = 0;
  os::Cursor cursor_ = os::Cursor::Arrow;
  bool escapePressed_ = false;
  bool closed_ = false;
};

}  // namespace vask::host
