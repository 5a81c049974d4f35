#include "host/ParamDeclaration.h"

#include <cstdio>
#include <cstring>

namespace vask::host {
namespace {

std::string readText(const char* p) {
  if (!p) return {};
  return std::string(p, strnlen(p, ParamDeclaration::kMaxText));
}

std::string hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%x", v);
  return buf;
}

}  // namespace

ParamDeclaration::ParamDeclaration(const PF_ParamDef& def) : def_(def) {
  def_.name[sizeof def_.name - 1] = '\0';
  if (def_.param_type == PF_Param_CHECKBOX) label_ = readText(def.u.bd.name);
  if (def_.param_type == PF_Param_POPUP) choices_ = readText(def.u.pd.names);
  repoint();
}

ParamDeclaration ParamDeclaration::inputLayer() {
  ParamDeclaration p;
  p.def_.param_type = PF_Param_LAYER;
  std::strncpy(p.def_.name, "Input", sizeof p.def_.name - 1);
  return p;
}

ParamDeclaration::ParamDeclaration(const ParamDeclaration& other)
    : def_(other.def_), label_(other.label_), choices_(other.choices_) {
  repoint();
}

ParamDeclaration& ParamDeclaration::operator=(const ParamDeclaration& other) {
  def_ = other.def_;
  label_ = other.label_;
  choices_ = other.choices_;
  repoint();
  return *this;
}

void ParamDeclaration::repoint() {
  if (def_.param_type == PF_Param_CHECKBOX) def_.u.bd.name = label_.c_str();
  if (def_.param_type == PF_Param_POPUP) def_.u.pd.names = choices_.c_str();
}

std::string ParamDeclaration::problem(PF_Err* code) const {
  auto bad = [&](std::string why) {
    if (code) *code = PF_Err_BAD_CALLBACK_PARAM;
    return why;
  };
  if (code) *code = PF_Err_NONE;
  const auto& u = def_.u;
  switch (def_.param_type) {
    case PF_Param_LAYER:
      if (u.ld.dephault < 0)
        return bad("default layer " + std::to_string(u.ld.dephault) + " is negative");
      return {};
    case PF_Param_FIX_SLIDER:
      if (u.fd.valid_min > u.fd.valid_max) return bad("valid minimum above valid maximum");
      if (u.fd.slider_min > u.fd.slider_max) return bad("slider minimum above slider maximum");
      if (u.fd.dephault < u.fd.valid_min || u.fd.dephault > u.fd.valid_max) {
        return bad("default " + formatFixed(u.fd.dephault) + " outside the valid range " +
                   formatFixed(u.fd.valid_min) + " … " + formatFixed(u.fd.valid_max));
      }
      if (u.fd.precision < 0) return bad("negative precision");
      return {};
    case PF_Param_ANGLE:
    case PF_Param_COLOR:
      return {};
    case PF_Param_CHECKBOX:
      if (u.bd.dephault > 1)
        return bad("checkbox default " + std::to_string(u.bd.dephault) + " is not 0 or 1");
      return {};
    case PF_Param_POPUP: {
      const int32_t items = countChoices(choices_);
      if (u.pd.num_choices < 1)
        return bad("popup has " + std::to_string(u.pd.num_choices) + " choices");
      if (items != u.pd.num_choices) {
        return bad("popup declares " + std::to_string(u.pd.num_choices) +
                   " choices but its text '" + choices_ + "' has " + std::to_string(items));
      }
      if (u.pd.dephault < 1 || u.pd.dephault > u.pd.num_choices) {
        return bad("popup default " + std::to_string(u.pd.dephault) + " outside 1 … " +
                   std::to_string(u.pd.num_choices));
      }
      return {};
    }
    case PF_Param_NO_DATA:
      if (def_.ui_width < 0 || def_.ui_height < 0) return bad("control area has a negative size");
      return {};
    default:
      if (code) *code = PF_Err_UNRECOGNIZED_PARAM_TYPE;
      return "parameter type " + paramTypeName(def_) + " is not supported";
  }
}

