// File layer: files that live on the target (downloaded into the RAM disk on
// open) or locally (RAM disk, then disk), read through one kind of handle, with
// UTF-16 text detection and line reading. Owns the text encoding of each open
// file. Main thread only.
#include "transport/file_layer.h"

#include <cstring>

#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/ramdisk.h"
#include "transport/http_client.h"

namespace {

constexpr int kRamHandles = RA_HANDLE_BASE + RA_MAX_HANDLES;
constexpr int kUtf16 = 2;

// Text encoding per RAM-disk handle: 0 bytes, 2 UTF-16 little-endian.
int encoding[kRamHandles];

bool isRemoteHandle(int handle)
{
    return handle > TARSEL_REMOTE_HANDLE_BASE && handle < TARSEL_REMOTE_HANDLE_BASE + SRVR_FILE_SLOTS;
}

// The RAM-disk handle behind a file handle, -1 when there is none.
int ramHandleOf(int handle)
{
    if (isRemoteHandle(handle)) return SRVR_fileHandle(handle - TARSEL_REMOTE_HANDLE_BASE);
    return handle >= 0 && handle < kRamHandles ? handle : -1;
}

// A text file that begins with 0xFF 0xFE is UTF-16 little-endian: reading goes
// on after these two bytes. Any other file is read again from its start.
void detectTextEncoding(int ram)
{
    int first = RA_fileGetc(ram);
    int second = first == 0xFF ? RA_fileGetc(ram) : -1;
    if (first == 0xFF && second == 0xFE) {
        encoding[ram] = kUtf16;
        return;
    }
    encoding[ram] = 0;
    RA_seek(ram, 0);
}

// Stores one character of a line; answers the new length.
int storeCharacter(char *buffer, int length, int max, int c)
{
    if (c <= 255) {
        if (length < max - 1) buffer[length++] = static_cast<char>(c);
        return length;
    }
    if (length + 4 <= max - 1) {
        buffer[length++] = '\\';
        buffer[length++] = 'u';
        buffer[length++] = static_cast<char>(c >> 8);
        buffer[length++] = static_cast<char>(c & 255);
    }
    return length;
}

} // namespace

int Tarsel_fileOpen(const char *name, const char *mode)
{
    if (!name || name[0] == '\0' || !mode) return -1;
    int handle, ram;
    if (SRVR_isRemoteFileServer()) {
        int slot = SRVR_fileOpen(name, mode);
        if (slot <= 0) return -1;
        handle = TARSEL_REMOTE_HANDLE_BASE + slot;
        ram = SRVR_fileHandle(slot);
    } else {
        handle = ram = RA_fileOpen(name, mode);
        if (handle < 0) return -1;
    }
    encoding[ram] = 0;
    if (mode[0] == 'r' && mode[1] == 't') detectTextEncoding(ram);
    return handle;
}

int Tarsel_fileGetc(int handle)
{
    int ram = ramHandleOf(handle);
    if (ram < 0) return -1;
    int low = RA_fileGetc(ram);
    if (encoding[ram] != kUtf16 || low < 0) return low;
    int high = RA_fileGetc(ram);
    return high < 0 ? low : low | high << 8;
}

int Tarsel_fileRead(void *buffer, int size, int count, int handle)
{
    int ram = ramHandleOf(handle);
    if (ram < 0) return -1;
    return RA_fileRead(buffer, size, count, ram);
}

int Tarsel_fileReadln(char *buffer, int max, int handle, int *endFlag)
{
    if (!buffer || max < 1) return 0;
    int length = 0;
    for (;;) {
        int c = Tarsel_fileGetc(handle);
        if (c < 0) {
            if (endFlag) *endFlag = 1;
            break;
        }
        if (c == '\n') break;
        length = storeCharacter(buffer, length, max, c);
    }
    bool full = length >= max - 1;
    if (length > 0 && buffer[length - 1] == '\r') length--;
    buffer[length] = '\0';
    if (full) err_append(0, "buffer OVF in readln()!\n", nullptr);
    return length;
}

int Tarsel_filePutc(int character, int handle)
{
    if (isRemoteHandle(handle) || handle < RA_HANDLE_BASE || handle >= kRamHandles) return -1;
    return RA_filePutc(character, handle);
}

int Tarsel_fileSize(int handle)
{
    if (isRemoteHandle(handle)) return SRVR_fileSize(handle - TARSEL_REMOTE_HANDLE_BASE);
    return RA_fileSize(handle);
}

int Tarsel_getFileHandle(int handle) { return ramHandleOf(handle); }

void Tarsel_fileCloseLetFileInCache(int handle, int keep)
{
    int ram = ramHandleOf(handle);
    if (ram >= 0) encoding[ram] = 0;
    if (isRemoteHandle(handle)) SRVR_fileClose(handle - TARSEL_REMOTE_HANDLE_BASE, keep);
    else if (ram >= 0) RA_fileClose(ram);
}

void Tarsel_fileClose(int handle) { Tarsel_fileCloseLetFileInCache(handle, 0); }

int Tarsel_loadFileTo(const char *destination, const char *fileName)
{
    if (!SRVR_isRemoteFileServer()) return 0;
    return TarselLinkGetFile(GetRemoteIpAddress(), HK_hooks()->documentBase(), fileName, destination);
}

int Tarsel_loadMsgBox(const char *fileName)
{
    if (!SRVR_isRemoteFileServer()) return 1;
    int result = TarselLinkGetFile(GetRemoteIpAddress(), HK_hooks()->documentBase(), fileName, fileName);
    if (result == 0) return 1;
    err_append(result, "File not found !\n %s\n", fileName ? fileName : "");
    return 0;
}

void Tarsel_resetFiles() { std::memset(encoding, 0, sizeof encoding); }
