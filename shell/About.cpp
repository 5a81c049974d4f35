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
            // Our dialog descriptions hold no texts, so the static ones are
            // filled here together with the version.
            dialog.setControlText(kAboutTitleControl, title);
            dialog.setControlText(kAboutVersionLabelControl, "Version:");
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