PF_ParamDef ParamDeclaration::initialValue() const {
  PF_ParamDef v = def_;
  v.uu.change_flags = 0;
  switch (v.param_type) {
    case PF_Param_FIX_SLIDER:
      v.u.fd.value = v.u.fd.dephault;
      break;
    case PF_Param_ANGLE:
      v.u.ad.value = v.u.ad.dephault;
      break;
    case PF_Param_CHECKBOX:
      v.u.bd.value = v.u.bd.dephault;
      break;
    case PF_Param_COLOR:
      v.u.cd.value = v.u.cd.dephault;
      break;
    case PF_Param_POPUP:
      v.u.pd.value = v.u.pd.dephault;
      break;
    case PF_Param_LAYER: {
      const int32_t dflt = v.u.ld.dephault;
      v.u.ld = PF_LayerDef{};
      v.u.ld.dephault = dflt;
      break;
    }
    default:
      break;
  }
  return v;
}

std::string paramTypeName(const PF_ParamDef& def) {
  switch (def.param_type) {
    case PF_Param_LAYER:
      return "layer";
    case PF_Param_SLIDER:
      return "slider";
    case PF_Param_FIX_SLIDER:
      return "fixed slider";
    case PF_Param_ANGLE:
      return "angle";
    case PF_Param_CHECKBOX:
      return "checkbox";
    case PF_Param_COLOR:
      return "color";
    case PF_Param_POINT:
      return "point";
    case PF_Param_POPUP:
      return "popup";
    case PF_Param_CUSTOM:
      return "arbitrary data";
    case PF_Param_NO_DATA:
      return (def.ui_flags & PF_PUI_CONTROL) ? "custom control" : "no data";
    default:
      return "type " + std::to_string(def.param_type);
  }
}

int32_t countChoices(std::string_view choices) {
  int32_t n = 0;
  bool inItem = false;
  for (char c : choices) {
    if (c == '|') {
      inItem = false;
    } else if (!inItem) {
      inItem = true;
      ++n;
    }
  }
  return n;
}

std::string formatFixed(PF_Fixed v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4f", v / 65536.0);
  std::string s = buf;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  if (s == "-0") s = "0";
  return s;
}

std::ostream& operator<<(std::ostream& os, const ParamDeclaration& p) {
  const PF_ParamDef& d = p.def();
  os << '"' << p.name() << "\"  " << paramTypeName(d) << "  flags "
     << hex(static_cast<uint32_t>(d.flags));
  const auto& u = d.u;
  switch (d.param_type) {
    case PF_Param_LAYER:
      os << "  default layer " << u.ld.dephault;
      break;
    case PF_Param_FIX_SLIDER:
      os << "  valid " << formatFixed(u.fd.valid_min) << " … " << formatFixed(u.fd.valid_max)
         << "  slider " << formatFixed(u.fd.slider_min) << " … " << formatFixed(u.fd.slider_max)
         << "  default " << formatFixed(u.fd.dephault) << "  precision " << u.fd.precision;
      if (u.fd.display_flags) os << "  display flags " << u.fd.display_flags;
      break;
    case PF_Param_ANGLE:
      os << "  default " << formatFixed(u.ad.dephault) << "°";
      break;
    case PF_Param_CHECKBOX:
      os << "  label \"" << p.label() << "\"  default " << (u.bd.dephault ? "on" : "off");
      break;
    case PF_Param_COLOR:
      os << "  default a " << int{u.cd.dephault.alpha} << ", r " << int{u.cd.dephault.red} << ", g "
         << int{u.cd.dephault.green} << ", b " << int{u.cd.dephault.blue};
      break;
    case PF_Param_POPUP:
      os << "  choices \"" << p.choices() << "\"  count " << u.pd.num_choices << "  default "
         << u.pd.dephault;
      break;
    case PF_Param_NO_DATA:
      os << "  area " << d.ui_width << " x " << d.ui_height << "  ui flags "
         << hex(static_cast<uint32_t>(d.ui_flags));
      break;
    default:
      break;
  }
  return os;
}

}  // namespace vask::host
