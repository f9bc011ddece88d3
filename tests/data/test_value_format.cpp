// Value formats: the TCR file, the display form of raw values, the check and
// conversion of typed values, and the way through the native driver.
#include "data_fixture.h"

#include <cstdio>
#include <string>
#include <vector>

#include "comm/native_driver.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "data/value_store.h"
#include "runtime/heap.h"
#include "runtime/settings.h"
#include "transport/http_client.h"

namespace {

class ValueFormatTest : public DataTest {
protected:
    void SetUp() override
    {
        DataTest::SetUp();
        TCR_reset();
        TCR_isInvalidEntry();
    }
    int load(const std::string &text)
    {
        writeFile(path("page.tcr"), text);
        return TCR_parseTcrFile("page.tcr");
    }
    // The messages the operator is shown: the message-box container.
    std::string messages()
    {
        const char *box = CO_readValPtr("MessageBoxCO");
        return box ? box : "";
    }
};

std::string shown(const char *format, const std::string &raw, int *changed = nullptr)
{
    char value[TCR_VALUE_SIZE];
    std::snprintf(value, sizeof value, "%s", raw.c_str());
    int result = TCR_formatString(format, value);
    if (changed) *changed = result;
    return value;
}

TEST(ValueFormatRead, EveryFormatShowsRawValues)
{
    struct Case {
        const char *format;
        std::string raw, display;
    };
    const std::string nines(253, '9');
    const Case cases[] = {
        {"dec.2", "5", "0.05"},
        {"dec.2", "-5", "-0.05"},
        {"dec.2", "1234", "12.34"},
        {"dec.2", "", "0.00"},
        {"dec.2", "123\r", "1.23"},
        {"DEC.1", "+7", "+0.7"},
        {"dec.0", "12", "12."},
        {"dec.2", nines, nines.substr(0, 251) + ".99"},
        {"dec.2", nines + "99", nines + "99"}, // no room for the point
        {"dec.2", "12.5", "12.5"},
        {"dec.2", "abc", "abc"},
        {"dec.2", "Not available", "Not available"},
        {"dec", "1234", "1234"},
        {"dec.x", "1234", "1234"},
        {"flt2dec.2", "3.14159", "3.14"},
        {"flt2dec.2", "-2", "-2.00"},
        {"flt2dec3", "1", "1.000"},
        {"FLT2DEC", "2.5", "2"},
        {"flt2dec.6", "1e300", "1e300"}, // would not fit
        {"flt2dec.7", "1.5", "1.5"},
        {"flt2dec.2", "nan", "nan"},
        {"int2hex", "255", "H FF"},
        {"int2hex", "-1", "H FFFFFFFF"},
        {"int2hex", "4294967296", "4294967296"},
        {"int2hex", "syntax error in tag", "syntax error in tag"},
        {"hex", "ff", "ff"},
        {"int", "-12", "-12"},
        {"byte", "A", "A"},
        {"HH:MM", "930", "09:30"},
        {"hh:mm", "1234567", "45:67"},
        {"HH:MM", "", "00:00"},
        {"HH:MM", "Not available", "xx:xx"},
        {"HH:MM", "9:30", "xx:xx"},
        {"HH:MM:SS", "123456", "12:34:56"},
        {"HH:MM:SS", "Not available", "xx:xx:xx"},
        {"DD.MM", "1231", "31.12"},
        {"DD.MM", "Not available", "xx.xx"},
        {"DD.MM.YY", "070303", "03.03.07"},
        {"DD.MM.YY", "70303", "03.03.07"},
        {"DD.MM.YY", "Not available", "xx.xx.xx"},
        {"string", "Not available", "Not available"},
        {"percent", "12", "12"},
        {nullptr, "12", "12"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(shown(c.format, c.raw), c.display) << (c.format ? c.format : "(absent)") << " of \"" << c.raw << "\"";

    int changed = -1;
    shown("flt2dec.7", "1.5", &changed);
    EXPECT_EQ(changed, 0);
    shown("dec.1", "15", &changed);
    EXPECT_EQ(changed, 1);
    std::string longText(255, 'x');
    EXPECT_EQ(shown("HH:MM", longText), "xx:xx");
    EXPECT_EQ(shown("dec.2", longText), longText);
}

TEST(ValueFormatRead, TextHelpersStayInTheirBuffer)
{
    char text[TCR_VALUE_SIZE] = "930";
    EXPECT_STREQ(util_modifyStringLength(text, 4), "0930");
    EXPECT_STREQ(util_modifyStringLength(text, 2), "30");
    std::string full(255, 'a');
    std::snprintf(text, sizeof text, "%s", full.c_str());
    util_insertChar('b', text);
    EXPECT_EQ(std::string(text), "b" + full.substr(0, 254));
    std::snprintf(text, sizeof text, "%s", "2.5");
    EXPECT_EQ(formatFlt2DecN(text, 3), 1);
    EXPECT_STREQ(text, "2.500");
    EXPECT_EQ(formatFlt2DecN(text, 7), 0);
    EXPECT_STREQ(text, "2.500");
}

// The table every write case below uses.
const char kTable[] = "#! write-side formats\n"
                      "Temp;R 100 ;0;1000;dec.1;K;\n"
                      "Price;P2;0;100000;dec.2; ;\n"
                      "Whole;W0; ; ;dec.0; ;\n"
                      "Count;C1;-10;10;dec; ;\n"
                      "Hex;H1;10;FF;hex; ;\n"
                      "Hx2;H2; ; ;int2hex; ;\n"
                      "I32;I1;-5;5;int; ;\n"
                      "U32;U1;1;10;unsignedint; ;\n"
                      "I64;L1;-9000000000;9000000000;long; ;\n"
                      "U64;UL; ; ;unsignedlong; ;\n"
                      "I16;S1; ; ;short; ;\n"
                      "U16;US;100;60000;unsignedshort; ;\n"
                      "B;B1;A;Z;byte; ;\n"
                      "UB;B2; ; ;unsignedbyte; ;\n"
                      "F;F1;-1.5;2.5;float; ;\n"
                      "D;D1; ; ;double64; ;\n"
                      "Flt;F2;0;100;flt2dec.1; ;\n"
                      "T;T1; ; ;HH:MM; ;\n"
                      "TB;T2;0800;1700;HH:MM; ;\n"
                      "TS;T3; ; ;HH:MM:SS; ;\n"
                      "DM;D2; ; ;DD.MM; ;\n"
                      "DY;D3; ; ;DD.MM.YY; ;\n"
                      "DYB;D4;070101;071231;DD.MM.YY; ;\n"
                      "Str;S2;2;5;string; ;\n"
                      "Free;S3; ; ; ; ;\n"
                      "Odd;O1;1;2;percent; ;\n"
                      "Two;X2;1;2\n";

const char kInvalid[] = "Invalid entry !\n";
const char kRange[] = "value out of range !\n";
const char kDefault[] = "value out of default range !\n";

TEST_F(ValueFormatTest, TypedValuesAreCheckedAndConvertedToTheRawForm)
{
    ASSERT_EQ(load(kTable), 0);
    struct Case {
        const char *name;
        std::string typed;
        int ok;
        std::string written, message;
    };
    const Case cases[] = {
        {"P2", "12.3", 1, "1230", ""},
        {"P2", "12.345", 1, "1234", ""},
        {"P2", "12", 1, "1200", ""},
        {"P2", " 7 ", 1, "700", ""},
        {"P2", ".5", 1, "50", ""},
        {"P2", "0.05", 1, "5", ""},
        {"P2", "-0.5", 0, "-0.5", kRange},
        {"P2", "1.2.3", 0, "1.2.3", kInvalid},
        {"P2", "+-1", 0, "+-1", kInvalid},
        {"P2", "", 0, "", kInvalid},
        {"P2", ".", 0, ".", kInvalid},
        {"P2", "1e3", 0, "1e3", kInvalid},
        {"P2", "\xC3\xA4", 0, "\xC3\xA4", kInvalid},
        {"P2", std::string(255, '9'), 0, std::string(255, '9'), kRange},
        {"R 100", "100.0", 1, "1000", ""},
        {"R 100", "100.1", 0, "100.1", kRange},
        {"W0", "12.7", 1, "12", ""},
        {"C1", "5", 1, "5", ""},
        {"C1", "12.5", 0, "12.5", kInvalid},
        {"C1", "11", 0, "11", kRange},
        {"H1", "1f", 1, "1f", ""},
        {"H1", "0x20", 1, "0x20", ""},
        {"H1", "F", 0, "F", kRange},
        {"H1", "100", 0, "100", kRange},
        {"H1", "-1", 0, "-1", kInvalid},
        {"H1", "G", 0, "G", kInvalid},
        {"H2", "FFFFFFFF", 1, "FFFFFFFF", ""},
        {"H2", "100000000", 0, "100000000", kRange},
        {"I1", "+3", 1, "+3", ""},
        {"I1", "6", 0, "6", kRange},
        {"I1", "3000000000", 0, "3000000000", kRange},
        {"U1", "10", 1, "10", ""},
        {"U1", "0", 0, "0", kRange},
        {"U1", "-1", 0, "-1", kInvalid},
        {"L1", "8999999999", 1, "8999999999", ""},
        {"L1", "9000000001", 0, "9000000001", kRange},
        {"UL", "18446744073709551615", 1, "18446744073709551615", ""},
        {"UL", "18446744073709551616", 0, "18446744073709551616", kRange},
        {"S1", "32767", 1, "32767", ""},
        {"S1", "32768", 0, "32768", kRange},
        {"US", "65535", 0, "65535", kRange},
        {"US", "70000", 0, "70000", kRange},
        {"B1", "M", 1, "M", ""},
        {"B1", "a", 0, "a", kRange},
        {"B1", "", 0, "", kInvalid},
        {"B1", "\xC3\xA4", 0, "\xC3\xA4", kRange}, // a negative code as a signed byte
        {"B2", "\xC3\xA4", 1, "\xC3\xA4", ""},
        {"F1", "2.5", 1, "2.5", ""},
        {"F1", "2.6", 0, "2.6", kRange},
        {"F1", "1,5", 0, "1,5", kInvalid},
        {"F1", "nan", 0, "nan", kInvalid},
        {"F1", "1e400", 0, "1e400", kRange},
        {"D1", "1.5e3", 1, "1.5e3", ""},
        {"F2", "99.95", 1, "99.95", ""},
        {"F2", "100.01", 0, "100.01", kRange},
        {"T1", "09h30", 1, "0930", ""},
        {"T1", "9:30", 0, "9:30", kInvalid},
        {"T1", "09:30 ", 0, "09:30 ", kInvalid},
        {"T1", "12x30", 0, "12x30", kInvalid},
        {"T1", "ab:cd", 0, "ab:cd", kInvalid},
        {"T1", "24:00", 0, "2400", kDefault},
        {"T1", "12:60", 0, "1260", kDefault},
        {"T2", "12:00", 1, "1200", ""},
        {"T2", "18:00", 0, "1700", kRange},
        {"T2", "07:59", 0, "0800", kRange},
        {"T2", "25:00", 0, "2500", kInvalid},
        {"T3", "12:34:56", 1, "123456", ""},
        {"T3", "12 34 56", 1, "123456", ""},
        {"T3", "12:34.56", 0, "12:34.56", kInvalid},
        {"T3", "12h34h56", 0, "12h34h56", kInvalid},
        {"T3", "12:34:60", 0, "123460", kDefault},
        {"D2", "31.12", 1, "1231", ""},
        {"D2", "30/02", 1, "0301", ""}, // counted in a leap year
        {"D2", "00.00", 1, "0000", ""},
        {"D3", "31.02.07", 1, "070303", ""},
        {"D3", "01.13.07", 1, "080101", ""},
        {"D3", "00.00.00", 1, "000000", ""},
        {"D3", "1.1.07", 0, "1.1.07", kInvalid},
        {"D3", "31.12-07", 0, "31.12-07", kInvalid},
        {"D3", "31.12.99", 1, "991231", ""},
        {"D3", "32.12.99", 0, "991232", kInvalid}, // beyond 2099
        {"D4", "15.06.08", 0, "071231", kRange},
        {"D4", "31.12.06", 0, "070101", kRange},
        {"D4", "00.00.00", 0, "000000", kInvalid},
        {"S2", "a", 0, "a", kInvalid},
        {"S2", "abcdefg", 1, "abcde", kRange},
        {"S2", "abc", 1, "abc", ""},
        {"S2", std::string(255, 'z'), 1, "zzzzz", kRange},
        {"S3", "", 1, "", ""},
        {"O1", "xyz", 1, "xyz", ""},
        {"X2", "anything", 1, "anything", ""},
    };
    for (const Case &c : cases) {
        TCR_isInvalidEntry();
        setCo("MessageBoxCO", "");
        char value[TCR_VALUE_SIZE];
        std::snprintf(value, sizeof value, "%s", c.typed.c_str());
        int ok = -1;
        EXPECT_EQ(TCR_writeFormatedPPOValue(c.name, value, &ok), 1);
        SCOPED_TRACE(std::string(c.name) + " typed \"" + c.typed + "\"");
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(std::string(value), c.written);
        EXPECT_EQ(messages(), c.message);
        EXPECT_EQ(TCR_isInvalidEntry(), c.message.empty() ? 0 : 1);
    }
}

TEST_F(ValueFormatTest, ARefusedEntryBlocksNumbersUntilTheNextRefresh)
{
    ASSERT_EQ(load(kTable), 0);
    char value[TCR_VALUE_SIZE] = "6";
    int ok = -1;
    TCR_writeFormatedPPOValue("I1", value, &ok);
    EXPECT_EQ(ok, 0);
    setCo("MessageBoxCO", "");
    const struct {
        const char *name, *typed;
        int ok;
    } whileSet[] = {{"I1", "3", 0}, {"T1", "09:30", 0}, {"D3", "01.01.07", 0}, {"S2", "abc", 1}, {"O1", "x", 1}};
    for (const auto &c : whileSet) {
        std::snprintf(value, sizeof value, "%s", c.typed);
        TCR_writeFormatedPPOValue(c.name, value, &ok);
        EXPECT_EQ(ok, c.ok) << c.name;
    }
    EXPECT_EQ(messages(), "") << "refused silently while the flag is set";
    EXPECT_EQ(TCR_isInvalidEntry(), 1);
    EXPECT_EQ(TCR_isInvalidEntry(), 0);
    std::snprintf(value, sizeof value, "3");
    TCR_writeFormatedPPOValue("I1", value, &ok);
    EXPECT_EQ(ok, 1);
}

TEST_F(ValueFormatTest, InvertedBoundsRefuseEveryNumberAndAreLogged)
{
    ASSERT_EQ(load("Inv;N1;10;5;int; ;\n"), 0);
    EXPECT_NE(log().find("TCR line 1: minimum above maximum"), std::string::npos);
    char value[TCR_VALUE_SIZE] = "7";
    int ok = -1;
    TCR_writeFormatedPPOValue("N1", value, &ok);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(messages(), std::string(kRange) + kRange);
}

TEST_F(ValueFormatTest, NamesWithoutEntryPassUnchecked)
{
    char value[TCR_VALUE_SIZE] = "12.3";
    int ok = -1;
    EXPECT_EQ(TCR_writeFormatedPPOValue("R 100", value, &ok), 0) << "no table";
    EXPECT_EQ(ok, 1);
    ASSERT_EQ(load(kTable), 0);
    EXPECT_EQ(TCR_writeFormatedPPOValue("Temp", value, &ok), 0) << "a symbol is not a formatted name";
    EXPECT_EQ(ok, 1);
    EXPECT_STREQ(value, "12.3");
    EXPECT_EQ(TCR_readFormatedPPOValue("Nope", value), 0);
    EXPECT_EQ(TCR_readFormatedPPO(nullptr, value), 0);
}

TEST_F(ValueFormatTest, FileRulesForLinesAndFields)
{
    const std::string name127(127, 'n'), name128(128, 'm');
    std::string line255 = "Max;M255;0;1;dec.1;";
    line255 += std::string(255 - line255.size(), 'u');
    std::string line256 = "Over;M256;0;1;dec.1;" + std::string(236, 'u');
    ASSERT_EQ(line255.size(), 255u);
    ASSERT_EQ(line256.size(), 256u);
    std::string file = "#!Comment;C;1;2;dec.1;\n"
                       "Temp;R 100 ;0;1000;dec.1;K;\n"
                       "Same;Same; ; ; ; ; ;\n"
                       "SameD;SameD,D; ; ; ; ; ;\n"
                       "Kept;Other; ; ; ; ; ;\n"
                       "Blank; ;1;2;dec.1\n"
                       "OnlyOne\n"
                       "\n"
                       ";;Lead;;R7;;1;;2;;dec.1\r\n"
                       "Name127;" +
                       name127 +
                       ";\n"
                       "Name128;" +
                       name128 + ";\n" + line255 + "\n" + line256 +
                       "\n"
                       "Dup;First;1;2;int;\n"
                       "Dup;Second;1;2;int;\n"
                       "NoParam;RX\n"
                       "Last;L9;1;9;dec.x;bar";
    ASSERT_EQ(load(file), 0);

    std::vector<std::string> symbols = {"Temp", "Kept", "Lead", "Name127", "Max", "Dup", "NoParam", "Last"};
    for (const std::string &s : symbols) EXPECT_NE(TCR_getTcrPointerWithSymbol(s.c_str()), nullptr) << s;
    for (const char *s : {"#!Comment", "Same", "SameD", "Blank", "OnlyOne", "Name128", "Over"})
        EXPECT_EQ(TCR_getTcrPointerWithSymbol(s), nullptr) << s;
    EXPECT_EQ(TCR_getEntryCount(), 9);

    TcrEntry *temp = TCR_getTcrPointerWithSymbol("Temp");
    EXPECT_STREQ(TCR_getFormatedName(temp), "R 100") << "one trailing blank removed";
    EXPECT_EQ(TCR_getTcrPointer("R 100"), temp);
    EXPECT_STREQ(TCR_getSymbolName(temp), "Temp");
    EXPECT_STREQ(TCR_getParam(temp), "0;1000;dec.1;K;");
    EXPECT_STREQ(TCR_getTcrParameter("Temp"), "0;1000;dec.1;K;");
    EXPECT_STREQ(TCR_getMin(temp), "0");
    EXPECT_STREQ(TCR_getMax(temp), "1000");
    EXPECT_STREQ(TCR_getFormat(temp), "dec.1");
    EXPECT_STREQ(TCR_getUnit(temp), "K");
    EXPECT_EQ(TCR_getParamField(temp, 4), nullptr);

    TcrEntry *kept = TCR_getTcrPointerWithSymbol("Kept");
    EXPECT_EQ(TCR_getMin(kept), nullptr) << "a single blank is an absent field";
    EXPECT_EQ(TCR_getFormat(kept), nullptr);
    TcrEntry *lead = TCR_getTcrPointerWithSymbol("Lead");
    EXPECT_STREQ(TCR_getFormatedName(lead), "R7");
    EXPECT_STREQ(TCR_getMax(lead), "2") << "consecutive separators count as one";
    EXPECT_STREQ(TCR_getFormat(lead), "dec.1") << "the carriage return is not part of the line";
    EXPECT_STREQ(TCR_getFormatedName(TCR_getTcrPointerWithSymbol("Name127")), name127.c_str());
    EXPECT_STREQ(TCR_getFormatedName(TCR_getTcrPointerWithSymbol("Dup")), "First");
    EXPECT_STREQ(TCR_getSymbolName(TCR_getTcrPointer("Second")), "Dup") << "the later line stays in the table";

    char value[TCR_VALUE_SIZE] = "15";
    EXPECT_EQ(TCR_readFormatedPPOValue("L9", value), 0);
    EXPECT_STREQ(value, "15");
    std::string logged = log();
    EXPECT_NE(logged.find("TCR line 11: formatted name longer than 127"), std::string::npos);
    EXPECT_NE(logged.find("TCR line 13: longer than 255"), std::string::npos);
    EXPECT_NE(logged.find("TCR line 17: unknown format, values pass unchanged: \"dec.x\""), std::string::npos);
    EXPECT_EQ(logged.find("TCR line 12"), std::string::npos) << "255 characters are allowed";
    EXPECT_EQ(logged.find("buffer OVF"), std::string::npos);

    char dst[TCR_NAME_SIZE] = "Temp";
    EXPECT_EQ(TCR_convertFormatedPPOName(dst, dst), 1);
    EXPECT_STREQ(dst, "R 100");
    EXPECT_EQ(TCR_convertFormatedPPOName(dst, "Nope"), 0);
    EXPECT_STREQ(dst, "R 100");

    char text[TCR_VALUE_SIZE] = "12.5";
    TCR_appendUnit(temp, text);
    EXPECT_STREQ(text, "12.5 K");
    TCR_appendUnit(kept, text);
    EXPECT_STREQ(text, "12.5 K");
    std::string full(254, 'v');
    std::snprintf(text, sizeof text, "%s", full.c_str());
    TCR_appendUnit(temp, text);
    EXPECT_EQ(std::string(text), full + " ");

    EXPECT_STREQ(TCR_nextElement("a;;b"), "b");
    EXPECT_EQ(TCR_nextElement("a;;"), nullptr);
    EXPECT_EQ(TCR_nextElement("a"), nullptr);
}

TEST_F(ValueFormatTest, MissingFileCutFileAndUtf16File)
{
    pterm.debug_level = 1;
    ASSERT_EQ(load("Temp;R 100 ;0;1000;dec.1;K;\n"), 0);
    EXPECT_NE(log().find("Open TCR File: page.tcr"), std::string::npos);
    EXPECT_EQ(TCR_parseTcrFile("absent.tcr"), -1);
    EXPECT_EQ(TCR_getEntryCount(), 0) << "the old table is gone";
    EXPECT_NE(messages().find("File not found !\n absent.tcr"), std::string::npos);
    EXPECT_EQ(TCR_parseTcrFile(nullptr), -1);

    ASSERT_EQ(load("Temp;R 100 ;0;1000;dec.1;K;\nCut;R 2;0;10"), 0);
    EXPECT_EQ(TCR_getEntryCount(), 2);
    char value[TCR_VALUE_SIZE] = "15";
    EXPECT_EQ(TCR_readFormatedPPOValue("R 2", value), 0) << "a cut line has no format";
    int ok = -1;
    TCR_writeFormatedPPOValue("R 2", value, &ok);
    EXPECT_EQ(ok, 1) << "nor checks";

    std::string wide = "\xFF\xFE";
    for (char c : std::string("Temp;R 100 ;0;1000;dec.1;K;\r\n")) wide += std::string{c, '\0'};
    ASSERT_EQ(load(wide), 0);
    std::snprintf(value, sizeof value, "1234");
    EXPECT_EQ(TCR_readFormatedPPOValue("R 100", value), 1);
    EXPECT_STREQ(value, "123.4");
}

TEST_F(ValueFormatTest, TableStopsWhenMemoryRunsOut)
{
    MU_releaseAreas();
    pterm.mem_heap2_kb = 1;
    MU_init();
    MU_init2();
    std::string file;
    for (int i = 0; i < 10; i++) file += "S" + std::to_string(i) + ";N" + std::to_string(i) + ";0;9;int; ;\n";
    ASSERT_EQ(load(file), 0);
    int count = TCR_getEntryCount();
    EXPECT_GT(count, 0);
    EXPECT_LT(count, 10);
    EXPECT_NE(TCR_getTcrPointer("N0"), nullptr);
    EXPECT_NE(log().find("out of memory, the table ends"), std::string::npos);
}

TEST_F(ValueFormatTest, CachedValuesAreShownFormatted)
{
    ASSERT_EQ(load(kTable), 0);
    PPO_destroyList();
    ASSERT_EQ(PPO_addToList("R 100", TCR_getTcrPointerWithSymbol("Temp")), 1);
    ASSERT_EQ(PPO_addToList("T2", TCR_getTcrPointerWithSymbol("TB")), 1);
    char reply[] = "R 100=1234\nT2=930\n";
    PPO_parseValuesString(reply, -1);
    EXPECT_STREQ(PPO_lookup("R 100")->value, "123.4");
    EXPECT_STREQ(PPO_lookup("T2")->value, "09:30");
    PPO_writeValueNew("T2", "Not available", 0, 0);
    EXPECT_STREQ(PPO_lookup("T2")->value, "xx:xx");
}

// The way of a page's value in local mode: the native driver reads from and
// writes to the panel's own value store through the formats.
TEST_F(ValueFormatTest, NativeDriverConvertsWritesAndFormatsReadsInLocalMode)
{
    SetRemoteStatus(0);
    DS_Initialize();
    ASSERT_EQ(load(kTable), 0);
    char shownValue[TCR_VALUE_SIZE], stored[DS_VALUE_SIZE];
    auto storeValue = [&](const char *name) {
        DS_readVal(name, stored, nullptr);
        return std::string(stored);
    };
    ASSERT_EQ(Tarsel_readVal("R 100", shownValue, sizeof shownValue), 1);
    EXPECT_STREQ(shownValue, "0.0") << "a new value of the store is 0";

    EXPECT_EQ(Tarsel_writeVal("R 100", "12.3", TCR_VALUE_SIZE), 1);
    EXPECT_EQ(storeValue("R 100"), "123");
    Tarsel_readVal("R 100", shownValue, sizeof shownValue);
    EXPECT_STREQ(shownValue, "12.3");

    EXPECT_EQ(Tarsel_writeVal("R 100", "100.1", TCR_VALUE_SIZE), 0);
    EXPECT_EQ(storeValue("R 100"), "123") << "a refused entry writes nothing";
    EXPECT_EQ(Tarsel_writeVal("R 100", "50", TCR_VALUE_SIZE), 0) << "until the next refresh";
    EXPECT_EQ(TCR_isInvalidEntry(), 1);
    EXPECT_EQ(Tarsel_writeVal("R 100", "50", TCR_VALUE_SIZE), 1);
    EXPECT_EQ(storeValue("R 100"), "500");

    storeValue("T2");
    EXPECT_EQ(Tarsel_writeVal("T2", "09h30", TCR_VALUE_SIZE), 1);
    EXPECT_EQ(storeValue("T2"), "0930");
    Tarsel_readVal("T2", shownValue, sizeof shownValue);
    EXPECT_STREQ(shownValue, "09:30");

    storeValue("D3");
    EXPECT_EQ(Tarsel_writeVal("D3", "31.02.07", TCR_VALUE_SIZE), 1);
    EXPECT_EQ(storeValue("D3"), "070303");
    Tarsel_readVal("D3", shownValue, sizeof shownValue);
    EXPECT_STREQ(shownValue, "03.03.07");
}

} // namespace
