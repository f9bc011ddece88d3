// Platform services: the program's directory, file opening relative to it and
// to the page directory, time and date services, version texts, copying
// application files into the RAM disk, sleeping and invalidating the view.
#pragma once
#include <cstdint>
#include <cstdio>
#include <ctime>

#define SYS_PATH_SIZE 260
#define SYS_TIME_TEXT_SIZE 32 // room for every time and date text below

extern char AppPath[SYS_PATH_SIZE];
extern char HmiPath[SYS_PATH_SIZE];
extern char sOSVers[32];
extern const char sVersion[];

// Sets AppPath from the program's path: everything up to and including the
// last "/", or empty when there is none.
void SYS_setAppPath(const char *programPath);
// Empties AppPath, HmiPath and the OS version text, as before start-up.
void SYS_resetPlatform();

// Opens AppPath + name. A name that begins with "\" or "/" is used unchanged.
FILE *APP_FOPEN(const char *name, const char *mode);
// Opens HmiPath + document base + name.
FILE *HMI_FOPEN(const char *name, const char *mode);

// Reads at most size - 1 bytes of the start of a file into a terminated
// buffer. A file that cannot be opened prints "> fopen("path") failed !" and
// answers 0.
int SYS_readFileHead(const char *path, char *buffer, size_t size);

// Opens an application file: AppPath + name, or, when there is none, the
// file of that name in the directory of the program file itself (the panel
// may run through a link in its state directory). Null when neither opens.
FILE *SYS_openApplicationFile(const char *name, const char *mode);
// Copies an application file (SYS_openApplicationFile) into the RAM disk
// under ramName in 256-byte blocks. Answers 1, or 0 when the file cannot be
// read or the store is full.
int copy_file_to_ramdisk(const char *ramName, const char *appName);

uint32_t SYS_getTime();
uint32_t SYS_getMilliseconds();
uint32_t SYS_get10Milliseconds();
void getSystemDateAndTime(int *yy, int *mm, int *dd, int *hh, int *mi, int *ss);
void getSystemTimeAsString(char *dst);
void getSystemDateAsString(char *dst);
void getSystemDateAndTimeAsString(char *dst);
time_t fix_time(struct tm *tm, int year, int month, int day, int hour, int min, int sec);
void fixDateYYMMDD(int *yy, int *mm, int *dd);
int isLesserYYMMDD(int yy1, int mm1, int dd1, int yy2, int mm2, int dd2);
int isGreaterYYMMDD(int yy1, int mm1, int dd1, int yy2, int mm2, int dd2);

const char *getOSVersion();
void readOSVersion(char *dst, size_t size);
const char *getAppVersion();
void readAppVersion(char *dst, size_t size);

// Waits ms milliseconds (0 for negative values).
void SYS_Sleep(int ms);
// Clears the whole window with an exposure, so the page is drawn anew.
void SYS_InvalidateView();
