// The About box: the effect's title, picture and version, modal over the
// host's main window.
#pragma once

#include "shell/EffectCall.h"

namespace vask {

// Control ids of the "ABOUTBOX" dialog.
inline constexpr int kAboutTitleControl = 1005;
inline constexpr int kAboutVersionLabelControl = 1021;
inline constexpr int kAboutVersionControl = 3003;

// Handles PF_Cmd_ABOUT. Raises the host's code when the main window cannot be
// had; the dialog's own result is not used.
void showAbout(EffectCall& call);

}  // namespace vask
