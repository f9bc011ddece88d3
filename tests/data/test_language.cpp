#include "data_fixture.h"

#include <string>

#include "data/language.h"
#include "runtime/hooks.h"
#include "runtime/settings.h"

using std::string;

namespace {

int redraws;
int clockChecks;
int countRedraw()
{
    redraws++;
    return 1;
}
void countClockCheck() { clockChecks++; }

class LanguageTable : public DataTest {
protected:
    void SetUp() override
    {
        DataTest::SetUp();
        redraws = clockChecks = 0;
        HK_hooks()->scheduleFullRedraw = countRedraw;
        HK_hooks()->checkClockFlag = countClockCheck;
    }
    static string value(const char *name)
    {
        const char *v = LR_readValuePtr(name);
        return v ? v : "<none>";
    }
};

} // namespace

TEST_F(LanguageTable, LinesAreSplitAtTheirFirstSeparator)
{
    writeFile(path("de.csv"), "Title;Pumpe;Station\n"
                              "a,b;c\n"
                              "Tab\tWert,1\n"
                              "Comma,Wert\r\n"
                              "no separator\n"
                              ";no name\n"
                              "Quoted;\"Hallo, Welt\"\n"
                              "Umlaut;Gr\xC3\xB6\xC3\x9F"
                              "e\n"
                              "Missing;\n"
                              "Title;second\n"
                              "Last;without line end");
    EXPECT_EQ(LR_readValuePtr("Title"), nullptr) << "nothing before a table is loaded";
    EXPECT_EQ(LR_parseCsvFile("de.csv"), 0);
    EXPECT_EQ(value("Title"), "Pumpe;Station") << "the first entry of a name wins";
    EXPECT_EQ(value("a,b"), "c") << "a semicolon before a comma";
    EXPECT_EQ(value("Tab"), "Wert,1");
    EXPECT_EQ(value("Comma"), "Wert");
    EXPECT_EQ(value("Quoted"), "\"Hallo, Welt\"") << "no quoting";
    EXPECT_EQ(value("Umlaut"), "Gr\xC3\xB6\xC3\x9F"
                               "e");
    EXPECT_EQ(value("Missing"), "");
    EXPECT_EQ(value("Last"), "without line end");
    EXPECT_EQ(value("no separator"), "<none>");
    EXPECT_EQ(value("title"), "<none>") << "names are exact";
    char buffer[5];
    EXPECT_EQ(LR_readValue("Title", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "Pump");
    EXPECT_EQ(LR_readValue("Nothing", buffer, sizeof buffer), 0);
    EXPECT_EQ(redraws, 1);
    EXPECT_EQ(clockChecks, 1) << "the 12-hour clock flag may come from the table";
}

TEST_F(LanguageTable, OtherEncodingsAndMissingFiles)
{
    const unsigned char utf16[] = {0xFF, 0xFE, 'T', 0,   'i', 0,    't', 0,    'l',  0,    'e', 0,    ';',
                                   0,    'G',  0,   'r', 0,   0xF6, 0,   0xA9, 0x03, '\r', 0,   '\n', 0};
    string bytes(reinterpret_cast<const char *>(utf16), sizeof utf16);
    writeFile(path("utf16.csv"), bytes);
    EXPECT_EQ(LR_parseCsvFile("utf16.csv"), 0);
    EXPECT_EQ(value("Title"), "Gr\xF6\\u\x03\xA9")
        << "8-bit characters as they are, others as the file layer marks them";

    writeFile(path("bom.csv"), "\xEF\xBB\xBFTitle;Mit Marke\n");
    EXPECT_EQ(LR_parseCsvFile("bom.csv"), 0);
    EXPECT_EQ(value("Title"), "Mit Marke") << "the UTF-8 mark is not part of the first name";

    EXPECT_EQ(LR_parseCsvFile("missing.csv"), -1);
    EXPECT_EQ(value("Title"), "<none>") << "the old table is gone";
    EXPECT_NE(log().find("missing.csv"), string::npos);
    EXPECT_EQ(LR_parseCsvFile(""), -1);

    setCo("@LANGUAGE", "bom.csv");
    EXPECT_EQ(value("Title"), "Mit Marke");
    EXPECT_EQ(co("@LANGUAGE"), "bom.csv");
    setCo("@LANGUAGE", "nowhere.csv");
    EXPECT_EQ(value("Title"), "<none>");
    EXPECT_NE(log().find("nowhere.csv"), string::npos);
}

TEST_F(LanguageTable, LargeTablesFillTheHeapAndStop)
{
    string rows;
    for (int i = 0; i < 10000; i++) rows += "Name" + std::to_string(i) + ";Wert " + std::to_string(i) + "\n";
    writeFile(path("big.csv"), rows);
    pterm.mem_lrheap_kb = 64;
    LR_reset();
    EXPECT_EQ(LR_parseCsvFile("big.csv"), 0);
    EXPECT_EQ(value("Name0"), "Wert 0") << "entries read before the heap ran full stay";
    EXPECT_EQ(value("Name9999"), "<none>");
    EXPECT_NE(log().find("Out of memory for language resource"), string::npos);
    EXPECT_GT(LR_TopHeap, 60u * 1024) << "the high-water mark follows the table";
}
