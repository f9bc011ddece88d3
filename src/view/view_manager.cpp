// View manager. Owns the request state, the page's address parts and the
// refresh period; loads pages (through the page parameters) and pictures
// (through the TEQ reader), runs the cyclic refresh of the target link, draws
// the objects, and shows the not-found screen. Main thread only.
#include "view/view_manager.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/network.h"
#include "runtime/settings.h"
#include "transport/http_client.h"
#include "comm/target_link.h"
#include "data/containers.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "draw/graphics.h"
#include "draw/fonts.h"
#include "draw/images.h"
#include "data/value_store.h"
#include "data/config_page.h"
#include "runtime/heap.h"
#include "runtime/hooks.h"
#include "runtime/platform.h"
#include "runtime/ramdisk.h"
#include "runtime/pump.h"
#include "data/language.h"
#include "runtime/log.h"
#include "data/persistent_containers.h"
#include "runtime/str_util.h"
#include "view/damage.h"
#include "view/object_table.h"
#include "view/page_params.h"
#include "view/painter_loader.h"
#include "view/teq_reader.h"

char VM_RemoteServer[24];
int VM_failed;
int32_t VM_RefreshPeriod = 1000;

namespace {

constexpr int kNotFoundRepeats = 6;
constexpr int kNotFoundPauseMs = 500;
constexpr int kMaxCyclesPerEntry = 16;

// The panel's own pages, copied into the RAM disk at start. The keypad pages
// are opened from there also for pages from a target; the message-box page
// is fetched over its copy when a page names it (setMessageBoxPage).
const char *const kApplicationPages[] = {"MsgBox.teq", "keypad.teq", "alphapad.teq"};

char req_page[VM_PAGE_SIZE];
int req_new_page;
int req_new_refresh;
int req_new_redraw;
int fullRedraw;
int openDialogRequired;
char VM_DialogBox[24];
int VM_running;
int VM_LoadingTeq;
int fileNotFound;
int VM_hasViewChanged;
int VM_gainFocusFlag;
int VM_keypadClosed;
int VM_RedrawToken;
int skip_VM_redraw_from_refresh;
int isRemoteServer;
char DocumentBase[VM_PAGE_SIZE];
char HtmlFileName[260];
char TeqFileName[29];
int picNr = -1;
int FirstIndex, LastIndex;
char TeqMsgBoxFileName[29] = "MsgBox.teq";
const char TeqKeyPadFileName[11] = "keypad.teq";
char OrderFileName[29];
int VM_encodeSpecialChar;
int VM_hasTCR;
char loadingFileName[VM_PAGE_SIZE];
bool initialised;
int waitCursor;
int lastPollSubstitute;
int requestRunning;              // a page, picture or dialog request is being carried out
int teqFailures;                 // TEQ loads that failed so far
char retryPicture[VM_PAGE_SIZE]; // a picture whose load failed, asked for again ...
int64_t retryAt;                 // ... once this time has come

bool isKeypadPage(const char *name) { return stringicmp(name, "keypad.teq") || stringicmp(name, "alphapad.teq"); }

int openTeqFile(const char *name)
{
    if (isKeypadPage(name) && RA_fileExists(name)) return RA_fileOpen(name, "rb");
    return Tarsel_fileOpen(name, "r");
}

// A dialog page that cannot be shown: the page stays, or, when reading the
// dialog already cleared it, the page is loaded again.
void dialogFailed()
{
    VM_DialogBox[0] = '\0';
    if (MU_getMyHeapSize() == 0) VM_closeMsgBoxView();
}

void toSlashes(char *text)
{
    for (; *text; text++)
        if (*text == '\\') *text = '/';
}

void reportLongAddress(const char *address) { err_append(0, "Page address too long:\n %s\n", address); }

// An address relative to the current page of a remote server becomes an
// "http://" address on that server; false when that does not fit.
bool makeRemoteAddress(char *page)
{
    if (isRemoteURL(page) || page[0] == '/' || !VM_RemoteServer[0]) return true;
    char address[2 * VM_PAGE_SIZE + 64];
    size_t base = std::strlen(DocumentBase);
    const char *slash = base && DocumentBase[base - 1] != '/' ? "/" : "";
    int n = std::snprintf(address, sizeof address, "http://%s/%s%s%s", VM_RemoteServer, DocumentBase, slash, page);
    if (n < 0 || n >= VM_PAGE_SIZE) {
        reportLongAddress(page);
        return false;
    }
    safe_strncpy(page, address, VM_PAGE_SIZE);
    toSlashes(page);
    log_append(0, "%s\n", page);
    return true;
}

// Appends ext unless the name already ends with it (any case).
void ensureExtension(char *name, size_t size, const char *ext)
{
    if (str_endsWithIgnoreCase(name, ext)) return;
    size_t len = std::strlen(name);
    if (len + std::strlen(ext) < size) std::strcat(name, ext);
}

// Removes every "../" together with the directory before it; a leading one
// is simply removed.
void removeParentSteps(char *path)
{
    char *step;
    while ((step = std::strstr(path, "../")) != nullptr) {
        char *start = step;
        if (step > path) {
            start = step - 1; // the "/" that ends the directory before
            while (start > path && start[-1] != '/') start--;
        }
        std::memmove(start, step + 3, std::strlen(step + 3) + 1);
    }
}

// Splits an address into remote server, document base and HTML file name.
int retrieveHtmlFileName(const char *address)
{
    if (!HT_isHtmlFile(address)) {
        err_append(0, "HTML file not found in path:\n %s\n", address);
        return 0;
    }
    char path[VM_PAGE_SIZE];
    if (isRemoteURL(address)) {
        const char *host = address + 7;
        const char *slash = std::strchr(host, '/');
        char hostText[VM_PAGE_SIZE];
        size_t hostLength = slash ? static_cast<size_t>(slash - host) : std::strlen(host);
        if (hostLength >= sizeof hostText) hostLength = sizeof hostText - 1;
        std::memcpy(hostText, host, hostLength);
        hostText[hostLength] = '\0';
        VM_SetRemoteUrl(hostText, slash ? slash + 1 : "");
        safe_strncpy(path, slash ? slash : "", sizeof path);
    } else {
        VM_SetRemoteUrl("", address);
        safe_strncpy(path, address, sizeof path);
    }
    // The "#" and "?" parts name no directory; a path from the root replaces
    // the document base: on a server without its "/", on local disk with it.
    path[std::strcspn(path, "#?")] = '\0';
    char base[2 * VM_PAGE_SIZE];
    if (path[0] == '/') std::snprintf(base, sizeof base, "%s", isRemoteURL(address) ? path + 1 : path);
    else std::snprintf(base, sizeof base, "%s%s", DocumentBase, path);
    char *lastSlash = std::strrchr(base, '/');
    safe_strncpy(HtmlFileName, lastSlash ? lastSlash + 1 : base, sizeof HtmlFileName);
    if (lastSlash) lastSlash[1] = '\0';
    else base[0] = '\0';
    removeParentSteps(base[0] == '/' ? base + 1 : base);
    safe_strncpy(DocumentBase, base, sizeof DocumentBase);
    return 1;
}

int readIntParameter(const char *name, int fallback, bool *present = nullptr)
{
    char value[HT_VALUE_SIZE];
    int found = HT_readHtmlParameter(name, value);
    if (present) *present = found;
    if (!found) return fallback;
    char *end = nullptr;
    long v = std::strtol(value, &end, 0);
    return end == value ? fallback : static_cast<int>(v);
}

void setMessageBoxPage()
{
    enableMsgBox(0);
    char value[HT_VALUE_SIZE];
    if (HT_readHtmlParameter("MessageBox", value) && value[0]) {
        ensureExtension(value, sizeof value, ".teq");
        safe_strncpy(TeqMsgBoxFileName, value, sizeof TeqMsgBoxFileName);
        if (Tarsel_loadMsgBox(TeqMsgBoxFileName)) enableMsgBox(1);
    } else {
        safe_strncpy(TeqMsgBoxFileName, "MsgBox.teq", sizeof TeqMsgBoxFileName);
    }
}

// The initial-container page: its objects' gain-focus actions set up the
// containers, then the objects vanish again.
void runInitialContainerPage()
{
    char name[HT_VALUE_SIZE];
    if (!HT_readHtmlParameter("InitCoTEQName", name) || !name[0]) return;
    int count = OB_HowManyObjetcs();
    uint32_t mark = MU_getMyHeapSize();
    PpoRecord *lastPoint = PPO_getList()->last;
    CO_setITQloading(1);
    if (VM_loadTeqFile(name, 0) == 0) {
        int ready = PPO_isReady();
        PPO_setReady(1);
        OB_doGainFocusEventActionFromPosition(count);
        PPO_setReady(ready);
    }
    CO_setITQloading(0);
    OB_setHowManyObjetcs(count);
    // The process points these objects put on the read list live behind the
    // mark too: the list is cut back before their memory is given back (a
    // file that failed has cleared the view, list and heap1 with it).
    if (MU_getMyHeapSize() >= mark) PPO_cutList(lastPoint);
    MU_setHeapPosition(mark);
}

void logPageParameters(int mainIndex)
{
    if (pterm.debug_level < 2) return;
    char value[HT_VALUE_SIZE];
    log_append(0, " ProjectName      : %s\n", TeqFileName);
    log_append_int(0, " Period           : %d\n", VM_RefreshPeriod);
    log_append_int(0, " FirstFileIndex   : %d\n", FirstIndex);
    log_append_int(0, " LastFileIndex    : %d\n", LastIndex);
    log_append_int(0, " Main             : %d\n", mainIndex);
    log_append_int(0, " encodeSpecialChar: %d\n", VM_encodeSpecialChar);
    if (HT_readHtmlParameter("SOAPIF", value)) log_append(0, " SOAPIF           : %s\n", value);
    log_append(0, " MainTEQName      : %s\n", req_page);
}

// Loads the page's language table and static texts; false, with the name of
// the file in failed, when the static texts could not be read.
bool loadPageTables(char *failed, size_t size)
{
    char value[HT_VALUE_SIZE];
    if (HT_readHtmlParameter("IVIEWERHTMLTAGSFILEName", value)) {
        ensureExtension(value, sizeof value, ".csv");
        LR_parseCsvFile(value);
    }
    if (HT_readHtmlParameter("StaticHTMLTagsFileName", value) && value[0] && HT_loadCsvFile(value) < 0) {
        safe_strncpy(failed, value, size);
        return false;
    }
    HT_checkPmTm();
    return true;
}

// Painters beyond what the object table holds are not shown: one line per
// picture with their number.
void reportDroppedObjects(const char *name, int dropped)
{
    if (dropped <= 0) return;
    char line[VM_PAGE_SIZE + 96];
    std::snprintf(line, sizeof line, "%d objects of \"%s\" dropped: the object table holds %d\n", dropped, name,
                  OB_MAX_OBJECTS);
    log_append(0, "%s", line);
}

void drawNotFoundScreen(const char *name)
{
    safe_strncpy(VM_DialogBox, "404NotFound.teq", sizeof VM_DialogBox);
    fullRedraw = 0;
    DM_invalidate();
    G_DrawViewBegin();
    G_SetBackGroundColor(0xFFFFFFFF);
    G_SetFont(nullptr);
    G_FillRect(0, 0, g_screenWidth, g_screenHeight, 0xFFFFFFFF);
    int h = FO_GetCharHeight(nullptr);
    G_DrawText("File not found !", 0, h, g_screenWidth, h, 5, 0xFF0000FF);
    if (VM_RemoteServer[0]) G_DrawText(VM_RemoteServer, 0, 3 * h, g_screenWidth, h, 5, 0xFF000000);
    G_DrawText(name, 0, 4 * h, g_screenWidth, h, 5, 0xFF000000);
    G_DrawViewEnd();
    GrFlush();
}

// The not-found screen six times, then the page counts as failed: shown is
// the page's file, or the file of the page that could not be read.
void notFoundSequence(const char *address, const char *shown)
{
    if (pterm.config_page[0]) {
        VM_ClearAll();
        VM_ClearView();
        G_ClearScreen();
    }
    OB_setActualFocus(-1);
    fileNotFound = 1;
    for (int i = 0; i < kNotFoundRepeats; i++) {
        drawNotFoundScreen(shown);
        PUMP_sleep(kNotFoundPauseMs);
    }
    fileNotFound = 0;
    VM_DialogBox[0] = '\0';
    VM_Abort(1);
    err_fileNotFound(shown);
    err_append(0, " %s\n", address);
}

int loadHtmlFile(const char *address)
{
    char page[VM_PAGE_SIZE];
    safe_strncpy(page, address, sizeof page);
    if (!retrieveHtmlFileName(page)) return 0;
    int scanned = HT_loadHtmlParameters(HtmlFileName);
    // A page from the target without the applet or its parameters arrived
    // cut or broken: it failed as a missing one does.
    if (scanned < 0 || (scanned == 0 && SRVR_isRemoteFileServer())) {
        notFoundSequence(page, HtmlFileName);
        return 0;
    }
    if (scanned == 0) return 0;
    setMessageBoxPage();
    runInitialContainerPage();
    HT_writeContainer("IsWebBrowser", VM_RemoteServer[0] ? "1" : "0");
    HT_writeContainer("pterm.VERSION", SETTINGS_FILE_VERSION);

    char value[HT_VALUE_SIZE];
    if (!HT_readHtmlParameter("ProjectName", value)) {
        err_append(0, "Undefined param=\"ProjectName\" in html file\n %s\n", HtmlFileName);
        safe_strncpy(TeqFileName, "ProjectName", sizeof TeqFileName);
        return 0;
    }
    safe_strncpy(TeqFileName, value, sizeof TeqFileName);
    bool hasPeriod = false;
    int period = readIntParameter("Period", 1000, &hasPeriod);
    if (hasPeriod) VM_RefreshPeriod = period;
    int lastIndex = readIntParameter("LastFileIndex", 0);
    int firstIndex = readIntParameter("FirstFileIndex", 0);
    int mainIndex = readIntParameter("Main", 0);
    VM_encodeSpecialChar = HT_readHtmlParameter("encodeSpecialChar", value) && stringicmp(value, "on");
    VM_hasTCR = 0;
    if (HT_readHtmlParameter("InitPPOASCIIName", value) && value[0]) {
        char tcrName[HT_VALUE_SIZE];
        safe_strncpy(tcrName, value, sizeof tcrName);
        VM_hasTCR = TCR_parseTcrFile(value) == 0;
        if (!VM_hasTCR) {
            notFoundSequence(page, tcrName);
            return 0;
        }
    }
    FirstIndex = firstIndex;
    LastIndex = lastIndex;
    if (!HT_readHtmlParameter("MainTEQName", req_page)) req_page[0] = '\0';
    req_new_page = 2;
    logPageParameters(mainIndex);
    Tarsel_loadHtmlParameters(value);
    if (lastIndex == firstIndex) mainIndex = -1;
    if (!req_page[0]) {
        if (mainIndex == -1) std::snprintf(req_page, sizeof req_page, "%s.teq", TeqFileName);
        else std::snprintf(req_page, sizeof req_page, "%s%i.teq", TeqFileName, mainIndex);
        picNr = mainIndex;
    }
    char failed[HT_VALUE_SIZE];
    if (!loadPageTables(failed, sizeof failed)) {
        notFoundSequence(page, failed);
        return 0;
    }
    if (req_page[0]) {
        HT_writeContainer("@CURRENT_PAGE", req_page);
        loadPicture();
        req_new_page = 0;
    }
    SYS_InvalidateView();
    return 1;
}

// A picture request that is exactly a decimal number names a picture of the project.
bool isPictureNumber(const char *text, int *number)
{
    char *end = nullptr;
    long n = std::strtol(text, &end, 10);
    if (end == text || *end) return false;
    char back[32];
    std::snprintf(back, sizeof back, "%i", static_cast<int>(n));
    if (!stringcmp(back, text)) return false;
    *number = static_cast<int>(n);
    return true;
}

// A picture whose main or layer file could not be loaded is asked for again
// after a refresh period (three quarters of one, so that the next time-out
// finds it due). Meanwhile the view shows what the load left: the picture
// before (a missing file), the picture without its layer, or nothing (a
// broken file), and then the not-found screen.
void armPictureRetry(const char *name)
{
    safe_strncpy(retryPicture, name, sizeof retryPicture);
    int period = VM_getRefreshPeriod();
    retryAt = PUMP_nowMs() + period - period / 4;
}

void retryFailedPicture()
{
    if (!retryPicture[0] || req_new_page || PUMP_nowMs() < retryAt) return;
    safe_strncpy(req_page, retryPicture, sizeof req_page);
    retryPicture[0] = '\0';
    req_new_page = 2;
}

int setPictureName(const char *name)
{
    VM_LoadingTeq = 1;
    int failuresBefore = teqFailures;
    int result = VM_loadTeqFile(name, 1);
    if (result == 0) PA_LoadLayerTeqIfAny();
    if (result == 0 && teqFailures != failuresBefore) result = 404;
    if (result != 0) armPictureRetry(name);
    if (result == 0) {
        size_t len = std::strlen(name);
        safe_strncpy(OrderFileName, name, len >= 4 && len - 4 < sizeof OrderFileName ? len - 3 : sizeof OrderFileName);
        for (char *c = OrderFileName; *c; c++)
            if (*c == '+') *c = '_';
        HK_hooks()->loadWarningButton();
        if (stringicmp(name, TeqMsgBoxFileName)) safe_strncpy(VM_DialogBox, name, sizeof VM_DialogBox);
        VM_gainFocusFlag = 1;
        scheduleFullRedraw();
        VM_hasViewChanged = 1;
        if (!VM_DialogBox[0]) {
            HT_copyContainer("@LAST_PAGE", "@CURRENT_PAGE");
            HT_writeContainer("@CURRENT_PAGE", name);
        }
    }
    VM_LoadingTeq = 0;
    return result;
}

// Both redraw paths run on the main thread: a path that finds the token taken
// was entered from inside the other, through a wait that took display events,
// and cannot wait for it. It leaves the drawing to the next cycle.
bool takeToken()
{
    if (VM_RedrawToken) {
        scheduleFullRedraw();
        return false;
    }
    VM_RedrawToken = 1;
    return true;
}

void runPeriodicEntries()
{
    PCO_entry();
    PTC_entry();
    HK_hooks()->sampleTrends();
    Net_entry();
    log_entry();
    HK_hooks()->deliverKeys();
    CO_counterRefresh();
}

void gainFocusAfterRead()
{
    if (!VM_gainFocusFlag || !PPO_isReady()) return;
    VM_gainFocusFlag = 0;
    OB_setFirstObjectInFocus(1);
    OB_doGainFocusEventAction();
    HK_hooks()->focusFieldAfterKeypad();
    VM_keypadClosed = 0;
}

// Performs the pending page or picture request; false when the cycle ends here.
bool performPageRequest()
{
    if (!req_new_page) return true;
    int kind = req_new_page;
    req_new_page = 0;
    retryPicture[0] = '\0';
    showLoadingMessage();
    requestRunning = 1;
    if (kind == 1) loadHtmlFile(req_page);
    else loadPicture();
    requestRunning = 0;
    VM_DialogBox[0] = '\0';
    if (VM_failed) return false;
    scheduleNewRefresh();
    return true;
}

void redrawFromCycle()
{
    if (skip_VM_redraw_from_refresh || req_new_page) return;
    if (MU_getMyHeapSize() != 0) {
        if (!takeToken()) return;
        VM_redraw_sync();
        VM_RedrawToken = 0;
    } else {
        drawNotFoundScreen(req_page);
    }
    SYS_ShowWaitCursor();
}

} // namespace

