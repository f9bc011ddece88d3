#include "data_fixture.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "comm/ppo_update.h"
#include "comm/target_link.h"
#include "view/value_sources.h"
#include "data/process_points.h"
#include "runtime/ramdisk.h"

class ProcessPoints : public DataTest {
protected:
    static std::string value(const char *name)
    {
        PpoRecord *r = PPO_lookup(name);
        return r ? r->value : "<none>";
    }
};

TEST_F(ProcessPoints, ReadListKeepsUniqueNamesInOrder)
{
    EXPECT_EQ(PPO_addToList("Temp1", nullptr), 1);
    EXPECT_EQ(PPO_addToList("Temp2", nullptr), 1);
    EXPECT_EQ(PPO_addToList("Temp1", nullptr), 0);
    EXPECT_EQ(PPO_addToList("", nullptr), 0);
    EXPECT_EQ(Tarsel_addPPO("Temp3", 1), 0);
    EXPECT_EQ(Tarsel_addPPO("Temp3", 0), 1);
    ASSERT_EQ(PPO_getList()->count, 3);
    EXPECT_STREQ(PPO_getList()->first->name, "Temp1");
    EXPECT_STREQ(PPO_getList()->last->name, "Temp3");
    EXPECT_EQ(value("temp1"), "<none>");

    PPO_setReady(1);
    PPO_destroyList();
    EXPECT_EQ(PPO_isReady(), 0);
    EXPECT_EQ(PPO_getList()->count, 0);
    EXPECT_EQ(PPO_lookup("Temp1"), nullptr);
}

// More names than the name index has buckets, so that chains are shared:
// every name finds its own record, the list cut back forgets the names behind
// the cut (their memory is given back), and a new page starts empty.
TEST_F(ProcessPoints, NameIndexFollowsTheList)
{
    const int count = PPO_INDEX_BUCKETS + 500;
    char name[32];
    for (int i = 0; i < count; i++) {
        std::snprintf(name, sizeof name, "Plant.Point%05d", i);
        ASSERT_EQ(PPO_addToList(name, nullptr), 1) << name;
        PPO_writeValueNew(name, std::to_string(i).c_str(), 0, 0);
    }
    PpoRecord *cut = nullptr;
    for (int i = 0; i < count; i++) {
        std::snprintf(name, sizeof name, "Plant.Point%05d", i);
        PpoRecord *r = PPO_lookup(name);
        ASSERT_NE(r, nullptr) << name;
        EXPECT_STREQ(r->name, name);
        EXPECT_EQ(value(name), std::to_string(i));
        if (i == 99) cut = r;
    }
    EXPECT_EQ(PPO_lookup("Plant.Point"), nullptr);

    PPO_cutList(cut);
    EXPECT_EQ(PPO_getList()->count, 100);
    EXPECT_EQ(PPO_getList()->last, cut);
    EXPECT_EQ(value("Plant.Point00099"), "99");
    EXPECT_EQ(value("Plant.Point00100"), "<none>");
    EXPECT_EQ(PPO_addToList("Plant.Point00100", nullptr), 1);
    EXPECT_EQ(PPO_getList()->last, PPO_lookup("Plant.Point00100"));

    PPO_cutList(nullptr);
    EXPECT_EQ(PPO_getList()->count, 0);
    EXPECT_EQ(value("Plant.Point00000"), "<none>");
    PPO_addToList("Plant.Point00001", nullptr);
    PPO_destroyList();
    EXPECT_EQ(value("Plant.Point00001"), "<none>");
}

TEST_F(ProcessPoints, PositionalReplyFillsRecordsInOrder)
{
    PPO_addToList("A", nullptr);
    PPO_addToList("B", nullptr);
    PPO_addToList("C", nullptr);
    char reply[] = "A=1\nx=2\r\n";
    char *end = PPO_parseValuesString(reply, -1);
    EXPECT_EQ(value("A"), "1");
    EXPECT_EQ(value("B"), "2\r");
    EXPECT_EQ(value("C"), "");
    EXPECT_EQ(*end, '\0');

    char more[] = "A=4\nB=5\nC=6\nD=7\n";
    PPO_parseValuesString(more, 2);
    EXPECT_EQ(value("B"), "5");
    EXPECT_EQ(value("C"), "");
    char extra[] = "A=a\nB=\nC=c=d\nD=7\n";
    end = PPO_parseValuesString(extra, -1);
    EXPECT_EQ(value("B"), "");
    EXPECT_EQ(value("C"), "c=d");
    EXPECT_STREQ(end, "D=7\n");
    char none[] = "A=z\n";
    PPO_parseValuesString(none, 0);
    EXPECT_EQ(value("A"), "a");

    std::string longValue = "A=" + std::string(400, 'v');
    PPO_parseValuesString(longValue.data(), -1);
    EXPECT_EQ(value("A"), std::string(255, 'v'));
    char noEquals[] = "novalue\n";
    PPO_parseValuesString(noEquals, -1);
    EXPECT_EQ(value("A"), std::string(255, 'v'));
}

