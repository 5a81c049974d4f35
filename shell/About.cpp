#include "shell/About.h"

#include "platform/os/Desktop.h"
#include "shell/Module.h"
#include "shell/Plugin.h"
#include "shell/Version.h"

namespace vask {

void showAbout(EffectCall& call) {
  os::WindowRef owner = static_cast<os::WindowRef>(call.mainWindow());
  const char* title = thisPlugin().aboutTitle;
  os::desktop().runModalDialog(
      owner, moduleHandle(), "ABOUTBOX",
      [title](os::DialogContext& dialog, const os::DialogMessage& m) {
        switch (m.kind) {
          case os::DialogMessage::Kind::Init: {
            // One dialog description serves the whole family; the title is
            // the library's own, so it is filled in with the version.
            dialog.setControlText(kAboutTitleControl, title);
            const VersionInfo version = readVersion();
            dialog.setControlText(kAboutVersionControl, version.text.c_str());
            return true;
          }
          case os::DialogMessage::Kind::Command:
            if (m.commandId != 1) return false;
            dialog.endDialog(1);
            return true;
          case os::DialogMessage::Kind::MouseDown:
            dialog.endDialog(1);
            return true;
        }
        return false;
      });
}

}  // namespace vask