int VM_requestLoadHtmlFile(const char *address)
{
    if (!address) address = "";
    log_append(pterm.debug_level >= 3, "\nStart: %s\n", address);
    // An address cut to the buffer could name another page: it is refused.
    char page[VM_PAGE_SIZE];
    if (std::strlen(address) >= sizeof page) {
        reportLongAddress(address);
        return 0;
    }
    safe_strncpy(page, address, sizeof page);
    toSlashes(page);
    if (!makeRemoteAddress(page)) return 0;
    safe_strncpy(req_page, page, sizeof req_page);
    req_new_page = 1;
    log_flushFile();
    return 1;
}

int VM_requestPicture(const char *name)
{
    if (!VM_DialogBox[0] && stringcmp(name, req_page)) return 1;
    safe_strncpy(req_page, name ? name : "", sizeof req_page);
    req_new_page = 2;
    return 2;
}

void VM_setKeyPadView(const char *name)
{
    safe_strncpy(VM_DialogBox, name && name[0] ? name : TeqKeyPadFileName, sizeof VM_DialogBox);
    openDialogRequired = 1;
}

int VM_setMsgBoxView()
{
    if (!isMsgBoxEnable() || !TeqMsgBoxFileName[0]) return 0;
    safe_strncpy(VM_DialogBox, TeqMsgBoxFileName, sizeof VM_DialogBox);
    openDialogRequired = 1;
    return 1;
}

