// Entering values at the demo plant, end to end: on the setpoints picture a
// touch on the level setpoint opens the keypad, its keys and OK send the
// converted raw value to the simulator and the field shows it formatted with
// its unit; an entry out of range sends nothing and shows the message box;
// with the keypad switched off (sip 0) typed keys edit the fields inline.
#include "test_support.h"

#include <string>

#include "draw/fonts.h"
#include "draw/graphics.h"
#include "e2e_support.h"
#include "teq_render.h"

using namespace e2e;
using std::string;

namespace {

// Centres on the screen: the demo's buttons and fields, the keypad's keys
// (the keypad page lies at the top left), the message box's OK.
const char kSetpoints[] = "click 46 237\n";
const char kSetpointField[] = "click 240 95\n";
const char kTagField[] = "click 280 145\n";
const char kOk[] = "click 177 218\n";
const char kMessageBoxOk[] = "click 264 197\n";

string key(char c)
{
    static const char *const rows[] = {"789", "456", "123"};
    for (int r = 0; r < 3; r++)
        for (int col = 0; col < 3; col++)
            if (rows[r][col] == c)
                return "click " + std::to_string(32 + 58 * col) + " " + std::to_string(82 + 34 * r) + "\n";
    return c == '0' ? "click 61 184\n" : "click 148 184\n";
}

string keys(const string &text)
{
    string script;
    for (char c : text) script += key(c) + "wait 150\n";
    return script;
}

string writes(const string &requests)
{
    string found;
    for (size_t at = requests.find("writeVal.exe?"); at != string::npos; at = requests.find("writeVal.exe?", at + 1))
        found += requests.substr(at + 13, requests.find(' ', at) - at - 13) + ";";
    return found;
}

struct Box {
    int x, y, w, h;
};

// Width of the dark text inside a box (its frame left out), 0 when none.
int textWidth(const Image &img, Box b)
{
    int left = -1, right = -1;
    for (int x = b.x + 2; x < b.x + b.w - 2; x++)
        for (int y = b.y + 2; y < b.y + b.h - 2; y++) {
            uint32_t p = img.at(x, y);
            if ((p & 0xFF) < 110 && (p >> 8 & 0xFF) < 110 && (p >> 16 & 0xFF) < 110) {
                if (left < 0) left = x;
                right = x;
                break;
            }
        }
    return left < 0 ? 0 : right - left + 1;
}

// The width the panel gives a text in a font.
int fontWidth(const char *text, const char *font, int style, int size)
{
    teqc::HeadlessDisplay display(480, 272);
    FO_FontRecord *record = FO_findCorrespondingFont(font, style, size);
    G_SetFont(record);
    int width = G_GetStringWidth(text, record);
    FO_releaseFonts();
    return width;
}

const Box kSetpointBox = {180, 80, 120, 30};
const Box kKeypadText = {4, 30, 232, 30};

bool keypadShown(const Image &img) { return img.at(130, 228) == rgb(140, 205, 140); }
bool messageBoxShown(const Image &img) { return img.at(220, 188) == rgb(140, 205, 140); }

class EntryE2E : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        copyDemo(path("root"), 100);
        writeFile(path("values.txt"), "T1.SP=500\nT1.Name=Tank T1\n");
    }
};

} // namespace

TEST_F(EntryE2E, KeypadWritesTheConvertedSetpointAndARefusedEntryShowsTheMessageBox)
{
    Target target(path("t"), path("root"), path("values.txt"));
    ASSERT_TRUE(target.ok());
    const string script = "wait 3000\n" + string(kSetpoints) + "wait 1500\nsnapshot setpoints.png\n" + kSetpointField +
                          "wait 1000\nsnapshot keypad.png\n" + keys("42.5") + "wait 300\nsnapshot typed.png\n" + kOk +
                          "wait 2000\nsnapshot written.png\n" + kSetpointField + "wait 1000\n" + keys("150") + kOk +
                          "wait 2000\nsnapshot refused.png\n" + kMessageBoxOk + "wait 1500\nsnapshot back.png\nclose\n";
    Panel panel(path("p"), {target.url("start.html"), "", script});
    ASSERT_EQ(panel.wait(60000), 0) << panel.output();

    EXPECT_EQ(writes(target.requests()), "T1.SP+425;") << "42.5 converted; 150 refused and not sent\n"
                                                       << target.requests();
    int withUnit = fontWidth("42.5 %", "SansSerif Bold", 1, 16);
    int before = textWidth(readPng(panel.file("setpoints.png")), kSetpointBox);
    EXPECT_NEAR(before, fontWidth("50.0 %", "SansSerif Bold", 1, 16), 4) << "the target's 500 shown as 50.0 %";
    Image keypad = readPng(panel.file("keypad.png"));
    ASSERT_GT(keypad.width, 0);
    EXPECT_TRUE(keypadShown(keypad));
    EXPECT_NEAR(textWidth(readPng(panel.file("typed.png")), kKeypadText), fontWidth("42.5", "SansSerif Bold", 1, 18),
                4);
    Image written = readPng(panel.file("written.png"));
    EXPECT_FALSE(keypadShown(written));
    EXPECT_NEAR(textWidth(written, kSetpointBox), withUnit, 4) << "the new value with its unit";
    EXPECT_GT(withUnit - fontWidth("42.5", "SansSerif Bold", 1, 16), 8);

    EXPECT_TRUE(messageBoxShown(readPng(panel.file("refused.png"))));
    Image back = readPng(panel.file("back.png"));
    EXPECT_FALSE(messageBoxShown(back));
    EXPECT_NEAR(textWidth(back, kSetpointBox), withUnit, 4) << "the value stays";
    EXPECT_NE(panel.log().find("value out of range !"), string::npos) << panel.log();
}

TEST_F(EntryE2E, WithTheKeypadOffTypedKeysEditInlineAndEnterWrites)
{
    Target target(path("t"), path("root"), path("values.txt"));
    ASSERT_TRUE(target.ok());
    const string script = "wait 3000\n" + string(kSetpoints) + "wait 1500\n" + kSetpointField +
                          "wait 500\ntext 37\nkey ENTER\nwait 1000\n" + kTagField +
                          "wait 500\ntext Tank A\nkey ENTER\nwait 1500\nsnapshot typed.png\nclose\n";
    PanelSetup setup{target.url("start.html"), "", script};
    setup.moreSettings = "\t<keep_alive>0</keep_alive>\n\t<httpd_enabled>0</httpd_enabled>\n"
                         "\t<httpd_port>80</httpd_port>\n\t<sip>0</sip>\n";
    Panel panel(path("p"), setup);
    ASSERT_EQ(panel.wait(60000), 0) << panel.output();
    EXPECT_EQ(writes(target.requests()), "T1.SP+370;T1.Name+Tank+A;") << target.requests();
    Image typed = readPng(panel.file("typed.png"));
    ASSERT_GT(typed.width, 0);
    EXPECT_FALSE(keypadShown(typed)) << "no keypad";
    EXPECT_NEAR(textWidth(typed, kSetpointBox), fontWidth("37.0 %", "SansSerif Bold", 1, 16), 4);
}
