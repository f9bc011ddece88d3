// RAM-disk file store. Owns the block area, the file table and both handle
// tables. Disk files open through HMI_FOPEN (the current page directory).
#include "runtime/ramdisk.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "runtime/platform.h"
#include "runtime/settings.h"
#include "runtime/log.h"

uint32_t RA_SizeMax;
uint32_t RA_TopSize;

namespace {

constexpr uint32_t kDefaultKB = 1024;
constexpr int kFull = 254; // fill index of a full block
constexpr size_t kNameMax = RA_NAME_SIZE - 1;

struct FileEntry {
    int32_t size; // -1: free
    char name[RA_NAME_SIZE];
    int32_t firstBlock;
    char mode; // 'r', 'w' or NUL
};

struct RamHandle {
    int32_t size; // -1: free
    int32_t block;
    int32_t offset;
    int32_t file; // -1: free
};

struct DiskHandle {
    bool used;
    FILE *stream;
    long size;
};

std::mutex storeLock;
unsigned char *area;
uint32_t blockCount;
uint32_t freeHint; // no block below it is free
FileEntry files[RA_MAX_FILES];
RamHandle ramHandles[RA_MAX_HANDLES];
DiskHandle diskHandles[RA_MAX_HANDLES];

unsigned char *blockAt(int32_t n) { return area + static_cast<size_t>(n) * RA_BLOCK_SIZE; }
int32_t linkOf(int32_t n) { return blockAt(n)[254] << 8 | blockAt(n)[255]; }

void setLink(int32_t n, int32_t next)
{
    blockAt(n)[254] = static_cast<unsigned char>(next >> 8);
    blockAt(n)[255] = static_cast<unsigned char>(next);
}

void freeRamHandle(RamHandle &h) { h = {-1, 0, 0, -1}; }

void initFileSystem()
{
    uint64_t bytes = static_cast<uint64_t>(pterm.mem_ramdisk_kb ? pterm.mem_ramdisk_kb : kDefaultKB) * 1024u;
    // Block numbers are 16-bit links, so the area holds at most 65536 blocks.
    if (bytes > uint64_t{65536} * RA_BLOCK_SIZE) bytes = uint64_t{65536} * RA_BLOCK_SIZE;
    RA_SizeMax = static_cast<uint32_t>(bytes);
    area = static_cast<unsigned char *>(std::calloc(RA_SizeMax ? RA_SizeMax : 1, 1));
    if (!area) {
        err_append(0, "Failed to initialize Ramdisk!\n", nullptr);
        std::exit(-1);
    }
    blockCount = RA_SizeMax / RA_BLOCK_SIZE;
    freeHint = 0;
    for (FileEntry &f : files) f = {-1, "", 0, '\0'};
    for (RamHandle &h : ramHandles) freeRamHandle(h);
}

int32_t allocBlock()
{
    for (uint32_t n = freeHint; n < blockCount; n++) {
        if (area[static_cast<size_t>(n) * RA_BLOCK_SIZE] == 0) {
            freeHint = n + 1;
            setLink(static_cast<int32_t>(n), static_cast<int32_t>(n));
            blockAt(static_cast<int32_t>(n))[0] = 1;
            return static_cast<int32_t>(n);
        }
    }
    freeHint = blockCount;
    return -1;
}

void releaseBlock(int32_t n)
{
    blockAt(n)[0] = 0;
    if (static_cast<uint32_t>(n) < freeHint) freeHint = static_cast<uint32_t>(n);
}

void freeChain(int32_t first)
{
    int32_t n = first;
    for (uint32_t guard = 0; blockAt(n)[0] == kFull && guard < blockCount; guard++) {
        int32_t next = linkOf(n);
        releaseBlock(n);
        if (next == n) return;
        n = next;
    }
    releaseBlock(n);
}

// Names longer than the table's field are known by their first 63 characters.
bool sameName(const FileEntry &f, const char *name)
{
    return std::strncmp(f.name, name, kNameMax) == 0 &&
           (std::strlen(name) >= kNameMax || f.name[std::strlen(name)] == '\0');
}

int findFile(const char *name)
{
    for (int i = 0; i < RA_MAX_FILES; i++)
        if (files[i].size != -1 && sameName(files[i], name)) return i;
    return -1;
}

int freeRamHandleIndex()
{
    for (int i = 0; i < RA_MAX_HANDLES; i++)
        if (ramHandles[i].file == -1) return i;
    return -1;
}

bool otherReaders(int file, int exceptHandle)
{
    for (int i = 0; i < RA_MAX_HANDLES; i++)
        if (i != exceptHandle && ramHandles[i].file == file) return true;
    return false;
}

RamHandle *ramHandle(int handle)
{
    if (!area || handle < RA_HANDLE_BASE || handle >= RA_HANDLE_BASE + RA_MAX_HANDLES) return nullptr;
    RamHandle &h = ramHandles[handle - RA_HANDLE_BASE];
    return h.file < 0 ? nullptr : &h;
}

DiskHandle *diskHandle(int handle)
{
    if (handle < 0 || handle >= RA_MAX_HANDLES || !diskHandles[handle].used) return nullptr;
    return &diskHandles[handle];
}

FILE *openIn(const char *directory, const char *name)
{
    if (!directory) return HMI_FOPEN(name, "rb");
    char path[1600];
    int n = std::snprintf(path, sizeof path, "%s%s", directory, name);
    if (n < 0 || static_cast<size_t>(n) >= sizeof path) return nullptr;
    return std::fopen(path, "rb");
}

int openDisk(const char *name, const char *directory)
{
    int slot = 0;
    while (slot < RA_MAX_HANDLES && diskHandles[slot].used) slot++;
    if (slot == RA_MAX_HANDLES) return -1;
    FILE *f = openIn(directory, name);
    if (!f) return -1;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    diskHandles[slot] = {true, f, size < 0 ? 0 : size};
    if (pterm.debug_level >= 2) log_append(pterm.debug_level >= 3, "Open File: %s\n", name);
    return slot;
}

int openRead(const char *name, const char *directory)
{
    int file = findFile(name);
    if (file >= 0 && files[file].mode != 'w') {
        int h = freeRamHandleIndex();
        if (h >= 0) {
            ramHandles[h] = {files[file].size, files[file].firstBlock, 0, file};
            files[file].mode = 'r';
            return h + RA_HANDLE_BASE;
        }
    }
    return openDisk(name, directory);
}

int openWrite(const char *name)
{
    int file = findFile(name);
    int h;
    if (file >= 0) {
        if (files[file].mode != '\0') return -1;
        h = freeRamHandleIndex();
        if (h < 0) return -1;
        freeChain(files[file].firstBlock);
        files[file].size = 0;
        int32_t first = allocBlock(); // the chain just freed leaves at least one block
        files[file].firstBlock = first;
    } else {
        file = 0;
        while (file < RA_MAX_FILES && files[file].size != -1) file++;
        if (file == RA_MAX_FILES) return -1;
        h = freeRamHandleIndex();
        if (h < 0) return -1;
        int32_t first = allocBlock();
        if (first < 0) return -1;
        files[file] = {0, "", first, '\0'};
        std::strncpy(files[file].name, name, kNameMax);
        files[file].name[kNameMax] = '\0';
    }
    files[file].mode = 'w';
    ramHandles[h] = {0, files[file].firstBlock, 0, file};
    return h + RA_HANDLE_BASE;
}

uint32_t freeSpaceLocked()
{
    uint32_t freeBlocks = 0;
    for (uint32_t n = 0; n < blockCount; n++)
        if (area[static_cast<size_t>(n) * RA_BLOCK_SIZE] == 0) freeBlocks++;
    return freeBlocks * RA_BLOCK_SIZE;
}

bool isWriter(const RamHandle &h) { return files[h.file].mode == 'w'; }

int putcLocked(int byte, int handle)
{
    RamHandle *h = ramHandle(handle);
    if (!h || !isWriter(*h)) return -1;
    unsigned char *b = blockAt(h->block);
    if (b[0] == kFull) {
        int32_t next = allocBlock();
        if (next < 0) {
            err_append(0, "Out of memory in Ramdisk!\n", nullptr);
            return -1;
        }
        setLink(h->block, next);
        h->block = next;
        b = blockAt(next);
    }
    b[b[0]++] = static_cast<unsigned char>(byte);
    h->size++;
    files[h->file].size++;
    return byte & 0xFF;
}

// Steps one byte forward; answers the byte or -1 at the end of the file.
int stepRam(RamHandle &h)
{
    unsigned char *b = blockAt(h.block);
    if (h.offset < b[0]) h.offset++;
    if (h.offset == kFull) {
        int32_t next = linkOf(h.block);
        if (next == h.block) return -1;
        h.block = next;
        h.offset = 1;
        b = blockAt(next);
        if (b[0] <= 1) return -1;
    } else if (h.offset == b[0]) {
        return -1;
    }
    return b[h.offset];
}

int getcLocked(int handle)
{
    if (DiskHandle *d = diskHandle(handle)) {
        int c = std::fgetc(d->stream);
        return c == EOF ? -1 : c;
    }
    RamHandle *h = ramHandle(handle);
    if (!h || isWriter(*h)) return -1;
    return stepRam(*h);
}

} // namespace

