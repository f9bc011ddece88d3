// Alarm lists in file viewers against a scripted target: the list's
// containers, paging with its start and end lines, coloured rows, the
// off-line history's loading, sort and file, the operator commands, and
// answers that are cut, negative, too long or otherwise wrong.
#include "input_fixture.h"

#include <functional>
#include <mutex>

#include "alarms_trends/alarm_list.h"
#include "comm_fixtures.h"
#include "draw/fonts.h"
#include "draw/graphics.h"
#include "input/input_events.h"
#include "objects/file_viewer.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/ramdisk.h"
#include "runtime/settings.h"
#include "transport/http_client.h"
#include "transport/target_address.h"
#include "view/view_manager.h"

using std::string;

namespace {

const string kCurrent = "@MACROALRDEFONAlarmsList.A";
const string kHistory = "@MACROALRHISONAlarmsList.H";
const string kOffline = "@MACROALRHISOFFAlarmsList.F";

class AlarmList : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        SRVR_setTimeout(2000);
        server_ = std::make_unique<RawServer>([this](int fd, const string &request) { return respond(fd, request); });
        SetRemoteHost(server_->host().c_str());
        pterm.remote_mode = 1; // values from the target, files local
        SetRemoteStatus(1);
        G_SetFont(FO_findCorrespondingFont("Monospaced", 0, 12));
        rowHeight_ = FO_GetCharHeight(nullptr);
    }
    void TearDown() override
    {
        SRVR_destroy();
        server_.reset();
        InputTest::TearDown();
    }
    // The target: answers each query of alarm.exe; alarm texts are "Text N".
    void answer(std::function<string(const string &query)> reply)
    {
        std::lock_guard<std::mutex> hold(lock_);
        reply_ = std::move(reply);
    }
    RawServer::After respond(int fd, const string &request)
    {
        string line = request.substr(0, request.find(' ', 4));
        string query = line.substr(line.find('?') + 1);
        string body;
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (line.find("readVal.exe?PDP,,TEXT") != string::npos) {
                body = "Text " + std::to_string(std::atoi(query.c_str() + 9) + 1);
            } else if (line.find("alarm.exe?") != string::npos) {
                queries_.push_back(query);
                body = reply_ ? reply_(query) : "";
            }
        }
        RawServer::sendText(fd,
                            "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
        return RawServer::After::KeepReading;
    }
    std::vector<string> queries()
    {
        std::lock_guard<std::mutex> hold(lock_);
        std::vector<string> q = queries_;
        queries_.clear();
        return q;
    }
    // A viewer of lines rows with the list's source and a row-number action.
    void show(const string &source, int lines = 10, const string &more = "")
    {
        page("background 255,255,255\nfont \"Monospaced\" 0 12\nfill on\nfill-colour 255,255,255\n"
             "line-colour 0,0,0\n" +
             painter("FileViewerP", 0, 0, 300, lines * rowHeight_,
                     "    repaint 5 CO \"" + source +
                         "\"\n    action 1 6 {\n      dest CO \"row\"\n      source STRING \"\"\n    }\n" + more));
        cycle();
    }
    void cycle() { teqc::drawAllObjects(); }
    FV_Viewer *viewer() { return FV_viewerOf(0); }
    AL_Context *context() { return static_cast<AL_Context *>(viewer()->alarm); }
    static string current(const string &parameter) { return co(("@MACROALRDEFON" + parameter + "A").c_str()); }

    std::unique_ptr<RawServer> server_;
    std::mutex lock_;
    std::function<string(const string &)> reply_;
    std::vector<string> queries_;
    int rowHeight_ = 0;
};

// Lines of current alarms numbered from first, each on since 1600000000.
string currentLines(int first, int count, const string &end = "Done")
{
    string text;
    for (int i = first; i < first + count; i++) text += std::to_string(i) + ";0;5f5e1000;0;0\n";
    return text + end + "\n";
}

int number(const string &query, const string &key)
{
    size_t at = query.find(key + "=");
    return at == string::npos ? -1 : std::atoi(query.c_str() + at + key.size() + 1);
}

