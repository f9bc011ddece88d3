// View manager: page and picture requests, the refresh cycle and redraws.
#pragma once

// Directory of the current page, ending in "/" or empty.
const char *VM_GetDocumentBase();
// Name of the dialog page shown, empty when none.
const char *VM_getDialogBoxName();
