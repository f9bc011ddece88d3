#include "teq_fixture.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "transport/http_client.h"
#include "data/containers.h"
#include "teq_sample.h"
#include "view/page_params.h"
#include "view/view_manager.h"

namespace {

std::string applet(const std::string &params)
{
    return "<html><applet code=\"IViewer.class\" width=\"320\" height=\"240\">\n" + params + "</applet></html>\n";
}

std::string param(const std::string &name, const std::string &value)
{
    return "<param name=\"" + name + "\" value=\"" + value + "\">\n";
}

// A picture whose one rectangle is named by its fill colour, so a test can
// tell which picture was loaded.
std::string picture(int red)
{
    return "teq f\npage-size 320,240\nbackground 255,255,255\nfill on\nfill-colour " + std::to_string(red) +
           ",0,0\npainter \"XRectangleP\" at 0,0 size 10,10 plc 0 {\n  block \"XRectangleP\" id 1\n}\n";
}

} // namespace

class ViewManager : public TeqTest {
protected:
    void SetUp() override
    {
        TeqTest::SetUp();
        VM_init();
        HT_resetContainers();
    }
    void writePicture(const std::string &name, int red) { writeFile(path(name), teqc::buildTeq(picture(red))); }
    // Requests a page and runs refresh cycles until nothing is pending.
    void open(const std::string &address)
    {
        VM_requestLoadHtmlFile(address.c_str());
        VM_entry();
    }
    int loadedRed()
    {
        OB_Object *o = OB_Get_Pointer(0);
        return o ? static_cast<int>(o->fillColor & 0xFF) : -1;
    }
    void writeIn(const std::string &name, const std::string &content)
    {
        std::filesystem::create_directories(std::filesystem::path(path(name)).parent_path());
        writeFile(path(name), content);
    }
    std::string base() const { return VM_GetDocumentBase(); }
    std::string file() const { return VM_getHtmlFileName(); }
    size_t count(const std::string &text)
    {
        std::string all = log();
        size_t n = 0;
        for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) n++;
        return n;
    }
};

TEST_F(ViewManager, MainAndFileIndexesPickThePicture)
{
    for (int n : {0, 2, 7}) writePicture("Plant" + std::to_string(n) + ".teq", 10 + n);
    writePicture("Plant.teq", 99);
    writePicture("07.teq", 77);
    writePicture("other.teq", 55);

    writeFile(path("same.html"), applet(param("ProjectName", "Plant") + param("FirstFileIndex", "3") +
                                        param("LastFileIndex", "3") + param("Main", "2")));
    open("same.html");
    EXPECT_EQ(loadedRed(), 99) << "equal indexes: the project name without a number";

    writeFile(path("main.html"), applet(param("ProjectName", "Plant") + param("FirstFileIndex", "1") +
                                        param("LastFileIndex", "5") + param("Main", "2") + param("Period", "abc")));
    open("main.html");
    EXPECT_EQ(loadedRed(), 12);
    EXPECT_EQ(VM_RefreshPeriod, 1000) << "an unparsable Period gives 1000";

    VM_requestPicture("7");
    VM_entry();
    EXPECT_EQ(loadedRed(), 17) << "a number names a picture of the project";
    VM_requestPicture("07");
    VM_entry();
    EXPECT_EQ(loadedRed(), 77) << "07 does not print back as a number: it is a file name";
    EXPECT_STREQ(CO_readValPtr("@CURRENT_PAGE"), "07.teq");
    EXPECT_STREQ(CO_readValPtr("@LAST_PAGE"), "Plant7.teq");

    writeFile(path("named.html"),
              applet(param("ProjectName", "Plant") + param("MainTEQName", "other") + param("Period", "250")));
    open("named.html");
    EXPECT_EQ(loadedRed(), 55);
    EXPECT_EQ(VM_RefreshPeriod, 250);
}

