// Hooks: the table of calls from lower layers into higher ones, with the
// defaults that hold while nothing above is attached.
#include "runtime/hooks.h"

namespace {

void none() {}
void noneInt(int) {}
void noneInt2(int, int) {}
int zero() { return 0; }
int minusOne() { return -1; }
const char *emptyText() { return ""; }
char *noText() { return nullptr; }
const char *sameName(const char *name) { return name; }
int notFound(const char *, char *out)
{
    (void)out;
    return 0;
}
int noValue(const char *, char *dst, int size)
{
    if (dst && size > 0) dst[0] = '\0';
    return 0;
}
int nameItself(const char *name, char *out)
{
    if (!out) return 0;
    int n = 0;
    for (; name && name[n] && n < 255; n++) out[n] = name[n];
    out[n] = '\0';
    return 0;
}
int refused(const char *) { return 0; }
int notTaken(const char *, const char *) { return 0; }
int noItem(const char *, int) { return 0; }
int noAlarmList(int, const char *) { return 0; }
int defaultPeriod() { return 1000; }

const HK_Hooks kDefaults = {
    .invalidateView = none,
    .messageBoxText = noText,
    .resolvePointName = sameName,
    .readTargetValue = noValue,
    .forceOrder = none,
    .documentBase = emptyText,
    .remoteServer = emptyText,
    .readPageParameter = notFound,
    .readParamName = nameItself,
    .refreshPeriod = defaultPeriod,
    .pictureOrderFileName = emptyText,
    .scheduleNewRefresh = none,
    .scheduleFullRedraw = zero,
    .requestPage = refused,
    .requestPageAfresh = refused,
    .checkClockFlag = none,
    .dialogName = emptyText,
    .closeMessageBox = none,
    .focusFirstObject = zero,
    .drawFocusFrame = none,
    .objectCount = zero,
    .focusedObject = minusOne,
    .focusRank = minusOne,
    .setModalForeground = noneInt,
    .clearNavigation = none,
    .selectObject = noneInt2,
    .deliverKeys = zero,
    .clearKeys = none,
    .keypadRead = notFound,
    .keypadWrite = notTaken,
    .keypadText = noText,
    .resetKeypad = none,
    .focusFieldAfterKeypad = none,
    .loadWarningButton = none,
    .removeListItem = noItem,
    .alarmMacroWrite = notTaken,
    .alarmListCycle = noAlarmList,
    .alarmListDraw = noAlarmList,
    .trendMacroRead = notFound,
    .trendMacroWrite = notTaken,
    .sampleTrends = none,
    .clearTrendView = none,
    .clearTrends = none,
    .pumpEvents = none,
};

HK_Hooks hooks = kDefaults;

} // namespace

HK_Hooks *HK_hooks() { return &hooks; }

void HK_reset() { hooks = kDefaults; }
