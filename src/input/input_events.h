// Pointer and key events: the press and release handling with its hit test
// and press owner, focus changes, operator activity, and the delivery of the
// queued keys at the end of a refresh cycle. Main thread only.
#pragma once
#include <cstdint>

// Moves the focus to object index (unless forced, only to a selectable one);
// a negative index takes the focus from the focused object.
void MH_selectObject(int index, int force);
// Sends "focus lost" to the focused object, if any.
void MH_lostFocus();
// Pointer press and release at window coordinates; 1 when an object took it.
// They may be called at any time on the main thread, also from a queue of
// events held back while the target link waited.
int MH_mouseDown(int x, int y);
int MH_mouseUp(int x, int y);
// A complete press and release at (x, y); a press in progress is kept.
void MH_pointObjectWithCoord(int x, int y);
// Moves the focus to the top-most selectable object whose rectangle contains
// (x, y), edges included; nothing when there is none.
void MH_selectObjectWithCoord(int x, int y);
// Delivers the queued keys to the objects at the end of a refresh cycle;
// 1 when at least one key was processed.
int MH_entry();

// While a key is delivered: the key-origin flag that presses simulated for it
// carry, and the state of the key (pressed or released).
void MH_setKeyOrigin(int on);
int MH_isKeyDown();
int MH_isKeyUp();
// A touch in the middle of object id for the key being delivered: a press
// when the key is pressed (the object then owns the key until it is
// released), a release when it is released.
void MH_keyTouch(int id, const char *name);
// A press and a release in the middle of object id.
void MH_clickObject(int id);
// Operator activity: inactivity counters, poll-time substitute, back-light.
void MH_operatorActivity();
// The view was cleared: queued keys, key bindings and the press in progress
// (whose release is then swallowed) are dropped.
void MH_clearInputState();

// Attaches the input layer: navigation links, focus selection and key
// delivery for the layers below, and the event objects' painter class.
void MH_attachHooks();
