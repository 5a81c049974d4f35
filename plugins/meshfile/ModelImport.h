// Reading a model file into a model group.
#pragma once

#include "plugins/meshfile/ModelRecord.h"

namespace vask {

// Reads `path` into a new model group and, on success only, installs it and
// the path in the record; on any failure the record keeps its model and path.
// Shows the wait cursor while reading. Raises ErrData: kind host with errno
// when the file cannot be opened, kind QuickDraw for reading failures.
void loadModel(ModelSequenceRecord& record, const String& path);

}  // namespace vask
