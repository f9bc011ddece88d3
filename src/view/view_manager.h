// View manager: page and picture requests, the refresh cycle and redraws.
#pragma once

// Host of the remote page server, empty for local pages.
extern char VM_RemoteServer[24];

// Directory of the current page, ending in "/" or empty.
const char *VM_GetDocumentBase();
// Name of the dialog page shown, empty when none.
const char *VM_getDialogBoxName();
// Schedules a refresh with a full redraw; answers 1.
int scheduleFullRedraw();
// The refresh period of the page in milliseconds.
int VM_getRefreshPeriod();
// Drops everything of the project: heap2, page parameters and the other
// project-wide tables.
void VM_ClearAll();
// The panel's identity on the target (order file name).
const char *VM_GetOrderFileName();
// Requests: an HTML page, a picture, one more refresh cycle, the return from
// the message-box page to the current picture.
int VM_requestLoadHtmlFile(const char *address);
int VM_requestPicture(const char *name);
void scheduleNewRefresh();
void VM_closeMsgBoxView();
