// View manager: page and picture requests, the refresh cycle and redraws.
#pragma once

// Directory of the current page, ending in "/" or empty.
const char *VM_GetDocumentBase();
// Name of the dialog page shown, empty when none.
const char *VM_getDialogBoxName();
// Requests an HTML page for the next refresh cycle.
int VM_requestLoadHtmlFile(const char *address);
// Schedules a refresh with a full redraw; answers 1.
int scheduleFullRedraw();
// Drops everything of the project: heap2, page parameters and the other
// project-wide tables.
void VM_ClearAll();
