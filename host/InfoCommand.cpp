#include "host/InfoCommand.h"

#include <cstdio>
#include <string>

#include "host/Effect.h"
#include "host/HostError.h"

namespace vask::host {
namespace {

std::string hex(uint32_t v, int digits = 8) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%0*x", digits, v);
  return buf;
}

// The host's version packing: version, subversion, bug-fix, stage, build.
std::string versionText(uint32_t v) {
  return std::to_string((v >> 19) & 0x7) + "." + std::to_string((v >> 15) & 0xF) + "." +
         std::to_string((v >> 11) & 0xF) + " stage " + std::to_string((v >> 9) & 0x3) + " build " +
         std::to_string(v & 0x1FF);
}

void printPiPL(const PiPLInfo& p, std::ostream& out) {
  out << "  kind            " << p.kind << "\n"
      << "  name            " << p.name << "\n"
      << "  match name      " << p.matchName << "\n"
      << "  category        " << p.category << "\n"
      << "  entry point     " << p.entryPoint << "\n"
      << "  PiPL version    " << hex(static_cast<uint32_t>(p.piplVersion)) << "\n"
      << "  API version     " << hex(static_cast<uint32_t>(p.apiVersion)) << "\n"
      << "  effect version  " << hex(p.effectVersion) << " (" << versionText(p.effectVersion)
      << ")\n"
      << "  info flags      " << hex(static_cast<uint16_t>(p.infoFlags), 4) << "\n"
      << "  global flags    " << hex(p.globalFlags) << "\n";
}

bool reportFailure(const std::string& who, const char* what, const CommandResult& r,
                   std::ostream& err) {
  if (r.ok()) return false;
  err << who << ": " << what << " failed with error " << r.err;
  if (!r.message.empty()) err << ": " << r.message;
  err << "\n";
  return true;
}

bool describe(const std::filesystem::path& file, std::ostream& out, std::ostream& err) {
  const std::string who = file.string();
  std::shared_ptr<Effect> effect;
  try {
    effect = Effect::load(file);
  } catch (const HostError& e) {
    err << e.what() << "\n";
    return false;
  }
  out << who << "\n";
  printPiPL(effect->pipl(), out);

  const CommandResult setup = effect->globalSetup();
  out << "  run time        my_version " << hex(effect->version()) << ", out flags "
      << hex(static_cast<uint32_t>(effect->outFlags())) << "\n";
  if (reportFailure(who, "global setup", setup, err)) return false;

  bool ok = true;
  const CommandResult params = effect->paramsSetup();
  if (reportFailure(who, "params setup", params, err)) {
    ok = false;
  } else {
    out << "  parameters      " << effect->numParams() << " (index 0 is the input layer)\n";
    const auto& table = effect->params();
    for (std::size_t i = 0; i < table.size(); ++i) {
      out << "    " << (i < 10 ? " " : "") << i << "  " << table[i] << "\n";
    }
    if (const auto& ui = effect->customUI()) {
      out << "  custom UI       events " << hex(static_cast<uint32_t>(ui->events)) << "\n";
    }
    if (!effect->paramsReady()) {
      err << who << ": params setup reported num_params " << effect->numParams() << " but declared "
          << table.size() << " parameters\n";
      ok = false;
    }
  }
  for (const auto& v : effect->violations()) err << who << ": " << v << "\n";
  if (reportFailure(who, "global setdown", effect->globalSetdown(), err)) ok = false;
  return ok;
}

}  // namespace

int runInfo(const std::vector<std::filesystem::path>& files, std::ostream& out, std::ostream& err) {
  bool all = true;
  for (const auto& f : files) {
    if (!describe(f, out, err)) all = false;
  }
  return all ? 0 : 1;
}

}  // namespace vask::host