TEST_F(ProcessPoints, UndefinedPointsAreReported)
{
    PPO_addToList("Known", nullptr);
    char dst[256] = "old";
    EXPECT_EQ(PPO_getValue("Unknown", dst), 0);
    EXPECT_STREQ(dst, "");
    EXPECT_EQ(PPO_getValuePtr("x@PPO_y"), nullptr);
    EXPECT_NE(log().find("Error 2001: Undefined PPO !\n \"Unknown\"\n"), std::string::npos);
    EXPECT_EQ(log().find("x@PPO_y"), std::string::npos);

    EXPECT_EQ(PPO_writeValueNew("Known", "5", 0, 0), 1);
    EXPECT_EQ(PPO_getValue("Known", dst), 1);
    EXPECT_STREQ(dst, "5");
    EXPECT_EQ(PPO_writeValueNew("New", "6", 0, 0), 0);
    EXPECT_NE(log().find("Error 2002: Failed to write on PPO !\n \"New\"\n"), std::string::npos);
    EXPECT_EQ(PPO_writeValueNew("New", "6", 0, 1), 1);
    EXPECT_EQ(value("New"), "6");
}

TEST_F(ProcessPoints, FailedUpdatesEndInNotAvailable)
{
    EXPECT_EQ(PPO_update(0, 1000), 1);
    EXPECT_EQ(PPO_isReady(), 1);

    PPO_addToList("Temp1", nullptr);
    PPO_addToList("Temp2", nullptr);
    PPO_writeValueNew("Temp1", "20", 0, 0);
    EXPECT_EQ(PPO_update(0, 1000), 0);
    EXPECT_EQ(value("Temp1"), "Not available");
    EXPECT_EQ(value("Temp2"), "Not available");
    EXPECT_EQ(PPO_isReady(), 1);
    std::string text = log();
    size_t first = text.find("OrderValues on remote host has failed !");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(text.find("OrderValues on remote host has failed !", first + 1), std::string::npos);

    remoteServiceId = 10;
    PPO_writeValueNew("Temp1", "20", 0, 0);
    EXPECT_EQ(PPO_update(1, 1000), 0);
    EXPECT_EQ(value("Temp1"), "Not available");
}

static void collect(int ch, void *context) { static_cast<std::string *>(context)->push_back(static_cast<char>(ch)); }

TEST_F(ProcessPoints, SourcesByType)
{
    char dst[256];
    EXPECT_EQ(RW_readSource(dst, "literal", SourceType_STRING), 1);
    EXPECT_STREQ(dst, "literal");
    const char *name = "literal";
    EXPECT_EQ(RW_getSourcePtr(name, SourceType_STRING), name);
    EXPECT_EQ(RW_readSource(dst, std::string(300, 's').c_str(), SourceType_STRING), 1);
    EXPECT_EQ(std::strlen(dst), 255u);

    setCo("i", "2");
    EXPECT_EQ(RW_writeSource("5", "Motor#CO_i#", SourceType_CO), 1);
    EXPECT_EQ(co("Motor2"), "5");
    EXPECT_EQ(RW_readSource(dst, "Motor@CO_i@", SourceType_PASSWORDCONTAINER), 1);
    EXPECT_STREQ(dst, "5");
    EXPECT_STREQ(static_cast<char *>(RW_getSourcePtr("Motor#CO_i#", SourceType_CO)), "5");

    EXPECT_EQ(RW_writeSource("hello", "out.txt", SourceType_FILE), 1);
    EXPECT_EQ(RW_readSource(dst, "out.txt", SourceType_FILE), 1);
    EXPECT_STREQ(dst, "hello");
    std::string copied;
    EXPECT_EQ(RW_copySourceFile(collect, &copied, "out.txt"), 5);
    EXPECT_EQ(copied, "hello");
    strcpy(dst, "old");
    EXPECT_EQ(RW_readSource(dst, "missing.txt", SourceType_FILE), 0);
    EXPECT_STREQ(dst, "");
    EXPECT_EQ(RW_copySourceFile(collect, &copied, "missing.txt"), 0);
    EXPECT_NE(log().find("File not found !\n missing.txt\n"), std::string::npos);

    EXPECT_EQ(RW_getSourceSize("Temp", SourceType_PPO), 256);
    EXPECT_EQ(RW_getSourceSize("x", SourceType_STRING), 0);
    EXPECT_EQ(RW_getSourcePtr("x", SourceType_COLOR), nullptr);
    EXPECT_EQ(RW_readSource(dst, "x", 42), 0);
    EXPECT_STREQ(getRMAText(SourceType_CGI), "CGI");
    EXPECT_STREQ(getRMAText(13), "?");
    EXPECT_STREQ(getRMAText(15), "?");
    EXPECT_STREQ(getRMAText(-1), "?");
}
