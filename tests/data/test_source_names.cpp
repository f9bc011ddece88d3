#include "data_fixture.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "data/source_names.h"

class SourceNames : public DataTest {};

// Each row: the container x set to a value, then a name and what it resolves to.
TEST_F(SourceNames, PlainOffsetAndSaturatingReferences)
{
    setCo("index", "3");
    setCo("offs", "5");
    setCo("x", "7");
    EXPECT_STREQ(resolveCO("#CO_index#-#CO_offs#-#CO_x#"), "3-5-7");
    const struct {
        const char *x, *name, *resolved;
    } cases[] = {
        {"7", "Motor#CO_index#.Speed", "Motor3.Speed"},
        {"7", "R10+#COFF_offs#", "R15"},
        {"7", "A#CO_x", "A7"},
        {"7", "Motor@CO_index@.Speed", "Motor3.Speed"},
        {"30", "100-#COFF_x#", "70"},
        {"30", "3*#COFF_x#", "90"},
        {"30", "R-100/#COFF_x#", "R-3"},
        {"0", "100/#COFF_x#", "100"},
        {"4", "abc+#COFF_x#", "abc4"},
        {"4", "a#COFF_x#b", "a4b"},
        {"12abc", "#COFF_x#", "12"},
        {"none", "7+#COFF_x#", "7"},
        {"99999", "99999999999999999999999999*#COFF_x#", "2147483647"},
        {"99999", "99999*#COFF_x#", "2147483647"},
        // beyond 64 bits: saturated by the sign of the true result
        {"-99999", "99999999999999999999-#COFF_x#", "2147483647"},
        {"-99999", "99999999999999999999*#COFF_x#", "-2147483648"},
        {"-99999", "99999999999999999999+#COFF_x#", "2147483647"},
        {"-99999999999999999999", "5+#COFF_x#", "-2147483648"},
        {"-99999999999999999999", "5/#COFF_x#", "0"},
        {"99999999999999999999", "#COFF_x#", "2147483647"},
    };
    for (const auto &c : cases) {
        setCo("x", c.x);
        EXPECT_STREQ(resolveInfoName(c.name), c.resolved) << c.name << " with x = " << c.x;
    }
}

TEST_F(SourceNames, UnchangedNamesKeepTheirPointer)
{
    const char *plain = "Tank.Level";
    EXPECT_EQ(resolveInfoName(plain), plain);
    const char *unknown = "#FOO_x#";
    EXPECT_EQ(resolveInfoName(unknown), unknown);
    std::string longName(1000, 'n');
    EXPECT_EQ(resolveInfoName(longName.c_str()), longName.c_str());
    EXPECT_EQ(resolveInfoName(nullptr), nullptr);
}

TEST_F(SourceNames, UnknownPrefixIsSkippedAndStagesRunInOrder)
{
    setCo("y", "9");
    EXPECT_STREQ(resolveInfoName("#FOO_x#CO_y#"), "#FOO_x9");
    // "#" references build the name of an "@" reference.
    setCo("i", "2");
    setCo("2", "two");
    EXPECT_STREQ(resolveInfoName("@CO_#CO_i#@"), "two");
    // A value that holds a reference is resolved in turn.
    setCo("a", "#CO_b#");
    setCo("b", "7");
    EXPECT_STREQ(resolveInfoName("#CO_a#"), "7");
    // Without page parameters, an HTML reference reads as empty.
    EXPECT_STREQ(resolveInfoName("P#HTML_Project#Q"), "PQ");
}

TEST_F(SourceNames, CyclesEndWithAMessage)
{
    setCo("self", "#CO_self#");
    EXPECT_STREQ(resolveInfoName("#CO_self#"), "#CO_self#");
    setCo("grow", "aaaaaaaaaa#CO_grow#");
    EXPECT_LE(std::strlen(resolveInfoName("#CO_grow#")), 255u);
    setCo("p", "#CO_q#");
    setCo("q", "#CO_p#");
    resolveInfoName("x#CO_p#");
    setCo("n", "#COFF_n#");
    EXPECT_STREQ(resolveInfoName("#COFF_n#"), "0");
    EXPECT_NE(log().find("References in source name do not end:\n \"#CO_self#\"\n"), std::string::npos);
    EXPECT_NE(log().find("\"x#CO_p#\""), std::string::npos);
}

// A reader whose values hold references it resolves again, as page parameters do.
static int selfResolvingReader(const char *, char *dst)
{
    const char *value = resolveWithSep("#X_again#", '#', "X_", "XOFF_", selfResolvingReader);
    std::snprintf(dst, 256, "%s", value);
    return 1;
}

TEST_F(SourceNames, NestedResolutionStopsAtTheDepthLimit)
{
    EXPECT_STREQ(resolveWithSep("a#X_b#", '#', "X_", "XOFF_", selfResolvingReader), "a#X_again#");
    EXPECT_NE(log().find("References in source name nest too deeply:\n \"#X_again#\"\n"), std::string::npos);
    setCo("x", "1");
    EXPECT_STREQ(resolveInfoName("#CO_x#"), "1");
}

TEST_F(SourceNames, LongNamesAndValuesAreCutToTheSlot)
{
    setCo("v", std::string(255, 'v'));
    const char *r = resolveInfoName(("abc#CO_v#" + std::string(100, 't')).c_str());
    EXPECT_EQ(std::string(r), "abc" + std::string(252, 'v'));

    std::string longRef = "#CO_" + std::string(1000, 'k') + "#tail";
    EXPECT_STREQ(resolveInfoName(longRef.c_str()), "");
    std::string longTail = "#CO_v#" + std::string(1000, 'z');
    EXPECT_EQ(std::strlen(resolveInfoName(longTail.c_str())), 255u);
}

TEST_F(SourceNames, ResultsStayValidForEightStages)
{
    setCo("i", "1");
    const char *results[RESOLVE_RING_SLOTS];
    char names[RESOLVE_RING_SLOTS][16];
    for (int k = 0; k < RESOLVE_RING_SLOTS; k++) {
        std::snprintf(names[k], sizeof names[k], "N%d#CO_i#", k);
        results[k] = resolveCO(names[k]);
    }
    for (int k = 0; k < RESOLVE_RING_SLOTS; k++) {
        char expected[16];
        std::snprintf(expected, sizeof expected, "N%d1", k);
        EXPECT_STREQ(results[k], expected);
    }
    resolveCO("again#CO_i#");
    EXPECT_STREQ(results[0], "again1");
}
