// One parameter as an effect declared it at params setup.
//
// The plug-in's definition is copied whole when add_param is called, and so
// are the texts it points at (a checkbox's label, a popup's choices), which the
// plug-in need not keep: the copies' pointers refer to this object's own
// strings, and are re-pointed whenever the object is copied.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/effect_api/EffectApi.h"

namespace vask::host {

class ParamDeclaration {
 public:
  // Longest label or choices text read from a plug-in, in bytes.
  static constexpr std::size_t kMaxText = 4096;

  // Copies `def` and its texts; the name is cut to 31 bytes. `def` comes from
  // a plug-in: its text pointers are read up to kMaxText bytes or a zero.
  explicit ParamDeclaration(const PF_ParamDef& def);
  // The host's own definition of the input layer, index 0.
  static ParamDeclaration inputLayer();

  ParamDeclaration(const ParamDeclaration& other);
  ParamDeclaration& operator=(const ParamDeclaration& other);

  const PF_ParamDef& def() const { return def_; }
  std::string_view name() const { return def_.name; }
  PF_ParamType type() const { return def_.param_type; }
  std::string_view label() const { return label_; }      // checkbox
  std::string_view choices() const { return choices_; }  // popup

  // Why the host cannot hold this parameter, or empty when it can: an unknown
  // or unsupported type (PF_Err_UNRECOGNIZED_PARAM_TYPE), or values that
  // contradict each other (PF_Err_BAD_CALLBACK_PARAM).
  std::string problem(PF_Err* code = nullptr) const;

  // The definition with its value set to its default: what a new instance
  // starts from. Text pointers refer to this object's strings.
  PF_ParamDef initialValue() const;

 private:
  ParamDeclaration() = default;
  void repoint();

  PF_ParamDef def_{};
  std::string label_;
  std::string choices_;
};

// "fixed slider", "custom control", …; "type N" for codes the host does not know.
std::string paramTypeName(const PF_ParamDef& def);
// Items of a '|'-separated text: each run of other characters counts once.
int32_t countChoices(std::string_view choices);
// A 16.16 value as a short decimal ("-90", "0.5", "1.2346").
std::string formatFixed(PF_Fixed v);

// One line: name, type, flags and the type's own fields.
std::ostream& operator<<(std::ostream& os, const ParamDeclaration& p);

}  // namespace vask::host
