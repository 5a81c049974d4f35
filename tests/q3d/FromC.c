/* The public headers and the library, used from a C caller. */
#include <stddef.h>

#include "platform/q3d/QD3D.h"
#include "platform/q3d/QD3DErrors.h"
#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DLight.h"
#include "platform/q3d/QD3DSet.h"
#include "platform/q3d/QD3DShader.h"
#include "platform/q3d/QD3DStorage.h"
#include "platform/q3d/QD3DTesting.h"

/* Builds a display group holding an ordered one with a coloured 2 x 2 grid
 * and tears it all down; returns 1 when every step behaved. */
int q3dtestBuildSceneFromC(void) {
    TQ3GroupObject scene = Q3DisplayGroup_New();
    TQ3GroupObject member = Q3OrderedDisplayGroup_New();
    TQ3AttributeSet colour = Q3AttributeSet_New();
    TQ3ColorRGB red = {1.0f, 0.0f, 0.0f};
    TQ3Vertex3D vertices[4] = {{{0, 0, 0}, NULL}, {{1, 0, 0}, NULL}, {{0, 0, 1}, NULL}, {{1, 0, 1}, NULL}};
    TQ3TriGridData data = {2, 2, vertices, NULL, NULL};
    TQ3GeometryObject grid = NULL;
    TQ3Uns32 count = 0;
    int ok = scene != NULL && member != NULL && colour != NULL &&
             Q3AttributeSet_Add(colour, kQ3AttributeTypeDiffuseColor, &red) == kQ3Success;
    data.triGridAttributeSet = colour;
    grid = ok ? Q3TriGrid_New(&data) : NULL;
    ok = ok && grid != NULL && Q3Group_AddObject(member, grid) != NULL && Q3Group_AddObject(scene, member) != NULL &&
         Q3Group_CountObjects(scene, &count) == kQ3Success && count == 1 &&
         Q3Object_IsType(scene, kQ3GroupTypeDisplay) == kQ3True;
    if (grid != NULL) Q3Object_Dispose(grid);
    if (colour != NULL) Q3Object_Dispose(colour);
    if (member != NULL) Q3Object_Dispose(member);
    if (scene != NULL) Q3Object_Dispose(scene);
    return ok && Q3Error_Get(NULL) == kQ3ErrorNone;
}
