// Containers: the panel's own named text values. Owns the container store (in
// heap2), the system containers that reach into the panel (versions, screen,
// back-light, inactivity and refresh counters, message box, focus, keypad,
// configuration, macros, digital outputs), the run slots and the per-cycle
// counters. Reads and writes the settings record; calls the configuration
// page, the language table, the persistent containers and the log, and through
// the hooks the keypad, the object table, the view manager and the alarm and
// trend macros. Main thread only.
#pragma once
#include <cstdint>

#define CO_VALUE_SIZE 256       // an ordinary container's buffer
#define CO_TREND_SLOT_SIZE 129  // names containing "ActiveTrends["
#define CO_MACRO_SIZE 2049      // names beginning with a large macro prefix
#define CO_RUN_SLOTS 20         // "_NOINITSESSCO_0" .. "_NOINITSESSCO_19"
#define CO_MSGBOX_TEXT_SIZE 800 // "MessageBoxCO"
#define CO_PERSISTENT_PREFIX "PT_PERCO_"

// One ordinary container; name and value live in heap2 with the record.
struct ContainerRecord {
    char *name;
    char *value;
    uint32_t capacity; // bytes of the value buffer
    ContainerRecord *next;
    uint32_t stamp; // read stamp of the last change of value
};

// Value of a container into dst (256 bytes, at most 255 characters). A missing
// ordinary container is created empty. 0 before the store is initialised or
// when memory for a new container runs out.
int HT_readContainer(const char *name, char *dst);
// 1 on success (also for names that ignore writes); 0 before initialisation or
// when memory for a new container runs out.
int HT_writeContainer(const char *name, const char *value);
// Pointer to the whole current text, or null; never creates a container.
char *CO_readValPtr(const char *name);
// Copies an existing container's value into another (created when needed):
// 0 when the source does not exist.
int HT_copyContainer(const char *dstName, const char *srcName);

// The ordinary container of that exact name, or null.
ContainerRecord *CO_getHtmlCacheObjPtr(const char *name);
// The store's first ordinary container (the others follow through next), or
// null when the store is empty or not initialised.
const ContainerRecord *CO_firstContainer();
// Copy limit of a write: 256, 128 for "ActiveTrends[" names, 2048 for macros.
uint32_t CO_getSourceSize(const char *name);
// Buffer size of a new container: 2049 for macros, 129 for "ActiveTrends["
// names, else size.
uint32_t CO_macroBufferSize(const char *name, uint32_t size);

// Empties the store for a new project and resets the counters and flags, then
// loads the persistent containers and the configuration containers.
void HT_resetContainers();
// Back to before start-up: no store (reads and writes answer 0 until
// HT_resetContainers), run slots and message box empty, counters and flags
// cleared, back-light level 1. Touches neither the settings nor the files.
void CO_reset();
// Once per refresh cycle: refresh and inactivity counters, poll-time substitute.
void CO_counterRefresh();
// On every operator input.
void CO_ResetInactivityCounter();
void CO_activeBacklight();
// Set while the container-initialisation page is loaded: writes that act on
// the panel are ignored meanwhile.
void CO_setITQloading(int flag);
int CO_isITQloading();

// The flags "PT_UpdateAfterPpoWrite" and "PT_UpdateAfterCoWrite".
int CO_isUpdateAfterPpoWrite();
int CO_isUpdateAfterCoWrite();

// Getters formatting one value into a shared text buffer (valid until the next
// getter call).
char *getBacklight();
char *getInactivityCnt();
char *getInactivityCntMin();
char *getAutoIncrCnt();
char *getBlinkCo();
char *getMsgBoxNr();
char *getScreenWidth();
char *getScreenHeight();
char *getInactivityTo();
char *getInactivityPTS();
char *getPTS();
char *get_tmz_en();
// Sets the back-light from "0" or "1" (other texts only where no hardware is
// driven); answers 1 when the level was taken.
int setBacklight(const char *text);

// Attaches the containers and the process-point names to the hooks of the
// layers below (the message-box text of the log, the names the client sends).
void CO_attachHooks();
