#include "test_support.h"

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "process_runner.h"
#include "teq_text.h"

using std::string;

namespace {

constexpr int kCount = 20;
constexpr uint32_t kGreen = 0xFF00FF00, kRed = 0xFF0000FF;

// The values the first run stores: plain text, characters XML would escape,
// a Latin-1 character, an empty value and the longest value a container holds.
std::vector<string> persistentValues()
{
    std::vector<string> values;
    for (int n = 0; n < kCount; n++) values.push_back("value " + std::to_string(n));
    values[5] = "x&y <z>";
    values[7] = "caf\xE9";
    values[12] = "";
    values[19] = string(255, 'z');
    return values;
}

// A value as a UTF string of the text form: Latin-1 characters in UTF-8.
string quoted(const string &value)
{
    string text = "\"";
    for (unsigned char c : value) {
        char escaped[16];
        std::snprintf(escaped, sizeof escaped, "\\x%02X\\x%02X", 0xC0 | c >> 6, 0x80 | (c & 0x3F));
        text += c < 0x80 ? string(1, static_cast<char>(c)) : string(escaped);
    }
    return text + "\"";
}

string persistentName(int n) { return "\"PT_PERCO_" + std::to_string(n) + "\""; }

string eventObject(const string &actions)
{
    return "painter \"EventP\" at 0,0 size 1,1 plc 0 {\n  block \"EventP\" id 1 {\n" + actions + "  }\n}\n";
}

string copyAction(const string &dest, const string &source)
{
    return "action 4 2 {\n  dest " + dest + "\n  source " + source + "\n}\n";
}

// On entering the page the event object writes the twenty values.
string writingPicture(const std::vector<string> &values)
{
    string actions;
    for (int n = 0; n < kCount; n++) actions += copyAction("CO " + persistentName(n), "STRING " + quoted(values[n]));
    return "teq f\npage-size 320,240\nbackground 255,255,255\n" + eventObject(actions);
}

// On entering the page the event object copies the twenty containers into
// "seen_n"; square n turns from red to green when "seen_n" holds value n.
string checkingPicture(const std::vector<string> &values)
{
    string actions, squares;
    for (int n = 0; n < kCount; n++) {
        string seen = "\"seen_" + std::to_string(n) + "\"";
        actions += copyAction("CO " + seen, "CO " + persistentName(n));
        squares += "painter \"XRectangleP\" at " + std::to_string(4 + 15 * n) +
                   ",4 size 12,12 plc 0 {\n"
                   "  block \"XRectangleP\" id 2 {\n    repaint 39 COLOR 0,255,0 {\n"
                   "      when compare eq CO " +
                   seen + " STRING " + quoted(values[n]) + "\n    }\n  }\n}\n";
    }
    return "teq f\npage-size 320,240\nbackground 255,255,255\nfill on\nborder off\nfill-colour 255,0,0\n" +
           eventObject(actions) + squares;
}

string page(const string &picture)
{
    return "<html><body><applet code=\"IViewer.class\" width=\"320\" height=\"240\">\n"
           "<param name=\"ProjectName\" value=\"proj\">\n<param name=\"MainTEQName\" value=\"" +
           picture +
           "\">\n"
           "<param name=\"Period\" value=\"100\">\n</applet></body></html>\n";
}

string expectedFile(const std::vector<string> &values)
{
    string text = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<ptermCo>\n"
                  "<!--Persistent Containers \"PT_PERCO_n\" with n:[0..19] -->\n<size>20</size>\n<Values>\n";
    for (const string &value : values) text += "<string>" + value + "</string>\n";
    return text + "</Values>\n</ptermCo>\n";
}

class EventProgram : public TempDirTest {
protected:
    // Runs the program headless with args until the event script closes it.
    void run(const std::vector<string> &args)
    {
        string link = path("Panterm_MW");
        if (!fileExists(link)) symlink(buildProgram("Panterm_MW").c_str(), link.c_str());
        writeFile(path("events.txt"), "wait 1500\nsnapshot shot.png\nclose\n");
        ChildProcess p(
            link, args, dir_,
            {{"PANTERM_DISPLAY", "headless"}, {"PANTERM_SCREEN", "320x240"}, {"PANTERM_EVENTS", "events.txt"}});
        ASSERT_EQ(p.wait(20000), 0) << p.output();
    }
};

} // namespace

TEST_F(EventProgram, PersistentContainersWrittenByAnEventObjectSurviveARestart)
{
    std::vector<string> values = persistentValues();
    writeFile(path("write.teq"), teqc::buildTeq(writingPicture(values)));
    writeFile(path("check.teq"), teqc::buildTeq(checkingPicture(values)));
    writeFile(path("start.html"), page("write.teq"));
    writeFile(path("check.html"), page("check.teq"));

    run({});
    string saved = readFile(path("ptermsCo.xml"));
    EXPECT_EQ(saved, expectedFile(values));

    run({"check.html"});
    Image shot = readPng(path("shot.png"));
    ASSERT_EQ(shot.width, 320);
    for (int n = 0; n < kCount; n++) EXPECT_EQ(shot.at(10 + 15 * n, 10), kGreen) << "square " << n;
    EXPECT_EQ(readFile(path("ptermsCo.xml")), saved) << "reading the values back changes nothing";

    writeFile(path("ptermsCo.xml"), "<ptermCo><Values><string>only one</string></Values></ptermCo>");
    run({"check.html"});
    shot = readPng(path("shot.png"));
    ASSERT_EQ(shot.width, 320);
    EXPECT_EQ(shot.at(10, 10), kRed) << "a value the file does not hold";
    EXPECT_EQ(shot.at(10 + 15 * 12, 10), kGreen) << "an empty container stays empty";
    EXPECT_EQ(shot.at(10 + 15 * 19, 10), kRed);
}
