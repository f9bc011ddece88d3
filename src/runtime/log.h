// Log file and error reporting. Owns the log stream, the error buffer and the
// pending-message state of the warning button. Reads the settings record;
// through the hooks it appends to the message-box container, moves the focus
// to the first object and asks whether a dialog is open.
// Each write is one locked step, so lines of two threads never interleave.
#pragma once

#define ERR_BUFFER_SIZE 800
#define MSGBOX_TEXT_LIMIT 796

// Writes to the log when debug_level is not 0 and log_file is set. A non-zero
// stamp first writes a "HH:MM:SS" line. A null argument writes the format as
// it stands; otherwise the format takes the one text argument.
void log_append(int stamp, const char *format, const char *argument);
void log_append_int(int stamp, const char *format, long number);
void log_flushFile();
void log_closeFile();
// Closes the log and forgets the pending messages and the last memory report;
// the message box is enabled again.
void log_reset();
void log_clearFile();
void log_printHeapSize();
void log_entry();

void err_append(int code, const char *format, const char *argument);
void err_append_int(int code, const char *format, long number);
void err_fileNotFound(const char *name);

void enableMsgBox(int flag);
int isMsgBoxEnable();
int getNumberOfMessagePending();
void clearMessageNr();
// Counts one refresh cycle since the last error (for the warning button's limit).
void err_countRefreshCycle();
