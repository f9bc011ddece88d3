// Downloads and remote files of the HTTP client: a file of the target is
// fetched into the RAM disk as a temporary file and read from there.
#pragma once
#include <cstddef>

#define SRVR_FILE_SLOTS 16 // slot 0 is never handed out

// Results of a file download besides 0 (done) and the negated HTTP status of
// a refused request (for example -404).
enum {
    SRVR_GETFILE_NO_TEMP_FILE = -1,
    SRVR_GETFILE_NO_CONNECTION = -2,
    SRVR_GETFILE_SEND_FAILED = -3,
    SRVR_GETFILE_NO_HEADER = -4,
    SRVR_GETFILE_DISK_FULL = -5,
    SRVR_GETFILE_INCOMPLETE = -6,
};

// Downloads documentBase + fileName into the RAM disk under destination (or
// under fileName when destination is null or empty). Answers 0 when the whole
// file arrived, else a negative result (above). A failed download leaves no
// file behind.
int TarselLinkGetFile(const char *address, const char *documentBase, const char *fileName, const char *destination);
// Remote files: downloaded on open and read from the RAM-disk copy. Only with
// files from the target and modes beginning with "r". Answers a file slot
// (1..15) or -1.
int SRVR_fileOpen(const char *fileName, const char *mode);
// With keep 0 the last downloaded copy is deleted when the last remote file
// closes. Answers 0, or -1 for a slot that is not open.
int SRVR_fileClose(int slot, int keep);
// The RAM-disk handle behind a file slot, -1 when the slot is not open.
int SRVR_fileHandle(int slot);
// The size recorded at open, -1 when the slot is not open.
int SRVR_fileSize(int slot);
// The temporary name of a downloaded file (at most size - 1 characters, the
// end of the name is kept).
void RLY_fileName(const char *documentBase, const char *fileName, char *dst, size_t size);
void TarselLinkRemoveLastTempFile();
const char *Tarsel_getLastTempFile();

// Closes the RAM-disk copies of open remote files and frees their slots;
// forgets the open-file count and the last temporary file.
void SRVR_resetFiles();
