#include "plugins/meshfile/ModelImport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/os/Desktop.h"
#include "platform/q3d/QD3DErrors.h"

namespace vask {

void loadModel(ModelSequenceRecord&, const String& path) {
  os::ScopedCursor wait(os::Cursor::Wait);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) raise(errno);
  ::close(fd);
  // The file exists and can be read, but the scene library has no 3DMF
  // reader yet: report that honestly instead of pretending to load.
  throw ErrData::quickDraw(kQ3ErrorUnimplemented);
}

}  // namespace vask
