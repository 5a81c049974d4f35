#include "host/Project.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <numeric>
#include <sstream>
#include <unordered_set>

#include "host/Base64.h"
#include "host/Colour.h"
#include "host/InputFile.h"

namespace vask::host {
namespace {

// Longest project file read; a project is a few kilobytes of text.
constexpr std::size_t kMaxProjectBytes = 64u << 20;
constexpr int kMaxDepth = 32;

[[noreturn]] void fail(const std::string& where, const std::string& what) {
  throw ProjectError(where + ": " + what);
}

std::string inQuotes(std::string_view s) { return "\"" + std::string(s) + "\""; }

std::string kindOf(const Json& v) {
  if (v.is_null()) return "null";
  if (v.is_boolean()) return "a boolean";
  if (v.is_number()) return "a number";
  if (v.is_string()) return "a string";
  if (v.is_array()) return "an array";
  return "an object";
}

std::string list(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& i : items) out += (out.empty() ? "" : ", ") + inQuotes(i);
  return out;
}

// Refuses members that are not in `known`; "comment" is always allowed.
void checkMembers(const Json& object, const std::vector<std::string>& known,
                  const std::string& where) {
  for (const auto& [key, value] : object.items()) {
    if (key == "comment") continue;
    if (std::find(known.begin(), known.end(), key) == known.end()) {
      fail(where, "unknown member " + inQuotes(key) + "; known members: " + list(known));
    }
  }
}

const Json& requireObject(const Json& v, const std::string& where) {
  if (!v.is_object()) fail(where, "expects an object, not " + kindOf(v));
  return v;
}

int64_t integer(const Json& v, const std::string& where, const std::string& what, int64_t lo,
                int64_t hi) {
  if (!v.is_number_integer()) fail(where, what + " expects a whole number, not " + kindOf(v));
  if (v.is_number_unsigned() && v.get<uint64_t>() > static_cast<uint64_t>(hi)) {
    fail(where, what + " " + briefText(v) + " is outside " + std::to_string(lo) + " … " +
                    std::to_string(hi));
  }
  const auto n = v.get<int64_t>();
  if (n < lo || n > hi) {
    fail(where, what + " " + std::to_string(n) + " is outside " + std::to_string(lo) + " … " +
                    std::to_string(hi));
  }
  return n;
}

double number(const Json& v, const std::string& where, const std::string& what) {
  if (!v.is_number()) fail(where, what + " expects a number, not " + kindOf(v));
  const double d = v.get<double>();
  if (!std::isfinite(d)) fail(where, what + " is not a finite number");
  return d;
}

FrameRate parseRate(const Json& v, const std::string& where) {
  FrameRate r;
  if (v.is_string()) {
    const std::string s = v.get<std::string>();
    long long num = 0, den = 0;
    char slash = 0, extra = 0;
    std::istringstream in(s);
    if (!(in >> num >> slash >> den) || slash != '/' || (in >> extra) || num <= 0 || den <= 0 ||
        num > 1000000 || den > 1000000) {
      fail(where, "frame_rate " + inQuotes(s) +
                      " is not a rate such as \"30000/1001\" (two whole numbers, 1 … 1000000)");
    }
    r.num = num;
    r.den = den;
  } else {
    const double fps = number(v, where, "frame_rate");
    if (fps <= 0 || fps > 1000) fail(where, "frame_rate " + briefText(v) + " is outside 0 … 1000");
    // Thousandths are exact enough for every rate in use (23.976, 29.97, …).
    r.num = std::llround(fps * 1000);
    r.den = 1000;
    if (r.num == 0) fail(where, "frame_rate " + briefText(v) + " is too small");
  }
  const int64_t g = std::gcd(r.num, r.den);
  r.num /= g;
  r.den /= g;
  return r;
}

Interpolation parseInterpolation(const Json& v, const std::string& where) {
  if (v.is_string()) {
    const auto s = v.get<std::string>();
    if (s == "linear") return Interpolation::Linear;
    if (s == "hold") return Interpolation::Hold;
  }
  fail(where, "interpolation " + briefText(v) + " is not one of \"linear\", \"hold\"");
}

// A Bézier handle [x, y] in the unit square of its segment: x is the share of
// the segment's time (0 … 1, so that time never runs backwards), y the share
// of its change in value (any number: beyond 0 … 1 the value overshoots).
BezierHandle parseHandle(const Json& v, const std::string& where, const char* what) {
  if (!v.is_array() || v.size() != 2 || !v[0].is_number() || !v[1].is_number()) {
    fail(where, std::string(what) + " expects [x, y]: the share of the segment's time (0 … 1) and of its "
                "change in value, not " + briefText(v));
  }
  const double x = number(v[0], where, what), y = number(v[1], where, what);
  if (x < 0 || x > 1) fail(where, std::string(what) + " " + briefText(v) + ": x is outside 0 … 1");
  if (std::abs(y) > 1000) fail(where, std::string(what) + " " + briefText(v) + ": y is outside -1000 … 1000");
  return BezierHandle{x, y};
}

// "ease" and the two handles: how the value leaves and reaches this key.
void parseEasing(const Json& key, KeySetting& k, const std::string& where) {
  if (key.contains("handle_in")) k.in = parseHandle(key["handle_in"], where, "\"handle_in\"");
  if (key.contains("handle_out")) k.out = parseHandle(key["handle_out"], where, "\"handle_out\"");
  if (!key.contains("ease")) return;
  const Json& e = key["ease"];
  const std::string s = e.is_string() ? e.get<std::string>() : std::string();
  const bool in = s == "in" || s == "in-out", out = s == "out" || s == "in-out";
  if (!in && !out) {
    fail(where, "\"ease\" " + briefText(e) + " is not one of \"in\" (slow into this key), \"out\" (slow "
                "out of it), \"in-out\"");
  }
  if ((in && k.in) || (out && k.out)) {
    fail(where, "\"ease\" " + briefText(e) + " and a handle shape the same side of the key; give one of them");
  }
  if (in) k.in = kEaseIn;
  if (out) k.out = kEaseOut;
}

// Keys lie within the times a plug-in can be asked for: int32 counts of the
// time scale. Beyond that two distinct times can round to the same frame (or
// to infinity), and the interpolation between them means nothing.
constexpr double kMaxKeyFrame = 2147483647.0;

// A key's time in composition frames.
double keyFrame(const Json& key, const FrameRate& rate, const std::string& where) {
  const bool t = key.contains("t"), f = key.contains("f");
  if (t == f) fail(where, "a keyframe needs exactly one of \"t\" (seconds) or \"f\" (frames)");
  const double frame = t ? number(key["t"], where, "\"t\"") * rate.fps() : number(key["f"], where, "\"f\"");
  if (!(std::abs(frame) <= kMaxKeyFrame)) {
    fail(where, std::string(t ? "\"t\" " + briefText(key["t"]) : "\"f\" " + briefText(key["f"])) +
                    " is outside the times a composition can have (±2147483647 frames)");
  }
  return frame;
}

// Two keys closer than this are at the same frame.
constexpr double kSameFrame = 1e-9;

// Refuses a parameter whose keys share a frame, naming the first key in file
// order that meets an earlier one. Sorting once keeps this fast for any
// number of keys.
void checkDistinctFrames(const std::vector<KeySetting>& keys, const std::vector<std::string>& where) {
  std::vector<std::size_t> order(keys.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return keys[a].frame < keys[b].frame; });
  std::size_t worst = keys.size();
  for (std::size_t run = 0; run < order.size();) {
    // A run of keys each within kSameFrame of the one before: every key in it
    // after the earliest in file order meets an earlier one.
    std::size_t end = run + 1, first = order[run], second = keys.size();
    while (end < order.size() && keys[order[end]].frame - keys[order[end - 1]].frame < kSameFrame) {
      const std::size_t i = order[end];
      if (i < first) {
        second = first;
        first = i;
      } else {
        second = std::min(second, i);
      }
      ++end;
    }
    worst = std::min(worst, second);
    run = end;
  }
  if (worst == keys.size()) return;
  std::ostringstream f;
  f << keys[worst].frame;
  fail(where[worst], "is at frame " + f.str() + ", where another keyframe already is");
}

