// Resetting every layer: what one start-up and a page leave behind in the
// modules is gone after resetLayers, and a second start-up in the same process
// behaves like the first.
#include "test_support.h"

#include <cstdlib>
#include <string>

#include "app/startup.h"
#include "data/containers.h"
#include "data/value_store.h"
#include "draw/graphics.h"
#include "input/key_queue.h"
#include "runtime/heap.h"
#include "runtime/log.h"
#include "runtime/platform.h"
#include "runtime/ramdisk.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "teq_text.h"
#include "view/object_table.h"
#include "view/painter_loader.h"
#include "view/view_manager.h"

namespace {

class ResetLayers : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        useHeadlessScreen("320x240");
        writeFile(
            path("Plant.teq"),
            teqc::buildTeq("teq f\npage-size 320,240\nfill on\nfill-colour 9,0,0\n"
                           "painter \"XRectangleP\" at 0,0 size 10,10 plc 0 {\n  block \"XRectangleP\" id 1\n}\n"));
        writeFile(path("page.html"), "<applet code=\"IViewer.class\" width=\"320\" height=\"240\">\n"
                                     "<param name=\"ProjectName\" value=\"Plant\">\n"
                                     "<param name=\"Period\" value=\"250\">\n</applet>\n");
    }
    // Display, window, view manager and the first page, as the program starts.
    GR_WINDOW_ID startUp()
    {
        EXPECT_GE(GrOpen(), 0);
        g_screenWidth = 320;
        g_screenHeight = 240;
        g_screen = g_main = GrNewWindowEx(GR_WM_PROPS_NODECORATE, "Panterm", GR_ROOT_WINDOW_ID, 0, 0, 320, 240, WHITE);
        GrSelectEvents(g_screen, GR_EVENT_MASK_EXPOSURE);
        GrMapWindow(g_screen);
        g_gc = GrNewGC();
        VM_init();
        VM_requestLoadHtmlFile("page.html");
        VM_entry();
        return g_screen;
    }
    // Takes every queued event; answers whether one was an exposure.
    static bool exposed()
    {
        bool any = false;
        for (GR_EVENT e{}; e.type != GR_EVENT_TYPE_TIMEOUT;) {
            GrGetNextEventTimeout(&e, GR_TIMEOUT_POLL);
            any = any || e.type == GR_EVENT_TYPE_EXPOSURE;
        }
        return any;
    }
};

} // namespace

TEST_F(ResetLayers, EveryLayerIsBackAtItsStartAndStartsAgainAlike)
{
    GR_WINDOW_ID firstWindow = startUp();
    ASSERT_EQ(OB_HowManyObjetcs(), 2) << "the rectangle and the warning button";
    EXPECT_EQ(VM_RefreshPeriod, 250);
    char value[256];
    ASSERT_EQ(HT_writeContainer("Level", "7"), 1);
    ASSERT_EQ(DS_readVal("Tank", value, nullptr), 1);
    KB_queueKeyPress('a', 0);
    enableMsgBox(1);
    err_append(0, "Something failed\n", nullptr);
    ASSERT_EQ(getNumberOfMessagePending(), 1);
    int ram = RA_fileOpen("temp.txt", "w");
    RA_filePutString("x", ram);
    RA_fileClose(ram);

    resetLayers();
    EXPECT_EQ(OB_HowManyObjetcs(), 0);
    EXPECT_EQ(OB_getActualFocus(), -1);
    EXPECT_FALSE(VM_isPageRequestPending());
    EXPECT_STREQ(VM_getHtmlFileName(), "");
    EXPECT_EQ(VM_RefreshPeriod, 1000);
    EXPECT_EQ(HT_readContainer("Level", value), 0) << "no container store before start-up";
    EXPECT_EQ(DS_PPO_CACHE_readVal("Tank", value), 0) << "the value store is not initialised";
    EXPECT_TRUE(IsKeyQueueEmpty());
    EXPECT_EQ(getNumberOfMessagePending(), 0);
    EXPECT_EQ(isMsgBoxEnable(), 1);
    EXPECT_EQ(RA_SizeMax, 0u);
    EXPECT_EQ(MU_heapMaxBytes(1), 0u);
    EXPECT_EQ(MU_TopHeap1, 0u);
    EXPECT_EQ(PA_findLoader("XRectangleP"), nullptr);
    EXPECT_STREQ(pterm.log_file, "");
    EXPECT_EQ(g_screen, 0u);

    attachLayers();
    safe_strncpy(pterm.log_file, "pterm.log", sizeof pterm.log_file);
    EXPECT_EQ(startUp(), firstWindow) << "the display starts afresh";
    exposed();
    SYS_InvalidateView();
    EXPECT_TRUE(exposed()) << "the view manager attaches the graphics layer again";
    EXPECT_EQ(OB_HowManyObjetcs(), 2);
    EXPECT_EQ(VM_RefreshPeriod, 250);
    EXPECT_EQ(HT_readContainer("Level", value), 1);
    EXPECT_STREQ(value, "");
}
