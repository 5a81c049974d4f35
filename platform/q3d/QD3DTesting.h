/*
 * QD3DTesting.h — the test seam of libvask_q3d: make chosen calls fail,
 * pretend to be another version, count live objects.
 *
 * Not part of QuickDraw 3D; exported so that tests of code built on the
 * library can reach every failure path. Production code never calls these.
 */
#ifndef VASK_PLATFORM_Q3D_QD3DTESTING_H
#define VASK_PLATFORM_Q3D_QD3DTESTING_H

#include "platform/q3d/QD3D.h"
#include "platform/q3d/QD3DErrors.h"

/* Arms one failure of the library call named functionName (for example
 * "Q3Group_AddObject"): the next skip calls run normally, the (skip+1)-th
 * fails before doing anything — it returns NULL, kQ3Failure, kQ3False or 0 as
 * its signature allows — and posts error (nothing when error is
 * kQ3ErrorNone), so that Q3Error_Get returns it. The failure then disarms.
 * Every creation, setter and status call can be armed, Q3Initialize,
 * Q3Exit and Q3GetVersion included; arming a name again replaces its earlier
 * arming. functionName is copied. */
Q3_EXTERN void Q3Testing_FailCall(const char* functionName, TQ3Error error, TQ3Uns32 skip);

/* Arms one failure of whichever library call comes after skip calls of any
 * function that Q3Testing_FailCall can arm, Q3Object_Dispose excepted (a
 * failed disposal leaves its object, which no caller can help), and counts
 * those calls from now on (Q3Testing_CountedCalls). With skip 0xFFFFFFFF nothing fails: the count
 * tells how many calls a scenario makes, so a test can fail each in turn.
 * Replaces an earlier arming of this kind; named armings stay. */
Q3_EXTERN void Q3Testing_FailNthCall(TQ3Error error, TQ3Uns32 skip);

/* Calls counted since Q3Testing_FailNthCall, the failing one included. */
Q3_EXTERN TQ3Uns32 Q3Testing_CountedCalls(void);

/* Disarms every armed failure. */
Q3_EXTERN void Q3Testing_ClearFailures(void);

/* Sets what Q3GetVersion reports (default 1.6). */
Q3_EXTERN void Q3Testing_SetVersion(TQ3Uns32 majorRevision, TQ3Uns32 minorRevision);

/* Number of objects that exist now, across every plug-in of the process. A
 * leak test notes it before and compares after. */
Q3_EXTERN TQ3Uns32 Q3Testing_LiveObjectCount(void);

/* Bytes of memory the library holds for objects in blocks of its own: the
 * pool every object lives in (whole chunks, used or not), the vertex and
 * set arrays of grids, and data arrays lent by _GetData calls or kept for
 * the next one. Ordinary heap allocations of smaller objects (a group's
 * member list) are not counted. For measuring the memory cost of a scene. */
Q3_EXTERN TQ3Uns64 Q3Testing_HeldBytes(void);

/* Disarms every failure, restores the default version and clears the pending
 * errors, warnings and notices. Leaves objects and the initialisation count
 * alone. */
Q3_EXTERN void Q3Testing_Reset(void);

#endif
