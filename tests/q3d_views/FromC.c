/* Calls made as a C caller may make them: with values outside an
 * enumeration, which C++ code cannot form without undefined behaviour. */
#include "platform/q3d/QD3DDrawContext.h"
#include "platform/q3d/QD3DStyle.h"
#include "platform/q3d/QD3DView.h"
#include "tests/q3d_views/FromC.h"

TQ3StyleObject viewtestFillStyleNew(int value) { return Q3FillStyle_New((TQ3FillStyle)value); }
TQ3StyleObject viewtestBackfacingStyleNew(int value) { return Q3BackfacingStyle_New((TQ3BackfacingStyle)value); }
TQ3StyleObject viewtestInterpolationStyleNew(int value) {
    return Q3InterpolationStyle_New((TQ3InterpolationStyle)value);
}
TQ3Status viewtestFillStyleSet(TQ3StyleObject style, int value) { return Q3FillStyle_Set(style, (TQ3FillStyle)value); }
TQ3Status viewtestFillStyleSubmit(int value, TQ3ViewObject view) {
    return Q3FillStyle_Submit((TQ3FillStyle)value, view);
}
TQ3Status viewtestStartBoundingBox(TQ3ViewObject view, int computeBounds) {
    return Q3View_StartBoundingBox(view, (TQ3ComputeBounds)computeBounds);
}
TQ3Status viewtestSetClearImageMethod(TQ3DrawContextObject context, int method) {
    return Q3DrawContext_SetClearImageMethod(context, (TQ3DrawContextClearImageMethod)method);
}
TQ3Status viewtestSetPaneState(TQ3DrawContextObject context, int state) {
    return Q3DrawContext_SetPaneState(context, (TQ3Boolean)state);
}