void VM_closeMsgBoxView()
{
    const char *current = CO_readValPtr("@CURRENT_PAGE");
    safe_strncpy(req_page, current ? current : "", sizeof req_page);
    req_new_page = 2;
}

void VM_closeKeyPadView()
{
    VM_closeMsgBoxView();
    VM_keypadClosed = 1;
}

int VM_isKeypadClosed() { return VM_keypadClosed; }

void VM_loadApplicationPages()
{
    for (const char *page : kApplicationPages) copy_file_to_ramdisk(page, page);
}

int scheduleFullRedraw()
{
    req_new_refresh = 1;
    fullRedraw = 1;
    return 1;
}

void scheduleRedraw() { req_new_redraw = 1; }
void scheduleNewRefresh() { req_new_refresh = 1; }

void VM_Abort(int force)
{
    if (force || pterm.config_page[0]) VM_failed = 1;
}

int VM_isPageRequestPending() { return req_new_page != 0; }
int VM_isGainingFocus() { return VM_gainFocusFlag; }

void VM_SetRemoteUrl(const char *host, const char *path)
{
    if (path) SetRemotePath(path);
    safe_strncpy(VM_RemoteServer, host ? host : "", sizeof VM_RemoteServer);
    isRemoteServer = VM_RemoteServer[0] != '\0';
    SetRemoteStatus(isRemoteServer);
    SetRemoteHost(VM_RemoteServer);
    HT_writeContainer("IsWebBrowser", isRemoteServer ? "1" : "0");
}

