#include "test_support.h"

#include <string>

#include "runtime/platform.h"
#include "data/containers.h"
#include "runtime/heap.h"
#include "data/persistent_containers.h"
#include "runtime/str_util.h"

class PersistentContainers : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        restart();
    }
    // A new project (or a restart): the store is emptied and the set reloaded.
    static void restart()
    {
        MU_init2();
        HT_resetContainers();
    }
    static std::string value(const char *name)
    {
        ContainerRecord *c = CO_getHtmlCacheObjPtr(name);
        return c ? c->value : "<none>";
    }
    std::string file() { return readFile(path(PCO_FILE_NAME)); }
};

TEST_F(PersistentContainers, TwentyValuesSurviveARestart)
{
    std::string expected = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n"
                           "<ptermCo>\n"
                           "<!--Persistent Containers \"PT_PERCO_n\" with n:[0..19] -->\n"
                           "<size>20</size>\n"
                           "<Values>\n";
    for (int n = 0; n < PCO_COUNT; n++) {
        std::string name = "PT_PERCO_" + std::to_string(n);
        std::string v = n == 7 ? "" : "value " + std::to_string(n);
        if (!v.empty()) HT_writeContainer(name.c_str(), v.c_str());
        expected += "<string>" + v + "</string>\n";
    }
    expected += "</Values>\n</ptermCo>\n";
    EXPECT_EQ(PCO_isModified(), 1);
    PCO_entry();
    EXPECT_EQ(PCO_isModified(), 0);
    EXPECT_EQ(file(), expected);
    EXPECT_FALSE(fileExists(path(PCO_FILE_NAME ".tmp")));

    restart();
    for (int n = 0; n < PCO_COUNT; n++) {
        std::string name = "PT_PERCO_" + std::to_string(n);
        EXPECT_EQ(value(name.c_str()), n == 7 ? "<none>" : "value " + std::to_string(n));
    }
    EXPECT_EQ(PCO_isModified(), 0);
}

TEST_F(PersistentContainers, PartialAndDamagedFiles)
{
    writeFile(path(PCO_FILE_NAME), "<Values>\n<string></string>\n<string><b>x</b></string>\n<string>" +
                                       std::string(300, 'L') + "</string>\n<string>cut");
    restart();
    EXPECT_EQ(value("PT_PERCO_0"), "<none>");
    EXPECT_EQ(value("PT_PERCO_1"), "<b>x</b>");
    EXPECT_EQ(value("PT_PERCO_2"), std::string(255, 'L'));
    EXPECT_EQ(value("PT_PERCO_3"), "<none>");

    writeFile(path(PCO_FILE_NAME), "<ptermCo><string>a</string>");
    restart();
    EXPECT_EQ(value("PT_PERCO_0"), "<none>");
    EXPECT_NE(readFile(path("pterm.log")).find("PCO_loadPersistentCO() failed,\n <Values> tag not found !\n"),
              std::string::npos);

    std::string binary;
    for (int i = 0; i < 5000; i++) binary.push_back(static_cast<char>((i * 37) & 0xFF));
    writeFile(path(PCO_FILE_NAME), "<Values><string>ok</string>" + binary);
    restart();
    EXPECT_EQ(value("PT_PERCO_0"), "ok");

    writeFile(path(PCO_FILE_NAME), "<Values>" + std::string(200000, '<'));
    restart();
    EXPECT_EQ(value("PT_PERCO_0"), "<none>");
}

TEST_F(PersistentContainers, FailedSaveIsRetried)
{
    HT_writeContainer("PT_PERCO_0", "x");
    safe_strncpy(AppPath, "/nonexistent-dir/", sizeof AppPath);
    EXPECT_EQ(PCO_savePersistentCO(), 0);
    PCO_entry();
    EXPECT_EQ(PCO_isModified(), 1);
    safe_strncpy(AppPath, (dir_ + "/").c_str(), sizeof AppPath);
    PCO_entry();
    EXPECT_EQ(PCO_isModified(), 0);
    EXPECT_NE(file().find("<string>x</string>"), std::string::npos);
}
