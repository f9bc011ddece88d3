// Text fields ("TextFieldP"): one value (process point, container, page
// parameter or literal) shown in a box with its unit, aligned, masked for
// passwords, and edited either inline, with a text cursor, or on a pop-up
// keypad page (the `sip` setting); the confirmed text is written to the
// field's destination. The keypad itself is in objects/keypad.h.
#pragma once
#include <cstdint>

#include "view/object_table.h"
#include "view/painter_block.h"

#define TF_CLASS_ID 101
#define TF_TEXT_SIZE 256 // the field's text: at most 255 characters
#define TF_HIDDEN_PLC_ID 46

// Messages of the text field besides the common ones.
enum : int {
    TF_MSG_CURSOR_RIGHT = 210,
    TF_MSG_CURSOR_LEFT = 211,
};

// Repaint property codes of the text field besides the shared ones.
enum : uint8_t {
    TF_RR_MIDDLE = 6,
    TF_RR_CENTER = 7,
    TF_RR_RIGHT = 8,
    TF_RR_BOTTOM = 30,
    TF_RR_EDIT_FRAME = 43,
    TF_RR_EDIT_FRAME_44 = 44,
};

// Typed keys of their own: the sign toggle and backspace.
enum : int {
    TF_KEY_SIGN = 5,
    TF_KEY_BACKSPACE = 8,
};

struct TF_Field {
    OB_Object object;
    MPainter block;
    int16_t cursor;        // cursor in the text while editing inline, -1 otherwise
    uint8_t selectAll;     // editing just started: the first typed character replaces the text
    uint8_t modified;      // changed and not yet written
    char *text;            // shown or edited text, TF_TEXT_SIZE bytes of heap1
    uint16_t textLength;   // length after the last edit
    uint8_t align;         // alignment bits of the last drawing
    uint8_t pressed;       // between a press inside the field and its release
    uint8_t keypadAllowed; // 0 while a typed key starts the edit: no keypad then
    uint8_t editing;       // editing inline
    int version;           // editor version of the picture it came from
};

// Loader of the painter class "TextFieldP": the body is the painter block.
OB_Object *TF_loadTextField(int file, OB_Object *defaults);
int32_t TF_notify(int id, int message, int a, void *b);
void TF_drawObj(TF_Field *field, int full);
// Starts the edit when an action of the trigger with code 3 or 4 holds and
// the field is not disabled; 1 then, else 0.
int TF_executeAction(TF_Field *field, int trigger);
// Edits the value name of source type type: on the keypad page, or inline.
void TF_edit(TF_Field *field, const char *name, int type);
// Binds the cursor keys to the field and puts the cursor at the end of the
// text; unbinding gives the keys back and ends the cursor.
void TF_SetEventHandler(TF_Field *field);
void TF_ResetEventHandler(TF_Field *field);
// A typed key (TF_KEY_SIGN, TF_KEY_BACKSPACE or a character) on the focused
// field: the field's id, or -1 when the field does not take it.
int TF_addKeyToValueString(TF_Field *field, int key);
// Removes the character at index (nothing outside the text).
void util_removeCharAt(int index, char *text);
