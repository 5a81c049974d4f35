#include "plugins/meshfile/ModelImport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include "platform/os/Desktop.h"
#include "platform/q3d/QD3DErrors.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DIO.h"
#include "platform/q3d/QD3DShader.h"
#include "platform/q3d/QD3DStorage.h"
#include "plugins/meshfile/ModelPlacement.h"
#include "scene/Q3Check.h"
#include "shell/Alert.h"
#include "shell/Messages.h"
#include "shell/ParamTables.h"

namespace vask {
namespace {

// Single-threaded like every plug-in call: the host calls one at a time.
std::string gProblem;

// The part of a path after its last slash: alerts have room for little.
std::string fileName(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash != nullptr && slash[1] != '\0' ? slash + 1 : path;
}

struct Owned {
  TQ3Object object = nullptr;
  ~Owned() { releaseObject(object); }
};

struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

// An open file must be closed before an error travels on, whatever the
// error; a close that fails when nothing else did is itself the error.
struct OpenFile {
  TQ3FileObject file;
  bool open = false;
  ~OpenFile() {
    if (open) Q3File_Close(file);
  }
  void close() {
    open = false;
    q3Check(Q3File_Close(file));
  }
};

TQ3Status escapeIdle(TQ3FileObject, const void*) {
  return os::desktop().keyDown(os::Key::Escape) ? kQ3Failure : kQ3Success;
}

// The reader's own account of a failure, or the error's name.
void noteReadFailure(const std::string& name, TQ3FileObject file, int32_t code) {
  char detail[200] = "";
  if (file) Q3File_GetReadProblem(file, detail, sizeof detail);
  gProblem = name + ": " + (detail[0] ? detail : "the scene library failed") + " (" + q3dErrorName(code) + ")";
}

String chooseModelFile(EffectCall& call) {
  os::OpenFileRequest request;
  request.owner = static_cast<os::WindowRef>(call.mainWindow());
  request.filters = {{"3DMF (.3dmf;.3dm;.b3d;.3mf)", "*.3dmf;*.3dm;*.b3d;*.3mf"},
                     {"All (*.*)", "*.*"}};
  request.filterIndex = 1;
  request.flags = os::kOpenReadOnly | os::kOpenHideReadOnly | os::kOpenPathMustExist;
  request.bufferSize = 512;
  std::optional<std::string> chosen = os::desktop().chooseOpenFile(request);
  if (!chosen) raise(msg::kUserCanceled);
  return String(chosen->c_str());
}

}  // namespace

const char* modelProblem() { return gProblem.c_str(); }

void loadModel(ModelSequenceRecord& record, const String& path) {
  os::ScopedCursor wait(os::Cursor::Wait);
  gProblem.clear();
  const std::string name = fileName(path.c_str());

  Owned model{q3Check(Q3OrderedDisplayGroup_New())};
  // The file's objects keep their order: a transform, style or shader in a
  // file acts on what follows it, which an ordered group (transforms first)
  // would change for every file with more than one placed object.
  Owned content{q3Check(Q3DisplayGroup_New())};

  // Never block in open: a path may name a FIFO or a device.
  Descriptor descriptor{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
  if (descriptor.fd < 0) {
    const int error = errno;
    gProblem = name + ": " + std::strerror(error);
    raise(error);
  }
  struct stat info {};
  if (::fstat(descriptor.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    gProblem = name + ": it is not a regular file";
    raise(EINVAL);
  }

  Owned file{nullptr};
  try {
    {
      Owned storage{q3Check(Q3PosixStorage_New(descriptor.fd))};
      file.object = q3Check(Q3File_New());
      q3Check(Q3File_SetStorage(file.object, storage.object));
    }
    OpenFile opened{file.object};
    TQ3FileMode mode;
    q3Check(Q3File_OpenRead(file.object, &mode));
    opened.open = true;

    os::desktop().keyDown(os::Key::Escape);  // forget a press from before the import
    q3Check(Q3File_SetIdleMethod(file.object, escapeIdle, nullptr));
    // A file with nothing after its header is an empty model, not a failure.
    while (!Q3File_IsEndOfFile(file.object)) {
      Owned object{q3Check(Q3File_ReadObject(file.object))};
      if (Q3Object_IsDrawable(object.object)) q3Check(Q3Group_AddObject(content.object, object.object));
    }
    opened.close();
  } catch (ErrData e) {
    noteReadFailure(name, file.object, e.code);
    throw;
  }

  Owned phong{q3Check(Q3PhongIllumination_New())};
  q3Check(Q3Group_AddObject(model.object, phong.object));
  q3Check(Q3Group_AddObject(model.object, record.modelTransform));
  q3Check(Q3Group_AddObject(model.object, content.object));

  releaseObject(record.model);
  record.model = model.object;
  model.object = nullptr;
  record.path = path;
}

void importFromButton(EffectCall& call, ModelSequenceRecord& record) {
  try {
    loadModel(record, chooseModelFile(call));
    measureModel(record);
    call.param(meshfile::kLeftRight).uu.change_flags |= PF_ChangeFlag_CHANGED_VALUE;
  } catch (ErrData e) {
    if (e.code == 0 || e.code == msg::kUserCanceled || e.code == kQ3NoticeFileCancelled) return;
    if (gProblem.empty()) gProblem = q3dErrorName(e.code);
    alert(kAlertWarning, msg::kCouldNotUseModel, modelProblem());
  }
}

}  // namespace vask
