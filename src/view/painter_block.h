// Painter blocks: the actions, repaints and F-key names that hang off an
// object, their info records (value sources), loading them from a TEQ file,
// making them at run time, and the questions the kinds ask of them (hidden,
// selectable, static text, colours and offsets from repaints). Records live in
// heap1; process points named by them are handed to the target link.
#pragma once
#include <cstdint>

#include "view/conditions.h"

struct OB_Object;

// Repaint property codes shared by several kinds.
enum : uint8_t {
    RR_TEXT = 1,
    RR_HIDE = 2,
    RR_TEXT_5 = 5,
    RR_HORIZONTAL = 22,
    RR_LINE_COLOR = 38,
    RR_FILL_COLOR = 39,
    RR_BORDER = 40,
    RR_FILL = 41,
    RR_ARROWS = 47,
    RR_HIDE_51 = 51,
    RR_OFFSET_X = 52,
    RR_OFFSET_Y = 53,
    RR_OFFSET_WIDTH = 54,
    RR_OFFSET_HEIGHT = 55,
};

// Condition forms in the file.
enum : uint8_t {
    MP_CONDITION_NONE = 0,
    MP_CONDITION_SIMPLE = 1,
};

struct MP_Info {
    uint8_t type;   // SourceType
    char *name;     // null for none
    uint32_t color; // type 11
};

struct MP_Action {
    uint8_t trigger;
    uint8_t code;
    MP_Info dest;
    MP_Info source;
    uint8_t extraCount;
    MP_Info *extras;
    CO_LogicCondition condition;
};

struct MP_Repaint {
    uint8_t code;
    MP_Info info;
    CO_LogicCondition condition;
};

struct MPainter {
    uint8_t painterId;
    uint8_t actionCount;
    uint8_t repaintCount;
    uint8_t fkeyCount;
    MP_Action *actions;
    MP_Repaint *repaints;
    char **fkeys;
    uint16_t repaintMask;
};

// Offset slots of the repaints 52..55: x, y, width, height; -1 when unused.
struct RR_OffsetSlots {
    int index[4];
};

// What the common repaint pass of the shapes leaves for drawing.
struct RR_Look {
    int fill, border;
    uint32_t fillColor, lineColor;
    int x, y, width, height; // with the offsets of repaints 52..55 applied
    int arrows;              // repaint 47
    int horizontal;          // repaint 22
};

// Evaluates the repaints of a shape for one drawing (full 1 for a full
// redraw); withOffsets applies the repaints 52..55. Answers 1 when the shape is to be drawn with look, 0 when it is
// hidden or, on a refresh, nothing changed since the last drawing.
int RR_repaintPass(const OB_Object *object, MPainter *block, int full, int withOffsets, RR_Look *look);

// Loading (1 on success; a failure sets the TEQ load error flag).
int MP_loadMPainter(int file, MPainter *block, const OB_Object *defaults);
int RM_loadActions(int file, MP_Action *actions, int count, const OB_Object *defaults);
int RR_loadRepaints(int file, MP_Repaint *repaints, int count, const OB_Object *defaults);
int loadInfoFromFile(int file, MP_Info *info, const OB_Object *defaults);
// Reads the condition of an action or repaint by its form byte.
int MP_loadConditionByForm(int file, int form, CO_LogicCondition *condition);

// Offers a value source to the process-point read list; convertOnly for a
// destination that is only written.
void MP_orderSource(char *name, int type, int convertOnly);
// The name a process-point source keeps once offered: its formatted name when
// it is a symbol of the page's value formats, else the name itself.
char *MP_convertPointName(char *name, int type);
void checkInfo(MP_Info *info, int convertOnly);
void RM_checkIt(MP_Action *action);

int RR_isHidden(const MP_Repaint *repaints, int count);
int RR_IsVisible(const OB_Object *object, const MP_Repaint *repaints, int count);
void RR_initOffsetSlots(RR_OffsetSlots *slots);
int RR_checkOffsets(const MP_Repaint *repaint, RR_OffsetSlots *slots, int index);
int RR_setAnyOffsets(const MP_Repaint *repaints, const RR_OffsetSlots *slots, int *x, int *y, int *width, int *height);
// The repaint pass of a painter block: take(repaint, index) for each repaint
// whose condition holds, drop(repaint) for the others. Unless full, mask
// collects one bit per repaint of the first 16, the first in the highest bit.
// False when a hide repaint holds; the pass stops there.
template <typename Take, typename Drop>
bool RR_repaintPass(const MPainter &block, int full, uint32_t *mask, Take take, Drop drop)
{
    for (int i = 0; i < block.repaintCount; i++) {
        const MP_Repaint &r = block.repaints[i];
        if (CO_evaluateLogicCondition(&r.condition)) {
            if (!full && i < 16) *mask |= 1;
            if (r.code == RR_HIDE || r.code == RR_HIDE_51) return false;
            take(r, i);
        } else {
            drop(r);
        }
        if (!full && i < 15) *mask <<= 1;
    }
    return true;
}
int RR_addRepaintAt(MP_Repaint *repaints, int index, int code, int type, const char *name);
int RR_createRepaints(MP_Repaint *repaints, int code, int type, const char *name);
int RM_createActions(MP_Action *action, int code, int destType, const char *dest, int sourceType, const char *source);
int MP_createMPainter(MPainter *block, int actionCount, int actionCode, int destType, const char *dest, int sourceType,
                      const char *source, int repaintCount, int repaintCode, int repaintType, const char *repaintName);

int MP_isSelectableObject(const MPainter *block, int checkHidden);
// Whether the text that repaints 1 and 5 give is static; dst (256 bytes)
// then holds it.
int MP_IsStaticRepaintSource(const MPainter *block, char *dst);
// heap1 copy of the static text (isStatic 1), or a zeroed 256-byte heap1
// buffer for a dynamic text (isStatic 0); null when heap1 is full.
char *MP_GetPointerToString(const MPainter *block, int *isStatic);

// Colour of a colour source: a colour of the block, or an "R,G,B" text read
// from the source (white when it is none). A text is parsed once and then
// remembered until it changes.
uint32_t getColorInfo(const MP_Info *info);
#define RR_COLOUR_MEMOS 1024 // colour repaints remembered at a time
// Forgets the remembered colour texts.
void RR_resetColourMemos();
