// Pointer and key events: hit tests, focus changes and the key queue.
#pragma once

// Moves the focus to object index (unless forced, only to a selectable one).
void MH_selectObject(int index, int force);
// Pointer press and release at window coordinates; 1 when an object took it.
int MH_mouseDown(int x, int y);
int MH_mouseUp(int x, int y);
// A complete press and release at (x, y).
void MH_pointObjectWithCoord(int x, int y);
// Moves the focus to the top-most selectable object whose rectangle contains
// (x, y), edges included; nothing when there is none.
void MH_selectObjectWithCoord(int x, int y);
// Delivers the queued keys to the objects at the end of a refresh cycle;
// 1 when at least one key was processed.
int MH_entry();

// Attaches the input layer: navigation links, focus selection and key
// delivery for the layers below, and the event objects' painter class.
void MH_attachHooks();
