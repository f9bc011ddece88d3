// Rendering TEQ pictures for the tool.
#include "teq_render.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "runtime/settings.h"
#include "comm/target_link.h"
#include "data/containers.h"
#include "data/process_points.h"
#include "draw/fonts.h"
#include "draw/graphics.h"
#include "draw/images.h"
#include "runtime/heap.h"
#include "teq_runtime.h"
#include "view/object_table.h"

namespace teqc {

HeadlessDisplay::HeadlessDisplay(int width, int height, const std::string &snapshot)
{
    setenv("PANTERM_DISPLAY", "headless", 1);
    setenv("PANTERM_SCREEN", (std::to_string(width) + "x" + std::to_string(height)).c_str(), 1);
    if (snapshot.empty()) unsetenv("PANTERM_SNAPSHOT");
    else setenv("PANTERM_SNAPSHOT", snapshot.c_str(), 1);
    unsetenv("PANTERM_EVENTS");
    if (GrOpen() < 0) return;
    g_screenWidth = width;
    g_screenHeight = height;
    teqWidth = 320;
    teqHeight = 240;
    g_screen = GrNewWindowEx(GR_WM_PROPS_NODECORATE, "Panterm", GR_ROOT_WINDOW_ID, 0, 0, width, height, WHITE);
    g_main = g_screen;
    GrMapWindow(g_screen);
    g_gc = GrNewGC();
    GrSetGCForeground(g_gc, BLACK);
    GrSetGCBackground(g_gc, WHITE);
    GrSetGCUseBackground(g_gc, GR_FALSE);
    g_color = BLACK;
    g_BackgroundColor = WHITE;
    ok_ = true;
}

HeadlessDisplay::~HeadlessDisplay()
{
    OB_DeleteAllObjetcs();
    clearCachedBltImages();
    FO_releaseFonts();
    if (ok_) GrClose();
    g_offscreen = 0;
    g_screen = 0;
    g_main = 0;
}

namespace {

void presetContainers(const std::vector<NamedValue> &containers)
{
    MU_init2();
    HT_resetContainers();
    for (const NamedValue &c : containers) HT_writeContainer(c.name.c_str(), c.value.c_str());
}

int savedRemoteMode;

// Puts the points on the read list with their values and switches the target
// link to the cache (files stay local); answers whether it did.
bool presetPoints(const std::vector<NamedValue> &points)
{
    if (points.empty()) return false;
    savedRemoteMode = pterm.remote_mode;
    for (const NamedValue &p : points) {
        PPO_addToList(p.name.c_str(), nullptr);
        if (PpoRecord *record = PPO_lookup(p.name.c_str())) PPO_updateValue(record, p.value.c_str());
    }
    pterm.remote_mode = 1;
    SetRemoteStatus(1);
    return true;
}

void endPresetPoints()
{
    SetRemoteStatus(0);
    pterm.remote_mode = savedRemoteMode;
}

} // namespace

void drawAllObjects()
{
    G_DrawViewBegin();
    G_ClearScreen();
    int modal = OB_getActualModal();
    for (int id = 0; id < OB_HowManyObjetcs(); id++) {
        if (id == modal) continue;
        if (OB_IsDrawable(id)) OB_SendMessage(id, OB_MSG_DRAW, 0, nullptr);
        else OB_NotDrawable(id);
    }
    if (OB_IsDrawable(modal)) OB_SendMessage(modal, OB_MSG_DRAW, 0, nullptr);
    G_DrawViewEnd();
}

bool renderPicture(const std::string &bytes, const std::string &png, int width, int height, const PresetValues &values,
                   std::string &messages)
{
    if (width <= 0 || height <= 0) {
        HeadlessDisplay probe(320, 240);
        ReaderResult first = runReader(bytes);
        if (!first.accepted) {
            messages = first.messages;
            return false;
        }
        G_GetSize(&width, &height);
    }
    std::remove(png.c_str());
    HeadlessDisplay display(width, height, png);
    if (!display.ok()) {
        messages = "teqc: the headless display does not open\n";
        return false;
    }
    ReaderResult result = runReader(bytes);
    messages = result.messages;
    if (!result.accepted) return false;
    presetContainers(values.containers);
    bool fromCache = presetPoints(values.points);
    drawAllObjects();
    GrFlush();
    if (fromCache) endPresetPoints();
    return static_cast<bool>(std::ifstream(png));
}

} // namespace teqc