void VM_SetDocumentBase(const char *text) { safe_strncpy(DocumentBase, text ? text : "", sizeof DocumentBase); }
const char *VM_GetDocumentBase() { return DocumentBase; }
const char *VM_getLoadingFileName() { return loadingFileName; }
const char *VM_getDialogBoxName() { return VM_DialogBox; }
const char *VM_getHtmlFileName() { return HtmlFileName; }
const char *VM_getOrderFileNameOfPicture() { return OrderFileName; }
void VM_setMsgBoxFileName(const char *name) { safe_strncpy(TeqMsgBoxFileName, name, sizeof TeqMsgBoxFileName); }
const char *VM_getMsgBoxFileName() { return TeqMsgBoxFileName; }
const char *VM_GetOrderFileName() { return SYS_GetFixOrderFileName(); }
int VM_isEncodeSpecialChar() { return VM_encodeSpecialChar; }
int VM_hasTextConversion() { return VM_hasTCR; }
int isRemoteURL(const char *text) { return prefixicmp(text, "http://"); }

void VM_init()
{
    VM_running = 1;
    VM_failed = 0;
    if (initialised) return;
    initialised = true;
    MU_init();
    MU_init2();
    DS_Initialize();
    G_InitGraphDrv();
}

void VM_reset()
{
    VM_RemoteServer[0] = '\0';
    VM_failed = 0;
    VM_RefreshPeriod = 1000;
    req_page[0] = '\0';
    req_new_page = req_new_refresh = req_new_redraw = 0;
    fullRedraw = 0;
    openDialogRequired = 0;
    VM_DialogBox[0] = '\0';
    VM_running = 0;
    VM_LoadingTeq = 0;
    fileNotFound = 0;
    VM_hasViewChanged = 0;
    VM_gainFocusFlag = 0;
    VM_keypadClosed = 0;
    VM_RedrawToken = 0;
    skip_VM_redraw_from_refresh = 0;
    isRemoteServer = 0;
    DocumentBase[0] = '\0';
    HtmlFileName[0] = '\0';
    TeqFileName[0] = '\0';
    picNr = -1;
    FirstIndex = LastIndex = 0;
    safe_strncpy(TeqMsgBoxFileName, "MsgBox.teq", sizeof TeqMsgBoxFileName);
    OrderFileName[0] = '\0';
    VM_encodeSpecialChar = 0;
    VM_hasTCR = 0;
    loadingFileName[0] = '\0';
    initialised = false;
    waitCursor = 0;
    lastPollSubstitute = 0;
    requestRunning = 0;
    teqFailures = 0;
    retryPicture[0] = '\0';
    retryAt = 0;
}

