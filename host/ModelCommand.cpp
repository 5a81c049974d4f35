#include "host/ModelCommand.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/q3d/QD3D.h"
#include "platform/q3d/QD3DErrors.h"
#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DIO.h"
#include "platform/q3d/QD3DStorage.h"
#include "platform/q3d/QD3DView.h"
#include "shell/Messages.h"

namespace vask::host {
namespace {

using Json = nlohmann::ordered_json;

std::string fourCC(TQ3ObjectType type) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((static_cast<uint32_t>(type) >> shift) & 0xff);
    if (c < 0x20 || c > 0x7e) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%08X", static_cast<uint32_t>(type));
      return hex;
    }
    s.push_back(c);
  }
  return s;
}

// Owns one reference; disposes it at the end of the scope.
struct Owned {
  TQ3Object object = nullptr;
  ~Owned() {
    if (object) Q3Object_Dispose(object);
  }
};

struct Posted {
  std::vector<int32_t> errors, warnings, notices;
  void add(std::vector<int32_t>& list, int32_t first, int32_t last) {
    for (int32_t code : {first, last}) {
      if (code != 0 && std::find(list.begin(), list.end(), code) == list.end()) list.push_back(code);
    }
  }
  void collect() {
    TQ3Warning firstWarning;
    const TQ3Warning lastWarning = Q3Warning_Get(&firstWarning);
    add(warnings, firstWarning, lastWarning);
    TQ3Notice firstNotice;
    const TQ3Notice lastNotice = Q3Notice_Get(&firstNotice);
    add(notices, firstNotice, lastNotice);
  }
};

void countTriMeshes(TQ3Object object, TQ3TriMeshCounts& total, int depth) {
  if (Q3Object_GetLeafType(object) == kQ3GeometryTypeTriMesh) {
    TQ3TriMeshCounts c{};
    if (Q3TriMesh_GetCounts(object, &c) == kQ3Success) {
      total.numTriangles += c.numTriangles;
      total.numPoints += c.numPoints;
      total.numEdges += c.numEdges;
      total.numAttributeTypes += c.numAttributeTypes;
    }
    return;
  }
  if (depth > 64 || !Q3Object_IsType(object, kQ3ShapeTypeGroup)) return;
  TQ3GroupPosition position = nullptr;
  Q3Group_GetFirstPosition(object, &position);
  while (position) {
    TQ3Object member = nullptr;
    if (Q3Group_GetPositionObject(object, position, &member) == kQ3Success && member) {
      countTriMeshes(member, total, depth + 1);
      Q3Object_Dispose(member);
    }
    Q3Group_GetNextPosition(object, &position);
  }
}

TQ3BoundingBox measure(TQ3GroupObject group, TQ3ComputeBounds mode) {
  TQ3BoundingBox box{};
  box.isEmpty = kQ3True;
  Owned view{Q3View_New()};
  if (!view.object || Q3View_StartBoundingBox(view.object, mode) != kQ3Success) return box;
  do {
    Q3DisplayGroup_Submit(group, view.object);
  } while (Q3View_EndBoundingBox(view.object, &box) == kQ3ViewStatusRetraverse);
  return box;
}

Json boundsJson(const TQ3BoundingBox& b) {
  if (b.isEmpty) return Json{{"min", nullptr}, {"max", nullptr}, {"empty", true}};
  return Json{{"min", {b.min.x, b.min.y, b.min.z}}, {"max", {b.max.x, b.max.y, b.max.z}}, {"empty", false}};
}

std::string boundsText(const TQ3BoundingBox& b) {
  if (b.isEmpty) return "empty";
  char text[200];
  std::snprintf(text, sizeof text, "min (%g, %g, %g) max (%g, %g, %g)", b.min.x, b.min.y, b.min.z, b.max.x,
                b.max.y, b.max.z);
  return text;
}

std::string names(const std::vector<int32_t>& codes) {
  if (codes.empty()) return "none";
  std::string s;
  for (int32_t code : codes) s += (s.empty() ? "" : ", ") + std::string(q3dErrorName(code));
  return s;
}

// A File Object's centre and scale for these bounds: centred on the box,
// its largest extent one unit. Empty bounds use the ±1e27 box (centre 0,
// scale 1 / 2e27); a box of no extent keeps scale 1.
void placement(const TQ3BoundingBox& b, float centre[3], float& scale) {
  const float lo[3] = {b.isEmpty ? 1e27f : b.min.x, b.isEmpty ? 1e27f : b.min.y, b.isEmpty ? 1e27f : b.min.z};
  const float hi[3] = {b.isEmpty ? -1e27f : b.max.x, b.isEmpty ? -1e27f : b.max.y,
                       b.isEmpty ? -1e27f : b.max.z};
  double extent = 0;
  for (int i = 0; i < 3; ++i) {
    centre[i] = (lo[i] + hi[i]) * 0.5f;
    extent = std::max(extent, std::fabs(double(hi[i]) - double(lo[i])));
  }
  scale = extent > 0 ? static_cast<float>(1.0 / extent) : 1.0f;
}

}  // namespace

