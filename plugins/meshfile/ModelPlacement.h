// Measuring an imported model, and placing it by the File Object's
// parameters.
#pragma once

#include "plugins/meshfile/ModelRecord.h"
#include "shell/EffectCall.h"

namespace vask {

// Measures the record's model in the file's own coordinates (its model
// transform set to identity first) with approximate bounds and stores the
// centre of the box and the scale that makes its largest extent one unit.
// A model with nothing to measure gets the empty box (±1e27): centre 0 and
// scale 1 / 2e27. A model that measures as a single point (largest extent
// 0) keeps scale 1: there is no size to normalise, and 1 leaves it where
// the parameters put it. Raises ErrData kind QuickDraw.
void measureModel(ModelSequenceRecord& record);

// Sets the record's model transform from the placement parameters of the
// current call: the model's centre to the origin, its scale, then scale,
// rotation and translation from the parameters. Raises ErrData kind
// QuickDraw. [sequence live]
void updateModelPlacement(EffectCall& call, ModelSequenceRecord& record);

}  // namespace vask
