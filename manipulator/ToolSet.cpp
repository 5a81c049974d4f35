#include "manipulator/ToolSet.h"

#include "plugins/common/art/Artwork.h"
#include "shell/ParamTables.h"

namespace vask {
namespace {

using A = ToolAction;

// The camera column is the same everywhere: orbit, pan, dolly, reset camera.
constexpr ToolButton kOrbit{0, true, 1, false};
constexpr ToolButton kPan{2, true, 1, false};
constexpr ToolButton kDolly{1, true, 1, false};
constexpr ToolButton kResetCamera{3, false, 0, false};
constexpr ToolButton kFirstObjectTool{4, true, 1, true};
constexpr ToolButton kResetObject{7, false, 0, false};

constexpr PlacementParams objectParams(int32_t first) {
  PlacementParams p;
  p.leftRight = first;
  p.upDown = first + 1;
  p.roll = first + 2;
  p.position = {first + 3, first + 4, first + 5};
  p.scale = {first + 6, first + 7, first + 8};
  return p;
}

constexpr PlacementParams spotParams() {
  PlacementParams p;
  p.leftRight = beamlamp::kLeftRight;
  p.upDown = beamlamp::kUpDown;
  p.position = {beamlamp::kXPosition, beamlamp::kYPosition, beamlamp::kZPosition};
  return p;
}

constexpr PlacementParams pointParams() {
  PlacementParams p;
  p.position = {glowlamp::kXPosition, glowlamp::kYPosition, glowlamp::kZPosition};
  return p;
}

// The Spot Light shares these: its third object button is a tool that drags
// nothing, and it latches in the tools' radio group like the others, so that
// the palette never shows two tools down at once.
constexpr std::array<ToolButton, 8> kObjectButtons{
    kOrbit, kPan, kDolly, kResetCamera, kFirstObjectTool, {5, true, 1, false}, {6, true, 1, false},
    kResetObject};

constexpr std::array<ToolButton, 8> kPointButtons{
    kOrbit, kPan, kDolly, kResetCamera, kFirstObjectTool, {6, false, 0, false}, {6, false, 0, false},
    {5, false, 0, false}};

constexpr std::array<ToolAction, 8> kObjectActions{A::Orbit, A::Dolly, A::Pan,  A::ResetCamera,
                                                   A::Rotate, A::Move,  A::Scale, A::Reset};
constexpr std::array<ToolAction, 8> kSpotActions{A::Orbit,  A::Dolly, A::Pan,      A::ResetCamera,
                                                 A::Rotate, A::Move,  A::NoEffect, A::Reset};
constexpr std::array<ToolAction, 8> kPointActions{A::Orbit, A::Dolly, A::Pan,  A::ResetCamera,
                                                  A::Move,  A::Reset, A::None, A::None};

const ToolSet kFileObject{PanelKind::FileObject,     plugins::art::kToolPaletteId,
                          kObjectButtons,            kObjectActions,
                          objectParams(meshfile::kLeftRight),
                          meshfile::kManipulator,    meshfile::kModel,
                          true};
const ToolSet kMeshObject{PanelKind::MeshObject,     plugins::art::kToolPaletteId,
                          kObjectButtons,            kObjectActions,
                          objectParams(shapemesh::kLeftRight),
                          shapemesh::kManipulator,   -1,
                          true};
const ToolSet kSpotLight{PanelKind::SpotLight, plugins::art::kSpotToolPaletteId,
                         kObjectButtons,       kSpotActions,
                         spotParams(),         beamlamp::kManipulator,
                         -1,                   false};
const ToolSet kPointLight{PanelKind::PointLight, plugins::art::kToolPaletteId,
                          kPointButtons,         kPointActions,
                          pointParams(),         glowlamp::kManipulator,
                          -1,                    false};

}  // namespace

ToolAction ToolSet::action(int32_t command) const {
  if (command < 0 || command >= static_cast<int32_t>(actions.size())) return ToolAction::None;
  return actions[static_cast<std::size_t>(command)];
}

bool ToolSet::isTool(int32_t command) const {
  switch (action(command)) {
    case A::Orbit:
    case A::Dolly:
    case A::Pan:
    case A::Rotate:
    case A::Move:
    case A::Scale:
    case A::NoEffect:
      return true;
    default:
      return false;
  }
}

int32_t ToolSet::resetParams(std::array<int32_t, 9>& out) const {
  int32_t n = 0;
  for (int32_t index : {params.leftRight, params.upDown, params.roll}) {
    if (index >= 0) out[static_cast<std::size_t>(n++)] = index;
  }
  for (int32_t index : params.position) {
    if (index >= 0) out[static_cast<std::size_t>(n++)] = index;
  }
  for (int32_t index : params.scale) {
    if (index >= 0) out[static_cast<std::size_t>(n++)] = index;
  }
  return n;
}

const ToolSet& toolSet(PanelKind kind) {
  switch (kind) {
    case PanelKind::FileObject: return kFileObject;
    case PanelKind::MeshObject: return kMeshObject;
    case PanelKind::SpotLight: return kSpotLight;
    case PanelKind::PointLight: return kPointLight;
  }
  return kMeshObject;
}

std::ostream& operator<<(std::ostream& os, PanelKind kind) {
  switch (kind) {
    case PanelKind::FileObject: return os << "FileObject";
    case PanelKind::MeshObject: return os << "MeshObject";
    case PanelKind::SpotLight: return os << "SpotLight";
    case PanelKind::PointLight: return os << "PointLight";
  }
  return os << "PanelKind(" << static_cast<int>(kind) << ')';
}

std::ostream& operator<<(std::ostream& os, ToolAction action) {
  static constexpr const char* kNames[] = {"None",  "Orbit", "Dolly", "Pan",   "ResetCamera",
                                           "Rotate", "Move", "Scale", "Reset", "NoEffect"};
  const auto i = static_cast<std::size_t>(action);
  if (i < std::size(kNames)) return os << kNames[i];
  return os << "ToolAction(" << i << ')';
}

}  // namespace vask
