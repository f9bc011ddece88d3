// File viewer objects ("FileViewerP"): a text shown as a scrollable table of
// rows and tab-separated columns, or as word-wrapped running text, with a
// scroll bar, UP and DOWN keys, and selection actions that write the row
// number, the row text or one cell. The text comes from the viewer's source:
// a file (copied into the viewer's own RAM-disk file), an alarm list
// container (drawn by the alarm lists through the hooks) or any value text.
#pragma once
#include <cstdint>

#include "input/scroller.h"
#include "objects/file_viewer_text.h"
#include "view/object_table.h"
#include "view/painter_block.h"

#define FV_CLASS_ID 103
#define FV_MAX_SELECTION 31
#define FV_FILE_NAME_SIZE 16

// Repaint property codes of the file viewer besides the shared ones.
enum : uint8_t {
    FV_RR_HORIZONTAL_GRID = 10,
    FV_RR_VERTICAL_GRID = 11,
    FV_RR_SCROLLER = 12,
    FV_RR_REFRESH_DIVIDER = 28,
    FV_RR_WIDE_SCROLLER = 29,
    FV_RR_MULTI_SELECT = 48,
    FV_RR_MULTI_LINE = 50,
};

// Selection action codes the viewer runs itself.
enum : uint8_t {
    FV_AC_WRITE_ROW_NUMBER = 6,
    FV_AC_WRITE_ROW_TEXT = 7,
    FV_AC_WRITE_CELL = 10,
};

// Key messages of lists: the bound UP and DOWN keys.
enum : int {
    FV_MSG_DOWN = 210,
    FV_MSG_UP = 211,
};

struct FV_Viewer {
    OB_Object object;
    MPainter block;
    int32_t rowCount;
    int16_t visibleRows;
    int16_t selected; // relative to the first row, -1 none
    FV_Table table;   // columns and column starts of the last text
    int32_t lastIndex;
    int32_t firstRow;
    int32_t savedFirstRow;
    int16_t savedSelected;
    SCROLLER_Bar scroller;
    int16_t listWidth;
    int32_t active; // 0 while keyboard selection runs, -1 otherwise
    uint8_t horizontalGrid, verticalGrid, multiLine, multiSelect;
    uint8_t selectable; // made selectable from outside (an alarm list took the focus)
    uint8_t notFound;   // the file source could not be read
    uint8_t truncated;  // the RAM disk could not take the whole copy (reported)
    uint8_t selectionCount;
    int32_t selection[FV_MAX_SELECTION]; // absolute rows, multi-select mode
    char fileName[FV_FILE_NAME_SIZE];    // the RAM-disk copy of a file source
    uint32_t drawCounter;
    void *alarm; // the alarm list drawn in this viewer, null when none
    char alarmFile[FV_FILE_NAME_SIZE * 4];
    const char *alarmText; // what the alarm list drew: text, then alarmFile
};

// Loader of the painter class "FileViewerP": the body is the painter block.
OB_Object *loadFileViewer(int file, OB_Object *defaults);
int32_t fileViewerNotify(int id, int message, int a, void *b);
// Column starts unset, one column, selection cleared, keyboard selection
// off; with reset also the scroll position and the visible rows.
void FV_initParameter(FV_Viewer *viewer, int reset);
void FV_drawObj(FV_Viewer *viewer);

// Draws a table from source into the viewer's box (the alarm lists draw
// their rows with it): rows, columns and column starts are read first.
// Answers 0 when the source cannot be read.
int FV_drawTable(FV_Viewer *viewer, const FV_Source *source);

// Keyboard selection and moving.
void FV_Enter(int id);
void FV_Escape(int id);
void FV_IncrementValue(FV_Viewer *viewer, int hasSelectionActions, int delta);
// Runs the selection actions for the selected row; answers the writes.
int FV_executeAction(FV_Viewer *viewer);

// What the alarm lists use of a viewer: the viewer behind an object id (null
// when the object is no file viewer), the row in focus (first row plus the
// selected row, -1 none), the item at a position, clearing the selection and
// the scroll position, and making the viewer selectable.
FV_Viewer *FV_viewerOf(int id);
int32_t FV_focusedRow(const FV_Viewer *viewer);
int FV_getItemAt(FV_Viewer *viewer, int32_t row, int column, char *dst, int size);
void FV_resetSelection(FV_Viewer *viewer);
void FV_setSelectable(FV_Viewer *viewer, int on);
// The alarm list drawn in a viewer, and the text it drew (the text, then the
// RAM-disk file when file is not empty), read back by the item look-ups.
void FV_setAlarmContext(FV_Viewer *viewer, void *context);
void FV_setAlarmSource(FV_Viewer *viewer, const char *text, const char *file);

// Empties the shared text buffers.
void FV_reset();

// Removes the item at position from the file viewer that viewer names (the
// name of its text source); 1 when an item was removed.
int FV_removeItemAt(const char *viewer, int position);
