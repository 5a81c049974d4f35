// What differs between the four plug-ins' effect-controls panels: the tool
// palette's buttons and artwork, what each palette command does, and which
// parameters the tools write.
#pragma once

#include <array>
#include <cstdint>
#include <ostream>

namespace vask {

enum class PanelKind { FileObject, MeshObject, SpotLight, PointLight };

std::ostream& operator<<(std::ostream& os, PanelKind kind);

// What pressing or choosing a palette command does in one plug-in. Tools
// become current when their button is released over it and act on drags;
// actions (the two resets) act when their button is pressed.
enum class ToolAction : uint8_t {
  None,         // a button that does nothing
  Orbit,        // tool: turn the preview camera about the look-at point
  Dolly,        // tool: move the preview camera along its view axis
  Pan,          // tool: slide the preview camera sideways
  ResetCamera,  // action
  Rotate,       // tool: the object's angles, or the spot light's aim
  Move,         // tool: the object's or light's position
  Scale,        // tool: the object's three scales
  Reset,        // action: the placement parameters back to their defaults
  NoEffect,     // tool that drags nothing (the Spot Light's third object button)
};

std::ostream& operator<<(std::ostream& os, ToolAction action);

// One palette button as the plug-in lays it out.
struct ToolButton {
  int32_t command;
  bool latching;       // stays down after release
  int32_t radioGroup;  // 0: none
  bool selected;       // down at creation
};

// Parameter indices the tools read and write; −1 where the plug-in has none.
struct PlacementParams {
  int32_t leftRight = -1;
  int32_t upDown = -1;
  int32_t roll = -1;  // the "Vask" angle
  std::array<int32_t, 3> position{-1, -1, -1};
  std::array<int32_t, 3> scale{-1, -1, -1};
};

struct ToolSet {
  PanelKind kind;
  // The "BMP" resource holding the eight buttons' artwork.
  int32_t bitmapId;
  // Column 0 top to bottom, then column 1; image i is button i.
  std::array<ToolButton, 8> buttons;
  // What commands 0 … 7 do.
  std::array<ToolAction, 8> actions;
  PlacementParams params;
  // The manipulator's own parameter index.
  int32_t manipulatorParam;
  // The File Object's "Model" control, or −1.
  int32_t modelParam;
  // The preview marks the point the camera orbits about (object plug-ins).
  bool showsLookAt;

  // What `command` does; None for commands outside 0 … 7.
  ToolAction action(int32_t command) const;
  // True for commands that become the current tool on release.
  bool isTool(int32_t command) const;
  // Every parameter the reset action restores, in table order.
  int32_t resetParams(std::array<int32_t, 9>& out) const;
};

// The tool set of a plug-in; the same object for every call.
const ToolSet& toolSet(PanelKind kind);

// The command of the tool selected when a panel is made.
inline constexpr int32_t kInitialTool = 4;

}  // namespace vask
