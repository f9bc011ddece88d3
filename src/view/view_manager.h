// View manager: turns a page address into what is on the screen and keeps it
// current. Holds the pending requests (page, picture, dialog, refresh,
// redraw), performs them in the refresh cycle, and draws.
#pragma once
#include <cstdint>

#define VM_PAGE_SIZE 1024

// Host of the remote page server, empty for local pages.
extern char VM_RemoteServer[24];
extern int VM_failed;
extern int32_t VM_RefreshPeriod;

// Requests; they only set state, the next refresh cycle acts on them.
// 0 (reported, nothing requested) when the address does not fit VM_PAGE_SIZE.
int VM_requestLoadHtmlFile(const char *address);
// 1 when the picture is already the requested one (and no dialog is shown), else 2.
int VM_requestPicture(const char *name);
void VM_setKeyPadView(const char *name);
int VM_setMsgBoxView();
void VM_closeKeyPadView();
// 1 from the closing of the keypad page until the page's focus is set again.
int VM_isKeypadClosed();
// Copies the panel's own pages (the message box "MsgBox.teq" and the keypads
// "keypad.teq" and "alphapad.teq") from beside the program into the RAM disk.
void VM_loadApplicationPages();
void VM_closeMsgBoxView();
int scheduleFullRedraw();
void scheduleRedraw();
void scheduleNewRefresh();
void VM_Abort(int force);
int VM_isPageRequestPending();
// Whether a loaded page still waits for its first values to give the focus
// and run the gain-focus actions.
int VM_isGainingFocus();

void VM_SetRemoteUrl(const char *host, const char *path);
void VM_SetDocumentBase(const char *text);
// Directory of the current page, ending in "/" or empty.
const char *VM_GetDocumentBase();
const char *VM_getHtmlFileName();
// Name of the TEQ file being read, for error texts.
const char *VM_getLoadingFileName();
// Name of the dialog page shown, empty when none.
const char *VM_getDialogBoxName();
void VM_setMsgBoxFileName(const char *name);
// Name of the message-box page ("MsgBox.teq" unless the page names another).
const char *VM_getMsgBoxFileName();
// The panel's identity on the target (order file name).
const char *VM_GetOrderFileName();
// Name of the current picture without ".teq", "+" replaced by "_".
const char *VM_getOrderFileNameOfPicture();
int VM_isEncodeSpecialChar();
int VM_hasTextConversion();
int isRemoteURL(const char *text);

void VM_init();
// Back to before start-up: no request pending, no page, picture or dialog,
// every flag cleared, refresh period 1000 ms, message-box page "MsgBox.teq",
// not initialised (the next VM_init takes the heaps again).
void VM_reset();
int VM_isRefreshRequired();
void VM_entry();
void VM_refresh();
int VM_getRefreshPeriod();
void VM_redraw_sync();
void VM_redraw_from_mouse_event();
// An exposure while the main thread waits for the target: redrawn at once
// while the view is complete, else left to the next cycle (a full redraw is
// scheduled) when a page, picture or dialog is being loaded or drawn.
void VM_redrawWhileWaiting();
void showLoadingMessage();
void SYS_SetWaitCursor(int flag);
void SYS_ShowWaitCursor();

// Opens and reads a TEQ file; clear first clears the view. 0 on success, 404
// when the file cannot be opened, else the reader's result.
int VM_loadTeqFile(const char *name, int clear);
void loadPicture();
// Drops the page on screen: objects, read list, heap1, layer, queued keys.
void VM_ClearView();
// Drops everything of the project: heap2, page parameters, containers and
// the other project-wide tables.
void VM_ClearAll();

// Attaches the view (page state, requests, object table, page parameters) to
// the hooks of the layers below.
void VM_attachHooks();
