// View manager. Until pages are loaded there is no document base, no dialog,
// no remote server, no TEQ file being read, no TEQ file can be loaded, and
// requests are not acted upon.
#include "view/view_manager.h"

#include "runtime/heap.h"
#include "view/page_params.h"

char VM_RemoteServer[24];

const char *VM_GetDocumentBase() { return ""; }
const char *VM_getDialogBoxName() { return ""; }

void VM_ClearAll()
{
    MU_freeAll2();
    HT_resetParameters();
}

const char *VM_getLoadingFileName() { return ""; }
const char *VM_getMsgBoxFileName() { return "MsgBox.teq"; }
int VM_loadTeqFile(const char *, int) { return 404; }
const char *VM_GetOrderFileName() { return ""; }
int VM_requestLoadHtmlFile(const char *) { return 0; }
int VM_requestPicture(const char *) { return 0; }
void scheduleNewRefresh() {}
void VM_closeMsgBoxView() {}
