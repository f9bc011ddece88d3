// View manager. Until pages are loaded there is no document base and no dialog,
// page requests go nowhere and nothing is redrawn.
#include "view/view_manager.h"

#include "runtime/heap.h"
#include "view/page_params.h"

const char *VM_GetDocumentBase() { return ""; }
const char *VM_getDialogBoxName() { return ""; }
int VM_requestLoadHtmlFile(const char *) { return 0; }
int scheduleFullRedraw() { return 1; }

void VM_ClearAll()
{
    MU_freeAll2();
    HT_resetParameters();
}