int VM_isRefreshRequired()
{
    return !VM_running || req_new_page || req_new_refresh || req_new_redraw || openDialogRequired;
}

// A page whose objects ask for a refresh at every drawing would otherwise keep
// the event loop from ever waiting for input again: after a bounded number of
// cycles the remaining requests wait for the next time-out.
void VM_entry()
{
    for (int cycles = 0; cycles < kMaxCyclesPerEntry && VM_isRefreshRequired() && !VM_failed; cycles++) VM_refresh();
}

void VM_refresh()
{
    VM_running = 1;
    if (openDialogRequired) {
        VM_LoadingTeq = requestRunning = 1;
        openDialogRequired = req_new_refresh = req_new_redraw = 0;
        if (VM_loadTeqFile(VM_DialogBox, 1) == 0) {
            VM_gainFocusFlag = 1;
            scheduleFullRedraw();
        } else {
            dialogFailed();
        }
        VM_LoadingTeq = requestRunning = 0;
    }
    if (!req_new_page) {
        Tarsel_refresh(VM_hasViewChanged);
        VM_hasViewChanged = 0;
        waitCursor = 0;
    }
    req_new_refresh = 0;
    gainFocusAfterRead();
    retryFailedPicture();
    if (!performPageRequest()) return;
    redrawFromCycle();
    if (TCR_isInvalidEntry()) VM_setMsgBoxView();
    runPeriodicEntries();
}

