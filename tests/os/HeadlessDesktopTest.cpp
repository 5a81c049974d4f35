#include "platform/os/Desktop.h"
#include "platform/os/HeadlessDesktop.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace os = vask::os;
using os::DialogMessage;
using os::MouseButton;

namespace {

os::WindowRef fakeWindow() { return reinterpret_cast<os::WindowRef>(std::uintptr_t{0x1000}); }

// A dialog procedure like an About box's: fills in a control at Init, closes on
// OK or on any mouse button.
bool aboutProc(os::DialogContext& dialog, const DialogMessage& message) {
    switch (message.kind) {
        case DialogMessage::Kind::Init:
            dialog.setControlText(3003, "1.0");
            return true;
        case DialogMessage::Kind::Command:
            if (message.commandId != os::kButtonOk) return false;
            dialog.endDialog(1);
            return true;
        case DialogMessage::Kind::MouseDown:
            dialog.endDialog(1);
            return true;
    }
    return false;
}

}  // namespace

TEST(HeadlessDesktop, BoxesAnswerFromTheQueueAndRecordWhetherKeysWerePending) {
    os::HeadlessDesktop desktop;
    desktop.queueBoxAnswer(os::kButtonCancel);

    EXPECT_EQ(desktop.messageBox(fakeWindow(), "first", "VASK Alert", os::kBoxOk), os::kButtonCancel);

    // An alert flushes the keyboard first, so a key pressed before the box
    // cannot answer it; without the flush the key is still pending.
    desktop.pressKey(os::Key::Escape);
    desktop.flushKeyboard();
    EXPECT_EQ(desktop.pendingKeyMessages(), 0);
    EXPECT_EQ(desktop.messageBox(nullptr, "second", "VASK Information", 0x30), os::kButtonOk);
    desktop.postKeyMessages(2);
    desktop.messageBox(nullptr, "third", "VASK Alert", os::kBoxOk);

    const auto& boxes = desktop.boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].owner, fakeWindow());
    EXPECT_EQ(boxes[0].text, "first");
    EXPECT_EQ(boxes[0].answer, os::kButtonCancel);
    EXPECT_EQ(boxes[1].caption, "VASK Information");
    EXPECT_EQ(boxes[1].style, 0x30u);
    EXPECT_FALSE(boxes[1].keysPending);
    EXPECT_TRUE(boxes[2].keysPending);
}

TEST(HeadlessDesktop, OpenFileAnswersAndTheBufferLimit) {
    os::HeadlessDesktop desktop;
    os::OpenFileRequest request;
    request.owner = fakeWindow();
    request.filters = {{"3DMF (.3dmf;.3dm;.b3d;.3mf)", "*.3dmf;*.3dm;*.b3d;*.3mf"}, {"All (*.*)", "*.*"}};
    request.flags = os::kOpenReadOnly | os::kOpenHideReadOnly | os::kOpenPathMustExist;

    EXPECT_EQ(desktop.chooseOpenFile(request), std::nullopt) << "no answer queued: cancelled";

    const std::string fits = "/" + std::string(510, 'm');   // 511 bytes + zero = 512
    const std::string tooLong = fits + "x";
    desktop.queueOpenFileAnswer("/models/teapot.3dmf");
    desktop.queueOpenFileAnswer(std::nullopt);
    desktop.queueOpenFileAnswer(fits);
    desktop.queueOpenFileAnswer(tooLong);
    desktop.queueOpenFileAnswer("");
    desktop.queueOpenFileAnswer(std::string("/models/a\0b.3dmf", 16));

    EXPECT_EQ(desktop.chooseOpenFile(request), "/models/teapot.3dmf");
    EXPECT_EQ(desktop.chooseOpenFile(request), std::nullopt);
    EXPECT_EQ(desktop.chooseOpenFile(request), fits);
    EXPECT_EQ(desktop.chooseOpenFile(request), std::nullopt) << "longer than the buffer";
    EXPECT_EQ(desktop.chooseOpenFile(request), std::nullopt) << "empty path";
    EXPECT_EQ(desktop.chooseOpenFile(request), std::nullopt) << "path with a zero byte";

    ASSERT_EQ(desktop.openFileRequests().size(), 7u);
    EXPECT_EQ(desktop.openFileRequests()[0], request);
}

