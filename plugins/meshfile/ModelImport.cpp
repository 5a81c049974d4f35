#include "plugins/meshfile/ModelImport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "platform/os/Desktop.h"
#include "platform/q3d/QD3DErrors.h"
#include "shell/Alert.h"
#include "shell/Messages.h"

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

namespace {

String chooseModelFile(EffectCall& call) {
  os::OpenFileRequest request;
  request.owner = static_cast<os::WindowRef>(call.mainWindow());
  request.filters = {{"3DMF (.3dmf;.3dm;.b3d;.3mf)", "*.3dmf;*.3dm;*.b3d;*.3mf"},
                     {"All (*.*)", "*.*"}};
  request.filterIndex = 1;
  request.flags = os::kOpenReadOnly | os::kOpenHideReadOnly | os::kOpenPathMustExist;
  request.bufferSize = 512;
  std::optional<std::string> chosen = os::desktop().chooseOpenFile(request);
  if (!chosen) raise(1028);
  return String(chosen->c_str());
}

}  // namespace

void importFromButton(EffectCall& call, ModelSequenceRecord& record) {
  try {
    loadModel(record, chooseModelFile(call));
  } catch (ErrData e) {
    if (e.code == 0 || e.code == 1028 || e.code == kQ3NoticeFileCancelled) return;
    alert(kAlertWarning, 1030, q3dErrorName(e.code));
  }
}

}  // namespace vask
