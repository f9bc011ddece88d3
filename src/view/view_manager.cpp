// View manager. Until pages are loaded there is no document base, no dialog,
// no TEQ file being read, and no TEQ file can be loaded.
#include "view/view_manager.h"

#include "runtime/heap.h"
#include "view/page_params.h"

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
