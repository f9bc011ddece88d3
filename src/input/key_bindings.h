// Key bindings: the table `externalMessage` that sends a key name to the object
// bound to it (or, when none takes it, to a built-in key function: focus
// navigation, enter, escape, next and previous object), and the delivery of
// one key through the objects' own key names and that table. Main thread only.
#pragma once

#define MH_BINDING_NAME_SIZE 32

// Delivers one key: to the top-most selectable object whose first key name it
// is, else through the binding table. character is the plain character, 0 for
// a named key.
void MH_messageHandler(const char *name, int character);
// Binds the entry of that exact name to object and message; the previous
// binding goes to oldMessage and oldObject (either may be null). 1, or 0
// when no entry has that name.
int MH_setCallBackOnMessage(const char *name, int message, int object, int *oldMessage, int *oldObject);
// Sets the entry back to message and object; 1, or 0 as above.
int MH_resetCallBackMessage(const char *name, int message, int object);
// Gives the entry of that name its start binding again when it is bound to
// object; 1 when it was.
int MH_releaseBinding(const char *name, int object);
// Every entry back to its start binding (the view was cleared).
void MH_resetBindings();