ParamSetting parseParam(const std::string& name, const Json& v, const FrameRate& rate,
                     const std::string& where) {
  ParamSetting p;
  p.name = name;
  // An object of colour members is a value of its own ({"r": …, "g": …,
  // "b": …}), checked when it is bound; any other object is keyframes.
  auto colourMember = [](const auto& m) {
    return m.key() == "r" || m.key() == "g" || m.key() == "b" || m.key() == "a";
  };
  const bool colourObject =
      v.is_object() && !v.empty() && std::all_of(v.items().begin(), v.items().end(), colourMember);
  if (!v.is_object() || colourObject) {
    p.keys.push_back(KeySetting{.frame = 0, .value = v});
    return p;
  }
  checkMembers(v, {"keyframes"}, where);
  if (!v.contains("keyframes")) {
    fail(where, "expects a value or {\"keyframes\": [...]}, not an object without keyframes");
  }
  const Json& keys = v["keyframes"];
  if (!keys.is_array() || keys.empty()) fail(where, "\"keyframes\" expects a non-empty array");
  p.keyed = true;
  std::vector<std::string> places;
  p.keys.reserve(keys.size());
  places.reserve(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const std::string at = where + ", keyframe " + std::to_string(i + 1);
    const Json& key = requireObject(keys[i], at);
    checkMembers(key, {"t", "f", "value", "interpolation", "ease", "handle_in", "handle_out"}, at);
    KeySetting k;
    k.frame = keyFrame(key, rate, at);
    if (!key.contains("value")) fail(at, "has no \"value\"");
    k.value = key["value"];
    if (key.contains("interpolation")) k.interpolation = parseInterpolation(key["interpolation"], at);
    parseEasing(key, k, at);
    p.keys.push_back(std::move(k));
    places.push_back(at);
  }
  checkDistinctFrames(p.keys, places);
  return p;
}

