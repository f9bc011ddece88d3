// Action records: the codes and triggers of the actions that hang off an
// object, and whether an object's actions disable it.
#pragma once

struct OB_Object;
struct MP_Action;

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

// Whether the object (may be null) is disabled, by its enable state or by a
// disabling action (codes 15 and 20) whose condition holds.
int AC_isDisabled(const OB_Object *object, const MP_Action *actions, int count);
