/* FromC.c: calls with raw integers where the API takes an enumeration. */
#ifndef VASK_TESTS_Q3D_VIEWS_FROMC_H
#define VASK_TESTS_Q3D_VIEWS_FROMC_H

#include "platform/q3d/QD3D.h"

#ifdef __cplusplus
extern "C" {
#endif

TQ3StyleObject viewtestFillStyleNew(int value);
TQ3StyleObject viewtestBackfacingStyleNew(int value);
TQ3StyleObject viewtestInterpolationStyleNew(int value);
TQ3Status viewtestFillStyleSet(TQ3StyleObject style, int value);
TQ3Status viewtestFillStyleSubmit(int value, TQ3ViewObject view);
TQ3Status viewtestStartBoundingBox(TQ3ViewObject view, int computeBounds);
TQ3Status viewtestSetClearImageMethod(TQ3DrawContextObject context, int method);
TQ3Status viewtestSetPaneState(TQ3DrawContextObject context, int state);

#ifdef __cplusplus
}
#endif

#endif
