// Start-up and main loop. Attaches the layers to the hooks (and resets every
// layer to its state before start-up), and touches the
// settings, the network block, the view manager (requests, refresh cycle,
// redraws), the input handlers and the embedded server's thread entry.
#include "app/startup.h"
#include "app/event_pump.h"
#include "app/mqtt_publisher.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <pthread.h>
#include <unistd.h>

#include "runtime/network.h"
#include "runtime/platform.h"
#include "runtime/settings.h"
#include "runtime/system_probe.h"
#include "alarms_trends/alarm_list.h"
#include "alarms_trends/trends.h"
#include "comm/ilr_driver.h"
#include "comm/opc_driver.h"
#include "comm/s7_driver.h"
#include "comm/tbox_driver.h"
#include "comm/modbus_driver.h"
#include "comm/mqtt_driver.h"
#include "comm/wago_driver.h"
#include "comm/native_driver.h"
#include "comm/native_protocol.h"
#include "comm/ppo_update.h"
#include "transport/file_layer.h"
#include "transport/http_client.h"
#include "transport/mqtt_link.h"
#include "data/containers.h"
#include "draw/graphics.h"
#include "httpd/web_server.h"
#include "input/key_queue.h"
#include "input/input_events.h"
#include "objects/file_viewer.h"
#include "objects/graph.h"
#include "objects/objects.h"
#include "runtime/log.h"
#include "data/config_page.h"
#include "runtime/ramdisk.h"
#include "runtime/str_util.h"
#include "transport/sockets.h"
#include "view/view_manager.h"
#include "data/language.h"
#include "data/persistent_containers.h"
#include "data/process_points.h"
#include "data/read_stamps.h"
#include "data/source_names.h"
#include "data/value_format.h"
#include "data/value_store.h"
#include "draw/fonts.h"
#include "draw/images.h"
#include "input/actions.h"
#include "input/navigation.h"
#include "objects/keypad.h"
#include "runtime/command_age.h"
#include "runtime/heap.h"
#include "runtime/hooks.h"
#include "runtime/pump.h"
#include "view/damage.h"
#include "view/object_table.h"
#include "view/painter_block.h"
#include "view/page_params.h"
#include "view/painter_loader.h"
#include "view/teq_reader.h"

GR_SCREEN_INFO g_si;