TEST_F(ViewManager, AddressesSetTheDocumentBaseAndTheFileName)
{
    mkdir(path("dir").c_str(), 0755);
    mkdir(path("dir/sub").c_str(), 0755);
    writePicture("dir/sub/Plant.teq", 1);
    writePicture("dir/Plant.teq", 2);
    std::string page = applet(param("ProjectName", "Plant"));
    writeFile(path("dir/sub/page.html"), page);
    writeFile(path("dir/x.html"), page);

    open("dir\\sub/page.html#top?x=1");
    EXPECT_STREQ(VM_GetDocumentBase(), "dir/sub/");
    EXPECT_STREQ(VM_getHtmlFileName(), "page.html");
    EXPECT_EQ(loadedRed(), 1);

    open("../x.html");
    EXPECT_STREQ(VM_GetDocumentBase(), "dir/");
    EXPECT_STREQ(VM_getHtmlFileName(), "x.html");
    EXPECT_EQ(loadedRed(), 2);
}

TEST_F(ViewManager, PageThatAsksForARefreshAtEveryDrawingDoesNotHoldTheLoop)
{
    std::string text = picture(5) +
                       "painter \"EventP\" at 0,0 size 1,1 plc 0 {\n  block \"EventP\" id 2 {\n"
                       "    action 4 2 {\n      dest CO \"PT_UpdateAfterCoWrite\"\n      source STRING \"1\"\n    }\n"
                       "    action 2 2 {\n      dest CO \"counter\"\n      source STRING \"x\"\n    }\n  }\n}\n";
    writeFile(path("Loop.teq"), teqc::buildTeq(text));
    writeFile(path("loop.html"), applet(param("ProjectName", "Loop")));
    open("loop.html");
    EXPECT_STREQ(CO_readValPtr("counter"), "x");
    EXPECT_EQ(loadedRed(), 5);
    for (int i = 0; i < 3; i++) VM_entry();
}

TEST_F(ViewManager, PollTimeSubstitute)
{
    VM_RefreshPeriod = 700;
    EXPECT_EQ(VM_getRefreshPeriod(), 700);
    HT_writeContainer("PT_PollTimeSubstitute", "0");
    EXPECT_EQ(VM_getRefreshPeriod(), 700);
    HT_writeContainer("PT_PollTimeSubstitute", "120");
    EXPECT_EQ(VM_getRefreshPeriod(), 120);
    EXPECT_TRUE(VM_isRefreshRequired()) << "a changed substitute schedules a refresh";
}

TEST_F(ViewManager, RemoteServerSwitchesTheTargetLinkToRemoteFilesAndValues)
{
    VM_SetRemoteUrl("127.0.0.1:8080", "");
    EXPECT_EQ(GetRemoteStatus(), 1);
    EXPECT_EQ(SRVR_isRemoteFileServer(), 1);
    EXPECT_STREQ(CO_readValPtr("IsWebBrowser"), "1");
    VM_SetRemoteUrl("", "");
    EXPECT_EQ(GetRemoteStatus(), 0);
    EXPECT_EQ(SRVR_isRemoteFileServer(), 0);
    EXPECT_STREQ(CO_readValPtr("IsWebBrowser"), "0");
}

TEST_F(ViewManager, QueriesAndLocalPathsFromTheRoot)
{
    for (const char *name : {"dir/sub/page.html", "dir/x.html", "x.html"}) writeIn(name, "<html>no applet</html>");
    open("dir/sub/page.html");
    open("page.html?back=a/b#c/d");
    EXPECT_EQ(base(), "dir/sub/") << "a slash in the query names no directory";
    EXPECT_EQ(file(), "page.html");
    open("../../../../x.html");
    EXPECT_EQ(base(), "") << "steps above the top are dropped";
    EXPECT_EQ(file(), "x.html");

    open(dir_ + "/dir/../dir/sub/page.html");
    EXPECT_EQ(base(), dir_ + "/dir/sub/") << "a local path from the root keeps its root";
    open("/../../" + dir_.substr(1) + "/x.html");
    EXPECT_EQ(base(), dir_ + "/");
    EXPECT_EQ(count("File not found"), 0u) << log();
}

TEST_F(ViewManager, AddressesThatDoNotFitAreRefused)
{
    writeFile(path("x.html"), "<html>no applet</html>");
    open("x.html");
    std::string tooLong = std::string(2000, 'a') + ".html";
    EXPECT_EQ(VM_requestLoadHtmlFile(tooLong.c_str()), 0);
    EXPECT_EQ(count("Page address too long:"), 1u);

    VM_SetRemoteUrl("127.0.0.1:8080", "");
    VM_SetDocumentBase("plant/");
    ASSERT_EQ(VM_requestLoadHtmlFile("pump.html"), 1);
    EXPECT_EQ(count("http://127.0.0.1:8080/plant/pump.html"), 1u) << "relative to the page's server";
    std::string nearlyFull = std::string(1000, 'b') + ".html";
    EXPECT_EQ(VM_requestLoadHtmlFile(nearlyFull.c_str()), 0) << "too long once the server is put in front";
    EXPECT_EQ(count("Page address too long:"), 2u);
    EXPECT_TRUE(VM_isPageRequestPending()) << "the earlier request stays";
}

