// Platform services: paths and file opening, time and date, version texts,
// sleeping. The document base and the view's invalidation come through the
// hooks.
#include "runtime/platform.h"

#include <cstring>
#include <unistd.h>

#include "nanox/nano-X.h"
#include "runtime/hooks.h"
#include "runtime/ramdisk.h"
#include "runtime/str_util.h"
#include "runtime/version.h"

char AppPath[SYS_PATH_SIZE];
char HmiPath[SYS_PATH_SIZE];
char sOSVers[32];
const char sVersion[] = SYS_VERSION_TEXT;

namespace {

constexpr time_t kEpoch2000Local = 946681200; // the tick base of SYS_get10Milliseconds

FILE *openJoined(const char *a, const char *b, const char *name, const char *mode)
{
    char path[1600];
    int n = std::snprintf(path, sizeof path, "%s%s%s", a, b, name);
    if (n < 0 || static_cast<size_t>(n) >= sizeof path) return nullptr;
    return std::fopen(path, mode);
}

struct tm localNow()
{
    time_t now = std::time(nullptr);
    struct tm t;
    localtime_r(&now, &t);
    return t;
}

time_t dateTime(int yy, int mm, int dd)
{
    struct tm t;
    return fix_time(&t, yy + 2000, mm, dd, 0, 0, 0);
}

} // namespace

void SYS_setAppPath(const char *programPath)
{
    AppPath[0] = '\0';
    if (!programPath) return;
    const char *slash = std::strrchr(programPath, '/');
    if (!slash) return;
    size_t len = static_cast<size_t>(slash - programPath) + 1;
    if (len >= sizeof AppPath) return;
    std::memcpy(AppPath, programPath, len);
    AppPath[len] = '\0';
}

void SYS_resetPlatform()
{
    AppPath[0] = '\0';
    HmiPath[0] = '\0';
    sOSVers[0] = '\0';
}

FILE *APP_FOPEN(const char *name, const char *mode)
{
    if (!name || !mode) return nullptr;
    if (name[0] == '\\' || name[0] == '/') return std::fopen(name, mode);
    return openJoined(AppPath, "", name, mode);
}

FILE *HMI_FOPEN(const char *name, const char *mode)
{
    if (!name || !mode) return nullptr;
    return openJoined(HmiPath, HK_hooks()->documentBase(), name, mode);
}

int SYS_readFileHead(const char *path, char *buffer, size_t size)
{
    FILE *f = std::fopen(path, "r");
    if (!f) {
        std::printf("> fopen(\"%s\") failed !\n", path);
        return 0;
    }
    size_t got = size ? std::fread(buffer, 1, size - 1, f) : 0;
    std::fclose(f);
    if (size) buffer[got] = '\0';
    return 1;
}

FILE *SYS_openApplicationFile(const char *name, const char *mode)
{
    FILE *f = APP_FOPEN(name, mode);
    if (f || !name || !mode) return f;
    char program[SYS_PATH_SIZE];
    ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
    if (length <= 0) return nullptr;
    program[length] = '\0';
    char *slash = std::strrchr(program, '/');
    if (!slash) return nullptr;
    slash[1] = '\0';
    return openJoined(program, "", name, mode);
}

int copy_file_to_ramdisk(const char *ramName, const char *appName)
{
    FILE *in = SYS_openApplicationFile(appName, "rb");
    if (!in) return 0;
    int out = RA_fileOpen(ramName, "w");
    if (out < 0) {
        std::fclose(in);
        return 0;
    }
    char block[256];
    int ok = 1;
    size_t got;
    while (ok && (got = std::fread(block, 1, sizeof block, in)) > 0)
        ok = RA_fileWrite(block, 1, static_cast<int>(got), out) == static_cast<int>(got);
    RA_fileClose(out);
    std::fclose(in);
    return ok;
}

uint32_t SYS_getTime() { return static_cast<uint32_t>(std::time(nullptr)); }
uint32_t SYS_getMilliseconds() { return SYS_getTime(); }

uint32_t SYS_get10Milliseconds()
{
    return static_cast<uint32_t>((static_cast<int64_t>(std::time(nullptr)) - kEpoch2000Local) * 100);
}

void getSystemDateAndTime(int *yy, int *mm, int *dd, int *hh, int *mi, int *ss)
{
    struct tm t = localNow();
    if (yy) *yy = t.tm_year - 100;
    if (mm) *mm = t.tm_mon + 1;
    if (dd) *dd = t.tm_mday;
    if (hh) *hh = t.tm_hour;
    if (mi) *mi = t.tm_min;
    if (ss) *ss = t.tm_sec;
}

void getSystemTimeAsString(char *dst)
{
    struct tm t = localNow();
    std::snprintf(dst, SYS_TIME_TEXT_SIZE, "%2.2d:%2.2d:%2.2d", t.tm_hour, t.tm_min, t.tm_sec);
}

void getSystemDateAsString(char *dst)
{
    struct tm t = localNow();
    std::snprintf(dst, SYS_TIME_TEXT_SIZE, "%2.2d.%2.2d.%d", t.tm_mday, t.tm_mon + 1, t.tm_year - 100);
}

void getSystemDateAndTimeAsString(char *dst)
{
    struct tm t = localNow();
    char text[80];
    std::snprintf(text, sizeof text, "%2.2d.%2.2d.%d %2.2d:%2.2d:%2.2d", t.tm_mday, t.tm_mon + 1, t.tm_year - 100,
                  t.tm_hour, t.tm_min, t.tm_sec);
    safe_strncpy(dst, text, SYS_TIME_TEXT_SIZE);
}

time_t fix_time(struct tm *tm, int year, int month, int day, int hour, int min, int sec)
{
    std::memset(tm, 0, sizeof *tm);
    tm->tm_year = year - 1900;
    tm->tm_mon = month - 1;
    tm->tm_mday = day;
    tm->tm_hour = hour;
    tm->tm_min = min;
    tm->tm_sec = sec;
    tm->tm_isdst = -1;
    return std::mktime(tm);
}

void fixDateYYMMDD(int *yy, int *mm, int *dd)
{
    struct tm t;
    fix_time(&t, *yy + 2000, *mm, *dd, 0, 0, 0);
    *yy = t.tm_year - 100;
    *mm = t.tm_mon + 1;
    *dd = t.tm_mday;
}

int isLesserYYMMDD(int yy1, int mm1, int dd1, int yy2, int mm2, int dd2)
{
    return dateTime(yy1, mm1, dd1) < dateTime(yy2, mm2, dd2);
}

int isGreaterYYMMDD(int yy1, int mm1, int dd1, int yy2, int mm2, int dd2)
{
    return dateTime(yy1, mm1, dd1) > dateTime(yy2, mm2, dd2);
}

const char *getOSVersion() { return sOSVers; }
void readOSVersion(char *dst, size_t size) { safe_strncpy(dst, sOSVers, size); }
const char *getAppVersion() { return sVersion; }
void readAppVersion(char *dst, size_t size) { safe_strncpy(dst, sVersion, size); }

void SYS_Sleep(int ms) { GrDelay(static_cast<GR_TIMEOUT>(ms < 0 ? 0 : ms)); }

void SYS_InvalidateView() { HK_hooks()->invalidateView(); }
