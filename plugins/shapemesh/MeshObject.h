// The Mesh Object: a relief made from a layer, brought up to date at every
// frame setup before its object group is published.
#pragma once

#include "plugins/shapemesh/ObjectRecord.h"
#include "shell/EffectCall.h"

namespace vask {

// Brings the record's object up to date with the parameters of the current
// time. [frame setup, sequence live]
//
// Checks out "Height Field" and "Texture" (checked in again on every way
// out), then:
//  - rebuilds the object group when there is none, when it is incomplete (a
//    build failed halfway in an earlier frame), when the height-field
//    layer's width or height, "Smooth", or whether the texture layer has
//    pixels changed since the last build, or when the layer could have a
//    grid and the group has none (its pixels arrived at an unchanged size).
//    A build makes: an ordered display group holding a Phong illumination
//    shader, the grid (HeightGrid.h; none for a layer without pixels or one
//    pixel wide or high), the surface shader (a texture shader over the
//    texture layer, LayerTexture.h, or a Phong illumination shader), a
//    matrix transform and an attribute set, each new;
//  - otherwise refills the grid in place and gives the texture the current
//    pixels;
//  - puts "Color" (red, green, blue ÷ 255; alpha unused) into the attribute
//    set as the diffuse colour, and the placement of the nine placement
//    parameters (scale, then rotate, then translate) into the transform.
//
// Failures raise ErrData: QuickDraw 3D errors as they come, 1024 when memory
// runs out, the host's code when a checkout fails, PF_Err_BAD_CALLBACK_PARAM
// for a "Height From" outside 1 … 5 or a malformed layer world
// (LayerImage.h). The record then keeps what was stored before the failure;
// a group left incomplete is rebuilt by the next call.
void updateMeshObject(EffectCall& call, ObjectSequenceRecord& record);

}  // namespace vask