TEST_F(ViewManager, MissingProjectOrMain)
{
    writeFile(path("nomain.html"),
              applet(param("ProjectName", "Plant") + param("FirstFileIndex", "1") + param("LastFileIndex", "5")));
    writeFile(path("noproject.html"), applet(param("Main", "1")));
    open("nomain.html");
    EXPECT_EQ(count("Open Teq File: Plant0.teq\n"), 1u) << "Main counts 0 when missing";
    open("noproject.html");
    EXPECT_EQ(count("Undefined param=\"ProjectName\" in html file\n noproject.html\n"), 1u);
    EXPECT_EQ(count("Open Teq File:"), 1u);
}

TEST_F(ViewManager, PagesThatFailKeepOrClearThePicture)
{
    std::string bytes = teqc::buildTeq(picture(30) + "painter \"XOvalP\" at 70,10 size 50,50 plc 0 {\n"
                                                     "  block \"XOvalP\" id 2\n}\n");
    writeFile(path("Plant.teq"), bytes);
    writeFile(path("Broken.teq"), bytes.substr(0, bytes.size() - 12));
    writeFile(path("start.html"), applet(param("ProjectName", "Plant")));
    writeFile(path("noapplet.html"), "<html><applet code=\"Other.class\" width=\"1\" height=\"1\">" +
                                         param("ProjectName", "X") + "</applet></html>");
    writeFile(path("noparams.html"), applet(""));
    writeFile(path("broken.html"), applet(param("ProjectName", "Plant") + param("MainTEQName", "Broken.teq")));

    open("start.html");
    ASSERT_EQ(OB_HowManyObjetcs(), 3) << "two painters and the warning button";
    open("noapplet.html");
    open("noparams.html");
    EXPECT_EQ(OB_HowManyObjetcs(), 3) << "a page without the panel's applet or parameters keeps the picture";
    EXPECT_EQ(loadedRed(), 30);
    EXPECT_EQ(count("Error"), 0u) << log();

    open("broken.html");
    EXPECT_EQ(OB_HowManyObjetcs(), 0) << "a picture that fails halfway clears the view";
    EXPECT_EQ(count("failed to load painter(s) from\n \"Broken.teq\"\n"), 1u) << log();
    EXPECT_EQ(count(" \"Broken.teq\"\n"), 2u) << "the reader's message and the load's";
    EXPECT_EQ(VM_failed, 0) << "without a configuration page the panel does not reload";
}

TEST_F(ViewManager, InitialContainerPageLeavesTheReadListWhole)
{
    const std::string pointRectangle =
        "painter \"XRectangleP\" at 0,0 size 5,5 plc 0 {\n  block \"XRectangleP\" id 1 {\n"
        "    repaint 41 STRING \"\" {\n      when compare eq PPO \"%s\" STRING \"1\"\n"
        "    }\n  }\n}\n";
    auto withPoint = [&](const std::string &point) {
        std::string text = pointRectangle;
        return "teq f\n" + text.replace(text.find("%s"), 2, point);
    };
    writeFile(path("Plant.teq"), teqc::buildTeq(withPoint("Old")));
    writeFile(path("Init.teq"), teqc::buildTeq(withPoint("InitPoint")));
    writeFile(path("start.html"), applet(param("ProjectName", "Plant")));
    writeFile(path("next.html"), applet(param("ProjectName", "Plant") + param("InitCoTEQName", "Init.teq") +
                                        param("MainTEQName", "Missing.teq")));
    open("start.html");
    ASSERT_NE(PPO_lookup("Old"), nullptr);
    int count = PPO_getList()->count;
    open("next.html");
    EXPECT_EQ(PPO_getList()->count, count) << "the initial page's points went with its objects";
    EXPECT_EQ(PPO_lookup("InitPoint"), nullptr);
    std::memset(MU_alloc(4096), 'x', 4096);
    ASSERT_NE(PPO_lookup("Old"), nullptr) << "the picture that stays keeps its points";
    EXPECT_EQ(PPO_getList()->last->next, nullptr);
}

