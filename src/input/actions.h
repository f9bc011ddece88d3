// Actions: when the actions of a page object run and what each action code does.
#pragma once

struct OB_Object;
struct MP_Action;

// Whether the object (may be null) is disabled, by its enable state or by a
// disabling action whose condition holds.
int AC_isDisabled(const OB_Object *object, const MP_Action *actions, int count);
