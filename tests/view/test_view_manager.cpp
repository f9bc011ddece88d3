// The view manager's address handling and page loads on local files: document
// base and file name, "../", "#" and "?" parts, absolute paths, the remote
// server, the pictures a page names, and pages that fail.
#include "test_support.h"

#include <filesystem>
#include <memory>
#include <string>

#include "app/settings.h"
#include "comm/target_link.h"
#include "runtime/heap.h"
#include "teq_render.h"
#include "teq_text.h"
#include "view/object_table.h"
#include "view/view_manager.h"

using std::string;

namespace {

string page(const string &params)
{
    return "<html><applet code=\"IViewer.class\" width=\"320\" height=\"240\">\n" + params + "</applet></html>\n";
}

string param(const string &name, const string &value)
{
    return "<param name=\"" + name + "\" value=\"" + value + "\">\n";
}

const char *const kPicture = "teq g\n"
                             "page-size 320,240\n"
                             "fill on\n"
                             "painter \"XRectangleP\" at 10,10 size 50,50 plc 0 {\n"
                             "  block \"XRectangleP\" id 1\n"
                             "}\n"
                             "painter \"XOvalP\" at 70,10 size 50,50 plc 0 {\n"
                             "  block \"XOvalP\" id 2\n"
                             "}\n";

class ViewManager : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        display_ = std::make_unique<teqc::HeadlessDisplay>(320, 240);
        VM_init();
        // A fresh start also when the cases run in one process: heaps, project, view, address.
        MU_init();
        MU_init2();
        VM_ClearAll();
        VM_ClearView();
        VM_SetRemoteUrl("", "");
        VM_SetDocumentBase("");
    }
    void TearDown() override
    {
        display_.reset();
        TempDirTest::TearDown();
    }
    void write(const string &name, const string &content)
    {
        std::filesystem::create_directories(std::filesystem::path(path(name)).parent_path());
        writeFile(path(name), content);
    }
    void load(const string &address)
    {
        ASSERT_EQ(VM_requestLoadHtmlFile(address.c_str()), 1) << address;
        VM_entry();
    }
    string base() const { return VM_GetDocumentBase(); }
    string file() const { return VM_getHtmlFileName(); }
    string log() const { return readFile(path("pterm.log")); }
    size_t count(const string &text) const
    {
        string all = log();
        size_t n = 0;
        for (size_t at = all.find(text); at != string::npos; at = all.find(text, at + 1)) n++;
        return n;
    }

private:
    std::unique_ptr<teqc::HeadlessDisplay> display_;
};

} // namespace

TEST_F(ViewManager, DocumentBaseFollowsRelativeParentAndAbsoluteAddresses)
{
    for (const char *name : {"dir/sub/page.html", "dir/x.html", "x.html"}) write(name, "<html>no applet</html>");

    load("dir/sub/page.html");
    EXPECT_EQ(base(), "dir/sub/");
    EXPECT_EQ(file(), "page.html");
    load("../x.html");
    EXPECT_EQ(base(), "dir/");
    EXPECT_EQ(file(), "x.html");
    load("sub/page.html#top?x=1");
    EXPECT_EQ(base(), "dir/sub/");
    EXPECT_EQ(file(), "page.html");
    load("page.html?back=a/b#c/d");
    EXPECT_EQ(base(), "dir/sub/") << "a slash in the query names no directory";
    EXPECT_EQ(file(), "page.html");
    load("..\\..\\dir\\x.html");
    EXPECT_EQ(base(), "dir/");
    EXPECT_EQ(file(), "x.html");
    load("../../../../x.html");
    EXPECT_EQ(base(), "") << "steps above the top are dropped";
    EXPECT_EQ(file(), "x.html");

    load(dir_ + "/dir/../dir/sub/page.html");
    EXPECT_EQ(base(), dir_ + "/dir/sub/") << "a local path from the root keeps its root";
    load("/../../" + dir_.substr(1) + "/x.html");
    EXPECT_EQ(base(), dir_ + "/");
    EXPECT_EQ(count("File not found"), 0u) << log();
}

TEST_F(ViewManager, AddressesThatDoNotFitAreRefused)
{
    write("x.html", "<html>no applet</html>");
    load("x.html");
    string tooLong = string(2000, 'a') + ".html";
    EXPECT_EQ(VM_requestLoadHtmlFile(tooLong.c_str()), 0);
    EXPECT_EQ(count("Page address too long:"), 1u);

    VM_SetRemoteUrl("127.0.0.1:8080", "");
    VM_SetDocumentBase("plant/");
    ASSERT_EQ(VM_requestLoadHtmlFile("pump.html"), 1);
    EXPECT_EQ(count("http://127.0.0.1:8080/plant/pump.html"), 1u) << "relative to the page's server";
    string nearlyFull = string(1000, 'b') + ".html";
    EXPECT_EQ(VM_requestLoadHtmlFile(nearlyFull.c_str()), 0) << "too long once the server is put in front";
    EXPECT_EQ(count("Page address too long:"), 2u);
    EXPECT_TRUE(VM_isPageRequestPending()) << "the earlier request stays";
}