namespace {

constexpr GR_EVENT_MASK kEventMask = GR_EVENT_MASK_ERROR | GR_EVENT_MASK_EXPOSURE | GR_EVENT_MASK_BUTTON_DOWN |
                                     GR_EVENT_MASK_BUTTON_UP | GR_EVENT_MASK_KEY_DOWN | GR_EVENT_MASK_KEY_UP |
                                     GR_EVENT_MASK_UPDATE | GR_EVENT_MASK_CHLD_UPDATE | GR_EVENT_MASK_CLOSE_REQ;

bool initialised;

void logScreenInfo()
{
    char text[512];
    std::snprintf(
        text, sizeof text,
        "\nScreen Info:\n rows      = %d\n cols      = %d\n bpp       = %d\n planes    = %d\n ncolors   = %u\n"
        " buttons   = 0x%x\n modifiers = 0x%x\n fonts     = %d\n",
        g_si.rows, g_si.cols, g_si.bpp, g_si.planes, static_cast<unsigned>(g_si.ncolors),
        static_cast<unsigned>(g_si.buttons), static_cast<unsigned>(g_si.modifiers), g_si.fonts);
    std::fputs(text, stdout);
    log_append(0, "%s", text);
}

constexpr char kUsage[] = "usage: Panterm_MW [url]\n"
                          "       Panterm_MW --help | -h | --version\n"
                          "Opens url (an HTML page: a local path or http://...), else the settings'\n"
                          "config_page or start_page. Reads the settings file pterm.xml beside the\n"
                          "program (and writes a complete one there when it is missing or incomplete)\n"
                          "and logs into its log_file (pterm.log) beside the program.\n"
                          "Settings most used: start_page, config_page, config_file, log_file,\n"
                          "debug_level, kiosk, httpd_enabled, httpd_port, full_redraw, sip.\n"
                          "Environment:\n"
                          "  PANTERM_DISPLAY=sdl|headless  a window, or an in-memory screen (the default\n"
                          "                                without a reachable display)\n"
                          "  PANTERM_SCREEN=WIDTHxHEIGHT   the screen size (640x480)\n"
                          "  PANTERM_SNAPSHOT=FILE.png     headless: the screen after every change\n"
                          "  PANTERM_EVENTS=FILE           headless: a script of touches and keys\n"
                          "  PANTERM_TIMEOUT_MS=N          the time-out of an exchange with the target\n"
                          "                                in milliseconds (10000)\n"
                          "  PANTERM_HTTPD_BIND=ADDRESS    the one address the embedded server listens on\n"
                          "README.md and docs/display.md give the details.\n";

// The options that only inform, printed on standard output: true when the
// argument was one of them.
bool informed(const char *argument)
{
    if (stringcmp(argument, "--help") || stringcmp(argument, "-h")) {
        std::fputs(kUsage, stdout);
        return true;
    }
    if (!stringcmp(argument, "--version")) return false;
    std::printf("Panterm_MW %s\n", getAppVersion());
    return true;
}

// PANTERM_TIMEOUT_MS replaces the time-out of an exchange with the target
// (for tests and trials against slow targets).
void applyTimeoutOverride()
{
    const char *text = std::getenv("PANTERM_TIMEOUT_MS");
    if (!text || !text[0]) return;
    int ms = 0;
    if (str_parseInt(text, &ms) && ms > 0) SRVR_setTimeout(ms);
    else log_append(1, "PANTERM_TIMEOUT_MS: not a positive number of milliseconds: %s\n", text);
}

void requestStartPage()
{
    VM_SetRemoteUrl("", "");
    VM_requestLoadHtmlFile(pterm.config_page[0] ? pterm.config_page : pterm.start_page);
}

void createWindow()
{
    GR_WM_PROPS props = pterm.kiosk ? GR_WM_PROPS_NODECORATE : 0;
    GR_SIZE width = pterm.kiosk ? g_si.cols : g_si.cols - 6;
    GR_SIZE height = pterm.kiosk ? g_si.rows : g_si.rows - 26;
    g_screen = GrNewWindowEx(props, "Panterm", GR_ROOT_WINDOW_ID, 0, 0, width, height, GR_RGB(255, 255, 255));
    g_main = g_screen;
    g_offscreen = 0;
    GR_WM_PROPERTIES title = {};
    title.flags = GR_WM_FLAGS_TITLE;
    title.title = const_cast<char *>("Panterm");
    GrSetWMProperties(GR_ROOT_WINDOW_ID, &title);
    GrSelectEvents(g_screen, kEventMask);
    GrMapWindow(g_screen);
    GrSetFocus(g_screen);
    g_gc = GrNewGC();
    GrSetGCForeground(g_gc, GR_RGB(0, 0, 0));
    GrSetGCBackground(g_gc, GR_RGB(255, 255, 255));
    GrSetGCUseBackground(g_gc, GR_FALSE);
}

void onsig(int sig)
{
    if (pterm.httpd_enabled) {
        std::fprintf(stderr, "SRV shutdown on signal %d !\n", sig);
        SRVC_Shutdown();
        std::signal(sig, onsig);
        return;
    }
    std::fprintf(stderr, "Stop Panterm on signal %d !\n\n", sig);
    std::_Exit(1);
}

void startServerThread()
{
    pthread_t thread;
    if (pthread_create(&thread, nullptr, start_eweb_task, &pterm.httpd_port) != 0) {
        err_append(0, "Failed to start the web server thread !\n", nullptr);
        pterm.httpd_enabled = 0;
        return;
    }
    pthread_detach(thread);
    std::signal(SIGINT, onsig);
    std::signal(SIGTERM, onsig);
    std::signal(SIGQUIT, onsig);
}

void onError(const GR_EVENT_ERROR &e)
{
    std::printf("\nError type: %d, code: %d !\n", e.type, e.code);
    err_append_int(0, "WM Error type: %d\n", e.type);
    err_append_int(0, "WM Error code: %d\n", e.code);
}

void do_keyDown(const GR_EVENT_KEYSTROKE &k)
{
    if (pterm.debug_level >= 2) {
        std::putchar(k.ch < 256 ? k.ch : '?');
        std::fflush(stdout);
    }
    KB_queueKeyPress(k.ch, k.modifiers);
}

void refreshCycle()
{
    PT_Config_entry();
    VM_refresh();
    VM_entry();
    if (VM_failed) {
        VM_failed = 0;
        ptT_reload();
    }
}

bool isOperatorInput(const GR_EVENT &event)
{
    return event.type == GR_EVENT_TYPE_BUTTON_DOWN || event.type == GR_EVENT_TYPE_BUTTON_UP ||
           event.type == GR_EVENT_TYPE_KEY_DOWN || event.type == GR_EVENT_TYPE_KEY_UP;
}

// Answers false when the program is to end.
bool dispatch(const GR_EVENT &event)
{
    switch (event.type) {
    case GR_EVENT_TYPE_ERROR: onError(event.error); break;
    case GR_EVENT_TYPE_EXPOSURE: VM_redraw_from_mouse_event(); break;
    case GR_EVENT_TYPE_BUTTON_DOWN:
        MH_mouseDown(event.button.x, event.button.y);
        VM_entry();
        break;
    case GR_EVENT_TYPE_BUTTON_UP:
        MH_mouseUp(event.button.x, event.button.y);
        VM_entry();
        break;
    case GR_EVENT_TYPE_KEY_DOWN:
        do_keyDown(event.keystroke);
        VM_entry();
        break;
    case GR_EVENT_TYPE_KEY_UP:
        KB_queueKeyRelease(event.keystroke.ch, event.keystroke.modifiers);
        VM_entry();
        break;
    case GR_EVENT_TYPE_CLOSE_REQ: return false;
    case GR_EVENT_TYPE_TIMEOUT: refreshCycle(); break;
    default: break;
    }
    return true;
}

void flushDrawing()
{
    if (g_GrFlushNotified <= 0) return;
    GrFlush();
    g_GrFlushNotified = 0;
}

// The start page is loaded and drawn before the first event wait, not after a
// whole period; its values follow with the next cycle of the same refresh.
[[noreturn]] void mainLoop()
{
    if (VM_isPageRequestPending()) refreshCycle();
    for (;;) {
        GR_EVENT event;
        int64_t made = 0;
        if (!EP_takeKeptEvent(&event, &made)) {
            GrGetNextEventTimeout(&event, static_cast<GR_TIMEOUT>(VM_getRefreshPeriod()));
            made = PUMP_nowMs();
        }
        DS_exchangeWithPanel();
        if (isOperatorInput(event)) CMD_begin(made);
        bool goOn = dispatch(event);
        CMD_end();
        if (!goOn) EP_endProgram();
        // What was drawn shows before the publisher asks the target for
        // alarms; what its writes drew shows after.
        flushDrawing();
        MQP_turn();
        flushDrawing();
    }
}

} // namespace

