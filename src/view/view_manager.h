// View manager: page and picture requests, the refresh cycle and redraws.
#pragma once

// Directory of the current page, ending in "/" or empty.
const char *VM_GetDocumentBase();
// Name of the dialog page shown, empty when none.
const char *VM_getDialogBoxName();
// Drops everything of the project: heap2, page parameters and the other
// project-wide tables.
void VM_ClearAll();
// Name of the TEQ file being read, for error texts.
const char *VM_getLoadingFileName();
// Name of the message-box page ("MsgBox.teq" unless the page names another).
const char *VM_getMsgBoxFileName();
// Opens and reads a TEQ file; clear first clears the view. 0 on success, 404
// when the file cannot be opened, else the reader's result.
int VM_loadTeqFile(const char *name, int clear);
