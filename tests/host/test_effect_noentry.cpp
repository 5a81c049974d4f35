// An effect library whose PiPL names an entry point it does not export.
#include "platform/effect_api/PiPL.h"

namespace {
constexpr vask::pipl::Fields kPiPL{.name = "No Entry", .matchName = "VASK NOENTRY1"};
VASK_DEFINE_PIPL(kPiPL);
}  // namespace

extern "C" int noEntryHelper() { return 1; }
