// Event objects: invisible page objects whose actions run when the page is
// drawn or refreshed, entered or left. Reads its painter block through the
// painter loading, runs its actions through the action interpreter.
#pragma once
#include <cstdint>

#include "view/object_table.h"
#include "view/painter_block.h"

#define AC_EVENT_CLASS_ID 107

struct AC_EventObject {
    OB_Object object;
    MPainter block;
};

// Loader of the painter class "EventP": the body is the painter block.
OB_Object *loadEvent(int file, OB_Object *defaults);
int32_t eventNotify(int id, int message, int a, void *b);
// Whether object id is an event object with actions run when it is drawn
// (which may write values in the middle of a redraw).
int AC_actsWhenDrawn(int id);
