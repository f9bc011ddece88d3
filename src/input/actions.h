// Actions: what each action code of a page object does, and whether an
// object's actions disable it. Owns the value stream, the work buffer every
// action run shares. Reads and writes value sources, evaluates conditions,
// and reaches the file viewer, the pointer and focus handling and the message
// box for the codes that act on them. Main thread only; not reentrant.
#pragma once

struct OB_Object;
struct MP_Action;

#define AC_STREAM_SIZE 512

// Action codes run by the interpreter (201..203 are made by loading, from
// code 2 with special destinations).
enum : int {
    AC_WRITE_SOURCE = 2,
    AC_DOWNLOAD_SOURCE = 5,
    AC_ADD = 14,
    AC_DISABLE = 15,
    AC_APPEND_TEXT = 16,
    AC_REMOVE_TEXT = 17,
    AC_REMOVE_ITEM = 18,
    AC_TOGGLE = 19,
    AC_DISABLE_20 = 20,
    AC_COMPUTE = 21,
    AC_FOCUS = 201,
    AC_CLOSE_MSGBOX = 202,
    AC_CLICK = 203,
};

// Triggers.
enum : int {
    AC_TRIGGER_PRESS = 0,
    AC_TRIGGER_RELEASE = 1,
    AC_TRIGGER_DRAW = 2,
    AC_TRIGGER_NEVER = 3,
    AC_TRIGGER_PAGE_ENTERED = 4,
    AC_TRIGGER_PAGE_LEFT = 5,
};

// Run one action of an image button, or of an event object (whose log lines
// carry the prefix "(EventP) "). counter grows by one for every action that
// ran; the new counter is also the result.
int AC_executeActionBtnP(OB_Object *object, const MP_Action *action, int *counter);
int AC_executeActionEventP(OB_Object *object, const MP_Action *action, int *counter);
// The interpreter: runs action for object (may be null) with stream as its
// work buffer (AC_STREAM_SIZE bytes); answers the counter after the action.
int AC_executeAction_Impl(OB_Object *object, const MP_Action *action, int counter, char *stream, int fromEvent);

// Whether the object (may be null) is disabled, by its enable state or by a
// disabling action (codes 15 and 20) whose condition holds.
int AC_isDisabled(const OB_Object *object, const MP_Action *actions, int count);
