// Alarm rows and the off-line history: configuration answers, alarm lines
// with bad fields, rows with times, colours and cut texts, and the sort,
// which must give the order of the neighbour-swapping passes.
#include "test_support.h"

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "alarms_trends/alarm_history.h"
#include "alarms_trends/alarm_rows.h"
#include "runtime/heap.h"
#include "runtime/ramdisk.h"

using std::string;

namespace {

const AL_RowStyle kPlain = {0, 0, 0};

string row(const AL_Line &line, int history, const AL_RowStyle &style = kPlain)
{
    char out[512];
    AL_formatRow(&line, history, &style, out, sizeof out);
    return out;
}

// The sort as passes over neighbours that swap out-of-order pairs until a
// pass swaps nothing.
std::vector<AL_Line> bubbleSorted(std::vector<AL_Line> lines, int column)
{
    for (bool swapped = true; swapped;) {
        swapped = false;
        for (size_t i = 0; i + 1 < lines.size(); i++) {
            int c = AL_compareLines(&lines[i], &lines[i + 1], column);
            if (column > 0 ? c < 0 : c > 0) {
                std::swap(lines[i], lines[i + 1]);
                swapped = true;
            }
        }
    }
    return lines;
}

class AlarmHistory : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        MU_init();
    }
    void fill(const std::vector<AL_Line> &lines)
    {
        for (const AL_Line &l : lines) ASSERT_EQ(AL_historyAdd(&history_, &l), 1);
    }
    AL_History history_ = {};
};

const char *const kTexts[] = {"Pump fault", "Level high", "Door open", "", "Level high"};

std::vector<AL_Line> randomLines(int n, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<AL_Line> lines;
    for (int i = 0; i < n; i++) {
        AL_Line l = {};
        l.historyNumber = static_cast<int32_t>(random() % 50) - 10;
        l.alarmNumber = static_cast<int32_t>(random() % 7);
        l.text = kTexts[random() % 5];
        l.onTime = random() % 3 == 0 ? 0xF0000000u + random() % 4 : random() % 4;
        l.offTime = random() % 3;
        l.acknowledged = static_cast<int32_t>(random() % 2);
        l.count = static_cast<uint32_t>(i); // tells equal keys apart
        lines.push_back(l);
    }
    return lines;
}

} // namespace

TEST(AlarmRows, ConfigurationAnswers)
{
    AL_Config c;
    ASSERT_EQ(AL_parseConfig("1.0;23;0;130;100", &c), 1);
    EXPECT_EQ(c.version, 100);
    EXPECT_EQ(c.current, 23);
    EXPECT_EQ(c.history, 130);
    EXPECT_EQ(c.largestBlock, 100);
    ASSERT_EQ(AL_parseConfig("1.1;2;0;5;64;7\r\n", &c), 1);
    EXPECT_EQ(c.status, 7);
    for (const char *bad : {"1.1;2;0;5;64", "2.0;1;0;1;1", "0.0;1;0;1;1", "1.0;1;0;1", "1.0;-1;0;5;10", "x",
                            "1.0;1;0;99999999999;1", "", "99999999999999.0;1;0;1;1"})
        EXPECT_EQ(AL_parseConfig(bad, &c), 0) << bad;
}

TEST(AlarmRows, LinesAndTheirRows)
{
    AL_Line l;
    ASSERT_EQ(AL_parseLine("17\t0\t5f5e1000\t0\t0", 0, &l), 1);
    EXPECT_EQ(l.alarmNumber, 17);
    EXPECT_EQ(l.onTime, 1600000000u);
    EXPECT_EQ(AL_stateOf(&l), AL_COLOUR_ON_NACKED);
    l.text = "Tank high";
    l.red = 255, l.green = 80, l.blue = 0;
    EXPECT_EQ(row(l, 0, {1, 0, 0}), "#sbc;255,80,0#\t17\tTank high\t13.09.2020 12:26:40\t--\tNAK\t0\n");

    ASSERT_EQ(AL_parseLine("4\t17\t5f5e1000\t5f5e10e0\t1", 1, &l), 1);
    EXPECT_EQ(l.historyNumber, 4);
    EXPECT_EQ(AL_stateOf(&l), AL_COLOUR_OFF_ACKED);
    l.text = nullptr;
    EXPECT_EQ(row(l, 1), "4\t17\t\t13.09.2020 12:26:40\t13.09.2020 12:30:24\tACK\n");
    EXPECT_EQ(row(l, 1, {0, 1, 0}), "4\t17\t\t2020.09.13 12:26:40 PM\t2020.09.13 12:30:24 PM\tACK\n");
    l.onTime = 1600000000u - 12 * 3600; // 00:26:40
    EXPECT_NE(row(l, 1, {0, 1, 0}).find("2020.09.13 12:26:40 AM"), string::npos) << "hour 0 shows 12";

    l.onTime = 0;
    EXPECT_EQ(AL_stateOf(&l), AL_COLOUR_NO_STATE);
    for (const char *bad : {"17\t0\t5f5e1000\t0", "", "17\t0\t1ffffffff\t0\t0", "17\t0\t-5\t0\t0", "x\t0\t0\t0\t0",
                            "99999999999\t0\t0\t0\t0", "17\t\t0\t0\t0"})
        EXPECT_EQ(AL_parseLine(bad, 0, &l), 0) << bad;
    EXPECT_EQ(AL_parseLine("-3\t0\t0\t0\t0\textra", 0, &l), 1) << "negative numbers and extra fields";

    string longText(400, 't');
    l = {};
    l.text = longText.c_str();
    string cut = row(l, 0, {1, 0, 0});
    EXPECT_EQ(cut.size(), 255u) << "the text is cut so that the row stays below 256";
    EXPECT_EQ(cut.back(), '\n');
    l.text = "a\tb\nc";
    EXPECT_EQ(row(l, 0), "0\ta b c\t--\t--\tNAK\t0\n") << "a text stays one cell";

    uint8_t r, g, b;
    AL_parseColour("10,20,30", &r, &g, &b);
    EXPECT_EQ(r + g + b, 60);
    AL_parseColour("nonsense", &r, &g, &b);
    EXPECT_EQ(r & g & b, 255);
    long n = 0;
    EXPECT_EQ(AL_leadingNumber("  -4;x", &n), 1);
    EXPECT_EQ(n, -4);
    EXPECT_EQ(AL_leadingNumber("Done", &n), 0);
}

