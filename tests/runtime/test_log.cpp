#include "test_support.h"

#include <cstring>
#include <string>
#include <thread>

#include "runtime/settings.h"
#include "runtime/hooks.h"
#include "runtime/log.h"

class Log : public TempDirTest {
protected:
    std::string log() { return (log_flushFile(), readFile(path("pterm.log"))); }
};

TEST_F(Log, ArgumentZeroWritesTheFormatAsItStands)
{
    log_append(0, "value %d\n", nullptr);
    log_append_int(0, "value %d\n", 0);
    log_append(0, "name %s\n", "tank");
    EXPECT_EQ(log(), "value %d\nvalue 0\nname tank\n");
}

TEST_F(Log, LevelZeroWritesNothingAndCreatesNoFile)
{
    pterm.debug_level = 0;
    log_append(1, "hello\n", nullptr);
    err_append(5, "broken\n", nullptr);
    EXPECT_FALSE(fileExists(path("pterm.log")));
    pterm.debug_level = 1;
    pterm.log_file[0] = '\0';
    log_append(0, "hello\n", nullptr);
    EXPECT_FALSE(fileExists(path("pterm.log")));
}

TEST_F(Log, ErrorsCarryTheirNumberAndATimeLine)
{
    err_append(2001, "Undefined PPO !\n \"%s\"\n", "Temp1");
    std::string text = log();
    ASSERT_GT(text.size(), 9u);
    EXPECT_EQ(text[2], ':');
    EXPECT_EQ(text[8], '\n');
    EXPECT_EQ(text.substr(9), "Error 2001: Undefined PPO !\n \"Temp1\"\n");

    err_fileNotFound("page.html");
    EXPECT_NE(log().find("File not found !\n page.html\n"), std::string::npos);
    EXPECT_NE(log().find("File \"page.html\" not found !\n"), std::string::npos);
}

TEST_F(Log, ClearFileStartsWithTheDateHeader)
{
    log_append(0, "old\n", nullptr);
    log_clearFile();
    std::string text = log();
    ASSERT_EQ(text.substr(0, 3), "-- ");
    EXPECT_EQ(text.find("old"), std::string::npos);
    EXPECT_EQ(text[5], '.');
    EXPECT_EQ(text.substr(text.size() - 4), " --\n");
}

// Beyond 1 MB the log moves to pterm.log.1 (the one before is replaced) and
// goes on in a new file: it never stops.
TEST_F(Log, LevelOneRotatesTheLogBeyondOneMegabyte)
{
    std::string chunk(4000, 'x');
    chunk += '\n';
    for (int round = 1; round <= 2; round++) {
        for (int i = 0; i < 400; i++) log_append(0, chunk.c_str(), nullptr);
        log_append(0, "round %s\n", std::to_string(round).c_str());
        EXPECT_EQ(pterm.debug_level, 1);
        std::string kept = readFile(path("pterm.log.1"));
        EXPECT_NE(kept.find("MAXIMUM FILE SIZE REACHED FOR debug_level 1!\nThe log goes on in a new file.\n<EOF>"),
                  std::string::npos);
        EXPECT_LT(kept.size(), 1300000u);
        std::string text = log();
        EXPECT_NE(text.find("Log continued; the previous part is in pterm.log.1\n"), std::string::npos);
        EXPECT_NE(text.find("round " + std::to_string(round) + "\n"), std::string::npos) << "still logging";
        EXPECT_LT(text.size(), 1300000u);
    }
}

TEST_F(Log, TwoThreadsNeverInterleaveWithinALine)
{
    pterm.debug_level = 2;
    auto writer = [](char c) {
        std::string line(200, c);
        line += '\n';
        for (int i = 0; i < 300; i++) log_append(0, line.c_str(), nullptr);
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();
    std::string text = log();
    size_t lines = 0;
    for (size_t pos = 0; pos < text.size(); pos += 201, lines++) {
        ASSERT_EQ(text[pos + 200], '\n');
        ASSERT_EQ(text.find_first_not_of(text[pos], pos), pos + 200) << "line " << lines;
    }
    EXPECT_EQ(lines, 600u);
}

// Errors reported by the server thread and the main thread at once: each one
// reaches the log, and the message box text stays within its buffer however
// the two appends meet at its limit.
TEST_F(Log, TwoThreadsReportErrorsIntoOneMessageBox)
{
    static char box[800]; // as large as the message-box container
    box[0] = '\0';
    HK_hooks()->messageBoxText = [] { return box; };
    pterm.warn_btn.enabled = 1;
    auto reporter = [](int code) {
        for (int i = 0; i < 200; i++) err_append(code, "Target reply refused !\n %s\n", "X");
    };
    std::thread a(reporter, 1), b(reporter, 2);
    a.join();
    b.join();
    std::string text = log();
    size_t ones = 0, twos = 0;
    for (size_t pos = 0; (pos = text.find("Error ", pos)) != std::string::npos; pos++) {
        ones += text.compare(pos, 9, "Error 1: ") == 0;
        twos += text.compare(pos, 9, "Error 2: ") == 0;
    }
    EXPECT_EQ(ones, 200u);
    EXPECT_EQ(twos, 200u);
    EXPECT_EQ(std::strlen(box), MSGBOX_TEXT_LIMIT + 3u) << "full, with \"...\"";
    EXPECT_GT(getNumberOfMessagePending(), 0);
}
