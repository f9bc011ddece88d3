#include <gtest/gtest.h>

#include <cstring>

#include "runtime/str_util.h"

TEST(StrUtil, ComparisonsAnswerOneOrZeroAndRefuseMissingStrings)
{
    EXPECT_EQ(stringcmp("abc", "abc"), 1);
    EXPECT_EQ(stringcmp("abc", "abd"), 0);
    EXPECT_EQ(stringcmp(nullptr, nullptr), 0);
    EXPECT_EQ(stringicmp("Start.HTML", "start.html"), 1);
    EXPECT_EQ(stringicmp("start", "starts"), 0);
    EXPECT_EQ(stringncmp("abcX", "abcY", 3), 1);
    EXPECT_EQ(stringnicmp("ABcX", "abcY", 3), 1);
    EXPECT_EQ(stringnicmp("ab", "abc", 3), 0);
    EXPECT_EQ(prefixcmp("PT_PERCO_3", "PT_PERCO_"), 1);
    EXPECT_EQ(prefixcmp("PT_", "PT_PERCO_"), 0);
    EXPECT_EQ(prefixicmp("http://host", "HTTP://"), 1);
    EXPECT_EQ(prefixicmp(nullptr, "x"), 0);
    EXPECT_EQ(str_endsWith("pic.teq", ".teq"), 1);
    EXPECT_EQ(str_endsWith("pic.TEQ", ".teq"), 0);
    EXPECT_EQ(str_endsWithIgnoreCase("pic.TEQ", ".teq"), 1);
    EXPECT_EQ(str_endsWith("q", ".teq"), 0);
}

TEST(StrUtil, TrimParseAndBoundedCopy)
{
    char text[] = " \t value 1 \r\n";
    EXPECT_STREQ(str_trim(text), "value 1");
    int v = 7;
    EXPECT_EQ(str_parseInt(" -42 ", &v), 1);
    EXPECT_EQ(v, -42);
    EXPECT_EQ(str_parseInt("12x", &v), 0);
    EXPECT_EQ(str_parseInt("", &v), 0);
    EXPECT_EQ(str_parseInt("99999999999", &v), 0);
    EXPECT_EQ(v, -42);

    char dst[5];
    std::memset(dst, 'z', sizeof dst);
    safe_strncpy(dst, "abcdefgh", sizeof dst);
    EXPECT_STREQ(dst, "abcd");
    safe_strncpy(dst, nullptr, sizeof dst);
    EXPECT_STREQ(dst, "");
}

TEST(StrUtil, MoveToTokenMissesAMatchThatStartsInsideAPartialMatch)
{
    EXPECT_EQ(moveToToken("xx<tag>yy", "<tag>"), 7);
    EXPECT_EQ(moveToToken("<tag>", "<tag>"), 5);
    EXPECT_EQ(moveToToken("no token here", "<tag>"), -1);
    // "aab": after "aa" fails on the second 'a', that 'a' is not retried.
    EXPECT_EQ(moveToToken("aab", "ab"), -1);
    EXPECT_EQ(moveToToken("<<start_page>", "<start_page>"), -1);
    EXPECT_EQ(moveToToken("a<b><b>", "<b>"), 4);
    EXPECT_EQ(moveToToken(nullptr, "x"), -1);
}

TEST(StrUtil, UrlCoding)
{
    char text[64] = "a+b%41%2f%zz%4";
    URL_decode(text);
    EXPECT_STREQ(text, "a bA/%zz%4");

    char plain[32] = "Tank level 1";
    URL_encode(plain);
    EXPECT_STREQ(plain, "Tank+level+1");

    char pct[16] = "a=b=c";
    EXPECT_EQ(URL_encodeChar(pct, sizeof pct, '='), 1);
    EXPECT_STREQ(pct, "a%3db%3dc");
    char tight[9] = "a=b=c";
    EXPECT_EQ(URL_encodeChar(tight, sizeof tight, '='), 0);
    EXPECT_STREQ(tight, "a=b=c");
}