void attachLayers()
{
    CO_attachHooks();
    Tarsel_attachHooks();
    VM_attachHooks();
    MH_attachHooks();
    OBJ_attachHooks();
    AL_attachHooks();
    EM_attachHooks();
    EP_attachHooks();
}

void resetLayers()
{
    initialised = false;
    g_si = {};
    SRVC_reset();
    MQP_reset();
    EP_reset();
    PUMP_reset();
    CMD_reset();
    EM_reset();
    GR_reset();
    AL_reset();
    FV_reset();
    TF_reset();
    AC_reset();
    MH_clearInputState();
    ResetKeyQueue();
    NAV_clearAll();
    VM_reset();
    DM_reset();
    OB_reset();
    PA_resetLoaders();
    teqReset();
    HT_reset();
    Tarsel_reset();
    SP_reset();
    ILR_reset();
    BH_reset();
    S7_reset();
    WG_reset();
    MB_reset();
    TBX_reset();
    MQD_reset();
    PPO_resetUpdate();
    CO_reset();
    RR_resetColourMemos();
    PPO_reset();
    RS_reset();
    resolveReset();
    DS_resetAll();
    PCO_reset();
    PTC_reset();
    LR_reset();
    TCR_reset();
    clearCachedBltImages();
    FO_releaseFonts();
    G_reset();
    SRVR_resetRelay();
    SRVR_resetSockets();
    SRVR_resetFiles();
    SRVR_resetAddress();
    SRVR_resetLogin();
    Tarsel_resetFiles();
    MQL_reset();
    log_reset();
    RA_releaseStore();
    MU_releaseAreas();
    Net_reset();
    SYS_resetProbe();
    SYS_resetPlatform();
    initSettings();
    HK_reset();
    GrClose();
}