TEST_F(AlarmHistory, SortGivesTheOrderOfNeighbourSwaps)
{
    std::vector<AL_Line> lines = randomLines(600, 7);
    for (int column = -AL_SORT_COLUMNS; column <= AL_SORT_COLUMNS; column++) {
        if (column == 0) continue;
        AL_historyClear(&history_);
        fill(lines);
        std::vector<AL_Line> expected = bubbleSorted(lines, column);
        EXPECT_EQ(AL_historySort(&history_, column), 1) << column;
        for (size_t i = 0; i < expected.size(); i++)
            ASSERT_EQ(AL_historyAt(&history_, static_cast<int32_t>(i))->count, expected[i].count)
                << "column " << column << " place " << i;
        EXPECT_EQ(AL_historySort(&history_, column), 0) << "sorted already: nothing moves";
    }
    EXPECT_EQ(AL_historySort(&history_, 7), -1);
    EXPECT_EQ(AL_historySort(&history_, 0), -1);
    EXPECT_EQ(AL_historySort(&history_, -7), -1);
}

TEST_F(AlarmHistory, NewestFirstAndTenThousandQuickly)
{
    std::vector<AL_Line> lines;
    for (int i = 0; i < AL_HISTORY_MAX; i++) {
        AL_Line l = {};
        l.historyNumber = i;
        l.alarmNumber = i % 13;
        l.onTime = 1600000000u + static_cast<uint32_t>((i * 7919) % AL_HISTORY_MAX);
        l.text = kTexts[(i % 13) % 5];
        lines.push_back(l);
    }
    fill(lines);
    AL_Line extra = lines[0];
    EXPECT_EQ(AL_historyAdd(&history_, &extra), 0) << "the history is full";
    auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(AL_historySort(&history_, 4), 1);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_LT(seconds, 1.0);
    EXPECT_EQ(AL_historyAt(&history_, 0)->onTime, 1600000000u + AL_HISTORY_MAX - 1) << "column 4: the newest first";
    ASSERT_EQ(AL_historySort(&history_, -4), 1);
    EXPECT_EQ(AL_historyAt(&history_, 0)->onTime, 1600000000u) << "-4: the oldest first";
    EXPECT_EQ(AL_historyAt(&history_, 1)->onTime, 1600000001u);

    int32_t size = AL_historyWrite(&history_, "hist", &kPlain);
    EXPECT_GT(size, 0);
    int file = RA_fileOpen("hist", "r");
    ASSERT_GE(file, 0);
    EXPECT_EQ(RA_fileSize(file), size);
    RA_fileClose(file);
    EXPECT_EQ(history_.textCount, 11) << "one kept text per alarm number with a text";

    uint32_t before = MU_getMyHeapSize();
    AL_historyClear(&history_);
    fill(lines);
    EXPECT_EQ(MU_getMyHeapSize(), before) << "a new load reuses the blocks and the texts";
}

// 10 000 lines over 1 000 alarm numbers: more alarms than kept text slots, so
// most lines carry a text copy of their own. Each new load must give their
// memory back, or heap1 fills after a few reloads.
TEST_F(AlarmHistory, ReloadsGiveTheHeapBack)
{
    std::vector<string> texts;
    for (int n = 0; n < 1000; n++) texts.push_back("Alarm " + std::to_string(n) + ": " + string(100, 'x'));
    std::vector<AL_Line> lines(AL_HISTORY_MAX);
    for (int i = 0; i < AL_HISTORY_MAX; i++) {
        lines[i].historyNumber = i;
        lines[i].alarmNumber = i % 1000;
        lines[i].text = texts[i % 1000].c_str();
    }
    MU_alloc(64); // page data below the history
    uint32_t start = MU_getMyHeapSize();
    for (int load = 1; load <= 7; load++) {
        AL_historyClear(&history_);
        EXPECT_EQ(MU_getMyHeapSize(), start) << "load " << load << " starts at the remembered position";
        int kept = 0;
        for (const AL_Line &l : lines) kept += AL_historyAdd(&history_, &l);
        ASSERT_EQ(kept, AL_HISTORY_MAX) << "load " << load;
    }
    EXPECT_STREQ(AL_historyAt(&history_, 9999)->text, texts[999].c_str());

    void *other = MU_alloc(16); // page data above the history: heap1 is not cut under it
    uint32_t top = MU_getMyHeapSize();
    AL_historyClear(&history_);
    EXPECT_EQ(MU_getMyHeapSize(), top);
    EXPECT_EQ(AL_historyAdd(&history_, &lines[0]), 1);
    EXPECT_NE(other, nullptr);
}
