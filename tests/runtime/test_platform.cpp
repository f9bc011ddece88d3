#include "test_support.h"

#include <cstring>
#include <ctime>

#include "runtime/platform.h"
#include "runtime/ramdisk.h"

class Platform : public TempDirTest {};

TEST_F(Platform, AppPathAndFileOpening)
{
    SYS_setAppPath("/opt/panel/bin/Panterm_MW");
    EXPECT_STREQ(AppPath, "/opt/panel/bin/");
    SYS_setAppPath("Panterm_MW");
    EXPECT_STREQ(AppPath, "");

    SYS_setAppPath((dir_ + "/Panterm_MW").c_str());
    writeFile(path("MsgBox.teq"), std::string(700, 'm'));
    FILE *f = APP_FOPEN("MsgBox.teq", "rb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_NE(APP_FOPEN(path("MsgBox.teq").c_str(), "rb"), nullptr);
    EXPECT_EQ(APP_FOPEN(std::string(3000, 'x').c_str(), "rb"), nullptr);

    ASSERT_EQ(copy_file_to_ramdisk("box", "MsgBox.teq"), 1);
    int h = RA_fileOpen("box", "r");
    ASSERT_GE(h, 16);
    EXPECT_EQ(RA_fileSize(h), 700);
    RA_fileClose(h);
    EXPECT_EQ(copy_file_to_ramdisk("none", "missing.teq"), 0);
}

// The application files lie beside the program (the test programs are built
// beside the panel); a file of the settings' directory comes first.
TEST_F(Platform, ApplicationFilesFromAppPathOrBesideTheProgram)
{
    SYS_setAppPath((dir_ + "/Panterm_MW").c_str());
    FILE *f = SYS_openApplicationFile("keypad.teq", "rb");
    ASSERT_NE(f, nullptr) << "the panel's own keypad page";
    EXPECT_GT(std::fgetc(f), 0);
    std::fclose(f);
    writeFile(path("keypad.teq"), "mine");
    f = SYS_openApplicationFile("keypad.teq", "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::fgetc(f), 'm');
    std::fclose(f);
    EXPECT_EQ(SYS_openApplicationFile("missing.teq", "rb"), nullptr);
    ASSERT_EQ(copy_file_to_ramdisk("alphapad.teq", "alphapad.teq"), 1);
    EXPECT_EQ(RA_fileExists("alphapad.teq"), 1);
    EXPECT_EQ(RA_fileExists("keypad.teq"), 0);
}

TEST_F(Platform, TimeServices)
{
    char text[SYS_TIME_TEXT_SIZE];
    getSystemTimeAsString(text);
    EXPECT_EQ(std::strlen(text), 8u);
    EXPECT_EQ(text[2], ':');
    getSystemDateAsString(text);
    EXPECT_EQ(text[2], '.');
    EXPECT_EQ(text[5], '.');

    uint32_t ticks = SYS_get10Milliseconds();
    EXPECT_EQ(ticks, static_cast<uint32_t>((static_cast<int64_t>(SYS_getTime()) - 946681200) * 100));

    int yy = 25, mm = 1, dd = 32;
    fixDateYYMMDD(&yy, &mm, &dd);
    EXPECT_EQ(yy * 10000 + mm * 100 + dd, 250201);
    yy = 24, mm = 13, dd = 1;
    fixDateYYMMDD(&yy, &mm, &dd);
    EXPECT_EQ(yy * 10000 + mm * 100 + dd, 250101);
    EXPECT_TRUE(isLesserYYMMDD(24, 12, 31, 25, 1, 1));
    EXPECT_FALSE(isLesserYYMMDD(25, 1, 1, 25, 1, 1));
    EXPECT_TRUE(isGreaterYYMMDD(25, 2, 1, 25, 1, 32) == 0) << "day 32 of January is the first of February";

    struct tm t;
    time_t when = fix_time(&t, 2026, 2, 30, 25, 0, 0);
    EXPECT_EQ(t.tm_mon, 2);
    EXPECT_EQ(t.tm_mday, 3);
    EXPECT_EQ(t.tm_hour, 1);
    EXPECT_GT(when, 0);
}
