#include "data_fixture.h"

#include <cstring>
#include <string>

#include "runtime/platform.h"
#include "view/value_sources.h"
#include "draw/graphics.h"
#include "runtime/system_probe.h"
#include "runtime/settings.h"
#include "data/process_points.h"
#include "runtime/log.h"
#include "data/persistent_containers.h"

class Containers : public DataTest {};
class ContainersBeforeInit : public TempDirTest {};

TEST_F(ContainersBeforeInit, NothingHappens)
{
    char value[256] = "keep";
    EXPECT_EQ(HT_readContainer("x", value), 0);
    EXPECT_EQ(HT_writeContainer("x", "1"), 0);
    EXPECT_EQ(CO_readValPtr("x"), nullptr);
    EXPECT_EQ(RW_getSourcePtr("MessageBoxCO", SourceType_CO), nullptr);
}

TEST_F(Containers, OrdinaryContainersSpringIntoExistence)
{
    EXPECT_EQ(CO_readValPtr("fresh"), nullptr);
    EXPECT_EQ(co("fresh"), "");
    ASSERT_NE(CO_readValPtr("fresh"), nullptr);
    EXPECT_EQ(setCo("Speed", "12"), 1);
    EXPECT_EQ(co("Speed"), "12");
    EXPECT_EQ(co("speed"), "");
    EXPECT_EQ(HT_copyContainer("copy", "missing"), 0);
    EXPECT_EQ(HT_copyContainer("copy", "Speed"), 1);
    EXPECT_EQ(co("copy"), "12");

    HT_resetContainers();
    EXPECT_EQ(CO_readValPtr("Speed"), nullptr);
}

TEST_F(Containers, CapacityFollowsTheName)
{
    std::string big(3000, 'b');
    setCo("plain", big);
    EXPECT_EQ(std::strlen(CO_readValPtr("plain")), 255u);

    setCo("@MACROActiveTrends.x", big);
    EXPECT_EQ(CO_getHtmlCacheObjPtr("@MACROActiveTrends.x")->capacity, 2049u);
    EXPECT_EQ(std::strlen(CO_readValPtr("@MACROActiveTrends.x")), 2048u);
    setCo("@MACROActiveTrends.x", big);
    EXPECT_EQ(std::strlen(CO_readValPtr("@MACROActiveTrends.x")), 2047u);
    EXPECT_EQ(co("@MACROActiveTrends.x").size(), 255u);

    setCo("@MACROActiveTrends[2]", big);
    EXPECT_EQ(CO_getHtmlCacheObjPtr("@MACROActiveTrends[2]")->capacity, 129u);
    EXPECT_EQ(std::strlen(CO_readValPtr("@MACROActiveTrends[2]")), 128u);
    setCo("@MACROActiveTrends[2]", big);
    EXPECT_EQ(std::strlen(CO_readValPtr("@MACROActiveTrends[2]")), 127u);

    EXPECT_EQ(RW_getSourceSize("plain", SourceType_CO), 256);
    EXPECT_EQ(RW_getSourceSize("@MACROALRHISONAlarmsList.1", SourceType_CO), 2048);
    setCo("slot", "ActiveTrends[1]");
    EXPECT_EQ(RW_getSourceSize("#CO_slot#", SourceType_CO), 128);
}

TEST_F(Containers, SystemNames)
{
    g_screenWidth = 800;
    EXPECT_EQ(co("PT_VERSION"), "122");
    EXPECT_EQ(co("@pt_app_version"), "1.5.12.097d");
    EXPECT_EQ(co("PT_PLATFORM"), "pt-Linux");
    EXPECT_EQ(co("COInitialised"), "0");
    EXPECT_EQ(co("PT_IpAddress"), "127.0.0.1");

    setCo("pt_screen_width", "5");
    EXPECT_EQ(co("PT_SCREEN_WIDTH"), "800");
    EXPECT_EQ(co("pt_screen_width"), "800");
    setCo("msgbox_nr", "5");
    EXPECT_EQ(co("msgbox_nr"), "5");
    EXPECT_EQ(co("MSGBOX_NR"), "0");

    setCo("PT_PollTimeSubstitute", "250");
    EXPECT_EQ(pterm.poll_time_substitute, 250);
    EXPECT_EQ(co("PT_PollTimeSubstitute"), "250");
    EXPECT_STREQ(CO_getHtmlCacheObjPtr("PT_PollTimeSubstitute")->value, "250");

    setCo("gpio7", "1");
    EXPECT_EQ(co("gpio7"), "1");
    setCo("gpio300", "1");
    EXPECT_EQ(co("gpio300"), "1");

    setCo("@full_redraw", "0");
    EXPECT_EQ(pterm.full_redraw, 0);
    setCo("PT_inactivity_to_sec", "30");
    EXPECT_EQ(co("pt_inactivity_to_sec"), "30");
    EXPECT_STREQ(CO_readValPtr("PT_inactivity_to_sec"), "30");
    EXPECT_EQ(CO_readValPtr("pt_inactivity_to_sec"), nullptr);

    setCo("PT_UpdateAfterCoWrite", "1");
    EXPECT_EQ(CO_isUpdateAfterCoWrite(), 1);
    setCo("COInitialised", "1");
    EXPECT_EQ(co("COInitialised"), "0");
}

