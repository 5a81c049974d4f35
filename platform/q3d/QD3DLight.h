/*
 * QD3DLight.h — lights: ambient, directional, point and spot lights, each
 * described by a plain data record, placed in a light group for a view.
 *
 * Data rules shared by every light:
 *  - _New and _SetData copy the record; _GetData copies it back out. Light
 *    records hold no objects, so there is nothing to empty.
 *  - isOn and castsShadows must be kQ3False or kQ3True; the attenuation and
 *    fall-off codes must be among those below; every float must be finite;
 *    directions must not be the zero vector; spot angles must not be
 *    negative. Anything else is refused with kQ3ErrorParameterOutOfRange
 *    (kQ3ErrorVector3DZeroLength for a zero direction) and the light, on a
 *    set, is left unchanged.
 *  - brightness is a factor on color (0 is dark, 1 full); values above 1
 *    are accepted and post the notice kQ3NoticeBrightnessGreaterThanOne.
 *  - Locations are in world units (lights are placed by the transforms in
 *    front of their light group), angles in radians.
 */
#ifndef VASK_PLATFORM_Q3D_QD3DLIGHT_H
#define VASK_PLATFORM_Q3D_QD3DLIGHT_H

#include "platform/q3d/QD3D.h"

/* How a point or spot light weakens with the distance d from it: not at all,
 * as 1/d, or as 1/d². */
typedef enum TQ3AttenuationType {
    kQ3AttenuationTypeNone = 0,
    kQ3AttenuationTypeInverseDistance = 1,
    kQ3AttenuationTypeInverseDistanceSquared = 2
} TQ3AttenuationType;

/* How a spot light weakens between its hot angle and its outer angle. */
typedef enum TQ3FallOffType {
    kQ3FallOffTypeNone = 0,
    kQ3FallOffTypeLinear = 1,
    kQ3FallOffTypeExponential = 2,
    kQ3FallOffTypeCosine = 3
} TQ3FallOffType;

/* What every light has. color components are in 0..1. */
typedef struct TQ3LightData {
    TQ3Boolean isOn;
    TQ3Float32 brightness;
    TQ3ColorRGB color;
} TQ3LightData;

/* Parallel light travelling along `direction` (need not be unit length). */
typedef struct TQ3DirectionalLightData {
    TQ3LightData lightData;
    TQ3Boolean castsShadows;
    TQ3Vector3D direction;
} TQ3DirectionalLightData;

/* Light radiating from `location` in every direction. */
typedef struct TQ3PointLightData {
    TQ3LightData lightData;
    TQ3Boolean castsShadows;
    TQ3AttenuationType attenuation;
    TQ3Point3D location;
} TQ3PointLightData;

/* Light radiating from `location` in a cone around `direction` (need not be
 * unit length): full inside hotAngle, falling off by fallOff out to
 * outerAngle, dark beyond. Both angles are half-angles from the axis, in
 * radians; an outerAngle below hotAngle is taken as hotAngle. */
typedef struct TQ3SpotLightData {
    TQ3LightData lightData;
    TQ3Boolean castsShadows;
    TQ3AttenuationType attenuation;
    TQ3Point3D location;
    TQ3Vector3D direction;
    TQ3Float32 hotAngle;
    TQ3Float32 outerAngle;
    TQ3FallOffType fallOff;
} TQ3SpotLightData;

/* The light's leaf type (kQ3LightTypeSpot, ...), or kQ3ObjectTypeInvalid
 * with an error posted. */
Q3_EXTERN TQ3ObjectType Q3Light_GetType(TQ3LightObject light);

/* The common part of any light's data. */
Q3_EXTERN TQ3Status Q3Light_GetData(TQ3LightObject light, TQ3LightData* lightData);
Q3_EXTERN TQ3Status Q3Light_SetData(TQ3LightObject light, const TQ3LightData* lightData);

/* Creation: a new light with one reference owned by the caller, or NULL with
 * an error posted. Getters and setters return kQ3Success, or kQ3Failure with
 * an error posted (kQ3ErrorInvalidObjectType when the light is of another
 * kind). */

/* An ambient light lights every surface equally, from no direction. */
Q3_EXTERN TQ3LightObject Q3AmbientLight_New(const TQ3LightData* lightData);
Q3_EXTERN TQ3Status Q3AmbientLight_GetData(TQ3LightObject light, TQ3LightData* lightData);
Q3_EXTERN TQ3Status Q3AmbientLight_SetData(TQ3LightObject light, const TQ3LightData* lightData);

Q3_EXTERN TQ3LightObject Q3DirectionalLight_New(const TQ3DirectionalLightData* directionalLightData);
Q3_EXTERN TQ3Status Q3DirectionalLight_GetData(TQ3LightObject light, TQ3DirectionalLightData* directionalLightData);
Q3_EXTERN TQ3Status Q3DirectionalLight_SetData(TQ3LightObject light,
                                               const TQ3DirectionalLightData* directionalLightData);

Q3_EXTERN TQ3LightObject Q3PointLight_New(const TQ3PointLightData* pointLightData);
Q3_EXTERN TQ3Status Q3PointLight_GetData(TQ3LightObject light, TQ3PointLightData* pointLightData);
Q3_EXTERN TQ3Status Q3PointLight_SetData(TQ3LightObject light, const TQ3PointLightData* pointLightData);

Q3_EXTERN TQ3LightObject Q3SpotLight_New(const TQ3SpotLightData* spotLightData);
Q3_EXTERN TQ3Status Q3SpotLight_GetData(TQ3LightObject light, TQ3SpotLightData* spotLightData);
Q3_EXTERN TQ3Status Q3SpotLight_SetData(TQ3LightObject light, const TQ3SpotLightData* spotLightData);

#endif
