// How a 3DMF read fails inside the reader: thrown from wherever the bytes
// stop making sense, caught at the file's C entry points, which post the
// code and keep the sentence for Q3File_GetReadProblem.
#pragma once

#include <string>

#include "platform/q3d/QD3DErrors.h"

namespace q3d::io {

struct ReadFailure {
    TQ3Error code;
    std::string problem;  // what is wrong, and where
};

[[noreturn]] inline void fail(TQ3Error code, std::string problem) { throw ReadFailure{code, std::move(problem)}; }

}  // namespace q3d::io
