// View manager: page and picture requests, the refresh cycle and redraws.
#pragma once

// Directory of the current page, ending in "/" or empty.
const char *VM_GetDocumentBase();
// Name of the dialog page shown, empty when none.
const char *VM_getDialogBoxName();
// Drops everything of the project: heap2, page parameters and the other
// project-wide tables.
void VM_ClearAll();