int VM_loadTeqFile(const char *name, int clear)
{
    if (pterm.debug_level == 1) log_append(0, "Open Teq File: %s\n", name);
    int file = openTeqFile(name);
    if (file < 0) {
        err_fileNotFound(name);
        teqFailures++;
        return 404;
    }
    if (clear) {
        OB_doLostFocusEventAction();
        VM_ClearView();
    }
    safe_strncpy(loadingFileName, name, sizeof loadingFileName);
    int droppedBefore = OB_getOverflowCount();
    OB_CRITICAL_ENTER_LOADING_TEQ();
    int result = teqFileReader(file);
    OB_CRITICAL_EXIT_LOADING_TEQ();
    Tarsel_fileClose(file);
    reportDroppedObjects(name, OB_getOverflowCount() - droppedBefore);
    if (result != 0) {
        VM_ClearView();
        err_append(0, " \"%s\"\n", name);
        teqFailures++;
        return result;
    }
    VM_hasViewChanged = 1;
    OB_checkObjectsSize();
    return 0;
}

void loadPicture()
{
    fileNotFound = 0;
    if (!req_page[0]) return;
    int number;
    if (isPictureNumber(req_page, &number) && TeqFileName[0]) {
        if (number == -1) std::snprintf(req_page, sizeof req_page, "%s.teq", TeqFileName);
        else std::snprintf(req_page, sizeof req_page, "%s%i.teq", TeqFileName, number);
        picNr = number;
    } else {
        ensureExtension(req_page, sizeof req_page, ".teq");
    }
    if (setPictureName(req_page) != 0 && MU_getMyHeapSize() == 0) VM_Abort(0);
}