int RA_fileOpen(const char *name, const char *mode) { return RA_fileOpenIn(name, mode, nullptr); }

int RA_fileOpenIn(const char *name, const char *mode, const char *directory)
{
    if (!name || !mode) return -1;
    std::lock_guard<std::mutex> hold(storeLock);
    if (!area) initFileSystem();
    if (pterm.debug_level >= 3) log_append(1, "Open RAM File: %s\n", name);
    if (mode[0] == 'r') return openRead(name, directory);
    if (mode[0] == 'w') return openWrite(name);
    return -1;
}

int RA_fileClose(int handle)
{
    std::lock_guard<std::mutex> hold(storeLock);
    if (DiskHandle *d = diskHandle(handle)) {
        std::fclose(d->stream);
        *d = {false, nullptr, 0};
        return 0;
    }
    RamHandle *h = ramHandle(handle);
    if (!h) return -1;
    int file = h->file;
    if (isWriter(*h) && pterm.debug_level >= 2) {
        uint32_t used = RA_SizeMax - freeSpaceLocked();
        if (used > RA_TopSize) RA_TopSize = used;
    }
    int index = handle - RA_HANDLE_BASE;
    freeRamHandle(*h);
    if (!otherReaders(file, index)) files[file].mode = '\0';
    return 0;
}