TEST_F(Containers, CountersAndBacklight)
{
    CO_counterRefresh();
    EXPECT_EQ(co("BLINKCO"), "1");
    CO_counterRefresh();
    EXPECT_EQ(co("@BLINKCO"), "0");
    EXPECT_EQ(co("AUTOINCRCO"), "2");
    setCo("AUTOINCRCO", "41");
    CO_counterRefresh();
    EXPECT_EQ(co("autoincrco"), "42");

    pterm.inactivity_to_sec = 10;
    pterm.inactivity_pts_ms = 2000;
    setCo("PT_PollTimeSubstitute", "2000");
    CO_ResetInactivityCounter();
    EXPECT_EQ(pterm.poll_time_substitute, 0);
    EXPECT_EQ(co("PT_InactivityCounter"), "0");

    setCo("PT_Backlight", "0");
    EXPECT_EQ(co("PT_Backlight"), "0");
    CO_activeBacklight();
    EXPECT_EQ(co("@PT_Backlight"), "1");
    g_platform = "TRMA5";
    setCo("PT_Backlight", "2");
    EXPECT_EQ(co("PT_Backlight"), "1");
    setCo("PT_Backlight", "0");
    EXPECT_EQ(co("PT_Backlight"), "0");
    g_platform = "pt-Linux";
}

TEST_F(Containers, RunSlotsOutliveTheProject)
{
    setCo("_NOINITSESSCO_5", "kept");
    setCo("_NOINITSESSCO_20", "lost");
    setCo("_NOINITSESSCO_05x", "lost");
    EXPECT_EQ(CO_getHtmlCacheObjPtr("_NOINITSESSCO_5"), nullptr);
    HT_resetContainers();
    EXPECT_EQ(co("_NOINITSESSCO_5"), "kept");
    EXPECT_STREQ(CO_readValPtr("_NOINITSESSCO_5"), "kept");
    EXPECT_EQ(co("_NOINITSESSCO_20"), "");
    EXPECT_EQ(co("_NOINITSESSCO_05x"), "");
}

TEST_F(Containers, InitialisationPageOnlyStoresOrdinaryValues)
{
    CO_setITQloading(1);
    setCo("PT_Backlight", "0");
    setCo("plain", "v");
    setCo("PT_PERCO_3", "p");
    setCo("_NOINITSESSCO_1", "s");
    setCo("PT_PollTimeSubstitute", "100");
    setCo("PT_UpdateAfterPpoWrite", "1");
    CO_setITQloading(0);
    EXPECT_EQ(co("PT_Backlight"), "1");
    EXPECT_EQ(co("plain"), "v");
    EXPECT_EQ(CO_getHtmlCacheObjPtr("PT_PERCO_3"), nullptr);
    EXPECT_EQ(co("_NOINITSESSCO_1"), "");
    EXPECT_EQ(pterm.poll_time_substitute, 0);
    EXPECT_EQ(CO_isUpdateAfterPpoWrite(), 1);
    EXPECT_EQ(PCO_isModified(), 0);
}

TEST_F(Containers, PersistentSetIsMarkedOnlyByChanges)
{
    setCo("PT_PERCO_0", "de");
    EXPECT_EQ(PCO_isModified(), 1);
    PCO_entry();
    EXPECT_EQ(PCO_isModified(), 0);
    setCo("PT_PERCO_0", "de");
    EXPECT_EQ(PCO_isModified(), 0);
    setCo("PT_PERCO_0", "d");
    EXPECT_EQ(PCO_isModified(), 1);
    PCO_entry();
    setCo("other", "x");
    HT_copyContainer("PT_PERCO_1", "other");
    EXPECT_EQ(PCO_isModified(), 1);
}

TEST_F(Containers, MessageBoxCollectsErrors)
{
    pterm.debug_level = 0;
    err_append(0, "first\n", nullptr);
    EXPECT_STREQ(CO_readValPtr("MessageBoxCO"), "first\n");
    EXPECT_EQ(getNumberOfMessagePending(), 1);
    EXPECT_EQ(co("MSGBOX_NR"), "1");
    EXPECT_EQ(co("MessageBoxCO"), "");

    setCo("@MSGBOX_EVENT", "close");
    EXPECT_EQ(getNumberOfMessagePending(), 1);
    setCo("@MSGBOX_EVENT", "CLOSE");
    EXPECT_EQ(getNumberOfMessagePending(), 0);

    setCo("MessageBoxCO", "");
    std::string message(1000, 'm');
    err_append(0, message.c_str(), nullptr);
    EXPECT_EQ(std::string(CO_readValPtr("MessageBoxCO")), std::string(796, 'm') + "...");
    EXPECT_EQ(getNumberOfMessagePending(), 1);
    err_append(0, "more\n", nullptr);
    EXPECT_EQ(std::strlen(CO_readValPtr("MessageBoxCO")), 799u);
    EXPECT_EQ(getNumberOfMessagePending(), 1);

    HT_resetContainers();
    EXPECT_STREQ(CO_readValPtr("MessageBoxCO"), "");
    EXPECT_EQ(getNumberOfMessagePending(), 0);
}
