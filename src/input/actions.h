// Actions: what each action code of a page object does. Owns the value stream,
// the work buffer every action run shares. Reads and writes value sources,
// evaluates conditions, and reaches the pointer and focus handling, the
// message box and (through the hooks) the file viewers for the codes that act
// on them. Main thread only; not reentrant.
#pragma once

#include "view/action_records.h"

struct OB_Object;
struct MP_Action;

#define AC_STREAM_SIZE 512

// Run one action of an image button, or of an event object (whose log lines
// carry the prefix "(EventP) "). counter grows by one for every action that
// ran; the new counter is also the result.
int AC_executeActionBtnP(OB_Object *object, const MP_Action *action, int *counter);
int AC_executeActionEventP(OB_Object *object, const MP_Action *action, int *counter);
// The interpreter: runs action for object (may be null) with stream as its
// work buffer (AC_STREAM_SIZE bytes); answers the counter after the action.
int AC_executeAction_Impl(OB_Object *object, const MP_Action *action, int counter, char *stream, int fromEvent);
// Empties the value stream and the value buffers; no run in progress.
void AC_reset();