TEST(HeadlessDesktop, DialogScriptsDriveTheProcedureUntilItEnds) {
    os::HeadlessDesktop desktop;
    os::Module* module = reinterpret_cast<os::Module*>(std::uintptr_t{0x2000});

    // Default script: Enter / OK.
    EXPECT_EQ(desktop.runModalDialog(fakeWindow(), module, "ABOUTBOX", aboutProc), 1);

    // Unhandled command, then a right click closes it; the rest is never delivered.
    desktop.queueDialogScript({DialogMessage::command(1021), DialogMessage::mouseDown(MouseButton::Right),
                               DialogMessage::command(os::kButtonOk)});
    EXPECT_EQ(desktop.runModalDialog(fakeWindow(), module, "ABOUTBOX", aboutProc), 1);

    // A script that never ends the dialog, and a missing procedure, fail.
    desktop.queueDialogScript({DialogMessage::command(1021)});
    EXPECT_EQ(desktop.runModalDialog(nullptr, module, "ABOUTBOX", aboutProc), os::kDialogFailed);
    EXPECT_EQ(desktop.runModalDialog(nullptr, module, "ABOUTBOX", os::DialogProc{}), os::kDialogFailed);

    const auto& dialogs = desktop.dialogs();
    ASSERT_EQ(dialogs.size(), 3u) << "a dialog without a procedure is never shown";
    EXPECT_EQ(dialogs[0].templateName, "ABOUTBOX");
    EXPECT_EQ(dialogs[0].owner, fakeWindow());
    EXPECT_EQ(dialogs[0].module, module);
    EXPECT_EQ(dialogs[0].delivered,
              (std::vector{DialogMessage::init(), DialogMessage::command(os::kButtonOk)}));
    EXPECT_EQ(dialogs[0].controlTexts, (std::vector<std::pair<int, std::string>>{{3003, "1.0"}}));
    EXPECT_EQ(dialogs[1].delivered,
              (std::vector{DialogMessage::init(), DialogMessage::command(1021),
                           DialogMessage::mouseDown(MouseButton::Right)}));
    EXPECT_EQ(dialogs[2].result, std::nullopt);
}

TEST(HeadlessDesktop, WorkRunsWhileADialogIsUp) {
    os::HeadlessDesktop desktop;
    int calls = 0;
    desktop.setWhileModal([&] {
        ++calls;
        // The host's message loop may reach a plug-in that opens a box of its own.
        desktop.setWhileModal(nullptr);
        desktop.messageBox(nullptr, "nested", "VASK Alert", os::kBoxOk);
    });
    EXPECT_EQ(desktop.runModalDialog(nullptr, nullptr, "ABOUTBOX", aboutProc), 1);
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(desktop.boxes().size(), 1u);
    EXPECT_EQ(desktop.dialogs().at(0).result, 1);
}

TEST(HeadlessDesktop, KeyDownReportsPressesHeldKeysAndScriptedQueries) {
    os::HeadlessDesktop desktop;
    desktop.keyDownOnQuery(os::Key::Escape, 3);
    EXPECT_FALSE(desktop.keyDown(os::Key::Escape));
    EXPECT_FALSE(desktop.keyDown(os::Key::Escape));
    EXPECT_TRUE(desktop.keyDown(os::Key::Escape));
    EXPECT_FALSE(desktop.keyDown(os::Key::Escape));

    // A press is reported once, by the next query: a query made to forget an
    // earlier press does so.
    desktop.pressKey(os::Key::Escape);
    EXPECT_TRUE(desktop.keyDown(os::Key::Escape));
    EXPECT_FALSE(desktop.keyDown(os::Key::Escape));

    desktop.holdKey(os::Key::Escape, true);
    EXPECT_TRUE(desktop.keyDown(os::Key::Escape));
    EXPECT_TRUE(desktop.keyDown(os::Key::Escape));
    desktop.holdKey(os::Key::Escape, false);
    EXPECT_FALSE(desktop.keyDown(os::Key::Escape));
    EXPECT_EQ(desktop.keyQueries(os::Key::Escape), 9);
}

TEST(HeadlessDesktop, InstalledDesktopAndScopedCursor) {
    os::HeadlessDesktop desktop;
    os::Desktop* before = &os::desktop();
    {
        os::ScopedDesktop installed(desktop);
        EXPECT_EQ(&os::desktop(), &desktop);
        try {
            os::ScopedCursor wait(os::Cursor::Wait);
            EXPECT_EQ(desktop.cursor(), os::Cursor::Wait);
            throw std::runtime_error("read failed");
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(desktop.cursor(), os::Cursor::Arrow);
        EXPECT_EQ(desktop.cursorHistory(), (std::vector{os::Cursor::Wait, os::Cursor::Arrow}));
    }
    EXPECT_EQ(&os::desktop(), before);

    // The default desktop answers without blocking.
    EXPECT_EQ(os::desktop().messageBox(nullptr, "text", "caption", os::kBoxOk), os::kButtonOk);
    EXPECT_EQ(os::desktop().chooseOpenFile({}), std::nullopt);
}