// A history of total entries, answered block by block.
string historyAnswer(const string &query, int total)
{
    if (query.find("action=config") != string::npos) return "1.0;0;0;" + std::to_string(total) + ";100";
    int start = number(query, "startLine"), end = number(query, "endLine");
    string text;
    char on[16];
    for (int i = start; i <= end && i < total; i++) {
        std::snprintf(on, sizeof on, "%x", 1600000000 + (i * 37) % total);
        text += std::to_string(i) + ";" + std::to_string(i % 4 + 1) + ";" + on + ";0;" + std::to_string(i % 2) + "\n";
    }
    return text + (end + 1 < total ? "Done\n" : "End\n");
}

} // namespace

TEST_F(AlarmList, CurrentAlarmsPageByPage)
{
    set("@MACROALRDEFONAlarmsListNr.A", "list 1");
    set("@MACROALRDEFONAlarmsListHeaderSP.A", "#sp;0,0,10,40,70,85,93\xA2No\tText\tOn\tOff\tAck\tCount");
    set("@MACROALRDEFONStateOnNackedColor.A", "255,0,0");
    answer([](const string &q) {
        if (q.find("action=config") != string::npos) return string("1.0;23;0;5;100");
        return currentLines(number(q, "startLine") + 1, number(q, "endLine") - number(q, "startLine") + 1);
    });
    show(kCurrent, 11);
    std::vector<string> q = queries();
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q[0], "list=list%201&action=config");
    EXPECT_EQ(q[1], "list=list%201&action=loadDefOverview&startLine=0&endLine=9&sort=0&filter=0");
    EXPECT_EQ(current("MaxPageNr."), "2");
    EXPECT_EQ(current("AlarmsListSize."), "23");
    string text = co(kCurrent.c_str());
    EXPECT_EQ(text.substr(0, text.find('\n', text.find('\n') + 1) + 1),
              "#sp;0,0,10,40,70,85,93\xA2No\tText\tOn\tOff\tAck\tCount\n#sbc;255,0,0#\t1\tText 1\t13.09.2020 "
              "12:26:40\t--\tNAK\t0\n");
    EXPECT_EQ(viewer()->rowCount, 11) << "the titles and ten alarms: a page is the rows below the header's";
    char cell[256];
    FV_getItemAt(viewer(), 3, 1, cell, sizeof cell);
    EXPECT_STREQ(cell, "3") << "column 1 after the colour cell";

    set("@MACROALRDEFONPageNr.A", "1");
    cycle();
    q = queries();
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q[1], "list=list%201&action=loadDefOverview&startLine=10&endLine=19&sort=0&filter=0") << "forward";
    set("@MACROALRDEFONPageNr.A", "2");
    set("@MACROALRDEFONSortMode.A", "3");
    cycle();
    EXPECT_EQ(queries()[1], "list=list%201&action=loadDefOverview&startLine=20&endLine=29&sort=3&filter=0");
    cycle();
    EXPECT_EQ(queries()[1], "list=list%201&action=loadDefOverview&startLine=20&endLine=29&sort=3&filter=0")
        << "the same page repeats its block";
    set("@MACROALRDEFONPageNr.A", "1");
    cycle();
    EXPECT_EQ(queries()[1], "list=list%201&action=loadDefOverview&startLine=10&endLine=19&sort=3&filter=0") << "back";
    set("@MACROALRDEFONPageNr.A", "5");
    cycle();
    EXPECT_EQ(current("PageNr."), "0") << "beyond the last page: page 0";
    EXPECT_EQ(queries()[1], "list=list%201&action=loadDefOverview&startLine=0&endLine=9&sort=3&filter=0");
    for (const char *far : {"2147483647", "99999999999999999999"}) {
        set("@MACROALRDEFONPageNr.A", far);
        cycle();
        EXPECT_EQ(current("PageNr."), "0") << far << ": far beyond the last page, no overflow on the way";
    }
}