namespace {

std::string pictureWithLayer(int red, const std::string &layer)
{
    return "teq f\npage-size 320,240\nbackground 255,255,255\nlayer background \"" + layer +
           "\"\nfill on\nfill-colour " + std::to_string(red) +
           ",0,0\npainter \"XRectangleP\" at 0,0 size 10,10 plc 0 {\n  block \"XRectangleP\" id 1\n}\n";
}

} // namespace

TEST_F(ViewManager, APictureThatFailedIsAskedForAgainOncePerPeriod)
{
    writeFile(path("start.html"), applet(param("ProjectName", "Plant") + param("Period", "100")));
    open("start.html");
    EXPECT_EQ(OB_HowManyObjetcs(), 0) << "the not-found screen instead of a picture";
    EXPECT_EQ(count("Open Teq File: Plant.teq\n"), 1u);
    for (int i = 0; i < 5; i++) VM_entry();
    EXPECT_EQ(count("Open Teq File: Plant.teq\n"), 1u) << "not before a period has passed";

    writeFile(path("Plant.teq"), teqc::buildTeq(pictureWithLayer(40, "frame.teq")));
    usleep(100 * 1000);
    VM_refresh();
    VM_entry();
    EXPECT_EQ(count("Open Teq File: Plant.teq\n"), 2u);
    EXPECT_EQ(count("Open Teq File: frame.teq\n"), 1u);
    EXPECT_EQ(OB_HowManyObjetcs(), 1) << "the picture without its layer";
    EXPECT_EQ(VM_failed, 0) << "the page itself stays";
    usleep(100 * 1000);
    VM_refresh();
    VM_entry();
    EXPECT_EQ(count("Open Teq File: frame.teq\n"), 2u) << "without its layer the picture counts as failed";

    writeFile(path("frame.teq"), teqc::buildTeq(picture(60)));
    usleep(100 * 1000);
    VM_refresh();
    VM_entry();
    ASSERT_GE(OB_HowManyObjetcs(), 2) << "the picture and its layer";
    EXPECT_EQ(loadedRed(), 60) << "the layer lies behind the picture";
    EXPECT_EQ(OB_Get_Pointer(1)->fillColor & 0xFF, 40u);
    usleep(100 * 1000);
    VM_refresh();
    EXPECT_EQ(count("Open Teq File: Plant.teq\n"), 4u) << "no more retries once loaded";
    EXPECT_STREQ(CO_readValPtr("@CURRENT_PAGE"), "Plant.teq");
}

TEST_F(ViewManager, APageWhoseFormatFileIsMissingFailsAsAMissingPageDoes)
{
    writePicture("Plant.teq", 20);
    writeFile(path("start.html"), applet(param("ProjectName", "Plant") + param("InitPPOASCIIName", "plant.tcr")));
    open("start.html");
    EXPECT_EQ(VM_failed, 1) << "the event loop reloads the start page at the next time-out";
    EXPECT_EQ(count("Open Teq File:"), 0u);
    EXPECT_GE(count("File not found !\n plant.tcr\n"), 2u) << "the reader's report and the page's\n" << log();
}

// Painters beyond the object table are dropped with one log line per picture
// that counts them; a picture that fits logs nothing of the kind.
TEST_F(ViewManager, DroppedObjectsAreLoggedOncePerPictureWithTheirCount)
{
    writeFile(path("Plant.teq"), teqc::buildTeq(teqc::samplePicture(OB_MAX_OBJECTS + 7)));
    writeFile(path("Small.teq"), teqc::buildTeq(teqc::samplePicture(10)));
    writeFile(path("start.html"), applet(param("ProjectName", "Plant")));
    writeFile(path("small.html"), applet(param("ProjectName", "Small")));
    open("start.html");
    EXPECT_EQ(OB_HowManyObjetcs(), OB_MAX_OBJECTS);
    EXPECT_EQ(count("7 objects of \"Plant.teq\" dropped: the object table holds 1000\n"), 1u);
    open("start.html");
    EXPECT_EQ(count("7 objects of \"Plant.teq\" dropped"), 2u) << "once more for the page loaded again";
    open("small.html");
    EXPECT_EQ(count("dropped: the object table holds"), 2u);
}
