/* The public headers and the library, used from a C caller. */
#include <stddef.h>

#include "platform/q3d/QD3D.h"
#include "platform/q3d/QD3DErrors.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DTesting.h"

/* Builds a display group holding an ordered one and tears both down;
 * returns 1 when every step behaved. */
int q3dtestBuildSceneFromC(void) {
    TQ3GroupObject scene = Q3DisplayGroup_New();
    TQ3GroupObject member = Q3OrderedDisplayGroup_New();
    TQ3Uns32 count = 0;
    int ok = scene != NULL && member != NULL && Q3Group_AddObject(scene, member) != NULL &&
             Q3Group_CountObjects(scene, &count) == kQ3Success && count == 1 &&
             Q3Object_IsType(scene, kQ3GroupTypeDisplay) == kQ3True;
    if (member != NULL) Q3Object_Dispose(member);
    if (scene != NULL) Q3Object_Dispose(scene);
    return ok && Q3Error_Get(NULL) == kQ3ErrorNone;
}