void VM_ClearView()
{
    OB_DeleteAllObjetcs();
    DM_invalidate();
    Tarsel_clearView();
    MU_freeAll();
    HK_hooks()->clearTrendView();
    PA_clearView();
    HK_hooks()->clearKeys();
    OB_setActualFocus(-1);
}

void VM_ClearAll()
{
    MU_freeAll2();
    DS_Initialize();
    DS_Reset();
    HT_resetParameters();
    HT_resetContainers();
    LR_reset();
    HK_hooks()->clearTrends();
    TCR_reset();
    clearCachedBltImages();
}

// With full_redraw set every redraw is a complete one; its cost follows what
// changed (damage.h) unless a complete pass was asked for. A request for one
// made while a refresh draws stays for the next redraw.
void VM_redraw_sync()
{
    req_new_redraw = 0;
    if (VM_LoadingTeq) return;
    if (fileNotFound) {
        DM_invalidate();
        G_DrawViewBegin();
        G_DrawViewEnd();
        return;
    }
    if (!fullRedraw && pterm.full_redraw && DM_redrawChanged()) return;
    if (!fullRedraw && !pterm.full_redraw) {
        DM_refreshChanged();
        return;
    }
    G_DrawViewBegin();
    G_ClearScreen();
    DM_drawAll(OB_MSG_DRAW);
    fullRedraw = 0;
    G_DrawViewEnd();
}

