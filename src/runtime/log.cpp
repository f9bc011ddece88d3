// Log and error reporting.
#include "runtime/log.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include "runtime/platform.h"
#include "runtime/settings.h"
#include "runtime/heap.h"
#include "runtime/hooks.h"
#include "runtime/ramdisk.h"
#include "runtime/str_util.h"

namespace {

constexpr long kLevel1MaxBytes = 1048576;

std::recursive_mutex logLock;
FILE *logStream;
unsigned appendCount;

int nMsgPending;
int MsgBoxCounter;
int MsgBoxEnabled = 1;

struct MemoryMarks {
    uint32_t ramdisk, heap1, heap2, lrheap;
    bool operator==(const MemoryMarks &) const = default;
} lastReport;

bool loggingOn() { return pterm.debug_level != 0 && pterm.log_file[0] != '\0'; }

FILE *stream()
{
    if (!logStream) logStream = APP_FOPEN(pterm.log_file, "a");
    return logStream;
}

void writeTimeLine(FILE *f)
{
    char now[SYS_TIME_TEXT_SIZE];
    getSystemTimeAsString(now);
    std::fprintf(f, "%s\n", now);
}

// The log file's path: AppPath + name, or the name when it is absolute.
void logPath(char *path, size_t size)
{
    const char *name = pterm.log_file;
    bool absolute = name[0] == '/' || name[0] == '\\';
    std::snprintf(path, size, "%s%s", absolute ? "" : AppPath, name);
}

// At level 1 the log may not grow beyond 1 MB (checked every 30th call): the
// full file becomes "<log_file>.1", replacing the one before, and the log goes
// on in a new file.
void guardSize(FILE *f)
{
    if (pterm.debug_level != 1 || appendCount++ % 30 != 29) return;
    if (std::ftell(f) <= kLevel1MaxBytes) return;
    char path[SYS_PATH_SIZE + sizeof pterm.log_file], kept[sizeof path + 2];
    logPath(path, sizeof path);
    std::snprintf(kept, sizeof kept, "%s.1", path);
    writeTimeLine(f);
    std::fprintf(f, "MAXIMUM FILE SIZE REACHED FOR debug_level 1!\nThe log goes on in a new file.\n<EOF>");
    std::fclose(logStream);
    logStream = nullptr;
    std::rename(path, kept);
    FILE *next = stream();
    if (!next) return;
    writeTimeLine(next);
    std::fprintf(next, "Log continued; the previous part is in %s.1\n", pterm.log_file);
}

void writeFormatted(int stamp, const char *text, bool flush)
{
    std::lock_guard<std::recursive_mutex> hold(logLock);
    if (!loggingOn()) return;
    FILE *f = stream();
    if (!f) return;
    if (stamp) writeTimeLine(f);
    std::fputs(text, f);
    if (flush || pterm.debug_level >= 2) std::fflush(f);
    guardSize(f);
}

// Formats a format with its one argument into a bounded buffer.
void formatOne(char *dst, size_t size, const char *format, const char *argument)
{
    if (!format) format = "";
    if (argument) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
        std::snprintf(dst, size, format, argument);
#pragma GCC diagnostic pop
    } else {
        safe_strncpy(dst, format, size);
    }
}

void formatInt(char *dst, size_t size, const char *format, long number)
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(dst, size, format ? format : "", number);
#pragma GCC diagnostic pop
}

bool dialogOpen()
{
    const char *name = HK_hooks()->dialogName();
    return name && name[0] != '\0';
}

// Appends to the message-box text under the log lock, so that errors of the
// server thread and of the main thread never meet in the buffer; the focus
// moves after the lock is given back.
void collect(const char *message)
{
    bool first;
    {
        std::lock_guard<std::recursive_mutex> hold(logLock);
        char *box = HK_hooks()->messageBoxText();
        if (box) {
            size_t used = std::strlen(box);
            if (used < MSGBOX_TEXT_LIMIT) {
                size_t room = MSGBOX_TEXT_LIMIT - used, len = std::strlen(message);
                size_t take = len < room ? len : room;
                std::memcpy(box + used, message, take);
                box[used + take] = '\0';
                if (take < len) std::strcat(box, "...");
                nMsgPending++;
            }
        }
        MsgBoxCounter = 0;
        first = nMsgPending == 1;
    }
    if (first) HK_hooks()->focusFirstObject();
}

void reportError(int code, const char *text)
{
    char buffer[ERR_BUFFER_SIZE];
    buffer[0] = '\0';
    if (code) std::snprintf(buffer, sizeof buffer, "Error %d: ", code);
    size_t used = std::strlen(buffer);
    safe_strncpy(buffer + used, text, sizeof buffer - used);
    writeFormatted(1, buffer, true);
    if (MsgBoxEnabled) collect(buffer);
}

} // namespace