TEST_F(AlarmList, ContainersWriteBackAndRedraws)
{
    EXPECT_EQ(AL_typeOf("@MACROALRHISOFFAlarmsList.x"), AL_TYPE_OFFLINE_HISTORY);
    EXPECT_EQ(AL_typeOf("@MACROALRDEFONPageNr.A"), AL_TYPE_NONE);
    show(kCurrent);
    EXPECT_TRUE(queries().empty()) << "no list name: nothing is asked";
    EXPECT_NE(log().find("Failed to get alarm list name; undefined container!\n @MACROALRDEFONAlarmsListNr.A"),
              string::npos);
    cycle();
    EXPECT_EQ(countOf(log(), "Failed to get alarm list name"), 1) << "reported once";

    VM_refresh();
    ASSERT_FALSE(VM_isRefreshRequired());
    set("@MACROALRDEFONPageNr.A", "1");
    EXPECT_TRUE(VM_isRefreshRequired()) << "a write to a list's container redraws";
    VM_refresh();
    ASSERT_FALSE(VM_isRefreshRequired());
    set("@MACROALRDEFONAlarmsListHeaderSP.A", "#sp;0");
    EXPECT_FALSE(VM_isRefreshRequired()) << "except to its header";

    pterm.target_type = 101;
    set("@MACROALRDEFONAlarmsListNr.A", "1");
    show(kCurrent);
    EXPECT_TRUE(queries().empty()) << "lists stay inactive on such targets";
}

TEST_F(AlarmList, HistoryWithoutEndMarkerStartsAgain)
{
    set("@MACROALRHISONAlarmsListNr.H", "7");
    int calls = 0;
    answer([&calls](const string &q) {
        if (q.find("action=config") != string::npos) return string("1.1;0;0;25;100;0");
        calls++;
        return string("3;1;5f5e1000;0;1\n2;1;5f5e1000;5f5e1010;0\n") + (calls == 1 ? "Done\n" : "");
    });
    show(kHistory, 10);
    EXPECT_EQ(queries()[1], "list=7&action=loadHistory&startLine=0&endLine=9");
    set("@MACROALRHISONPageNr.H", "1");
    cycle();
    EXPECT_EQ(queries()[1], "list=7&action=loadHistory&startLine=2&endLine=11") << "after Done: start + lines received";
    set("@MACROALRHISONPageNr.H", "2");
    cycle();
    EXPECT_EQ(queries()[1], "list=7&action=loadHistory&startLine=0&endLine=9") << "no marker: from line 0 again";
    string text = co(kHistory.c_str());
    EXPECT_NE(text.find("3\t1\tText 1\t13.09.2020 12:26:40\t--\tACK\n"), string::npos) << text;

    set("@MACROALRHISONPageNr.H", "0");
    answer([](const string &q) {
        if (q.find("action=config") != string::npos) return string("1.1;0;0;25;100;0");
        return string("1;1;5f5e1000;0;1\n");
    });
    cycle();
    queries();
    set("@MACROALRHISONPageNr.H", "2");
    cycle();
    EXPECT_EQ(queries()[1], "list=7&action=loadHistory&startLine=0&endLine=9") << "a jump of two pages loads twice";
}

TEST_F(AlarmList, BadAnswersKeepTheRows)
{
    set("@MACROALRDEFONAlarmsListNr.A", "1");
    string reply;
    answer([&reply](const string &q) { return q.find("action=config") != string::npos ? "1.0;5;0;0;100" : reply; });
    reply = currentLines(1, 2);
    show(kCurrent, 4);
    string good = co(kCurrent.c_str());
    ASSERT_NE(good.find("\n2\tText 2"), string::npos) << good;

    struct Case {
        string answer, expect;
    };
    const Case cases[] = {
        {"", "<kept>"},
        {"Done\n", "<kept>"},
        {"4;0;5f5e1000;0\n5;0;ffffffffff;0;0\nDone\n", "failed!\nfailed!\n"},
        {"1;0;5f5e1000;0;0\nDone\n9;0;5f5e1000;0;0\n", "1\tText 1"},
        {"1;0;0;0;0\n2;0;0;0;0\n3;0;0;0;0\n4;0;0;0;0\n5;0;0;0;0\n6;0;0;0;0\n", "\n4\tText 4"},
        {"0;0;5f5e1000;0;0\n-2147483648;0;5f5e1000;0;0\nDone\n", "\n-2147483648\t\t"},
        {"1;0;5f5e10", "failed!"},
    };
    for (const Case &c : cases) {
        reply = c.answer;
        cycle();
        string text = co(kCurrent.c_str());
        if (c.expect == "<kept>") EXPECT_EQ(text, good) << "a failed block keeps the rows: " << c.answer;
        else EXPECT_NE(text.find(c.expect), string::npos) << c.answer << "\n" << text;
    }
    reply = "1;0;0;0;0\n2;0;0;0;0\n3;0;0;0;0\n4;0;0;0;0\n5;0;0;0;0\n6;0;0;0;0\n";
    cycle();
    EXPECT_EQ(co(kCurrent.c_str()).find("\n5\t"), string::npos) << "lines beyond the asked four are dropped";
    EXPECT_EQ(co(kCurrent.c_str()).find("9\t"), string::npos);

    set("@MACROALRDEFONPageNr.A", "1");
    reply = "-2\n";
    cycle();
    EXPECT_EQ(current("PageNr."), "0") << "a negative answer goes back to page 0";
    EXPECT_NE(log().find(".../alarm.exe?list=1&action=loadDefOverview&startLine=0&endLine=3&sort=0&filter=0 failed!"),
              string::npos)
        << log();

    answer([](const string &) { return string("1.0;-5;0;0;100"); });
    cycle();
    EXPECT_NE(log().find(", failed to parse the response!"), string::npos);
    EXPECT_EQ(countOf(log(), ", failed to parse the response!"), 1);
}

