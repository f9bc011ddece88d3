// View manager. Until pages are loaded there is no document base and no dialog.
#include "view/view_manager.h"

const char *VM_GetDocumentBase() { return ""; }
const char *VM_getDialogBoxName() { return ""; }
