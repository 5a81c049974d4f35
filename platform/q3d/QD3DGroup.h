/*
 * QD3DGroup.h — groups: ordered lists of objects that a group keeps alive.
 *
 * A group holds its own reference to every member: adding takes a reference,
 * emptying or destroying the group releases it, so members that someone else
 * also holds survive the group.
 *
 * Kinds of group:
 *  - plain group (kQ3ShapeTypeGroup): any shared object, in adding order;
 *  - display group (kQ3GroupTypeDisplay): drawable objects (Q3Object_IsDrawable),
 *    in adding order;
 *  - ordered display group (kQ3DisplayGroupTypeOrdered): drawable objects,
 *    kept sorted by kind — transforms, styles, attribute sets, shaders,
 *    cameras, lights, geometry, groups, anything else — and in adding order
 *    within a kind, so transforms and shaders apply to the geometry whatever
 *    order the caller added them in;
 *  - light group (kQ3GroupTypeLight): lights only.
 * An object the group does not accept posts kQ3ErrorInvalidObjectForGroup.
 * So does adding a group to itself or to a group it contains: the cycle
 * would never be freed and would make every traversal endless.
 *
 * Positions name a member's place in one group. A position stays valid until
 * its member leaves the group (Q3Group_EmptyObjects or the group's
 * destruction); a position the group does not know posts
 * kQ3ErrorInvalidPositionForGroup.
 */
#ifndef VASK_PLATFORM_Q3D_QD3DGROUP_H
#define VASK_PLATFORM_Q3D_QD3DGROUP_H

#include "platform/q3d/QD3D.h"

typedef struct OpaqueTQ3GroupPosition* TQ3GroupPosition;

/* Creation: a new empty group with one reference owned by the caller, or NULL
 * with an error posted (kQ3ErrorNotInitialized before Q3Initialize). */
Q3_EXTERN TQ3GroupObject Q3Group_New(void);
Q3_EXTERN TQ3GroupObject Q3DisplayGroup_New(void);
Q3_EXTERN TQ3GroupObject Q3OrderedDisplayGroup_New(void);
Q3_EXTERN TQ3GroupObject Q3LightGroup_New(void);

/* Type one level below kQ3ShapeTypeGroup (kQ3GroupTypeDisplay,
 * kQ3GroupTypeLight), or kQ3ShapeTypeGroup itself for a plain group. */
Q3_EXTERN TQ3ObjectType Q3Group_GetType(TQ3GroupObject group);

/* Adds object, taking the group's own reference to it; the caller keeps its
 * reference. Returns the member's position, or NULL with an error posted and
 * the group unchanged. */
Q3_EXTERN TQ3GroupPosition Q3Group_AddObject(TQ3GroupObject group, TQ3Object object);

/* Writes the number of members to *nObjects. */
Q3_EXTERN TQ3Status Q3Group_CountObjects(TQ3GroupObject group, TQ3Uns32* nObjects);

/* Writes the first member's position to *position, NULL for an empty group. */
Q3_EXTERN TQ3Status Q3Group_GetFirstPosition(TQ3GroupObject group, TQ3GroupPosition* position);

/* Advances *position to the next member, NULL after the last one. On failure
 * *position is left as it was. */
Q3_EXTERN TQ3Status Q3Group_GetNextPosition(TQ3GroupObject group, TQ3GroupPosition* position);

/* Writes the member at position to *object as a NEW reference, which the
 * caller must dispose. */
Q3_EXTERN TQ3Status Q3Group_GetPositionObject(TQ3GroupObject group, TQ3GroupPosition position,
                                              TQ3Object* object);

/* Removes every member, releasing the group's references; positions of the
 * group become invalid. */
Q3_EXTERN TQ3Status Q3Group_EmptyObjects(TQ3GroupObject group);

#endif