TEST_F(AlarmList, OfflineHistoryLoadsSortsAndStoresAFile)
{
    set("@MACROALRHISOFFAlarmsListNr.F", "2");
    answer([](const string &q) { return historyAnswer(q, 130); });
    show(kOffline, 8);
    EXPECT_EQ(queries().size(), 1u) << "only the configuration until loading is started";
    EXPECT_EQ(co("@MACROALRHISOFFAlarmsListSize.F"), "0 / 130");

    set("@MACROALRHISOFFLoadAlrsAction.F", "STARTLOADDATAS");
    cycle();
    EXPECT_EQ(co("@MACROALRHISOFFLoadAlrsAction.F"), "LOADINGDATAS");
    std::vector<string> blocks;
    for (int i = 0; i < 6; i++) {
        cycle();
        for (const string &q : queries())
            if (q.find("loadHistory") != string::npos) blocks.push_back(q);
    }
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0], "list=2&action=loadHistory&startLine=0&endLine=63");
    EXPECT_EQ(blocks[1], "list=2&action=loadHistory&startLine=64&endLine=127");
    EXPECT_EQ(blocks[2], "list=2&action=loadHistory&startLine=128&endLine=129");
    EXPECT_EQ(co("@MACROALRHISOFFLoadAlrsBargVal.F"), "100");
    EXPECT_EQ(co("@MACROALRHISOFFLoadAlrsAction.F"), "0") << "stopped, the file written";
    EXPECT_EQ(co("@MACROALRHISOFFAlarmsListSize.F"), "130 / 130");
    EXPECT_GT(context()->fileSize, 0);
    cycle();
    EXPECT_EQ(viewer()->rowCount, 130) << "drawn from the file";
    char cell[256];
    FV_getItemAt(viewer(), 129, 0, cell, sizeof cell);
    EXPECT_STREQ(cell, "129");

    auto sortBy = [this](const char *column) {
        set("@MACROALRHISOFFSortAlrsColNr.F", column);
        set("@MACROALRHISOFFSortAlrsColAction.F", "SORTHISSOFFALARMS");
        cycle();
        cycle();
    };
    sortBy("4");
    FV_getItemAt(viewer(), 0, 3, cell, sizeof cell);
    string newest = cell;
    FV_getItemAt(viewer(), 1, 3, cell, sizeof cell);
    EXPECT_GE(newest, string(cell)) << "column 4: the newest on time first";
    EXPECT_NE(newest.find(":28:49"), string::npos) << newest << " is 1600000129";
    sortBy("-4");
    FV_getItemAt(viewer(), 0, 3, cell, sizeof cell);
    EXPECT_NE(string(cell).find(":26:40"), string::npos) << cell;

    sortBy("9");
    EXPECT_EQ(co("@MACROALRHISOFFSortAlrsColNr.F"), "0") << "a sort column out of range is refused";
    EXPECT_NE(log().find("no sort column 9"), string::npos);

    uint32_t heap = MU_getMyHeapSize();
    set("@MACROALRHISOFFLoadAlrsAction.F", "STARTLOADDATAS");
    cycle();
    EXPECT_EQ(context()->history.count, 0) << "a second start drops the lines of the first";
    for (int i = 0; i < 6; i++) cycle();
    EXPECT_EQ(context()->history.count, 130);
    EXPECT_EQ(MU_getMyHeapSize(), heap) << "and reuses their memory";
}