std::filesystem::path resolve(const std::filesystem::path& base, const std::string& p);

ProjectEffect parseEffect(const Json& v, const FrameRate& rate, const std::string& layerWhere,
                       std::size_t index, const std::filesystem::path& base) {
  std::string where = layerWhere + ", effect #" + std::to_string(index + 1);
  requireObject(v, where);
  checkMembers(v, {"effect", "params", "flat", "model"}, where);
  ProjectEffect e;
  if (!v.contains("effect") || !v["effect"].is_string() ||
      v["effect"].get<std::string>().empty()) {
    fail(where, "needs \"effect\": the effect's match name, such as \"HALV VASKPNT1\"");
  }
  e.matchName = v["effect"].get<std::string>();
  where = layerWhere + ", effect " + inQuotes(e.matchName) + " (#" + std::to_string(index + 1) + ")";
  if (v.contains("params")) {
    const Json& params = requireObject(v["params"], where + ", \"params\"");
    for (const auto& [name, value] : params.items()) {
      if (name == "comment") continue;
      e.params.push_back(parseParam(name, value, rate, where + ", parameter " + inQuotes(name)));
    }
  }
  if (v.contains("flat")) {
    if (!v["flat"].is_string()) fail(where, "\"flat\" expects a base64 string, not " + kindOf(v["flat"]));
    std::string why;
    auto bytes = decodeBase64(v["flat"].get<std::string>(), &why);
    if (!bytes) fail(where, "its saved sequence data (\"flat\") is not valid base64: " + why);
    // Saved sequence data is only ever handed back as a flattened record,
    // which starts with the 32-bit flag 1. Anything else (above all the live
    // form's flag 0, whose record holds this process's pointers) is refused
    // here, before an effect sees it.
    int32_t flag = -1;
    if (bytes->size() >= sizeof flag) std::memcpy(&flag, bytes->data(), sizeof flag);
    if (flag != 1) {
      const std::string found =
          bytes->size() < sizeof flag ? "it is only " + std::to_string(bytes->size()) + " bytes long"
                                      : "it starts with " + std::to_string(flag) +
                                            (flag == 0 ? ", the flag of a record held in memory" : "");
      fail(where, "its saved sequence data (\"flat\") is not a flattened record, which starts "
                  "with the 32-bit flag 1: " + found);
    }
    e.flat = std::move(*bytes);
  }
  if (v.contains("model")) {
    if (e.matchName != kFileObjectMatchName) {
      fail(where, "\"model\" belongs to a File Object (\"" + std::string(kFileObjectMatchName) + "\") only");
    }
    if (!v["model"].is_string() || v["model"].get<std::string>().empty()) {
      fail(where, "\"model\" expects the path of a 3DMF file, not " + kindOf(v["model"]));
    }
    e.model = std::filesystem::absolute(resolve(base, v["model"].get<std::string>())).lexically_normal();
  }
  return e;
}

