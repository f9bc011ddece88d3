// View manager. Until pages are loaded there is no document base, no dialog,
// no remote server, the refresh period is the start value, and requests are
// not acted upon.
#include "view/view_manager.h"

#include "app/network.h"
#include "runtime/heap.h"
#include "view/page_params.h"

char VM_RemoteServer[24];

const char *VM_GetDocumentBase() { return ""; }
const char *VM_getDialogBoxName() { return ""; }
int scheduleFullRedraw() { return 1; }
int VM_getRefreshPeriod() { return 1000; }

void VM_ClearAll()
{
    MU_freeAll2();
    HT_resetParameters();
}

const char *VM_GetOrderFileName() { return SYS_GetFixOrderFileName(); }
int VM_requestLoadHtmlFile(const char *) { return 0; }
int VM_requestPicture(const char *) { return 0; }
void scheduleNewRefresh() {}
void VM_closeMsgBoxView() {}
