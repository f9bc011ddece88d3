// File layer: one kind of handle for files of the target (downloaded into the
// RAM disk on open) and local files (RAM disk, then disk), with UTF-16 text
// detection and line reading.
#pragma once

#define TARSEL_REMOTE_HANDLE_BASE 32 // remote file handles: 33..47

// Files. Handles are those of the RAM disk (0..31) for local files and
// TARSEL_REMOTE_HANDLE_BASE + slot for files of the target; -1 is failure.
int Tarsel_fileOpen(const char *name, const char *mode);
// Next character, -1 at the end; in a UTF-16 text file two bytes, low first.
int Tarsel_fileGetc(int handle);
int Tarsel_fileRead(void *buffer, int size, int count, int handle);
// Reads one line into buffer (max bytes with the NUL), dropping the rest of a
// longer line and a carriage return at its end; *endFlag becomes 1 at the end
// of the file. Answers the stored length.
int Tarsel_fileReadln(char *buffer, int max, int handle, int *endFlag);
int Tarsel_filePutc(int character, int handle);
int Tarsel_fileSize(int handle);
int Tarsel_getFileHandle(int handle);
void Tarsel_fileClose(int handle);
void Tarsel_fileCloseLetFileInCache(int handle, int keep);
int Tarsel_loadFileTo(const char *destination, const char *fileName);
int Tarsel_loadMsgBox(const char *fileName);
// Forgets the text encoding of every file (all read as bytes).
void Tarsel_resetFiles();
