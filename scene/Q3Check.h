// Checking QuickDraw 3D results: a null object or a failure status is followed
// at once by Q3Error_Get, whose code is raised as ErrData (QuickDraw kind).
#pragma once

#include "platform/q3d/QD3D.h"
#include "platform/q3d/QD3DErrors.h"
#include "shell/ErrData.h"

namespace vask {

[[noreturn]] inline void raiseQ3Error() {
  const TQ3Error error = Q3Error_Get(nullptr);
  // A failure that posted no error still has to fail: report it as the
  // library's internal error rather than as success.
  throw ErrData::quickDraw(error != kQ3ErrorNone ? static_cast<int32_t>(error)
                                                 : static_cast<int32_t>(kQ3ErrorNoRecovery));
}

template <class T>
T q3Check(T object) {
  if (!object) raiseQ3Error();
  return object;
}

inline void q3Check(TQ3Status status) {
  if (status != kQ3Success) raiseQ3Error();
}

// Disposes the object a record's reference field holds, if any, and clears
// the field. Disposals are not checked: there is nothing a caller could do.
inline void releaseObject(TQ3Object& ref) {
  if (ref) Q3Object_Dispose(ref);
  ref = nullptr;
}

}  // namespace vask
