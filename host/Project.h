// A project file: the composition, its layers bottom to top, and each layer's
// effects with their parameter settings and saved sequence data.
//
// The file is JSON, "format": 2 (or 1, read as before); docs/project-format.md
// is the reference for every member and docs/project.schema.json its schema.
// In short: "composition" (size, frame rate, length, background colour),
// "layers" bottom to top, each with exactly one source ("image", "sequence"
// or "solid"), "visible" and "effects" applied top to bottom; an effect names
// its match name in "effect", sets "params" by the names the effect declares
// (a value or {"keyframes": [...]}, keys in "t" seconds or "f" frames with
// optional "interpolation", "ease" and Bézier handles) and may carry "flat",
// its flattened sequence data in base64. A File Object entry may name its
// model with "model" (a 3DMF file): the host imports it as the Import button
// would, and a save keeps it in "flat". Paths are relative to the project
// file. Frames are numbered from 0: frame n shows the time n / frame_rate.
//
// This reader checks the file's own structure; what a parameter value means
// depends on the effect and is checked when the composition binds it
// (host/ParamValue.h). Every error is a ProjectError naming the file and
// either the line and column or the layer, effect and parameter at fault.
// Objects may carry a "comment" member, which is ignored.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/HostError.h"
#include "host/Keyframes.h"
#include "platform/effect_api/EffectApi.h"

namespace vask::host {

using Json = nlohmann::ordered_json;

class ProjectError : public HostError {
 public:
  using HostError::HostError;
};

// The project formats this host reads: 2, the current one, and 1, whose
// colours are read as they always were (host/Colour.h). The other members
// mean the same in both.
inline constexpr int kProjectFormat = 2;
inline constexpr int kOldestProjectFormat = 1;

struct FrameRate {
  int64_t num = 30;  // frames per `den` seconds
  int64_t den = 1;
  double fps() const { return static_cast<double>(num) / static_cast<double>(den); }
  bool operator==(const FrameRate&) const = default;
};
std::ostream& operator<<(std::ostream& os, const FrameRate& r);  // "24" or "30000/1001"

// The frame pattern of an image sequence: "shot_####.png" or a printf-style
// "shot_%04d.png" / "shot_%d.png" ("%%" is a literal %). Only this one
// conversion is understood; the pattern is never handed to printf.
class FramePattern {
 public:
  // nullopt, with the reason in `why`, for a pattern with no frame number,
  // more than one, or another % conversion.
  static std::optional<FramePattern> parse(std::string_view text, std::string* why = nullptr);
  // The file name of frame number `n` (≥ 0), zero-padded to the pattern's width.
  std::string name(int64_t n) const;
  const std::string& text() const { return text_; }
  // Whether `fileName` is one of the pattern's names: the text around the
  // number as written, and at least the pattern's width of digits.
  bool matches(std::string_view fileName) const;

 private:
  std::string text_, prefix_, suffix_;
  int width_ = 0;
};

struct ProjectComposition {
  int32_t width = 0, height = 0;
  FrameRate rate;
  int64_t frames = 0;  // frames 0 … frames − 1
  PF_Pixel background{255, 0, 0, 0};  // straight (not premultiplied)
};

// One parameter setting as written: a single value, or keyframes.
struct KeySetting {
  double frame = 0;  // composition frames ("t" × frame rate, or "f")
  Json value;
  Interpolation interpolation = Interpolation::Linear;
  // "handle_in" / "handle_out", or the handles that "ease" stands for.
  std::optional<BezierHandle> in = std::nullopt, out = std::nullopt;
};
struct ParamSetting {
  std::string name;
  bool keyed = false;       // written as {"keyframes": …}
  std::vector<KeySetting> keys;  // one (frame 0) when not keyed
};

// The File Object's match name: the one effect whose entry may name a model.
inline constexpr const char* kFileObjectMatchName = "HALV VASKMESHFILE1";

struct ProjectEffect {
  std::string matchName;
  std::vector<ParamSetting> params;                 // in file order
  std::optional<std::vector<std::byte>> flat;   // decoded "flat"
  // A File Object's "model": the model file, made absolute against the
  // project's folder. Ignored when "flat" is there, which holds the model's
  // path and its measured placement.
  std::optional<std::filesystem::path> model;
};

enum class LayerKind { Image, Sequence, Solid };

struct ProjectLayer {
  std::string name;
  LayerKind kind = LayerKind::Solid;
  std::filesystem::path file;            // Image: the resolved path
  std::optional<FramePattern> sequence;  // Sequence: file names, resolved against `folder`
  std::filesystem::path folder;          // Sequence: the folder of the pattern
  int64_t first = 1;                     // Sequence: number of the file at frame 0
  PF_Pixel colour{255, 0, 0, 0};         // Solid, straight
  int32_t width = 0, height = 0;         // Solid
  bool visible = true;
  std::vector<ProjectEffect> effects;
};

struct Project {
  std::filesystem::path file;  // as given
  int format = kProjectFormat;  // "format" as written
  std::string name;            // the file's stem, for the default output folder
  ProjectComposition composition;
  std::vector<ProjectLayer> layers;  // bottom to top
  Json document;                  // the file as read, for saving
};

// Reads and checks the project at `path`. Throws ProjectError.
Project loadProject(const std::filesystem::path& path);
// The same from text; `file` names it in errors and anchors relative paths.
Project parseProject(std::string_view text, const std::filesystem::path& file);

// "layer \"Sky\" (#2)", "layer \"Sky\" (#2), effect \"HALV VASKPNT1\" (#1)":
// how errors name a place in a project. Numbers are 1-based.
std::string describeLayer(const ProjectLayer& layer, std::size_t index);
std::string describeEffect(const ProjectLayer& layer, std::size_t layerIndex, const ProjectEffect& effect,
                           std::size_t effectIndex);

// The text of a project document as `vask save` writes it: objects one
// member a line, indented by two spaces, but short arrays and objects of plain
// values (colours, keyframes) on one line, so the file stays easy to edit.
// Ends with a newline.
std::string formatProjectText(const Json& document);

// A value as JSON text for a message, cut to 60 characters.
std::string briefText(const Json& value);

// Line and column (both 1-based) of the character at byte `offset` of `text`;
// an offset past the end gives the position just after the last character.
struct TextPosition {
  std::size_t line = 1, column = 1;
};
TextPosition positionOf(std::string_view text, std::size_t offset);

}  // namespace vask::host
