// RAM-disk file store: temporary files in one memory area of 256-byte blocks,
// plus read access to disk files through the same integer handles (0..15 disk,
// 16..31 RAM disk, -1 failure). Shared by the main and the server thread: every
// operation holds the store's lock. Reads the settings; logs through the log.
#pragma once
#include <cstdint>

#define RA_BLOCK_SIZE 256
#define RA_BLOCK_DATA 253
#define RA_MAX_FILES 64
#define RA_MAX_HANDLES 16
#define RA_NAME_SIZE 64
#define RA_HANDLE_BASE 16

extern uint32_t RA_SizeMax; // bytes of the area, fixed at the first open
extern uint32_t RA_TopSize; // high-water mark of bytes in use (debug_level >= 2)

int RA_fileOpen(const char *name, const char *mode);
// The same, but a name the RAM disk does not hold is read from directory +
// name on disk instead of from the page directory (directory null: as
// RA_fileOpen). For a thread other than the main one, which must not read the
// page directory.
int RA_fileOpenIn(const char *name, const char *mode, const char *directory);
int RA_fileClose(int handle);
int RA_fileGetc(int handle);
int RA_filePutc(int byte, int handle);
int RA_fileRead(void *buffer, int size, int count, int handle);
int RA_fileWrite(const void *buffer, int size, int count, int handle);
int RA_filePutString(const char *text, int handle);
int RA_fileGetString(char *buffer, int max, int handle);
int RA_fileSize(int handle);
void RA_seek(int handle, int position);
int RA_fileDelete(const char *name);
// 1 when the RAM disk holds a file of that name.
int RA_fileExists(const char *name);
uint32_t RA_freeSpace();
uint32_t RA_getDefaultRAMDiskSizeKB();

// Frees the store's area, forgets every file, closes every handle and clears
// the high-water mark; the next open creates the store anew with the size then
// in the settings. For shutdown and for tests.
void RA_releaseStore();