TEST_F(AlarmList, OfflineLoadingStopsAfterThreeFailures)
{
    set("@MACROALRHISOFFAlarmsListNr.F", "2");
    answer([](const string &q) { return q.find("action=config") != string::npos ? string("1.0;0;0;50;100") : "oops"; });
    show(kOffline, 8);
    set("@MACROALRHISOFFLoadAlrsAction.F", "STARTLOADDATAS");
    for (int i = 0; i < 5; i++) cycle();
    EXPECT_EQ(co("@MACROALRHISOFFLoadAlrsAction.F"), "0");
    EXPECT_EQ(countOf(log(), "Failed to load alarm block!"), 1) << "reported once per run of failures";
}

TEST_F(AlarmList, OperatorCommands)
{
    set("@MACROALRDEFONAlarmsListNr.A", "1");
    set("@MACROALRDEFONAlarmsListHeaderSP.A", "#sp;0,0,10");
    answer([](const string &q) {
        if (q.find("action=config") != string::npos) return string("1.0;3;0;0;100");
        if (q.find("action=clearLogFiles") != string::npos) return string("Refused");
        if (q.find("action=reinitAlarming") != string::npos) return string("Done");
        if (q.find("action=loadDefOverview") != string::npos) return currentLines(5, 3);
        return string("1");
    });
    show(kCurrent, 5);
    queries();
    int rh = rowHeight_;
    MH_mouseDown(50, rh + rh / 2);
    MH_mouseUp(50, rh + rh / 2);
    ASSERT_EQ(FV_focusedRow(viewer()), 1);
    set("@MACROALRDEFONSelAlrsTypesAct.A", "ACKALRSITEMS");
    cycle();
    std::vector<string> q = queries();
    ASSERT_GE(q.size(), 2u);
    EXPECT_EQ(q[0], "list=1&action=acknowledge&item=6");
    EXPECT_EQ(current("SelAlrsTypesAct."), "0");
    EXPECT_EQ(FV_focusedRow(viewer()), -1) << "the selection is reset";

    set("@MACROALRDEFONSelAlrsTypesAct.A", "ACKALRSITEMS");
    cycle();
    EXPECT_EQ(queries()[0], "list=1&action=config") << "nothing selected: nothing acknowledged";

    set("@MACROALRDEFONPageNr.A", "0");
    set("@MACROALRDEFONSelAlrsTypesAct.A", "DELALRSLIST");
    cycle();
    EXPECT_EQ(queries()[0], "list=1&action=delete&completList=1");
    EXPECT_EQ(current("MaxPageNr."), "0");

    set("@MACROALRDEFONSelAlrsTypesAct.A", "CLEARTRGTLOGFILES");
    cycle();
    EXPECT_NE(log().find("Failed to clear log files on the target!\n Refused"), string::npos) << log();
    set("@MACROALRDEFONSelAlrsTypesAct.A", "RESTARTTRGTALARMING");
    cycle();
    EXPECT_EQ(log().find("Failed to restart alarming"), string::npos);
    set("@MACROALRDEFONSelAlrsTypesAct.A", "MAKECOFFEE");
    cycle();
    EXPECT_NE(log().find("Unknown Alarm Action!\n MAKECOFFEE"), string::npos);

    EXPECT_EQ(OB_SendMessage(0, OB_MSG_SELECTABLE, 0, nullptr), 1);
    set("@MACROALRDEFONSelAlrsTypesAct.A", "FOCUSALRLST");
    MH_selectObject(-1, 0);
    cycle();
    EXPECT_EQ(OB_getActualFocus(), 0) << "the list takes the focus";
}