TEST_F(ViewManager, PageServerIsAlsoTheTargetOfTheValues)
{
    VM_SetRemoteUrl("", "");
    EXPECT_EQ(GetRemoteStatus(), 0);
    VM_SetRemoteUrl("127.0.0.1:8080", "start.html");
    EXPECT_EQ(GetRemoteStatus(), 1);
    EXPECT_EQ(SRVR_isRemoteFileServer(), 1);
    EXPECT_STREQ(VM_RemoteServer, "127.0.0.1:8080");
    VM_SetRemoteUrl("", "local.html");
    EXPECT_EQ(GetRemoteStatus(), 0);
    EXPECT_EQ(SRVR_isRemoteFileServer(), 0);
    SetRemoteStatus(2);
    VM_SetRemoteUrl("127.0.0.1:8080", "start.html");
    EXPECT_EQ(GetRemoteStatus(), 2) << "a data mode chosen before stays";
}

TEST_F(ViewManager, PageParametersNameTheFirstPicture)
{
    const string project = param("ProjectName", "Plant");
    write("main2.html", page(project + param("FirstFileIndex", "1") + param("LastFileIndex", "5") + param("Main", "2")));
    write("single.html", page(project + param("FirstFileIndex", "3") + param("LastFileIndex", "3") + param("Main", "2")));
    write("named.html", page(project + param("MainTEQName", "Other") + param("FirstFileIndex", "3")));
    write("nomain.html", page(project + param("FirstFileIndex", "1") + param("LastFileIndex", "5")));
    write("noproject.html", page(param("Main", "1")));

    load("main2.html");
    EXPECT_EQ(count("Open Teq File: Plant2.teq\n"), 1u);
    load("single.html");
    EXPECT_EQ(count("Open Teq File: Plant.teq\n"), 1u);
    load("named.html");
    EXPECT_EQ(count("Open Teq File: Other.teq\n"), 1u);
    load("nomain.html");
    EXPECT_EQ(count("Open Teq File: Plant0.teq\n"), 1u);
    load("noproject.html");
    EXPECT_EQ(count("Undefined param=\"ProjectName\" in html file\n noproject.html\n"), 1u);
    EXPECT_EQ(count("Open Teq File:"), 4u);
}

TEST_F(ViewManager, PictureNumbersNamePicturesOfTheProject)
{
    write("start.html", page(param("ProjectName", "Plant") + param("FirstFileIndex", "1") + param("LastFileIndex", "9")));
    load("start.html");
    for (const char *request : {"7", "07", "-1", "Motor", "x.TEQ"}) {
        VM_requestPicture(request);
        VM_entry();
    }
    for (const char *opened : {"Plant7.teq", "07.teq", "Plant.teq", "Motor.teq", "x.TEQ"})
        EXPECT_EQ(count(string("Open Teq File: ") + opened + "\n"), 1u) << opened;
}

TEST_F(ViewManager, PagesThatFailKeepOrClearThePicture)
{
    string picture = teqc::buildTeq(kPicture);
    write("Plant.teq", picture);
    write("Broken.teq", picture.substr(0, picture.size() - 12));
    write("start.html", page(param("ProjectName", "Plant")));
    write("noapplet.html", "<html><applet code=\"Other.class\" width=\"1\" height=\"1\">" + param("ProjectName", "X") +
                               "</applet></html>");
    write("noparams.html", page(""));
    write("broken.html", page(param("ProjectName", "Plant") + param("MainTEQName", "Broken.teq")));

    load("start.html");
    ASSERT_EQ(OB_HowManyObjetcs(), 2);
    load("noapplet.html");
    load("noparams.html");
    EXPECT_EQ(OB_HowManyObjetcs(), 2) << "a page without the panel's applet or parameters keeps the picture";
    EXPECT_EQ(count("Error"), 0u) << log();

    load("broken.html");
    EXPECT_EQ(OB_HowManyObjetcs(), 0) << "a picture that fails halfway clears the view";
    EXPECT_EQ(count("failed to load painter(s) from\n \"Broken.teq\"\n"), 1u) << log();
    EXPECT_EQ(count(" \"Broken.teq\"\n"), 2u) << "the reader's message and the load's";
    EXPECT_EQ(VM_failed, 0) << "without a configuration page the panel does not reload";
}
