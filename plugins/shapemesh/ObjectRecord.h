// The Mesh Object's live sequence record.
#pragma once

#include <cstdint>

#include "platform/q3d/QD3D.h"

namespace vask {

class ControlsPanel;

struct ObjectSequenceRecord {
  int32_t flattened;
  bool smoothAtBuild;     // Smooth was on when the grid was built
  bool texturedAtBuild;   // a texture layer was set when the grid was built
  TQ3GeometryObject grid;
  TQ3ShaderObject surfaceShader;
  TQ3GroupObject objectGroup;
  TQ3TransformObject objectTransform;
  TQ3AttributeSet objectAttributes;
  int32_t gridWidth;
  int32_t gridHeight;
  void* pixelBuffer;      // from the shell's allocator
  uint32_t pixelBufferSize;
  ControlsPanel* panel;
};

}  // namespace vask
