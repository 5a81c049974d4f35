// ErrData: the one failure type of the effect family.
//
// Every failure inside a plug-in is raised as ErrData, thrown and caught by
// value. The entry point turns it into the host's error code and message. The
// handlers decide by `code` alone; `kind` only records where the number came
// from.
#pragma once

#include <cstdint>
#include <ostream>

namespace vask {

enum class ErrKind : int32_t {
  Host = 0,      // a host error code, a system (errno) code or one of our message numbers
  QuickDraw = 1  // a QuickDraw 3D error code, as Q3Error_Get returned it
};

struct ErrData {
  ErrKind kind = ErrKind::Host;
  int32_t code = 0;

  static ErrData host(int32_t code) { return {ErrKind::Host, code}; }
  static ErrData quickDraw(int32_t code) { return {ErrKind::QuickDraw, code}; }
};

inline bool operator==(const ErrData& a, const ErrData& b) {
  return a.kind == b.kind && a.code == b.code;
}

inline std::ostream& operator<<(std::ostream& os, const ErrData& e) {
  return os << "ErrData{" << (e.kind == ErrKind::Host ? "host" : "q3d") << ", " << e.code << "}";
}

// Message numbers the family raises itself.
namespace msg {
inline constexpr int32_t kOutOfMemory = 1024;
inline constexpr int32_t kIncorrectFormat = 1026;
inline constexpr int32_t kQ3InitFailed = 1027;
inline constexpr int32_t kUserCanceled = 1028;
inline constexpr int32_t kCouldNotUseModel = 1030;
inline constexpr int32_t kQ3VersionTooOld = 1038;
inline constexpr int32_t kCouldNotOpenModel = 1039;
inline constexpr int32_t kEmpty = 4096;
}  // namespace msg

// Raises ErrData::host(code). [[noreturn]] helpers keep call sites short.
[[noreturn]] inline void raise(int32_t code) { throw ErrData::host(code); }

}  // namespace vask
