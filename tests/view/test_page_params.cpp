#include "test_support.h"

#include <string>

#include "data/value_store.h"
#include "runtime/heap.h"
#include "runtime/settings.h"
#include "view/page_params.h"

class PageParams : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        MU_init2();
    }
    int load(const std::string &html)
    {
        writeFile(path("page.html"), html);
        return HT_loadHtmlParameters("page.html");
    }
    std::string param(const char *name)
    {
        char out[HT_VALUE_SIZE] = "<untouched>";
        int found = HT_readParamName(name, out);
        return (found ? "1:" : "0:") + std::string(out);
    }
};

TEST_F(PageParams, AppletTagAndParametersAreCached)
{
    int r = load("<html><body><APPLET CODE=\"IViewerWago.class\" archive=\"x.jar\" WIDTH=\"640\" height=\"480\">\n"
                 "<param name=\"ProjectName\" value=\"Plant\">\n"
                 "<PARAM NAME=\"Period\" VALUE=\"500\">\n"
                 "<param name=\"TEQ3NAME\" value=\"skipped\">\n"
                 "<param name=\"Empty\" value=\"\">\n"
                 "<param name=\"Eq\" value=\"a=b\">\n"
                 "<param name=\"SOAPIF\" value=\"ILR=1, V.1.0\">\n"
                 "<param name=\"Period\" value=\"900\">\n"
                 "<param name=\"Title\" value=\"Tank  farm \">\n"
                 "</applet></body></html>");
    EXPECT_EQ(r, 1);
    EXPECT_STREQ(appletName, "IViewerWago");
    EXPECT_EQ(applet_width, 640);
    EXPECT_EQ(applet_height, 480);
    EXPECT_EQ(param("ProjectName"), "1:Plant");
    EXPECT_EQ(param("Period"), "1:500") << "the first of two equal names wins";
    EXPECT_EQ(param("TEQ3NAME"), "0:TEQ3NAME");
    EXPECT_EQ(param("Empty"), "0:Empty");
    EXPECT_EQ(param("Eq"), "1:a");
    EXPECT_EQ(param("SOAPIF"), "1:ILR") << "no page asks for ILR: the target's server information does";
    EXPECT_EQ(param("Title"), "1:Tank  farm ");
    EXPECT_EQ(param("projectname"), "0:projectname");
    EXPECT_STREQ(HT_readValPtr("Missing"), "Missing");
    EXPECT_STREQ(HT_readValPtr("ProjectName"), "Plant");
}

// A new page's applet tag starts the panel's value store afresh: no values of
// the old page, and the data server's refresh counter at 0.
TEST_F(PageParams, NewAppletTagResetsTheDataServer)
{
    DS_Initialize();
    char value[DS_VALUE_SIZE] = "7";
    ASSERT_EQ(DS_writeVal("PDP,,MW10,d", value, nullptr), 1);
    char old[DS_VALUE_SIZE] = "old";
    ASSERT_EQ(DS_readVal("Mirror.Level", value, nullptr), 1);
    ASSERT_EQ(DS_writeVal("Mirror.Level", old, nullptr), 1);
    ASSERT_EQ(load("<applet code=\"IViewer.class\" width=\"1\" height=\"1\"><param name=\"a\" value=\"b\">"), 1);
    ASSERT_EQ(DS_readVal("PDP,,MW10,d", value, nullptr), 1);
    EXPECT_STREQ(value, "0");
    ASSERT_EQ(DS_readVal("Mirror.Level", value, nullptr), 1);
    EXPECT_STREQ(value, "0") << "created anew";
}

TEST_F(PageParams, PagesWithoutUsableAppletTags)
{
    EXPECT_EQ(load("<html>no applet</html>"), 0);
    EXPECT_EQ(load("<applet code=\"OtherViewer.class\" width=\"1\" height=\"1\"><param name=\"a\" value=\"b\">"), 0);
    EXPECT_EQ(load("<applet code=\"IViewer.class\" height=\"1\"><param name=\"a\" value=\"b\">"), 0)
        << "without width the rest of the file is consumed";
    EXPECT_EQ(param("a"), "0:a");
    EXPECT_EQ(load("<applet code=\"IViewer.class\" width=\"1\" height=\"1\"></applet>"), 0);
    EXPECT_EQ(HT_loadHtmlParameters("missing.html"), -1);

    std::string many = "<applet code=\"IViewer\" width=\"1\" height=\"2\">";
    for (int i = 0; i < 10000; i++)
        many += "<param name=\"p" + std::to_string(i) + "\" value=\"" + std::string(1000, 'v') + "\">";
    EXPECT_EQ(load(many), 1) << "a full heap ends the scan, keeping what was stored";
    EXPECT_EQ(param("p0"), "1:" + std::string(255, 'v')) << "values are cut to 255 characters";
    EXPECT_EQ(param("p9999"), "0:p9999");
    EXPECT_NE(readFile(path("pterm.log")).find("Out of memory of heap 2"), std::string::npos);
    EXPECT_EQ(load("<applet code=\"IViewer\" width=\"1\" height=\"2\"><param name=\"open\" value=\"never closed"), 1);
    EXPECT_EQ(param("open"), "1:never closed");
}

TEST_F(PageParams, LookupsBeforeAnyScanLeaveTheOutputAlone)
{
    char out[HT_VALUE_SIZE] = "kept";
    EXPECT_EQ(HT_readParamName("x", out), 0);
    EXPECT_STREQ(out, "kept");
    EXPECT_EQ(HT_readHtmlParameter("x", out), 0);
    EXPECT_STREQ(out, "kept");
}

TEST_F(PageParams, StaticTagFileAndTwelveHourClock)
{
    load("<applet code=\"IViewer\" width=\"1\" height=\"2\"><param name=\"A\" value=\"1\">");
    EXPECT_EQ(pterm.pm_tm, 0);
    writeFile(path("tags.csv"), "Speed;12;x\r\nTab\tvalue\nComma,v,w\nSpeed 12\n;noname\nPM_AM;1\n");
    EXPECT_EQ(HT_loadCsvFile("tags.csv"), 0);
    EXPECT_EQ(param("Speed"), "1:12;x");
    EXPECT_EQ(param("Tab"), "1:value");
    EXPECT_EQ(param("Comma"), "1:v,w");
    EXPECT_EQ(param("Speed 12"), "0:Speed 12");
    EXPECT_EQ(pterm.pm_tm, 1);
    EXPECT_EQ(HT_loadCsvFile("none.csv"), -1);
}

TEST(PageAddress, HtmlFileTestAndProcessPointNames)
{
    EXPECT_EQ(HT_isHtmlFile("http://10.0.0.1"), 1);
    EXPECT_EQ(HT_isHtmlFile("HTTP://host/x.teq"), 1);
    EXPECT_EQ(HT_isHtmlFile("dir/Page.HTM#top?x=1"), 1);
    EXPECT_EQ(HT_isHtmlFile("page.html.bak"), 0);
    EXPECT_EQ(HT_isHtmlFile("dir.v2/page"), 0);
    EXPECT_EQ(HT_isHtmlFile("start"), 0);

    EXPECT_EQ(HT_isHtmlTagPpoName("Label@PPO_Temp@"), 1);
    EXPECT_EQ(HT_isHtmlTagPpoName("Label#CO_x#"), 0);
    EXPECT_STREQ(HT_getPpoName("Text_@PPO_Tank.Level@_end"), "Tank.Level");
    EXPECT_STREQ(HT_getPpoName("#PPO_Open"), "Open");
    EXPECT_STREQ(HT_getPpoName("plain"), "");
}
