// Downloads and remote files. Owns the file slots, the open-file count and
// the name of the last downloaded temporary file. Writes the RAM disk and the
// log; through the hooks it reads the document base. Main thread only.
#include "transport/downloads.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/ramdisk.h"
#include "runtime/str_util.h"
#include "transport/http_internal.h"
#include "transport/sockets.h"
#include "transport/target_address.h"

namespace {

constexpr int kDownloadHeaderSize = 1024;

// A slot is free while inUse is 0; an open one holds the RAM-disk copy.
struct FileSlot {
    uint16_t inUse;
    uint16_t counted; // downloaded by this open, so it counts as an open remote file
    int size;
    int ramHandle;
};

FileSlot fhandles[SRVR_FILE_SLOTS];
int nOpenFile;
char lastDestFileName[260];

int failDownload(int result, int file, const char *destination, int slot)
{
    if (slot) SRVR_CloseSocket(slot);
    if (file >= 0) RA_fileClose(file);
    RA_fileDelete(destination);
    return result;
}

void firstLine(const char *text, char *dst, size_t size)
{
    size_t n = std::strcspn(text, "\r\n");
    if (n >= size) n = size - 1;
    std::memcpy(dst, text, n);
    dst[n] = '\0';
}

int TarselLinkGetFile_Impl(const char *address, const char *documentBase, const char *fileName, const char *destination)
{
    const char *dest = destination && destination[0] ? destination : fileName;
    if (!dest || !dest[0]) return SRVR_GETFILE_NO_TEMP_FILE;
    safe_strncpy(lastDestFileName, dest, sizeof lastDestFileName);
    int file = RA_fileOpen(dest, "wb");
    if (file < 0) {
        err_append(0, "Failed to open temp file in write mode;\n %s\n", dest);
        return SRVR_GETFILE_NO_TEMP_FILE;
    }
    const char *host = address ? address : GetRemoteIpAddress();
    int slot = SRVR_OpenSocket(address);
    if (!slot) {
        if (PUMP_isPumping()) return failDownload(SRVR_GETFILE_NO_CONNECTION, file, dest, 0);
        err_append(0, "Connection to the host failed !\n %s\n", host);
        return failDownload(SRVR_GETFILE_NO_CONNECTION, file, dest, 0);
    }
    if (SRVR_WriteGetHeader(slot, documentBase, fileName, nullptr, 0) <= 0) {
        err_append(0, "TarselLinkGetFile_Impl: SRVR_WriteGetHeader() Failed !\n %s\n", host);
        return failDownload(SRVR_GETFILE_SEND_FAILED, file, dest, slot);
    }
    char header[kDownloadHeaderSize];
    int bodyStart = 0, bodyLength = 0, status = 0;
    if (SRVR_ReadHttpHeader(slot, header, kDownloadHeaderSize, &bodyStart, &bodyLength, &status) <= 0) {
        err_append(0, "TarselLinkGetFile_Impl: no reply header !\n %s\n", host);
        return failDownload(SRVR_GETFILE_NO_HEADER, file, dest, slot);
    }
    if (status != 200) {
        char line[256];
        firstLine(header, line, sizeof line);
        err_append(0, "%s\n", line);
        return failDownload(status > 0 ? -status : SRVR_GETFILE_NO_HEADER, file, dest, slot);
    }
    long expected = SRVR_headerContentLength(header, bodyStart);
    long written = 0;
    const char *chunk = header + bodyStart;
    int chunkLength = expected >= 0 && bodyLength > expected ? static_cast<int>(expected) : bodyLength;
    char block[1024];
    for (;;) {
        if (chunkLength > 0) {
            if (RA_fileWrite(chunk, 1, chunkLength, file) != chunkLength)
                return failDownload(SRVR_GETFILE_DISK_FULL, file, dest, slot);
            written += chunkLength;
        }
        if (expected >= 0 && written >= expected) break;
        long want = expected >= 0 && expected - written < static_cast<long>(sizeof block)
                        ? expected - written
                        : static_cast<long>(sizeof block);
        chunkLength = SRVR_ReadBuffer(slot, block, static_cast<int>(want));
        if (chunkLength <= 0) break;
        chunk = block;
    }
    // A body without a length ends with the stream; one cut by a reset, an
    // error or the time-out is not the file.
    if (chunkLength < 0 || (expected >= 0 && written < expected)) {
        err_append(0, "TarselLinkGetFile_Impl: transfer incomplete !\n %s\n", fileName);
        return failDownload(SRVR_GETFILE_INCOMPLETE, file, dest, slot);
    }
    SRVR_CloseSocket(slot);
    RA_fileClose(file);
    return 0;
}

FileSlot *openFileSlot(int slot)
{
    if (slot < 1 || slot >= SRVR_FILE_SLOTS || !fhandles[slot].inUse) return nullptr;
    return &fhandles[slot];
}

void forgetOpenFile(bool counted, int keep)
{
    if (!counted) return;
    if (nOpenFile == 1 && !keep) TarselLinkRemoveLastTempFile();
    if (nOpenFile > 0) nOpenFile--;
}

} // namespace

