// View manager. Until pages are loaded there is no document base and no dialog,
// page requests go nowhere and nothing is redrawn.
#include "view/view_manager.h"

const char *VM_GetDocumentBase() { return ""; }
const char *VM_getDialogBoxName() { return ""; }
void VM_requestLoadHtmlFile(const char *) {}
int scheduleFullRedraw() { return 1; }
