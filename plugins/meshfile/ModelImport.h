// Reading a model file into a model group.
#pragma once

#include "plugins/meshfile/ModelRecord.h"
#include "shell/EffectCall.h"

namespace vask {

// Reads `path` into a new model group and, on success only, installs it and
// the path in the record; on any failure the record keeps its model and path.
// Shows the wait cursor while reading. Raises ErrData: kind host with errno
// when the file cannot be opened, kind QuickDraw for reading failures.
void loadModel(ModelSequenceRecord& record, const String& path);

// The Model control's "Import..." button was pressed: chooses a file through
// the desktop's open-file dialog and loads it. A cancelled dialog or an Escape
// during the read changes nothing and shows nothing; any other failure shows
// alert 1030 with the error's name. Never raises. [sequence live, event call]
void importFromButton(EffectCall& call, ModelSequenceRecord& record);

}  // namespace vask