std::filesystem::path resolve(const std::filesystem::path& base, const std::string& p) {
  const std::filesystem::path path(p);
  return path.is_absolute() ? path : base / path;
}

ProjectLayer parseLayer(const Json& v, std::size_t index, const ProjectComposition& comp, int format,
                     const std::filesystem::path& base, const std::string& file) {
  std::string where = file + ": layer #" + std::to_string(index + 1);
  requireObject(v, where);
  checkMembers(v, {"name", "image", "sequence", "first", "solid", "width", "height", "visible",
                   "effects"},
               where);
  ProjectLayer l;
  l.name = "Layer " + std::to_string(index + 1);
  if (v.contains("name")) {
    if (!v["name"].is_string() || v["name"].get<std::string>().empty()) {
      fail(where, "\"name\" expects a non-empty string");
    }
    l.name = v["name"].get<std::string>();
  }
  where = file + ": " + describeLayer(l, index);

  const int sources = int{v.contains("image")} + int{v.contains("sequence")} + int{v.contains("solid")};
  if (sources != 1) {
    fail(where, "needs exactly one source: \"image\" (a PNG file), \"sequence\" (numbered PNG "
                "files) or \"solid\" (a colour)");
  }
  auto pathMember = [&](const char* key) {
    if (!v[key].is_string() || v[key].get<std::string>().empty()) {
      fail(where, inQuotes(key) + " expects a file path");
    }
    return v[key].get<std::string>();
  };
  if (v.contains("image")) {
    l.kind = LayerKind::Image;
    l.file = resolve(base, pathMember("image"));
  } else if (v.contains("sequence")) {
    l.kind = LayerKind::Sequence;
    const std::filesystem::path full = resolve(base, pathMember("sequence"));
    std::string why;
    l.sequence = FramePattern::parse(full.filename().string(), &why);
    if (!l.sequence) fail(where, "\"sequence\" " + inQuotes(v["sequence"].get<std::string>()) + ": " + why);
    l.folder = full.parent_path();
    if (v.contains("first")) l.first = integer(v["first"], where, "\"first\"", 0, 999999999);
  } else {
    l.kind = LayerKind::Solid;
    std::vector<std::string> warnings;
    try {
      l.colour = parseColour(v["solid"], format, &warnings);
    } catch (const ProjectError& e) {
      fail(where, std::string("\"solid\": ") + e.what());
    }
    if (!warnings.empty()) fail(where, "\"solid\": " + warnings.front());
    l.width = comp.width;
    l.height = comp.height;
    if (v.contains("width")) l.width = static_cast<int32_t>(integer(v["width"], where, "\"width\"", 1, 32767));
    if (v.contains("height")) l.height = static_cast<int32_t>(integer(v["height"], where, "\"height\"", 1, 32767));
  }
  if (l.kind != LayerKind::Sequence && v.contains("first")) {
    fail(where, "\"first\" belongs to \"sequence\" layers only");
  }
  if (l.kind != LayerKind::Solid && (v.contains("width") || v.contains("height"))) {
    fail(where, "\"width\" and \"height\" belong to \"solid\" layers; an image has its own size");
  }
  if (v.contains("visible")) {
    if (!v["visible"].is_boolean()) fail(where, "\"visible\" expects true or false");
    l.visible = v["visible"].get<bool>();
  }
  if (v.contains("effects")) {
    const Json& effects = v["effects"];
    if (!effects.is_array()) fail(where, "\"effects\" expects an array");
    for (std::size_t i = 0; i < effects.size(); ++i) {
      l.effects.push_back(parseEffect(effects[i], comp.rate, where, i, base));
    }
  }
  return l;
}