int runModel(const std::filesystem::path& file, bool json, std::ostream& out, std::ostream& err) {
  const std::string shown = file.string();
  const int fd = ::open(shown.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    err << "vask model: " << shown << ": " << std::strerror(errno) << "\n";
    return 1;
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    err << "vask model: " << shown << ": not a regular file\n";
    return 1;
  }
  if (Q3Initialize() != kQ3Success) {
    err << "vask model: the scene library cannot start\n";
    return 1;
  }
  struct Exit {
    ~Exit() { Q3Exit(); }
  } exitLibrary;
  Q3Error_Get(nullptr), Q3Warning_Get(nullptr), Q3Notice_Get(nullptr);

  const auto start = std::chrono::steady_clock::now();
  Owned file3d{Q3File_New()};
  Owned content{Q3DisplayGroup_New()};
  {
    Owned storage{Q3PosixStorage_New(fd)};
    if (!file3d.object || !content.object || !storage.object ||
        Q3File_SetStorage(file3d.object, storage.object) != kQ3Success) {
      err << "vask model: " << shown << ": " << q3dErrorName(Q3Error_Get(nullptr)) << "\n";
      return 1;
    }
  }
  auto failed = [&](const char* doing) {
    const TQ3Error code = Q3Error_Get(nullptr);
    char problem[256] = "";
    Q3File_GetReadProblem(file3d.object, problem, sizeof problem);
    err << "vask model: " << shown << ": " << q3dErrorName(code) << " while " << doing
        << (problem[0] ? ": " : "") << problem << "\n";
    return 1;
  };
  TQ3FileMode mode = 0;
  if (Q3File_OpenRead(file3d.object, &mode) != kQ3Success) return failed("opening it");
  TQ3FileVersion version = 0;
  Q3File_GetVersion(file3d.object, &version);

  Posted posted;
  posted.collect();
  std::vector<std::pair<std::string, bool>> objects;
  TQ3TriMeshCounts totals{};
  while (!Q3File_IsEndOfFile(file3d.object)) {
    Owned object{Q3File_ReadObject(file3d.object)};
    posted.collect();
    if (!object.object) {
      const int status = failed("reading it");
      Q3File_Close(file3d.object);
      return status;
    }
    const bool drawable = Q3Object_IsDrawable(object.object) == kQ3True;
    objects.emplace_back(fourCC(Q3Object_GetLeafType(object.object)), drawable);
    countTriMeshes(object.object, totals, 0);
    if (drawable) Q3Group_AddObject(content.object, object.object);
  }
  Q3File_Close(file3d.object);
  const double readMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

  const TQ3BoundingBox approximate = measure(content.object, kQ3ComputeBoundsApproximate);
  const TQ3BoundingBox exact = measure(content.object, kQ3ComputeBoundsExact);
  posted.collect();
  float centre[3];
  float scale;
  placement(approximate, centre, scale);

  const bool text = (mode & kQ3FileModeText) != 0;
  char head[4] = {};
  if (!text) ::pread(fd, head, 4, 0);
  const std::string form = text ? "text" : std::memcmp(head, "FMD3", 4) == 0 ? "binary little-endian"
                                                                              : "binary big-endian";
  const std::string modeName = (mode & kQ3FileModeDatabase)  ? "Database"
                               : (mode & kQ3FileModeStream) ? "Stream"
                                                            : "Normal";
  const std::string versionText = std::to_string(version >> 16) + "." + std::to_string(version & 0xffff);

  if (json) {
    Json j;
    j["file"] = shown;
    j["form"] = form;
    j["mode"] = modeName;
    j["version"] = versionText;
    j["objects"] = Json::array();
    for (const auto& [type, drawable] : objects) j["objects"].push_back({{"type", type}, {"drawable", drawable}});
    auto list = [](const std::vector<int32_t>& codes) {
      Json a = Json::array();
      for (int32_t code : codes) a.push_back(q3dErrorName(code));
      return a;
    };
    j["errors"] = list(posted.errors);
    j["warnings"] = list(posted.warnings);
    j["notices"] = list(posted.notices);
    j["bounds"] = {{"approximate", boundsJson(approximate)}, {"exact", boundsJson(exact)}};
    j["centre"] = {centre[0], centre[1], centre[2]};
    j["scale"] = scale;
    j["trimesh"] = {{"triangles", totals.numTriangles},
                    {"points", totals.numPoints},
                    {"edges", totals.numEdges},
                    {"attribute_types", totals.numAttributeTypes}};
    j["read_ms"] = readMs;
    out << j.dump(2) << "\n";
    return 0;
  }
  out << "file: " << shown << "\n"
      << "form: " << form << ", " << modeName << " mode, version " << versionText << "\n"
      << "objects: " << objects.size() << "\n";
  for (const auto& [type, drawable] : objects) out << "  " << type << (drawable ? "  drawable" : "  not drawn") << "\n";
  out << "errors: " << names(posted.errors) << "\n"
      << "warnings: " << names(posted.warnings) << "\n"
      << "notices: " << names(posted.notices) << "\n"
      << "bounds, approximate: " << boundsText(approximate) << "\n"
      << "bounds, exact: " << boundsText(exact) << "\n";
  char line[200];
  std::snprintf(line, sizeof line, "centre: (%g, %g, %g)  scale: %g\n", centre[0], centre[1], centre[2], scale);
  out << line << "trimesh: " << totals.numTriangles << " triangles, " << totals.numPoints << " points, "
      << totals.numEdges << " edges, " << totals.numAttributeTypes << " attribute types\n";
  std::snprintf(line, sizeof line, "read: %.2f ms\n", readMs);
  out << line;
  return 0;
}

}  // namespace vask::host
