#pragma once

#include "platform/os/Desktop.h"
#include "platform/os/DialogTemplate.h"
#include "platform/os/Export.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vask::os {

// A desktop with no screen: answers come from scripts, and everything shown is
// recorded. Boxes and dialogs never block. For tests and for hosts without a
// display. Single-threaded, like every desktop.
class VASK_OS_API HeadlessDesktop final : public Desktop {
public:
    struct ShownBox {
        WindowRef owner;
        std::string text;
        std::string caption;
        unsigned style;
        bool keysPending;  // key messages were still pending when the box appeared
        int answer;        // what messageBox returned
    };

    struct ShownDialog {
        WindowRef owner;
        Module* module;
        std::string templateName;
        std::vector<DialogMessage> delivered;                    // in order, Init first
        std::vector<std::pair<int, std::string>> controlTexts;   // every setControlText, in order
        std::optional<int> result;  // endDialog's result; nullopt if the script ran out first
        // The module's description of the dialog ("DIALOG" resource of the
        // template's name), or nullopt when it has none or it is malformed.
        std::optional<DialogTemplate> layout;
    };

    HeadlessDesktop() = default;

    // --- scripts (each queue is used first in, first out) ---

    // The answer of the next box; when none is queued a box answers kButtonOk.
    void queueBoxAnswer(int button);
    // The next open-file dialog's choice (nullopt: the user cancels); when none
    // is queued the dialog is cancelled.
    void queueOpenFileAnswer(std::optional<std::string> path);
    // The messages the next dialog receives after Init; when none is queued it
    // receives Command(kButtonOk). A dialog whose procedure has not ended it
    // when its script runs out returns kDialogFailed.
    void queueDialogScript(std::vector<DialogMessage> afterInit);
    // Runs `hook` while each box or dialog is up (after a dialog's Init), as
    // the host's message loop would run other work; empty removes it.
    void setWhileModal(std::function<void()> hook);

    // The user presses `key` now: one key message becomes pending and the next
    // keyDown(key) query reports it.
    void pressKey(Key key);
    // The user holds `key` down (every query reports it) or releases it.
    void holdKey(Key key, bool down);
    // The nth keyDown(key) query from now (1 = the next one) reports `key` down.
    void keyDownOnQuery(Key key, int nth);
    // `count` more key messages become pending (typing ahead).
    void postKeyMessages(int count);

    // --- records ---

    const std::vector<ShownBox>& boxes() const { return boxes_; }
    const std::vector<ShownDialog>& dialogs() const { return dialogs_; }
    const std::vector<OpenFileRequest>& openFileRequests() const { return openFileRequests_; }
    // Every cursor set, oldest first (not including the initial Arrow).
    const std::vector<Cursor>& cursorHistory() const { return cursorHistory_; }
    Cursor cursor() const { return cursor_; }
    int pendingKeyMessages() const { return pendingKeyMessages_; }
    // How many times keyDown(key) was asked.
    int keyQueries(Key key) const;

    // Back to the state of a new desktop: scripts and records emptied.
    void reset();

    // --- Desktop ---
    int messageBox(WindowRef owner, std::string_view text, std::string_view caption,
                   unsigned style) override;
    void flushKeyboard() override;
    Cursor setCursor(Cursor cursor) override;
    bool keyDown(Key key) override;

protected:
    std::optional<std::string> showOpenFileDialog(const OpenFileRequest& request) override;
    int showModalDialog(WindowRef owner, Module* module, std::string_view templateName,
                        const DialogProc& proc) override;

private:
    struct KeyState {
        bool held = false;
        bool pressedSinceQuery = false;
        int queries = 0;
        std::vector<int> downOnQueries;  // absolute query numbers
    };

    void runWhileModal();

    std::deque<int> boxAnswers_;
    std::deque<std::optional<std::string>> openFileAnswers_;
    std::deque<std::vector<DialogMessage>> dialogScripts_;
    std::function<void()> whileModal_;
    std::map<Key, KeyState> keys_;
    int pendingKeyMessages_ = 0;
    Cursor cursor_ = Cursor::Arrow;

    std::vector<ShownBox> boxes_;
    std::vector<ShownDialog> dialogs_;
    std::vector<OpenFileRequest> openFileRequests_;
    std::vector<Cursor> cursorHistory_;
};

}  // namespace vask::os