ProjectComposition parseComposition(const Json& doc, int format, const std::string& file) {
  const std::string where = file + ": composition";
  if (!doc.contains("composition")) fail(file, "has no \"composition\"");
  const Json& v = requireObject(doc["composition"], where);
  checkMembers(v, {"width", "height", "frame_rate", "duration", "frames", "background"}, where);
  ProjectComposition c;
  for (const char* key : {"width", "height", "frame_rate"}) {
    if (!v.contains(key)) fail(where, "needs " + inQuotes(key));
  }
  c.width = static_cast<int32_t>(integer(v["width"], where, "\"width\"", 1, 32767));
  c.height = static_cast<int32_t>(integer(v["height"], where, "\"height\"", 1, 32767));
  c.rate = parseRate(v["frame_rate"], where);
  // Times reach the plug-ins as int32 counts of 1/num seconds in steps of den.
  const int64_t maxFrames = std::numeric_limits<int32_t>::max() / c.rate.den;
  if (v.contains("duration") == v.contains("frames")) {
    fail(where, "needs exactly one of \"duration\" (seconds) or \"frames\"");
  }
  if (v.contains("frames")) {
    c.frames = integer(v["frames"], where, "\"frames\"", 1, maxFrames);
  } else {
    const double seconds = number(v["duration"], where, "\"duration\"");
    const double frames = std::ceil(seconds * c.rate.fps() - 1e-6);
    // Written so that an infinite or huge product fails before any conversion.
    if (!(frames >= 1 && frames <= static_cast<double>(maxFrames))) {
      fail(where, "\"duration\" " + briefText(v["duration"]) + " s at " + briefText(v["frame_rate"]) +
                      " frames per second is outside 1 … " + std::to_string(maxFrames) + " frames");
    }
    c.frames = static_cast<int64_t>(frames);
  }
  if (v.contains("background")) {
    std::vector<std::string> warnings;
    try {
      c.background = parseColour(v["background"], format, &warnings);
    } catch (const ProjectError& e) {
      fail(where, std::string("\"background\": ") + e.what());
    }
    if (!warnings.empty()) fail(where, "\"background\": " + warnings.front());
  }
  return c;
}

}  // namespace

std::ostream& operator<<(std::ostream& os, const FrameRate& r) {
  if (r.den == 1) return os << r.num;
  return os << r.num << '/' << r.den;
}

std::optional<FramePattern> FramePattern::parse(std::string_view text, std::string* why) {
  auto bad = [&](std::string what) -> std::optional<FramePattern> {
    if (why) *why = std::move(what);
    return std::nullopt;
  };
  FramePattern p;
  p.text_ = std::string(text);
  bool found = false;
  std::string* out = &p.prefix_;
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '#') {
      if (found) return bad("it has more than one frame number");
      std::size_t n = 0;
      while (i + n < text.size() && text[i + n] == '#') ++n;
      found = true;
      p.width_ = static_cast<int>(n);
      out = &p.suffix_;
      i += n;
    } else if (c == '%') {
      if (i + 1 < text.size() && text[i + 1] == '%') {
        *out += '%';
        i += 2;
        continue;
      }
      std::size_t j = i + 1;
      while (j < text.size() && j - i <= 3 && text[j] >= '0' && text[j] <= '9') ++j;
      if (j >= text.size() || text[j] != 'd') {
        return bad("only %d, %0Nd and %% are understood in a sequence pattern");
      }
      if (found) return bad("it has more than one frame number");
      const std::string digits(text.substr(i + 1, j - i - 1));
      if (!digits.empty() && digits[0] != '0') {
        return bad("a frame number is %d or zero-padded %0Nd, not space-padded %" + digits + "d");
      }
      p.width_ = digits.empty() ? 0 : std::stoi(digits);
      if (p.width_ > 18) return bad("a frame number of more than 18 digits");
      found = true;
      out = &p.suffix_;
      i = j + 1;
    } else {
      *out += c;
      ++i;
    }
  }
  if (!found) return bad("it has no frame number (write #### or %04d where the number goes)");
  return p;
}

std::string FramePattern::name(int64_t n) const {
  std::string digits = std::to_string(n);
  if (static_cast<int>(digits.size()) < width_) {
    digits.insert(0, static_cast<std::size_t>(width_) - digits.size(), '0');
  }
  return prefix_ + digits + suffix_;
}