int RA_fileGetc(int handle)
{
    std::lock_guard<std::mutex> hold(storeLock);
    return getcLocked(handle);
}

int RA_filePutc(int byte, int handle)
{
    std::lock_guard<std::mutex> hold(storeLock);
    return putcLocked(byte, handle);
}

int RA_fileRead(void *buffer, int size, int count, int handle)
{
    if (!buffer || size != 1 || count < 1) return 0;
    std::lock_guard<std::mutex> hold(storeLock);
    unsigned char *out = static_cast<unsigned char *>(buffer);
    int n = 0;
    for (int c; n < count && (c = getcLocked(handle)) >= 0; n++) out[n] = static_cast<unsigned char>(c);
    return n;
}

int RA_fileWrite(const void *buffer, int size, int count, int handle)
{
    if (!buffer || size != 1 || count < 1) return 0;
    std::lock_guard<std::mutex> hold(storeLock);
    const unsigned char *in = static_cast<const unsigned char *>(buffer);
    int n = 0;
    while (n < count && putcLocked(in[n], handle) >= 0) n++;
    return n;
}

int RA_filePutString(const char *text, int handle)
{
    if (!text) return 0;
    std::lock_guard<std::mutex> hold(storeLock);
    int result = 0;
    for (; *text; text++)
        if ((result = putcLocked(static_cast<unsigned char>(*text), handle)) < 0) break;
    return result;
}

int RA_fileGetString(char *buffer, int max, int handle)
{
    if (!buffer) return 0;
    std::lock_guard<std::mutex> hold(storeLock);
    int n = 0;
    for (int c; n < max && (c = getcLocked(handle)) > 0; n++) buffer[n] = static_cast<char>(c);
    buffer[n] = '\0';
    return n;
}

int RA_fileSize(int handle)
{
    std::lock_guard<std::mutex> hold(storeLock);
    if (handle < 0) return 0;
    if (handle < RA_MAX_HANDLES) return diskHandles[handle].used ? static_cast<int>(diskHandles[handle].size) : -1;
    const RamHandle *h = ramHandle(handle);
    return h ? h->size : -1;
}

void RA_seek(int handle, int position)
{
    if (handle < 0 || position < 0) return;
    std::lock_guard<std::mutex> hold(storeLock);
    if (DiskHandle *d = diskHandle(handle)) {
        std::fseek(d->stream, position, SEEK_SET);
        return;
    }
    RamHandle *h = ramHandle(handle);
    if (!h || isWriter(*h)) return;
    const FileEntry &f = files[h->file];
    *h = {f.size, f.firstBlock, 0, h->file};
    for (int i = 0; i < position && stepRam(*h) >= 0; i++) {}
}

int RA_fileExists(const char *name)
{
    if (!name) return 0;
    std::lock_guard<std::mutex> hold(storeLock);
    return area && findFile(name) >= 0;
}

int RA_fileDelete(const char *name)
{
    if (!name) return -1;
    std::lock_guard<std::mutex> hold(storeLock);
    if (!area) return -1;
    int file = findFile(name);
    if (file < 0 || files[file].mode != '\0') return -1;
    freeChain(files[file].firstBlock);
    files[file] = {-1, "", 0, '\0'};
    return file;
}

uint32_t RA_freeSpace()
{
    std::lock_guard<std::mutex> hold(storeLock);
    return freeSpaceLocked();
}
uint32_t RA_getDefaultRAMDiskSizeKB() { return kDefaultKB; }

void RA_releaseStore()
{
    std::lock_guard<std::mutex> hold(storeLock);
    for (DiskHandle &d : diskHandles) {
        if (d.used) std::fclose(d.stream);
        d = {false, nullptr, 0};
    }
    std::free(area);
    area = nullptr;
    blockCount = 0;
    freeHint = 0;
    for (FileEntry &f : files) f = {-1, "", 0, '\0'};
    for (RamHandle &h : ramHandles) freeRamHandle(h);
    RA_SizeMax = 0;
    RA_TopSize = 0;
}
