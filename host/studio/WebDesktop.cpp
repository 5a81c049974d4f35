#include "host/studio/WebDesktop.h"

#include <algorithm>
#include <map>
#include <sstream>
#include <utility>

#include "host/PngImage.h"
#include "platform/os/Canvas.h"
#include "platform/os/DialogTemplate.h"
#include "platform/os/Resources.h"
#include "scene/image/OffscreenImage.h"

namespace vask::host {
namespace {

// Dialog units to pixels for the templates' 8-point font: a quarter of an
// average character's width across, an eighth of its height down.
constexpr double kUnitX = 1.5, kUnitY = 1.625;
constexpr int kDialogTextSize = 11;
constexpr os::Pixel kDialogFace{255, 240, 240, 240};
constexpr os::Pixel kDialogEdge{255, 110, 110, 110};

int px(int units, double scale) { return static_cast<int>(units * scale + 0.5); }

// The dialog as a desktop would draw it, with the texts it holds now.
std::vector<std::byte> drawDialog(const os::DialogTemplate& layout, os::Module* module,
                                  const std::map<int, std::string>& texts, int& width, int& height) {
  width = std::max(1, px(layout.width, kUnitX));
  height = std::max(1, px(layout.height, kUnitY));
  os::Canvas canvas(width, height, kDialogFace);
  canvas.frameRect(canvas.bounds(), kDialogEdge);
  for (const os::DialogControl& c : layout.controls) {
    const os::Point at{px(c.x, kUnitX), px(c.y, kUnitY)};
    if (c.kind == os::DialogControl::Kind::Picture) {
      OffscreenImage picture;
      try {
        if (picture.loadBmpResource(module, c.picture, "BITMAP", BmpRules::Desktop) == kBmpOk)
          picture.drawTo(canvas, {0, 0, picture.width(), picture.height()}, at);
      } catch (...) {
        // A picture that cannot be had leaves its place empty, as on a desktop.
      }
      continue;
    }
    const auto text = texts.find(c.id);
    std::istringstream lines(text != texts.end() ? text->second : c.text);
    const int ascent = os::measureText("Ag", kDialogTextSize).ascent;
    int y = at.y + ascent;
    for (std::string line; std::getline(lines, line); y += kDialogTextSize + 4)
      canvas.drawText(line, {at.x, y}, kDialogTextSize, os::kBlack);
  }
  World w(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const os::Pixel p = canvas.pixel(x, y);
      w.at(x, y) = PF_Pixel{255, p.red, p.green, p.blue};
    }
  return encodePng(w);
}

class RecordingContext final : public os::DialogContext {
 public:
  explicit RecordingContext(std::map<int, std::string>& texts) : texts_(texts) {}
  void setControlText(int id, std::string_view text) override { texts_[id] = std::string(text); }
  void endDialog(int result) override { result_ = result; }
  std::optional<int> result() const { return result_; }

 private:
  std::map<int, std::string>& texts_;
  std::optional<int> result_;
};

}  // namespace

void WebDesktop::changed() {
  if (onChange_) onChange_();
}

std::optional<WebDesktop::Modal> WebDesktop::modal() const {
  std::lock_guard lock(mutex_);
  return modal_;
}

os::Cursor WebDesktop::cursor() const {
  std::lock_guard lock(mutex_);
  return cursor_;
}

uint64_t WebDesktop::changes() const {
  std::lock_guard lock(mutex_);
  return changes_;
}

std::optional<WebDesktop::Reply> WebDesktop::show(Modal modal) {
  std::unique_lock lock(mutex_);
  if (closed_) return std::nullopt;
  modal.id = nextId_++;
  modal_ = std::move(modal);
  reply_.reset();
  ++changes_;
  lock.unlock();
  changed();
  lock.lock();
  answered_.wait(lock, [&] { return reply_.has_value() || closed_; });
  std::optional<Reply> reply = std::exchange(reply_, std::nullopt);
  modal_.reset();
  ++changes_;
  lock.unlock();
  changed();
  return reply;
}

std::string WebDesktop::answerAlert(uint64_t id) {
  std::lock_guard lock(mutex_);
  if (!modal_ || modal_->id != id || modal_->kind != ModalKind::Alert || reply_) return "no such message box is up";
  reply_ = Reply{};
  answered_.notify_all();
  return {};
}

std::string WebDesktop::answerOpenFile(uint64_t id, const std::optional<std::string>& relative) {
  std::optional<std::string> chosen;
  if (relative) {
    try {
      chosen = folder_.file(*relative).string();
    } catch (const std::exception& e) {
      return e.what();
    }
  }
  std::lock_guard lock(mutex_);
  if (!modal_ || modal_->id != id || modal_->kind != ModalKind::OpenFile || reply_) return "no such file dialog is up";
  reply_ = Reply{chosen, std::nullopt};
  answered_.notify_all();
  return {};
}

std::string WebDesktop::sendDialogMessage(uint64_t id, const os::DialogMessage& message) {
  std::lock_guard lock(mutex_);
  if (!modal_ || modal_->id != id || modal_->kind != ModalKind::Dialog || reply_) return "no such dialog is up";
  reply_ = Reply{std::nullopt, message};
  answered_.notify_all();
  return {};
}

void WebDesktop::pressKey(os::Key key) {
  std::lock_guard lock(mutex_);
  if (key == os::Key::Escape) escapePressed_ = true;
}

void WebDesktop::close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    answered_.notify_all();
  }
  changed();
}

int WebDesktop::messageBox(os::WindowRef, std::string_view text, std::string_view caption, unsigned) {
  Modal m;
  m.kind = ModalKind::Alert;
  m.text = std::string(text);
  m.caption = std::string(caption);
  show(std::move(m));
  return os::kButtonOk;
}

void WebDesktop::flushKeyboard() {
  std::lock_guard lock(mutex_);
  escapePressed_ = false;
}

os::Cursor WebDesktop::setCursor(os::Cursor cursor) {
  os::Cursor before;
  {
    std::lock_guard lock(mutex_);
    before = std::exchange(cursor_, cursor);
    if (before != cursor) ++changes_;
  }
  if (before != cursor) changed();
  return before;
}

bool WebDesktop::keyDown(os::Key key) {
  std::lock_guard lock(mutex_);
  if (key != os::Key::Escape) return false;
  return std::exchange(escapePressed_, false);
}

std::optional<std::string> WebDesktop::showOpenFileDialog(const os::OpenFileRequest& request) {
  Modal m;
  m.kind = ModalKind::OpenFile;
  m.filters = request.filters;
  m.filterIndex = request.filterIndex;
  auto reply = show(std::move(m));
  if (!reply) return std::nullopt;
  return reply->file;
}

int WebDesktop::showModalDialog(os::WindowRef, os::Module* module, std::string_view templateName,
                                const os::DialogProc& proc) {
  const auto bytes = os::findNamedResource(module, os::kDialogResourceType, templateName);
  if (!bytes) return os::kDialogFailed;
  const auto layout = os::parseDialogTemplate(*bytes);
  if (!layout) return os::kDialogFailed;
  std::map<int, std::string> texts;
  RecordingContext context(texts);
  proc(context, os::DialogMessage::init());
  while (!context.result()) {
    Modal m;
    m.kind = ModalKind::Dialog;
    m.caption = layout->name;
    m.picture = drawDialog(*layout, module, texts, m.width, m.height);
    auto reply = show(std::move(m));
    if (!reply || !reply->message) return os::kDialogFailed;
    proc(context, *reply->message);
  }
  return *context.result();
}

}  // namespace vask::host
