// Reading a model file into a model group, and the Model control's
// "Import..." action.
#pragma once

#include "plugins/meshfile/ModelRecord.h"
#include "shell/EffectCall.h"

namespace vask {

// Reads `path` into a new model group (a Phong illumination, the record's
// model transform and a display group of the file's drawable objects in
// file order) and, on
// success only, installs it and the path in the record; on any failure the
// record keeps its model and path. Shows the wait cursor while reading;
// Escape stops the read (code kQ3NoticeFileCancelled). The file is opened
// without blocking and must be a regular file. Raises ErrData: kind host
// with errno when the file cannot be opened (EINVAL for one that is not a
// regular file), kind QuickDraw for reading failures; modelProblem() then
// says what went wrong in words.
void loadModel(ModelSequenceRecord& record, const String& path);

// What the last failed loadModel met, in words, naming the file by its
// name ("ship.3dmf: the file ends inside an object"); valid until the next
// loadModel.
const char* modelProblem();

// The Model control's "Import..." button was pressed: chooses a file through
// the desktop's open-file dialog, loads it, measures the model (centre and
// scale into the record, the model transform reset to identity) and marks
// "Left/Right" changed so that the host renders again. A cancelled dialog or
// an Escape during the read changes nothing and shows nothing; any other
// failure shows alert 1030 naming the file and the error. Never raises.
// [sequence live, event call]
void importFromButton(EffectCall& call, ModelSequenceRecord& record);

}  // namespace vask
