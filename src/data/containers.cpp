// Containers: the store of ordinary containers, the dispatch of system names,
// the run slots, the message-box text and the per-cycle counters.
#include "data/containers.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/network.h"
#include "runtime/platform.h"
#include "draw/graphics.h"
#include "runtime/system_probe.h"
#include "runtime/settings.h"
#include "runtime/gpio.h"
#include "data/config_page.h"
#include "runtime/heap.h"
#include "runtime/hooks.h"
#include "data/language.h"
#include "runtime/log.h"
#include "data/persistent_containers.h"
#include "data/process_points.h"
#include "data/read_stamps.h"
#include "runtime/str_util.h"

namespace {

// The system names, in the order they are tried.
enum SystemName {
    SN_NONE,
    SN_CO_INITIALISED,
    SN_POLL_TIME,
    SN_RANK,
    SN_KEY,
    SN_OS_VERSION,
    SN_PT_VERSION,
    SN_PLATFORM,
    SN_APP_VERSION,
    SN_BACKLIGHT,
    SN_MODAL_FOREGROUND,
    SN_AUTOINCR,
    SN_BLINK,
    SN_MSGBOX_NR,
    SN_INACTIVITY,
    SN_INACTIVITY_MIN,
    SN_MSGBOX_EVENT,
    SN_MSGBOX_CO,
    SN_FULL_REDRAW,
    SN_LANGUAGE,
    SN_UPDATE_PPO,
    SN_UPDATE_CO,
    SN_INACTIVITY_TO,
    SN_INACTIVITY_PTS,
    SN_TMZ,
    SN_SCREEN_WIDTH,
    SN_SCREEN_HEIGHT,
    SN_FOCUS,
    SN_OBJECT_COUNT,
    SN_IP_ADDRESS,
    SN_SUBNET,
    SN_MACRO_ALARM,
    SN_MACRO,
    SN_RUN_SLOT,
    SN_CONFIG,
    SN_GPIO,
};

enum Match { EXACT, ANY_CASE, PREFIX };

struct SystemEntry {
    const char *name;
    Match match;
    SystemName id;
};

const SystemEntry kSystemNames[] = {
    {"COInitialised", EXACT, SN_CO_INITIALISED},
    {"PT_PollTimeSubstitute", EXACT, SN_POLL_TIME},
    {"_RANK", EXACT, SN_RANK},
    {"_KEY", PREFIX, SN_KEY},
    {"@OS_VERSION", ANY_CASE, SN_OS_VERSION},
    {"PT_OS_VERSION", ANY_CASE, SN_OS_VERSION},
    {"@PT_VERSION", ANY_CASE, SN_PT_VERSION},
    {"PT_VERSION", ANY_CASE, SN_PT_VERSION},
    {"@PT_PLATFORM", ANY_CASE, SN_PLATFORM},
    {"PT_PLATFORM", ANY_CASE, SN_PLATFORM},
    {"@PT_APP_VERSION", ANY_CASE, SN_APP_VERSION},
    {"PT_APP_VERSION", ANY_CASE, SN_APP_VERSION},
    {"@PT_Backlight", ANY_CASE, SN_BACKLIGHT},
    {"PT_Backlight", ANY_CASE, SN_BACKLIGHT},
    {"@MODAL_FOREGROUND", ANY_CASE, SN_MODAL_FOREGROUND},
    {"AUTOINCRCO", ANY_CASE, SN_AUTOINCR},
    {"@BLINKCO", ANY_CASE, SN_BLINK},
    {"BLINKCO", ANY_CASE, SN_BLINK},
    {"MSGBOX_NR", EXACT, SN_MSGBOX_NR},
    {"@PT_InactivityCounter", ANY_CASE, SN_INACTIVITY},
    {"PT_InactivityCounter", ANY_CASE, SN_INACTIVITY},
    {"@PT_InactivityCounterMin", ANY_CASE, SN_INACTIVITY_MIN},
    {"PT_InactivityCounterMin", ANY_CASE, SN_INACTIVITY_MIN},
    {"@MSGBOX_EVENT", EXACT, SN_MSGBOX_EVENT},
    {"@PT_MSGBOX_EVENT", EXACT, SN_MSGBOX_EVENT},
    {"MessageBoxCO", EXACT, SN_MSGBOX_CO},
    {"@FULL_REDRAW", ANY_CASE, SN_FULL_REDRAW},
    {"@PT_FULL_REDRAW", ANY_CASE, SN_FULL_REDRAW},
    {"@LANGUAGE", ANY_CASE, SN_LANGUAGE},
    {"PT_UpdateAfterPpoWrite", ANY_CASE, SN_UPDATE_PPO},
    {"PT_UpdateAfterCoWrite", ANY_CASE, SN_UPDATE_CO},
    {"PT_inactivity_to_sec", ANY_CASE, SN_INACTIVITY_TO},
    {"PT_inactivity_pts_ms", ANY_CASE, SN_INACTIVITY_PTS},
    {"PT_tmz_en", ANY_CASE, SN_TMZ},
    {"PT_SCREEN_WIDTH", ANY_CASE, SN_SCREEN_WIDTH},
    {"PT_SCREEN_HEIGHT", ANY_CASE, SN_SCREEN_HEIGHT},
    {"PT_FOCUS", ANY_CASE, SN_FOCUS},
    {"PT_HowManyObjetcs", ANY_CASE, SN_OBJECT_COUNT},
    {"@PT_IpAddress", ANY_CASE, SN_IP_ADDRESS},
    {"PT_IpAddress", ANY_CASE, SN_IP_ADDRESS},
    {"@PT_Subnet", ANY_CASE, SN_SUBNET},
    {"PT_Subnet", ANY_CASE, SN_SUBNET},
    {"@MACROALR", PREFIX, SN_MACRO_ALARM},
    {"@MACRO", PREFIX, SN_MACRO},
    {"_NOINITSESSCO_", PREFIX, SN_RUN_SLOT},
    {"PT_Config", PREFIX, SN_CONFIG},
    {"gpio", PREFIX, SN_GPIO},
};

const char *const kMacroPrefixes[] = {
    "@MACROAvailableTrends.",
    "@MACROAvailableTrendsColored.",
    "@MACROAvailableTrendsHeadered.",
    "@MACROActiveTrends.",
    "@MACROActiveTrendsMouseDownVal.",
    "@MACROOFTAvailableTrends.",
    "@MACROOFTAvailableTrendsColored.",
    "@MACROOFTAvailableTrendsHeadered.",
    "@MACROOFTActiveTrends.",
    "@MACROOFTActiveTrendsMouseDownVal.",
    "@MACROOFSTAvailableTrends.",
    "@MACROOFSTAvailableTrendsColored.",
    "@MACROOFSTAvailableTrendsHeadered.",
    "@MACROOFSTActiveTrends.",
    "@MACROOFSTActiveTrendsMouseDownVal.",
    "@MACROALRDEFONAlarmsList.",
    "@MACROALRHISONAlarmsList.",
};

ContainerRecord *firstContainer;
ContainerRecord *lastContainer;
// Read stamp of the last new container: a read of a name that finds none
// depends on it.
uint32_t storeStamp;
int CO_isInitialized;
int isITQloading;
int focusSelectionRunning;

char runSlots[CO_RUN_SLOTS][CO_VALUE_SIZE];
char msgBoxText[CO_MSGBOX_TEXT_SIZE];
// Shared text of the getters. As large as an ordinary container, because the
// value sources treat a system text like one (an action may append in place).
char getterText[CO_VALUE_SIZE];

uint32_t CO_AutoIncrCnt;
uint32_t CO_InactivityCounter;
uint32_t CO_InactivityCounterMin;
uint32_t inactivityReference; // seconds; 0 until the next cycle takes it
int updateAfterPpoWrite;
int updateAfterCoWrite;
int backlightLevel = 1;

bool matches(const char *name, const SystemEntry &e)
{
    switch (e.match) {
    case EXACT: return stringcmp(name, e.name);
    case ANY_CASE: return stringicmp(name, e.name);
    case PREFIX: return prefixcmp(name, e.name);
    }
    return false;
}

int lowerFirst(const char *text) { return std::tolower(static_cast<unsigned char>(text[0])); }

// Only entries with the name's first letter (in any case) can match it.
SystemName classify(const char *name)
{
    int first = lowerFirst(name);
    for (const SystemEntry &e : kSystemNames)
        if (lowerFirst(e.name) == first && matches(name, e)) return e.id;
    return SN_NONE;
}

// Pointer access compares three settings names exactly and serves some names
// as ordinary containers.
SystemName classifyForPointer(const char *name)
{
    SystemName id = classify(name);
    switch (id) {
    case SN_INACTIVITY_TO: return stringcmp(name, "PT_inactivity_to_sec") ? id : SN_NONE;
    case SN_INACTIVITY_PTS: return stringcmp(name, "PT_inactivity_pts_ms") ? id : SN_NONE;
    case SN_TMZ: return stringcmp(name, "PT_tmz_en") ? id : SN_NONE;
    case SN_CO_INITIALISED:
    case SN_RANK:
    case SN_FULL_REDRAW:
    case SN_UPDATE_PPO:
    case SN_UPDATE_CO:
    case SN_IP_ADDRESS:
    case SN_SUBNET: return SN_NONE;
    default: return id;
    }
}

// Integer of a value text (base 10, leading number only), clamped to int.
int textToInt(const char *text)
{
    long v = std::strtol(text, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

uint32_t textToUnsigned(const char *text) { return static_cast<uint32_t>(std::strtoul(text, nullptr, 10)); }

// Slot number of "_NOINITSESSCO_<n>", -1 unless n is a whole number below 20.
int runSlotIndex(const char *name)
{
    const char *digits = name + std::strlen("_NOINITSESSCO_");
    int n = 0;
    if (!*digits) return -1;
    for (const char *p = digits; *p; p++) {
        if (*p < '0' || *p > '9') return -1;
        n = n * 10 + (*p - '0');
        if (n >= CO_RUN_SLOTS) return -1;
    }
    return n;
}

char *formatGetter(long long value)
{
    std::snprintf(getterText, sizeof getterText, "%lld", value);
    return getterText;
}

char *copyGetter(const char *text)
{
    safe_strncpy(getterText, text ? text : "", sizeof getterText);
    return getterText;
}

// Text of a system name whose value comes from the panel, or null when the
// name has no such text.
char *systemText(SystemName id)
{
    char address[32];
    switch (id) {
    case SN_CO_INITIALISED: return copyGetter("0");
    case SN_POLL_TIME: return getPTS();
    case SN_RANK: return formatGetter(HK_hooks()->focusRank());
    case SN_OS_VERSION: return copyGetter(getOSVersion());
    case SN_PT_VERSION: return copyGetter(SETTINGS_FILE_VERSION);
    case SN_PLATFORM: return copyGetter(getPTPlatform());
    case SN_APP_VERSION: return copyGetter(getAppVersion());
    case SN_BACKLIGHT: return getBacklight();
    case SN_AUTOINCR: return getAutoIncrCnt();
    case SN_BLINK: return getBlinkCo();
    case SN_MSGBOX_NR: return getMsgBoxNr();
    case SN_INACTIVITY: return getInactivityCnt();
    case SN_INACTIVITY_MIN: return getInactivityCntMin();
    case SN_FULL_REDRAW: return formatGetter(pterm.full_redraw);
    case SN_UPDATE_PPO: return formatGetter(updateAfterPpoWrite);
    case SN_UPDATE_CO: return formatGetter(updateAfterCoWrite);
    case SN_INACTIVITY_TO: return getInactivityTo();
    case SN_INACTIVITY_PTS: return getInactivityPTS();
    case SN_TMZ: return get_tmz_en();
    case SN_SCREEN_WIDTH: return getScreenWidth();
    case SN_SCREEN_HEIGHT: return getScreenHeight();
    case SN_FOCUS: return formatGetter(HK_hooks()->focusedObject());
    case SN_OBJECT_COUNT: return formatGetter(HK_hooks()->objectCount());
    case SN_IP_ADDRESS: SYS_GetIpAddress(address); return copyGetter(address);
    case SN_SUBNET: SYS_GetSubnet(address); return copyGetter(address);
    default: return nullptr;
    }
}

bool isPersistent(const char *name) { return prefixcmp(name, CO_PERSISTENT_PREFIX); }

// heap2 hands out 4-byte words; a record holds pointers and needs their alignment.
char *allocRecord(size_t size)
{
    constexpr size_t align = alignof(ContainerRecord);
    char *block = static_cast<char *>(MU_alloc2(size + align - 1));
    if (!block) return nullptr;
    uintptr_t address = reinterpret_cast<uintptr_t>(block);
    return block + ((align - address % align) % align);
}

ContainerRecord *createContainer(const char *name, const char *value, bool byRead = false)
{
    size_t nameSize = std::strlen(name) + 1;
    uint32_t capacity = CO_macroBufferSize(name, CO_VALUE_SIZE);
    char *block = allocRecord(sizeof(ContainerRecord) + nameSize + capacity);
    if (!block) return nullptr;
    ContainerRecord *c = reinterpret_cast<ContainerRecord *>(block);
    c->name = block + sizeof(ContainerRecord);
    c->value = c->name + nameSize;
    c->capacity = capacity;
    c->next = nullptr;
    c->stamp = storeStamp = byRead ? RS_newStamp() : RS_touch();
    std::memcpy(c->name, name, nameSize);
    safe_strncpy(c->value, value, capacity);
    if (lastContainer) lastContainer->next = c;
    else firstContainer = c;
    lastContainer = c;
    return c;
}

// Writes an ordinary container with the capacity rule, marking the persistent
// set when one of its values changes.
int storeOrdinary(const char *name, const char *value)
{
    bool persistent = isPersistent(name);
    if (persistent && isITQloading) return 1;
    ContainerRecord *c = CO_getHtmlCacheObjPtr(name);
    if (!c) {
        if (!createContainer(name, value)) return 0;
        if (persistent) PCO_setModified();
        return 1;
    }
    uint32_t limit = CO_getSourceSize(name);
    if (limit > c->capacity) limit = c->capacity;
    size_t length = std::strlen(value);
    if (length > limit - 1) length = limit - 1;
    // both buffers hold length bytes: the value's own, and the container's capacity
    if (std::memcmp(c->value, value, length) != 0 || c->value[length] != '\0') {
        c->stamp = RS_touch();
        if (persistent) PCO_setModified();
    }
    std::memmove(c->value, value, length);
    c->value[length] = '\0';
    return 1;
}

int readOrdinary(const char *name, char *dst)
{
    ContainerRecord *c = CO_getHtmlCacheObjPtr(name);
    if (!c) c = createContainer(name, "", true);
    if (!c) return 0;
    safe_strncpy(dst, c->value, CO_VALUE_SIZE);
    return 1;
}

char *ordinaryPointer(const char *name)
{
    ContainerRecord *c = CO_getHtmlCacheObjPtr(name);
    return c ? c->value : nullptr;
}

void selectFocus(const char *value)
{
    if (focusSelectionRunning) return;
    focusSelectionRunning = 1;
    HK_hooks()->selectObject(textToInt(value), 0);
    focusSelectionRunning = 0;
}

void writeInactivitySubstitute(uint32_t ms)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u", ms);
    HT_writeContainer("PT_PollTimeSubstitute", text);
}

// The effect of a write to a system name. Answers 1 or 0 when the write is
// done, -1 when the value goes on into the ordinary container.
int writeSystem(SystemName id, const char *name, const char *value)
{
    bool init = isITQloading != 0;
    switch (id) {
    case SN_CO_INITIALISED:
    case SN_OBJECT_COUNT: return 1;
    case SN_KEY:
        if (init) return 1;
        return HK_hooks()->keypadWrite(name, value) ? 1 : -1;
    case SN_BACKLIGHT:
        if (!init) setBacklight(value);
        return 1;
    case SN_MODAL_FOREGROUND:
        if (!init) HK_hooks()->setModalForeground(textToInt(value));
        return -1;
    case SN_AUTOINCR:
        if (!init) CO_AutoIncrCnt = textToUnsigned(value);
        return 1;
    case SN_INACTIVITY:
        if (!init) CO_InactivityCounter = textToUnsigned(value);
        return 1;
    case SN_INACTIVITY_MIN:
        if (!init) CO_InactivityCounterMin = textToUnsigned(value);
        return 1;
    case SN_MSGBOX_EVENT:
        if (!init && stringcmp(value, "CLOSE")) {
            clearMessageNr();
            HK_hooks()->closeMessageBox();
        }
        return 1;
    case SN_MSGBOX_CO:
        if (!init) safe_strncpy(msgBoxText, value, sizeof msgBoxText);
        return 1;
    case SN_FULL_REDRAW:
        if (!init) pterm.full_redraw = textToInt(value);
        return 1;
    case SN_LANGUAGE: {
        if (init) return 1;
        int stored = storeOrdinary(name, value);
        LR_parseCsvFile(value);
        return stored;
    }
    case SN_UPDATE_PPO: updateAfterPpoWrite = textToInt(value); return 1;
    case SN_UPDATE_CO: updateAfterCoWrite = textToInt(value); return 1;
    case SN_INACTIVITY_TO:
        if (!init) pterm.inactivity_to_sec = textToInt(value);
        return 1;
    case SN_INACTIVITY_PTS:
        if (!init) pterm.inactivity_pts_ms = static_cast<int32_t>(textToUnsigned(value));
        return 1;
    case SN_TMZ:
        if (!init) pterm.tmz_en = textToInt(value);
        return 1;
    case SN_FOCUS:
        if (!init) selectFocus(value);
        return 1;
    case SN_CONFIG:
        if (init) return 1;
        return PT_ConfigWrite(name, value) ? 1 : -1;
    case SN_MACRO_ALARM: return HK_hooks()->alarmMacroWrite(name, value) ? 1 : -1;
    case SN_MACRO: return HK_hooks()->trendMacroWrite(name, value) ? 1 : -1;
    case SN_RUN_SLOT: {
        int slot = runSlotIndex(name);
        if (slot < 0) return -1;
        if (!init) safe_strncpy(runSlots[slot], value, CO_VALUE_SIZE);
        return 1;
    }
    default: return -1;
    }
}

} // namespace

ContainerRecord *CO_getHtmlCacheObjPtr(const char *name)
{
    if (!name) return nullptr;
    for (ContainerRecord *c = firstContainer; c; c = c->next)
        if (stringcmp(c->name, name)) {
            RS_note(&c->stamp);
            return c;
        }
    RS_note(&storeStamp);
    return nullptr;
}

uint32_t CO_macroBufferSize(const char *name, uint32_t size)
{
    for (const char *prefix : kMacroPrefixes)
        if (prefixcmp(name, prefix)) return CO_MACRO_SIZE;
    if (name && std::strstr(name, "ActiveTrends[")) return CO_TREND_SLOT_SIZE;
    return size;
}

uint32_t CO_getSourceSize(const char *name)
{
    switch (CO_macroBufferSize(name, CO_VALUE_SIZE)) {
    case CO_MACRO_SIZE: return CO_MACRO_SIZE - 1;
    case CO_TREND_SLOT_SIZE: return CO_TREND_SLOT_SIZE - 1;
    default: return CO_VALUE_SIZE;
    }
}

int HT_readContainer(const char *name, char *dst)
{
    if (!CO_isInitialized || !name || !dst) return 0;
    dst[0] = '\0';
    SystemName id = classify(name);
    if (id != SN_NONE) RS_noteVolatile();
    if (const char *text = systemText(id)) {
        safe_strncpy(dst, text, CO_VALUE_SIZE);
        return 1;
    }
    switch (id) {
    case SN_KEY:
        if (HK_hooks()->keypadRead(name, dst)) return 1;
        break;
    case SN_MACRO:
        if (HK_hooks()->trendMacroRead(name, dst)) return 1;
        break;
    case SN_RUN_SLOT: {
        int slot = runSlotIndex(name);
        if (slot < 0) break;
        safe_strncpy(dst, runSlots[slot], CO_VALUE_SIZE);
        return 1;
    }
    case SN_CONFIG:
        if (PT_ConfigRead(name, dst)) return 1;
        break;
    default: break;
    }
    return readOrdinary(name, dst);
}

int HT_writeContainer(const char *name, const char *value)
{
    if (!CO_isInitialized || !name) return 0;
    if (!value) value = "";
    SystemName id = classify(name);
    if (id == SN_POLL_TIME && !isITQloading) pterm.poll_time_substitute = textToInt(value);
    if (id == SN_GPIO && !isITQloading) write_gpio(name, value);
    int done = writeSystem(id, name, value);
    return done >= 0 ? done : storeOrdinary(name, value);
}

const ContainerRecord *CO_firstContainer() { return CO_isInitialized ? firstContainer : nullptr; }

char *CO_readValPtr(const char *name)
{
    if (!CO_isInitialized || !name) return nullptr;
    SystemName id = classifyForPointer(name);
    if (id != SN_NONE) RS_noteVolatile();
    char scratch[CO_VALUE_SIZE];
    switch (id) {
    case SN_MSGBOX_CO: return msgBoxText;
    case SN_KEY:
        if (stringcmp(name, "_KEYPAD")) return HK_hooks()->keypadText();
        if (HK_hooks()->keypadRead(name, scratch)) return copyGetter(scratch);
        return ordinaryPointer(name);
    case SN_MACRO: HK_hooks()->trendMacroRead(name, scratch); return ordinaryPointer(name);
    case SN_RUN_SLOT: {
        int slot = runSlotIndex(name);
        return slot < 0 ? ordinaryPointer(name) : runSlots[slot];
    }
    case SN_CONFIG: {
        char *config = PT_ConfigReadPtr(name);
        return config ? config : ordinaryPointer(name);
    }
    default: break;
    }
    char *text = systemText(id);
    return text ? text : ordinaryPointer(name);
}

int HT_copyContainer(const char *dstName, const char *srcName)
{
    if (!CO_isInitialized || !dstName) return 0;
    ContainerRecord *src = CO_getHtmlCacheObjPtr(srcName);
    if (!src) return 0;
    if (stringcmp(dstName, srcName)) return 1;
    return storeOrdinary(dstName, src->value);
}

void HT_resetContainers()
{
    RS_dropStores();
    storeStamp = RS_touch();
    firstContainer = nullptr;
    lastContainer = nullptr;
    CO_AutoIncrCnt = 0;
    CO_InactivityCounter = 0;
    CO_InactivityCounterMin = 0;
    updateAfterPpoWrite = 0;
    updateAfterCoWrite = 0;
    pterm.poll_time_substitute = 0;
    msgBoxText[0] = '\0';
    HK_hooks()->setModalForeground(0);
    HK_hooks()->resetKeypad();
    clearMessageNr();
    CO_isInitialized = 1;
    PCO_loadPersistentCO();
    PTC_init();
}

void CO_reset()
{
    RS_dropStores();
    firstContainer = nullptr;
    lastContainer = nullptr;
    CO_isInitialized = 0;
    isITQloading = 0;
    focusSelectionRunning = 0;
    std::memset(runSlots, 0, sizeof runSlots);
    std::memset(msgBoxText, 0, sizeof msgBoxText);
    std::memset(getterText, 0, sizeof getterText);
    CO_AutoIncrCnt = 0;
    CO_InactivityCounter = 0;
    CO_InactivityCounterMin = 0;
    inactivityReference = 0;
    updateAfterPpoWrite = 0;
    updateAfterCoWrite = 0;
    backlightLevel = 1;
}

void CO_counterRefresh()
{
    uint32_t now = SYS_getTime();
    if (inactivityReference == 0) inactivityReference = now;
    CO_AutoIncrCnt++;
    CO_InactivityCounter = now >= inactivityReference ? now - inactivityReference : 0;
    CO_InactivityCounterMin = CO_InactivityCounter / 60;
    if (pterm.warn_btn.mode > 0) err_countRefreshCycle();
    if (pterm.inactivity_to_sec >= 1 && pterm.inactivity_pts_ms >= 1 &&
        CO_InactivityCounter > static_cast<uint32_t>(pterm.inactivity_to_sec))
        writeInactivitySubstitute(static_cast<uint32_t>(pterm.inactivity_pts_ms));
}

void CO_ResetInactivityCounter()
{
    inactivityReference = 0;
    CO_InactivityCounter = 0;
    CO_InactivityCounterMin = 0;
    if (pterm.inactivity_to_sec > 0 && pterm.inactivity_pts_ms > 0) HT_writeContainer("PT_PollTimeSubstitute", "0");
}

void CO_activeBacklight()
{
    if (backlightLevel == 0) setBacklight("1");
}

void CO_setITQloading(int flag) { isITQloading = flag; }
int CO_isITQloading() { return isITQloading; }
int CO_isUpdateAfterPpoWrite() { return updateAfterPpoWrite; }
int CO_isUpdateAfterCoWrite() { return updateAfterCoWrite; }

char *getBacklight() { return formatGetter(backlightLevel); }
char *getInactivityCnt() { return formatGetter(CO_InactivityCounter); }
char *getInactivityCntMin() { return formatGetter(CO_InactivityCounterMin); }
char *getAutoIncrCnt() { return formatGetter(CO_AutoIncrCnt); }
char *getBlinkCo() { return formatGetter(CO_AutoIncrCnt % 2); }
char *getMsgBoxNr() { return formatGetter(getNumberOfMessagePending()); }
char *getScreenWidth() { return formatGetter(static_cast<uint32_t>(g_screenWidth)); }
char *getScreenHeight() { return formatGetter(static_cast<uint32_t>(g_screenHeight)); }
char *getInactivityTo() { return formatGetter(pterm.inactivity_to_sec); }
char *getInactivityPTS() { return formatGetter(static_cast<uint32_t>(pterm.inactivity_pts_ms)); }
char *getPTS() { return formatGetter(static_cast<uint32_t>(pterm.poll_time_substitute)); }
char *get_tmz_en() { return formatGetter(pterm.tmz_en); }

int setBacklight(const char *text)
{
    if (!text) return 0;
    const char *output = stringcmp(g_platform, "TRMA5")   ? "gpio8"
                         : stringcmp(g_platform, "TRMA6") ? "gpio201"
                                                          : nullptr;
    if (output) {
        if (!stringcmp(text, "0") && !stringcmp(text, "1")) return 0;
        write_gpio(output, text);
    }
    backlightLevel = textToInt(text);
    return 1;
}

namespace {

char *messageBoxText() { return CO_readValPtr("MessageBoxCO"); }

} // namespace

void CO_attachHooks()
{
    HK_hooks()->messageBoxText = messageBoxText;
    HK_hooks()->resolvePointName = PPO_resolve;
}
