// Image buttons: the general push button of a page ("IButtonP"): a box with
// fill, border and 3-D frame, a text or picture chosen by its repaints, press
// and release actions, focus, Enter, space and bound function keys; and the
// warning button, made at run time, that announces collected errors and
// opens the message-box page.
#pragma once
#include <cstdint>

#include "view/object_table.h"
#include "view/painter_block.h"

#define IB_CLASS_ID 102
#define IB_TEXT_SIZE 256
#define IB_RUNTIME_PLC_ID 22

// Repaint property codes of the image button besides the shared ones.
enum : uint8_t {
    IB_RR_MIDDLE = 6,
    IB_RR_CENTER = 7,
    IB_RR_RIGHT = 8,
    IB_RR_BOTTOM = 30,
    IB_RR_FRAME_3D = 44,
};

struct IB_Button {
    OB_Object object;
    MPainter block;
    uint8_t pressed;      // the pointer holds the button down
    uint8_t drawnPressed; // pressed state at the last drawing
    uint8_t warning;      // the warning button: a press opens the message box
    char *text;           // last text shown (heap1)
};

// Loader of the painter class "IButtonP": the body is the painter block.
OB_Object *IB_loadIButton(int file, OB_Object *defaults);
int32_t iButtNotify(int id, int message, int a, void *b);
void IB_drawObj(IB_Button *button, int full);
// Runs the actions of the trigger whose conditions hold (none when the
// button is disabled); 1 when any ran.
int IB_executeAction(IB_Button *button, int trigger);
void IB_Enter(int id);
void IB_drawPressed(int direct, const OB_Object *box);
// On focus: the first three key names go to focus forward, focus back and
// Enter of this button; on losing it they are given back.
void IB_SetEventHandler(int id);
void IB_ResetEventHandler(int id);
// A button made at run time; null (and no object) when heap1 is full.
IB_Button *IB_createIButton(int x, int y, int w, int h, int border, int actionCount, int actionCode, int destType,
                            const char *dest, int sourceType, const char *source, int repaintCount, int repaintCode,
                            int repaintType, const char *repaintName);
// Adds the warning button to a loaded page when the warn_btn setting enables it.
void IB_loadWarningButton();
