#include "platform/os/Desktop.h"

#include "platform/os/HeadlessDesktop.h"

#include <atomic>
#include <ostream>

namespace vask::os {
namespace {

std::atomic<Desktop*>& installedDesktop() {
    static std::atomic<Desktop*> installed{nullptr};
    return installed;
}

Desktop& defaultDesktop() {
    // Never destroyed: a plug-in's static destructor may still show a box.
    static HeadlessDesktop* fallback = new HeadlessDesktop;
    return *fallback;
}

}  // namespace

Desktop::~Desktop() = default;

std::optional<std::string> Desktop::chooseOpenFile(const OpenFileRequest& request) {
    std::optional<std::string> path = showOpenFileDialog(request);
    if (!path) return std::nullopt;
    // The caller's buffer holds the path and its terminating zero; a longer
    // path, like a path cut short by a zero byte, fails rather than being
    // handed on truncated.
    if (path->empty() || path->size() >= request.bufferSize ||
        path->find('\0') != std::string::npos) {
        return std::nullopt;
    }
    return path;
}

int Desktop::runModalDialog(WindowRef owner, Module* module, std::string_view templateName,
                            DialogProc proc) {
    if (!proc) return kDialogFailed;
    return showModalDialog(owner, module, templateName, proc);
}

Desktop* installDesktop(Desktop* backend) { return installedDesktop().exchange(backend); }

Desktop& desktop() {
    Desktop* installed = installedDesktop().load();
    return installed != nullptr ? *installed : defaultDesktop();
}

std::ostream& operator<<(std::ostream& out, Cursor cursor) {
    switch (cursor) {
        case Cursor::Arrow: return out << "Arrow";
        case Cursor::Wait: return out << "Wait";
    }
    return out << "Cursor(" << static_cast<int>(cursor) << ')';
}

std::ostream& operator<<(std::ostream& out, Key key) {
    switch (key) {
        case Key::Escape: return out << "Escape";
    }
    return out << "Key(" << static_cast<int>(key) << ')';
}

std::ostream& operator<<(std::ostream& out, MouseButton button) {
    switch (button) {
        case MouseButton::Left: return out << "Left";
        case MouseButton::Right: return out << "Right";
        case MouseButton::Middle: return out << "Middle";
    }
    return out << "MouseButton(" << static_cast<int>(button) << ')';
}

std::ostream& operator<<(std::ostream& out, const DialogMessage& message) {
    switch (message.kind) {
        case DialogMessage::Kind::Init: return out << "Init";
        case DialogMessage::Kind::Command: return out << "Command(" << message.commandId << ')';
        case DialogMessage::Kind::MouseDown: return out << "MouseDown(" << message.button << ')';
    }
    return out << "DialogMessage(" << static_cast<int>(message.kind) << ')';
}

}  // namespace vask::os
