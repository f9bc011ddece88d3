// Drop-down lists ("DropDownListP"): one item of a list of texts in a sunken
// field with an arrow button. Pressing it opens the list below or above the
// field (with a scroll bar when it does not fit the screen); choosing an item
// writes its number or its text through the actions. The items come from the
// item sources, the repaints with code 1 whose conditions hold, in order:
// each a value (one item per line of its text) or a whole file (one item per
// line). The value source (repaint 5) gives the number of the item shown.
#pragma once
#include <cstdint>

#include "input/scroller.h"
#include "view/object_table.h"
#include "view/painter_block.h"

#define DDL_CLASS_ID 104
#define DDL_MAX_ITEMS 32767
#define DDL_ITEM_FILE "_ddlist.tmp"
#define DDL_SCROLLER_WIDTH 20

// Action codes the list runs itself.
enum : uint8_t {
    DDL_AC_WRITE_NUMBER = 6,
    DDL_AC_WRITE_TEXT = 7,
    DDL_AC_OPEN = 8,
};

struct DDL_List {
    OB_Object object;
    MPainter block;
    uint8_t open, pageEntered, scrollIntoView;
    uint8_t openingRelease; // the release after the press that opened the list
    int16_t selected;       // the item the value source names, -1 none
    int16_t highlighted;    // the item marked while the list is open, -1 none
    int16_t itemCount, listHeight;
    int16_t listTop, listBottom, firstVisible, visibleRows;
    int16_t align;
    SCROLLER_Bar scroller;
};

// Loader of the painter class "DropDownListP": the body is the painter block.
OB_Object *loadDDList(int file, OB_Object *defaults);
int32_t ddListNotify(int id, int message, int a, void *b);
void DDL_drawObj(DDL_List *list);
// Rebuilds the item file from the item sources; answers the item count.
int DDL_countItems(DDL_List *list);
// The text of item n (255 characters at most) into dst (256 bytes); 0 when
// there is no such item.
int DDL_readItem(int n, char *dst);
void DDL_close(DDL_List *list);
