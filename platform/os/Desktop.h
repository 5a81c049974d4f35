#pragma once

#include "platform/os/Export.h"
#include "platform/os/Module.h"

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vask::os {

// ---------------------------------------------------------------------------
// Desktop services: message boxes, modal dialogs, the open-file dialog, the
// cursor and the keyboard. The host installs a backend (installDesktop); the
// plug-ins reach it through desktop(). Backends only show things and deliver
// events: what a box says, what a dialog does with its messages, stay in the
// plug-in. All calls come from the host's one thread.

// The host's main window, or any other owner window. Opaque and pointer-sized;
// null means "no owner". Only the backend that made it knows what it points to.
struct Window;
using WindowRef = Window*;

// messageBox styles and button ids.
inline constexpr unsigned kBoxOk = 0;  // one OK button
inline constexpr int kButtonOk = 1;
inline constexpr int kButtonCancel = 2;

// runModalDialog's result when the dialog could not be run at all.
inline constexpr int kDialogFailed = -1;

enum class Cursor { Arrow, Wait };
enum class Key { Escape };
enum class MouseButton { Left, Right, Middle };

VASK_OS_API std::ostream& operator<<(std::ostream& out, Cursor cursor);
VASK_OS_API std::ostream& operator<<(std::ostream& out, Key key);
VASK_OS_API std::ostream& operator<<(std::ostream& out, MouseButton button);

// One "label / pattern" pair of the open-file dialog; a pattern is one or more
// globs separated by ';' ("*.3dmf;*.3dm").
struct FileFilter {
    std::string label;
    std::string pattern;
    friend bool operator==(const FileFilter&, const FileFilter&) = default;
};

// OpenFileRequest::flags, combinable with |.
enum OpenFileFlags : unsigned {
    kOpenReadOnly = 0x0001,       // the read-only box starts ticked
    kOpenHideReadOnly = 0x0004,   // no read-only box
    kOpenPathMustExist = 0x0800,  // only existing folders may be typed in
};

struct OpenFileRequest {
    WindowRef owner = nullptr;
    std::vector<FileFilter> filters;
    int filterIndex = 1;              // 1-based index into filters of the one shown first
    unsigned flags = 0;               // OpenFileFlags
    std::size_t bufferSize = 512;     // bytes the caller can take, terminating zero included
    friend bool operator==(const OpenFileRequest&, const OpenFileRequest&) = default;
};

// A message delivered to a dialog procedure.
struct DialogMessage {
    enum class Kind { Init, Command, MouseDown };
    Kind kind = Kind::Init;
    int commandId = 0;                         // Command: the control or button id (1 = OK / Enter)
    MouseButton button = MouseButton::Left;    // MouseDown: which button, on the dialog's surface

    static constexpr DialogMessage init() { return {Kind::Init, 0, MouseButton::Left}; }
    static constexpr DialogMessage command(int id) { return {Kind::Command, id, MouseButton::Left}; }
    static constexpr DialogMessage mouseDown(MouseButton which) {
        return {Kind::MouseDown, 0, which};
    }
    friend bool operator==(const DialogMessage&, const DialogMessage&) = default;
};

VASK_OS_API std::ostream& operator<<(std::ostream& out, const DialogMessage& message);

// What a dialog procedure may do to its running dialog. Valid only during the
// call that received it.
class VASK_OS_API DialogContext {
public:
    // Sets the text of control `id`; ignored when the dialog has no such control.
    virtual void setControlText(int id, std::string_view text) = 0;
    // Ends the dialog once the current message is handled; runModalDialog then
    // returns `result`. Messages still queued are not delivered.
    virtual void endDialog(int result) = 0;

protected:
    ~DialogContext() = default;
};

// A dialog procedure: returns true when it handled the message.
using DialogProc = std::function<bool(DialogContext&, const DialogMessage&)>;

class VASK_OS_API Desktop {
public:
    Desktop() = default;
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;
    virtual ~Desktop();

    // Shows a modal message box and returns the id of the button that closed it
    // (kButtonOk for a kBoxOk box). `owner` may be null.
    virtual int messageBox(WindowRef owner, std::string_view text, std::string_view caption,
                           unsigned style) = 0;

    // Removes every pending key message of the calling thread, so that a key
    // pressed before a box appears cannot answer it.
    virtual void flushKeyboard() = 0;

    // Shows the open-file dialog and returns the chosen file's full path, or
    // nullopt when the user cancelled or the dialog failed. A path that would
    // not fit request.bufferSize bytes with its terminating zero counts as a
    // failure, as does an empty path or one holding a zero byte.
    std::optional<std::string> chooseOpenFile(const OpenFileRequest& request);

    // Runs the dialog described by resource "DIALOG" `templateName` of `module`
    // modally over `owner`: delivers Init, then the user's commands and clicks,
    // to `proc`, until it calls endDialog. Returns the result given to
    // endDialog, or kDialogFailed when `proc` is empty or the dialog cannot be
    // shown. While the dialog is up the host may call plug-ins again (its
    // message loop runs).
    int runModalDialog(WindowRef owner, Module* module, std::string_view templateName,
                       DialogProc proc);

    // Shows `cursor` and returns the cursor shown before.
    virtual Cursor setCursor(Cursor cursor) = 0;

    // True if `key` is down now or was pressed since the previous keyDown query
    // for it; the query consumes the "pressed since" part.
    virtual bool keyDown(Key key) = 0;

protected:
    // chooseOpenFile without the buffer rule, which the base class applies.
    virtual std::optional<std::string> showOpenFileDialog(const OpenFileRequest& request) = 0;
    // runModalDialog with a non-empty `proc`.
    virtual int showModalDialog(WindowRef owner, Module* module, std::string_view templateName,
                                const DialogProc& proc) = 0;
};

// Installs `backend` as the process's desktop (not owned: it must outlive its
// installation) and returns the one installed before, null for the default.
// Installing null restores the default, a HeadlessDesktop that answers every
// box with OK, cancels every open-file dialog and ends every dialog with
// Command(1). Every plug-in of the process sees the same desktop.
VASK_OS_API Desktop* installDesktop(Desktop* backend);

// The installed desktop, or the default one.
VASK_OS_API Desktop& desktop();

// Installs a desktop for the life of a scope, then puts the previous one back.
class ScopedDesktop {
public:
    explicit ScopedDesktop(Desktop& backend) : previous_(installDesktop(&backend)) {}
    ~ScopedDesktop() { installDesktop(previous_); }
    ScopedDesktop(const ScopedDesktop&) = delete;
    ScopedDesktop& operator=(const ScopedDesktop&) = delete;

private:
    Desktop* previous_;
};

// Shows a cursor for the life of a scope (the wait cursor during a long read)
// and puts back the previous one on every way out, exceptions included.
class ScopedCursor {
public:
    explicit ScopedCursor(Cursor cursor)
        : desktop_(desktop()), previous_(desktop_.setCursor(cursor)) {}
    ~ScopedCursor() { desktop_.setCursor(previous_); }
    ScopedCursor(const ScopedCursor&) = delete;
    ScopedCursor& operator=(const ScopedCursor&) = delete;

private:
    Desktop& desktop_;  // the one that showed the cursor, even if another is installed meanwhile
    Cursor previous_;
};

}  // namespace vask::os