bool FramePattern::matches(std::string_view fileName) const {
  if (fileName.size() < prefix_.size() + suffix_.size() + std::max(width_, 1)) return false;
  if (!fileName.starts_with(prefix_) || !fileName.ends_with(suffix_)) return false;
  const std::string_view digits = fileName.substr(prefix_.size(), fileName.size() - prefix_.size() - suffix_.size());
  return static_cast<int>(digits.size()) >= width_ &&
         std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string briefText(const Json& value) {
  std::string s = value.dump();
  if (s.size() > 60) s = s.substr(0, 57) + "...";
  return s;
}

TextPosition positionOf(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  TextPosition p;
  for (std::size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      ++p.line;
      p.column = 1;
    } else {
      ++p.column;
    }
  }
  return p;
}

std::string describeLayer(const ProjectLayer& layer, std::size_t index) {
  return "layer " + inQuotes(layer.name) + " (#" + std::to_string(index + 1) + ")";
}

std::string describeEffect(const ProjectLayer& layer, std::size_t layerIndex, const ProjectEffect& effect,
                           std::size_t effectIndex) {
  return describeLayer(layer, layerIndex) + ", effect " + inQuotes(effect.matchName) + " (#" +
         std::to_string(effectIndex + 1) + ")";
}

namespace {

struct NumberTooLarge {
  std::string token;
};

// Checks a project's text before it becomes a document. Nothing in a project
// nests deeply, so a limit keeps every later walk of the document (messages,
// saving) within a small, known depth. A member written twice in one object
// would silently lose one of its values. A number beyond a double's range
// would become infinity.
class ProjectTextCheck final : public nlohmann::json_sax<Json> {
 public:
  explicit ProjectTextCheck(const std::string& name) : name_(name) {}

  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t value, const string_t& token) override {
    if (!std::isfinite(value)) throw NumberTooLarge{token};
    return true;
  }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override {
    enter();
    keys_.emplace_back();
    return true;
  }
  bool key(string_t& key) override {
    if (!keys_.back().insert(key).second) {
      throw ProjectError(name_ + ": member " + inQuotes(key) +
                         " appears twice in one object; only one value can count");
    }
    return true;
  }
  bool end_object() override {
    keys_.pop_back();
    --depth_;
    return true;
  }
  bool start_array(std::size_t) override {
    enter();
    return true;
  }
  bool end_array() override {
    --depth_;
    return true;
  }
  bool parse_error(std::size_t, const std::string& lastToken, const nlohmann::detail::exception& e) override {
    if (const auto* syntax = dynamic_cast<const Json::parse_error*>(&e)) throw *syntax;
    throw NumberTooLarge{lastToken};  // the reader's only other error: 406, number overflow
  }

 private:
  void enter() {
    if (++depth_ > kMaxDepth) {
      throw ProjectError(name_ + ": values nest deeper than " + std::to_string(kMaxDepth) +
                         " levels; no project needs that");
    }
  }

  const std::string& name_;
  int depth_ = 0;
  std::vector<std::unordered_set<std::string>> keys_;
};

// Offset of the first number `token` outside strings in JSON `text`, or the
// end of the text when there is none.
std::size_t numberOffset(std::string_view text, std::string_view token) {
  auto numberChar = [](char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
  };
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') ++i;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (!token.empty() && text.substr(i, token.size()) == token &&
               (i == 0 || !numberChar(text[i - 1])) &&
               (i + token.size() == text.size() || !numberChar(text[i + token.size()]))) {
      return i;
    }
  }
  return text.size();
}

bool scalar(const Json& v) { return !v.is_object() && !v.is_array(); }

bool scalarArray(const Json& v) {
  if (!v.is_array()) return false;
  for (const auto& item : v) {
    if (!scalar(item)) return false;
  }
  return true;
}

// One line for containers of plain values (or, in objects, of short arrays of
// them: a keyframe with a colour) that fit.
bool inlineable(const Json& v) {
  if (scalar(v)) return true;
  for (const auto& item : v) {
    if (!scalar(item) && !(v.is_object() && scalarArray(item))) return false;
  }
  return v.dump().size() <= 72;
}