void log_append(int stamp, const char *format, const char *argument)
{
    if (!loggingOn()) return;
    if (!argument) {
        writeFormatted(stamp, format ? format : "", false);
        return;
    }
    char text[4096];
    formatOne(text, sizeof text, format, argument);
    writeFormatted(stamp, text, false);
}

void log_append_int(int stamp, const char *format, long number)
{
    if (!loggingOn()) return;
    char text[4096];
    formatInt(text, sizeof text, format, number);
    writeFormatted(stamp, text, false);
}

void log_flushFile()
{
    std::lock_guard<std::recursive_mutex> hold(logLock);
    if (logStream) std::fflush(logStream);
}

void log_closeFile()
{
    std::lock_guard<std::recursive_mutex> hold(logLock);
    if (logStream) std::fclose(logStream);
    logStream = nullptr;
}

void log_reset()
{
    std::lock_guard<std::recursive_mutex> hold(logLock);
    log_closeFile();
    appendCount = 0;
    nMsgPending = 0;
    MsgBoxCounter = 0;
    MsgBoxEnabled = 1;
    lastReport = {};
}

void log_clearFile()
{
    std::lock_guard<std::recursive_mutex> hold(logLock);
    log_closeFile();
    if (!loggingOn()) return;
    logStream = APP_FOPEN(pterm.log_file, "w");
    if (!logStream) return;
    int yy, mm, dd;
    getSystemDateAndTime(&yy, &mm, &dd, nullptr, nullptr, nullptr);
    std::fprintf(logStream, "-- %2.2d.%2.2d.%d --\n", dd, mm, yy);
    if (pterm.debug_level >= 2) std::fflush(logStream);
}

void log_printHeapSize()
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "\nHeap Default Sizes:\n\n RAM-Disk: %lu KB\n Heap1   : %lu KB\n Heap2   : %lu KB\n LRHeap  : "
                  "%lu KB\n\n",
                  static_cast<unsigned long>(RA_getDefaultRAMDiskSizeKB()),
                  static_cast<unsigned long>(MU_getDefaultHeapSizeKB(1)),
                  static_cast<unsigned long>(MU_getDefaultHeapSizeKB(2)),
                  static_cast<unsigned long>(MU_getDefaultLRHeapSizeKB()));
    log_append(0, "%s", text);
}

void log_entry()
{
    if (pterm.debug_level < 2) return;
    MemoryMarks now = {RA_TopSize, MU_TopHeap1, MU_TopHeap2, LR_TopHeap};
    if (now == lastReport) return;
    lastReport = now;
    const double kb = 0.0009765625;
    char text[512];
    std::snprintf(text, sizeof text,
                  "\nMax memory used for:\n RAM-Disk: %lg KB \t/ %lu KB\n Heap1   : %lg KB \t/ %lu KB\n Heap2   : "
                  "%lf KB \t/ %lu KB\n LRHeap  : %lf KB \t/ %lu KB\n\n",
                  now.ramdisk * kb, static_cast<unsigned long>(RA_SizeMax / 1024), now.heap1 * kb,
                  static_cast<unsigned long>(MU_heapMaxBytes(1) / 1024), now.heap2 * kb,
                  static_cast<unsigned long>(MU_heapMaxBytes(2) / 1024), now.lrheap * kb,
                  static_cast<unsigned long>(LR_heapMaxBytes() / 1024));
    log_append(0, "%s", text);
}

void err_append(int code, const char *format, const char *argument)
{
    char text[ERR_BUFFER_SIZE];
    formatOne(text, sizeof text, format, argument);
    reportError(code, text);
}

void err_append_int(int code, const char *format, long number)
{
    char text[ERR_BUFFER_SIZE];
    formatInt(text, sizeof text, format, number);
    reportError(code, text);
}

void err_fileNotFound(const char *name)
{
    err_append(0, "File not found !\n %s\n", name ? name : "");
    log_append(1, "File \"%s\" not found !\n", name ? name : "");
    log_flushFile();
}

void enableMsgBox(int flag) { MsgBoxEnabled = flag != 0; }
int isMsgBoxEnable() { return MsgBoxEnabled; }

int getNumberOfMessagePending()
{
    if (!pterm.warn_btn.enabled) return 0;
    if (dialogOpen()) return 0;
    std::lock_guard<std::recursive_mutex> hold(logLock);
    if (pterm.warn_btn.mode > 0 && MsgBoxCounter > pterm.warn_btn.mode) return 0;
    return nMsgPending;
}

void clearMessageNr()
{
    std::lock_guard<std::recursive_mutex> hold(logLock);
    nMsgPending = 0;
}

void err_countRefreshCycle()
{
    std::lock_guard<std::recursive_mutex> hold(logLock);
    MsgBoxCounter++;
}
