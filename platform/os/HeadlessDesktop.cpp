#include "platform/os/HeadlessDesktop.h"

#include "platform/os/Resources.h"

#include <algorithm>

namespace vask::os {
namespace {

// The context of one headless dialog. It addresses its record by index: the
// procedure may open a nested dialog, which grows the record vector.
class HeadlessDialogContext final : public DialogContext {
public:
    HeadlessDialogContext(std::vector<HeadlessDesktop::ShownDialog>& dialogs, std::size_t index)
        : dialogs_(dialogs), index_(index) {}

    void setControlText(int id, std::string_view text) override {
        dialogs_[index_].controlTexts.emplace_back(id, std::string(text));
    }
    void endDialog(int result) override { dialogs_[index_].result = result; }

    bool ended() const { return dialogs_[index_].result.has_value(); }

private:
    std::vector<HeadlessDesktop::ShownDialog>& dialogs_;
    std::size_t index_;
};

}  // namespace

void HeadlessDesktop::queueBoxAnswer(int button) { boxAnswers_.push_back(button); }

void HeadlessDesktop::queueOpenFileAnswer(std::optional<std::string> path) {
    openFileAnswers_.push_back(std::move(path));
}

void HeadlessDesktop::queueDialogScript(std::vector<DialogMessage> afterInit) {
    dialogScripts_.push_back(std::move(afterInit));
}

void HeadlessDesktop::setWhileModal(std::function<void()> hook) { whileModal_ = std::move(hook); }

void HeadlessDesktop::pressKey(Key key) {
    keys_[key].pressedSinceQuery = true;
    ++pendingKeyMessages_;
}

void HeadlessDesktop::holdKey(Key key, bool down) { keys_[key].held = down; }

void HeadlessDesktop::keyDownOnQuery(Key key, int nth) {
    if (nth < 1) return;  // a query that is already past
    KeyState& state = keys_[key];
    state.downOnQueries.push_back(state.queries + nth);
}

void HeadlessDesktop::postKeyMessages(int count) {
    if (count > 0) pendingKeyMessages_ += count;
}

int HeadlessDesktop::keyQueries(Key key) const {
    auto found = keys_.find(key);
    return found == keys_.end() ? 0 : found->second.queries;
}

void HeadlessDesktop::reset() {
    boxAnswers_.clear();
    openFileAnswers_.clear();
    dialogScripts_.clear();
    whileModal_ = nullptr;
    keys_.clear();
    pendingKeyMessages_ = 0;
    cursor_ = Cursor::Arrow;
    boxes_.clear();
    dialogs_.clear();
    openFileRequests_.clear();
    cursorHistory_.clear();
}

void HeadlessDesktop::runWhileModal() {
    if (whileModal_) {
        // A copy: the hook may replace itself.
        std::function<void()> hook = whileModal_;
        hook();
    }
}

int HeadlessDesktop::messageBox(WindowRef owner, std::string_view text, std::string_view caption,
                                unsigned style) {
    int answer = kButtonOk;
    if (!boxAnswers_.empty()) {
        answer = boxAnswers_.front();
        boxAnswers_.pop_front();
    }
    boxes_.push_back({owner, std::string(text), std::string(caption), style,
                      pendingKeyMessages_ > 0, answer});
    runWhileModal();
    return answer;
}

void HeadlessDesktop::flushKeyboard() { pendingKeyMessages_ = 0; }

Cursor HeadlessDesktop::setCursor(Cursor cursor) {
    Cursor previous = cursor_;
    cursor_ = cursor;
    cursorHistory_.push_back(cursor);
    return previous;
}

bool HeadlessDesktop::keyDown(Key key) {
    KeyState& state = keys_[key];
    ++state.queries;
    const bool scripted = std::find(state.downOnQueries.begin(), state.downOnQueries.end(),
                                    state.queries) != state.downOnQueries.end();
    std::erase_if(state.downOnQueries, [&](int query) { return query <= state.queries; });
    const bool down = state.held || state.pressedSinceQuery || scripted;
    state.pressedSinceQuery = false;
    return down;
}

std::optional<std::string> HeadlessDesktop::showOpenFileDialog(const OpenFileRequest& request) {
    openFileRequests_.push_back(request);
    if (openFileAnswers_.empty()) return std::nullopt;
    std::optional<std::string> answer = std::move(openFileAnswers_.front());
    openFileAnswers_.pop_front();
    return answer;
}

int HeadlessDesktop::showModalDialog(WindowRef owner, Module* module,
                                     std::string_view templateName, const DialogProc& proc) {
    std::vector<DialogMessage> script{DialogMessage::command(kButtonOk)};
    if (!dialogScripts_.empty()) {
        script = std::move(dialogScripts_.front());
        dialogScripts_.pop_front();
    }

    const std::size_t index = dialogs_.size();
    std::optional<DialogTemplate> layout;
    if (auto bytes = findNamedResource(module, kDialogResourceType, templateName)) {
        layout = parseDialogTemplate(*bytes);
    }
    dialogs_.push_back({owner, module, std::string(templateName), {}, {}, std::nullopt, std::move(layout)});
    HeadlessDialogContext context(dialogs_, index);
    auto deliver = [&](const DialogMessage& message) {
        dialogs_[index].delivered.push_back(message);
        proc(context, message);
    };

    deliver(DialogMessage::init());
    if (!context.ended()) runWhileModal();
    for (const DialogMessage& message : script) {
        if (context.ended()) break;
        deliver(message);
    }
    return dialogs_[index].result.value_or(kDialogFailed);
}

}  // namespace vask::os