void format(const Json& v, int indent, std::string& out) {
  const std::string pad(static_cast<std::size_t>(indent), ' ');
  const std::string inner(static_cast<std::size_t>(indent) + 2, ' ');
  if (scalar(v)) {
    out += v.dump();
  } else if (v.empty()) {
    out += v.is_array() ? "[]" : "{}";
  } else if (inlineable(v)) {
    out += v.is_array() ? "[" : "{";
    bool first = true;
    for (const auto& [key, item] : v.items()) {
      if (!first) out += ", ";
      first = false;
      if (v.is_object()) out += Json(key).dump() + ": ";
      format(item, indent, out);
    }
    out += v.is_array() ? "]" : "}";
  } else {
    out += v.is_array() ? "[\n" : "{\n";
    bool first = true;
    for (const auto& [key, item] : v.items()) {
      if (!first) out += ",\n";
      first = false;
      out += inner;
      if (v.is_object()) out += Json(key).dump() + ": ";
      format(item, indent + 2, out);
    }
    out += "\n" + pad + (v.is_array() ? "]" : "}");
  }
}

}  // namespace

std::string formatProjectText(const Json& document) {
  std::string out;
  format(document, 0, out);
  return out + "\n";
}

Project parseProject(std::string_view text, const std::filesystem::path& file) {
  const std::string name = file.string();
  Project p;
  p.file = file;
  p.name = file.stem().string();
  try {
    // A first pass checks what the document reader would accept silently or
    // report badly; the second builds the document. Both are linear.
    ProjectTextCheck check(name);
    Json::sax_parse(text, &check);
    p.document = Json::parse(text);
  } catch (const NumberTooLarge& e) {
    // The one value error the reader reports without a position: find the
    // number in the text.
    const TextPosition at = positionOf(text, numberOffset(text, e.token));
    throw ProjectError(name + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) +
                       ": the number " + e.token + " is too large");
  } catch (const Json::parse_error& e) {
    const TextPosition at = positionOf(text, e.byte == 0 ? 0 : e.byte - 1);
    // nlohmann's text is "[json.exception…] parse error at line L, column C: detail".
    std::string detail = e.what();
    if (auto colon = detail.find(": ", detail.find("column")); colon != std::string::npos) {
      detail = detail.substr(colon + 2);
    }
    throw ProjectError(name + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) +
                       ": " + detail);
  }
  const Json& doc = p.document;
  if (!doc.is_object()) fail(name, "a project is a JSON object, not " + kindOf(doc));
  checkMembers(doc, {"format", "composition", "layers"}, name);
  if (!doc.contains("format")) {
    fail(name, "has no \"format\"; this vask reads \"format\": " + std::to_string(kOldestProjectFormat) + " … " +
                   std::to_string(kProjectFormat));
  }
  const Json& format = doc["format"];
  if (!format.is_number_integer() || format.get<int64_t>() < kOldestProjectFormat ||
      format.get<int64_t>() > kProjectFormat) {
    fail(name, "\"format\" " + briefText(format) + " is not supported; this vask reads \"format\": " +
                   std::to_string(kOldestProjectFormat) + " … " + std::to_string(kProjectFormat));
  }
  p.format = static_cast<int>(format.get<int64_t>());
  p.composition = parseComposition(doc, p.format, name);
  const std::filesystem::path base = file.parent_path();
  if (doc.contains("layers")) {
    const Json& layers = doc["layers"];
    if (!layers.is_array()) fail(name, "\"layers\" expects an array");
    for (std::size_t i = 0; i < layers.size(); ++i) {
      p.layers.push_back(parseLayer(layers[i], i, p.composition, p.format, base, name));
    }
  }
  return p;
}

Project loadProject(const std::filesystem::path& path) {
  std::string text;
  try {
    // A FIFO or pipe is fine (a project made by another program); a device
    // that never ends is cut off by the size limit.
    text = readWholeFile(path, kMaxProjectBytes, Streams::Accept, "a project is a few kilobytes of text");
  } catch (const HostError& e) {
    throw ProjectError(e.what());
  }
  return parseProject(text, path);
}

}  // namespace vask::host