int TarselLinkGetFile(const char *address, const char *documentBase, const char *fileName, const char *destination)
{
    return TarselLinkGetFile_Impl(address, documentBase, fileName, destination);
}

void RLY_fileName(const char *documentBase, const char *fileName, char *dst, size_t size)
{
    if (!dst || size == 0) return;
    char name[1024];
    if (documentBase && documentBase[0])
        std::snprintf(name, sizeof name, "%s.%s.%s", GetRemoteIpAddress(), documentBase, fileName ? fileName : "");
    else std::snprintf(name, sizeof name, "%s.%s", GetRemoteIpAddress(), fileName ? fileName : "");
    size_t length = std::strlen(name);
    safe_strncpy(dst, length >= size ? name + length - (size - 1) : name, size);
}

int SRVR_fileOpen(const char *fileName, const char *mode)
{
    if (!SRVR_isRemoteFileServer() || !mode || mode[0] != 'r' || !fileName || !fileName[0]) return -1;
    int slot = 1;
    while (slot < SRVR_FILE_SLOTS && fhandles[slot].inUse) slot++;
    if (slot >= SRVR_FILE_SLOTS) return -1;
    char temp[RA_NAME_SIZE];
    bool counted = !stringcmp(fileName, "MsgBox.teq");
    if (counted) {
        RLY_fileName(HK_hooks()->documentBase(), fileName, temp, sizeof temp);
        if (TarselLinkGetFile(GetRemoteIpAddress(), HK_hooks()->documentBase(), fileName, temp) != 0) return -1;
        nOpenFile++;
    } else {
        safe_strncpy(temp, fileName, sizeof temp);
    }
    int handle = RA_fileOpen(temp, "rb");
    if (handle < 0) {
        forgetOpenFile(counted, 0);
        return -1;
    }
    fhandles[slot] = {1, static_cast<uint16_t>(counted), RA_fileSize(handle), handle};
    return slot;
}

int SRVR_fileClose(int slot, int keep)
{
    FileSlot *f = openFileSlot(slot);
    if (!f) return -1;
    RA_fileClose(f->ramHandle);
    bool counted = f->counted != 0;
    *f = {0, 0, 0, -1};
    forgetOpenFile(counted, keep);
    return 0;
}

int SRVR_fileHandle(int slot)
{
    FileSlot *f = openFileSlot(slot);
    return f ? f->ramHandle : -1;
}

int SRVR_fileSize(int slot)
{
    FileSlot *f = openFileSlot(slot);
    return f ? f->size : -1;
}

void TarselLinkRemoveLastTempFile()
{
    if (lastDestFileName[0]) RA_fileDelete(lastDestFileName);
}

const char *Tarsel_getLastTempFile() { return lastDestFileName; }

void SRVR_resetFiles()
{
    for (FileSlot &f : fhandles) {
        if (f.inUse) RA_fileClose(f.ramHandle);
        f = {0, 0, 0, -1};
    }
    nOpenFile = 0;
    lastDestFileName[0] = '\0';
}
