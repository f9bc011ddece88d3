// View manager. Holds the request state and the refresh period, initialises
// the heaps and the graphics driver, and draws the loading message. Page and
// picture loading is not available yet: a requested page is logged and the
// screen shows an empty page in the page background colour.
#include "view/view_manager.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/network.h"
#include "app/settings.h"
#include "data/containers.h"
#include "draw/graphics.h"
#include "httpd/data_server.h"
#include "runtime/heap.h"
#include "runtime/log.h"
#include "runtime/str_util.h"
#include "view/page_params.h"

char VM_RemoteServer[24];
int VM_failed;
int32_t VM_RefreshPeriod = 1000;

namespace {

char req_page[VM_PAGE_SIZE];
int req_new_page;
int req_new_refresh;
int req_new_redraw;
int fullRedraw;
char VM_DialogBox[24];
char DocumentBase[VM_PAGE_SIZE];
char TeqMsgBoxFileName[29] = "MsgBox.teq";
int VM_running;
bool initialised;
int waitCursor;
int lastPollSubstitute;

void toSlashes(char *text)
{
    for (; *text; text++)
        if (*text == '\\') *text = '/';
}

// An address relative to the current page of a remote server becomes an
// "http://" address on that server.
void makeRemoteAddress()
{
    if (isRemoteURL(req_page) || req_page[0] == '/' || !VM_RemoteServer[0]) return;
    char address[2 * VM_PAGE_SIZE + 64];
    size_t base = std::strlen(DocumentBase);
    const char *slash = base && DocumentBase[base - 1] != '/' ? "/" : "";
    int n = std::snprintf(address, sizeof address, "http://%s/%s%s%s", VM_RemoteServer, DocumentBase, slash, req_page);
    if (n < 0 || n >= VM_PAGE_SIZE) {
        err_append(0, "Page address too long:\n %s\n", req_page);
        return;
    }
    safe_strncpy(req_page, address, sizeof req_page);
    toSlashes(req_page);
    log_append(0, "%s\n", req_page);
}

void drawEmptyPage()
{
    G_DrawViewBegin();
    G_ClearScreen();
    G_DrawViewEnd();
}

} // namespace

int VM_requestLoadHtmlFile(const char *address)
{
    log_append(pterm.debug_level >= 3, "\nStart: %s\n", address ? address : "");
    safe_strncpy(req_page, address ? address : "", sizeof req_page);
    toSlashes(req_page);
    makeRemoteAddress();
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

int scheduleFullRedraw()
{
    req_new_refresh = 1;
    fullRedraw = 1;
    return 1;
}

void scheduleRedraw() { req_new_redraw = 1; }
void scheduleNewRefresh() { req_new_refresh = 1; }

void VM_closeMsgBoxView()
{
    const char *current = CO_readValPtr("@CURRENT_PAGE");
    safe_strncpy(req_page, current ? current : "", sizeof req_page);
    req_new_page = 2;
}

void VM_Abort(int force)
{
    if (force || pterm.config_page[0]) VM_failed = 1;
}

int VM_isPageRequestPending() { return req_new_page != 0; }

void VM_SetRemoteUrl(const char *host, const char *)
{
    safe_strncpy(VM_RemoteServer, host ? host : "", sizeof VM_RemoteServer);
    HT_writeContainer("IsWebBrowser", VM_RemoteServer[0] ? "1" : "0");
}

void VM_SetDocumentBase(const char *text) { safe_strncpy(DocumentBase, text ? text : "", sizeof DocumentBase); }
const char *VM_GetDocumentBase() { return DocumentBase; }
const char *VM_getDialogBoxName() { return VM_DialogBox; }
void VM_setMsgBoxFileName(const char *name) { safe_strncpy(TeqMsgBoxFileName, name, sizeof TeqMsgBoxFileName); }
const char *VM_getMsgBoxFileName() { return TeqMsgBoxFileName; }

// Until pictures are loaded here, no TEQ file is being read and none can be
// loaded (404, as for a missing file).
const char *VM_getLoadingFileName() { return ""; }
int VM_loadTeqFile(const char *, int) { return 404; }
const char *VM_GetOrderFileName() { return SYS_GetFixOrderFileName(); }
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

int VM_isRefreshRequired()
{
    return !VM_running || req_new_page || req_new_refresh || req_new_redraw;
}

void VM_entry()
{
    while (VM_isRefreshRequired()) VM_refresh();
}

void VM_refresh()
{
    VM_running = 1;
    if (!req_new_page) waitCursor = 0;
    req_new_refresh = 0;
    if (req_new_page) {
        req_new_page = 0;
        log_append(0, "Page loading is not available: %s\n", req_page);
    }
    req_new_redraw = 0;
    fullRedraw = 0;
    drawEmptyPage();
    SYS_ShowWaitCursor();
    log_entry();
    CO_counterRefresh();
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

void VM_redraw_from_mouse_event() { drawEmptyPage(); }

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

void VM_ClearAll()
{
    MU_freeAll2();
    HT_resetParameters();
}