void VM_redraw_from_mouse_event()
{
    if (skip_VM_redraw_from_refresh) return;
    if (!takeToken()) return;
    skip_VM_redraw_from_refresh = 1;
    if (MU_getMyHeapSize() != 0) {
        fullRedraw = 1;
        VM_redraw_sync();
    } else if (!fileNotFound) {
        drawNotFoundScreen(req_page);
    }
    VM_RedrawToken = 0;
    skip_VM_redraw_from_refresh = 0;
}

void VM_redrawWhileWaiting()
{
    if (!initialised || requestRunning || VM_LoadingTeq || VM_RedrawToken || skip_VM_redraw_from_refresh) {
        scheduleFullRedraw();
        return;
    }
    VM_redraw_from_mouse_event();
}

int VM_getRefreshPeriod()
{
    const char *text = CO_readValPtr("PT_PollTimeSubstitute");
    int substitute = text ? std::atoi(text) : 0;
    if (substitute != lastPollSubstitute) {
        lastPollSubstitute = substitute;
        scheduleNewRefresh();
    }
    return substitute >= 1 ? substitute : VM_RefreshPeriod;
}

void SYS_SetWaitCursor(int flag) { waitCursor = flag; }

void SYS_ShowWaitCursor()
{
    if (waitCursor) showLoadingMessage();
}

void showLoadingMessage()
{
    waitCursor = 1;
    const ExtObjectSpec &m = pterm.loading_msg;
    if (!m.enabled) return;
    G_SetFont(nullptr);
    if (m.mode == 0) G_DrawText(m.text, 0, 0, g_screenWidth, g_screenHeight, 5, m.color2);
    else if (m.mode == 1) G_DrawText(m.text, m.x, m.y, m.width, m.height, 5, m.color2);
    else if (m.mode == 2) G_DrawImage(m.text, m.x, m.y, m.width, m.height);
}

namespace {

const char *remoteServer() { return VM_RemoteServer; }
int focusFirstObject() { return OB_setFirstObjectInFocus(1); }
void drawFocusFrame() { OB_drawObjectInFocus(0); }
int focusRank() { return OB_SendMessage(OB_getActualFocus(), OB_MSG_FOCUS_ORDER, 0, nullptr); }

// A start page: a local or absolute address, not one relative to the page shown.
int requestPageAfresh(const char *address)
{
    VM_SetRemoteUrl("", "");
    VM_SetDocumentBase("");
    return VM_requestLoadHtmlFile(address);
}

} // namespace

void VM_attachHooks()
{
    HK_Hooks *h = HK_hooks();
    h->documentBase = VM_GetDocumentBase;
    h->remoteServer = remoteServer;
    h->readPageParameter = HT_readHtmlParameter;
    h->readParamName = HT_readParamName;
    h->refreshPeriod = VM_getRefreshPeriod;
    h->pictureOrderFileName = VM_getOrderFileNameOfPicture;
    h->scheduleNewRefresh = scheduleNewRefresh;
    h->scheduleFullRedraw = scheduleFullRedraw;
    h->requestPage = VM_requestLoadHtmlFile;
    h->requestPageAfresh = requestPageAfresh;
    h->checkClockFlag = HT_checkPmTm;
    h->dialogName = VM_getDialogBoxName;
    h->closeMessageBox = VM_closeMsgBoxView;
    h->focusFirstObject = focusFirstObject;
    h->drawFocusFrame = drawFocusFrame;
    h->objectCount = OB_HowManyObjetcs;
    h->focusedObject = OB_getActualFocus;
    h->focusRank = focusRank;
    h->setModalForeground = OB_setModalForegroundTeq;
}