void init_pterm(const char *argv0)
{
    if (initialised) return;
    initialised = true;
    attachLayers();
    tzset();
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    SYS_setAppPath(argv0);
    loadSettingsFromXmlFile();
    applyTimeoutOverride();
    log_append(0, "AppPath: %s\n", AppPath);
    VM_setMsgBoxFileName("MsgBox.teq");
    VM_loadApplicationPages();
    if (pterm.debug_level >= 2) {
        logScreenInfo();
        log_append(0, "\nLoad network settings...\n", nullptr);
    }
    Net_presetBlock(&net);
    ReadNetworkParameters(&net, net_itf);
    Net_logSettings(&net);
    log_timeInfo();
    SYS_GetFixOrderFileName();
}

void start_pterm(const char *url)
{
    if (pterm.boot_delay_sec) {
        log_append_int(0, " Sleep %d sec, zzz...\n", static_cast<long>(pterm.boot_delay_sec));
        SYS_Sleep(static_cast<int>(pterm.boot_delay_sec * 1000u));
        log_append(0, " Ready to start.\n", nullptr);
    }
    if (url && url[0]) {
        VM_requestLoadHtmlFile(url);
    } else if (!pterm.loaded) {
        promptForUrl();
        startTasks();
        return;
    } else {
        requestStartPage();
    }
    startTasks();
}

void startTasks()
{
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    startPanterm(0);
}

void startPanterm(int)
{
    VM_init();
    showLoadingMessage();
    if (!VM_isPageRequestPending()) VM_requestLoadHtmlFile("start.html");
}

void promptForUrl()
{
    if (pterm.prompt_url) saveSettingsInXmlFile();
}

void ptT_reload()
{
    loadSettingsFromXmlFile();
    VM_SetDocumentBase("");
    requestStartPage();
}

int Panterm_main(int argc, char **argv)
{
    if (argc > 2) {
        std::printf("Usage: Panterm_MW [url]\n");
        return 1;
    }
    if (argc == 2 && informed(argv[1])) return 0;
    const char *url = argc == 2 ? argv[1] : "";
    if (GrOpen() < 0) {
        std::fprintf(stderr, "Cannot open graphics\n");
        return 1;
    }
    GrGetScreenInfo(&g_si);
    g_screenWidth = g_si.cols;
    g_screenHeight = g_si.rows;
    kernel_version_str(sOSVers, sizeof sOSVers);
    read_cpuinfo();
    setBacklight("1");
    init_pterm(argv[0]);
    if (pterm.debug_level > 0) SYS_logPlatform();
    createWindow();
    if (pterm.httpd_enabled) startServerThread();
    MQP_start();
    start_pterm(url);
    mainLoop();
}
