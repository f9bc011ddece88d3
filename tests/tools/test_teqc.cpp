#include "test_support.h"

#include <cstdlib>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "process_runner.h"
#include "teq_render.h"
#include "teq_runtime.h"
#include "teq_sample.h"
#include "teq_text.h"

using std::string;

namespace {

std::vector<string> testPictures()
{
    std::vector<string> names;
    std::stringstream list(TEST_PICTURES);
    for (string name; std::getline(list, name, ',');) names.push_back(name);
    return names;
}

string errorOf(const string &source)
{
    try {
        teqc::buildTeq(source);
    } catch (const teqc::TextError &e) {
        return e.what();
    }
    return "<no error>";
}

void expectRoundTrips(const string &bytes, const string &what)
{
    string text = teqc::dumpTeq(bytes);
    EXPECT_EQ(teqc::buildTeq(text), bytes) << what << "\n" << text;
    EXPECT_EQ(teqc::dumpTeq(teqc::buildTeq(text)), text) << what;
}

// The reader makes fonts, so a display is open; closing it also removes the
// objects runReader left in the table before the heaps go.
class Teqc : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        display_ = std::make_unique<teqc::HeadlessDisplay>(320, 240);
    }
    void TearDown() override
    {
        display_.reset();
        TempDirTest::TearDown();
    }
    std::unique_ptr<teqc::HeadlessDisplay> display_;
};

} // namespace

TEST_F(Teqc, TestPicturesRoundTripAndLoad)
{
    std::vector<string> names = testPictures();
    ASSERT_FALSE(names.empty());
    for (const string &name : names) {
        string bytes = readFile(string(TEST_PICTURE_DIR) + "/" + name + ".teq");
        ASSERT_FALSE(bytes.empty()) << name;
        teqc::ReaderResult result = teqc::runReader(bytes);
        EXPECT_TRUE(result.accepted) << name << ": " << result.messages;
        EXPECT_GT(result.objects, 0) << name;
        expectRoundTrips(bytes, name);
        string source = readFile(string(TEST_PICTURE_SOURCES) + "/" + name + ".teqt");
        string normal = teqc::dumpTeq(teqc::buildTeq(source));
        EXPECT_EQ(teqc::dumpTeq(teqc::buildTeq(normal)), normal) << name;
        EXPECT_EQ(normal.find("bytes"), name == "old_and_later" ? normal.find("bytes 00 01") : string::npos)
            << name << ": only the unknown painter is shown as raw bytes\n"
            << normal;
    }
}

TEST_F(Teqc, ThousandPainterPicture)
{
    string source = teqc::samplePicture(1000);
    string bytes = teqc::buildTeq(source);
    teqc::ReaderResult result = teqc::runReader(bytes);
    ASSERT_TRUE(result.accepted) << result.messages;
    EXPECT_EQ(result.objects, 1000);
    expectRoundTrips(bytes, "1000 painters");
    EXPECT_EQ(teqc::dumpTeq(bytes), source) << "the generated text is in normal form";
}

TEST_F(Teqc, EveryAcceptedVariantOfAFileRoundTrips)
{
    string bytes = teqc::buildTeq(readFile(string(TEST_PICTURE_SOURCES) + "/repaints.teqt")) +
                   teqc::buildTeq(readFile(string(TEST_PICTURE_SOURCES) + "/old_and_later.teqt")).substr(1);
    int accepted = 0;
    for (size_t n = 1; n <= bytes.size(); n += 3) {
        string prefix = bytes.substr(0, n);
        if (!teqc::runReader(prefix).accepted) continue;
        accepted++;
        expectRoundTrips(prefix, "prefix of " + std::to_string(n));
    }
    std::mt19937 random(12345);
    for (int i = 0; i < 600; i++) {
        string mutated = bytes;
        for (int k = 0; k < 3; k++) mutated[1 + random() % (mutated.size() - 1)] = static_cast<char>(random() % 256);
        if (!teqc::runReader(mutated).accepted) continue;
        accepted++;
        expectRoundTrips(mutated, "mutation " + std::to_string(i));
    }
    EXPECT_GT(accepted, 100);
}

TEST_F(Teqc, TextErrorsNameLineAndColumn)
{
    EXPECT_EQ(errorOf("fill on\n"), "1:1: a file starts with the line \"teq\" and its editor version (c to g)");
    EXPECT_EQ(errorOf("teq h\n"), "1:5: editor version must be one of c, d, e, f, g");
    EXPECT_EQ(errorOf("teq f\nfill maybe\n"), "2:6: expected on or off");
    EXPECT_EQ(errorOf("teq f\n  line-colour 1,2,300\n"), "2:15: expected a number from 0 to 255, got \"300\"");
    EXPECT_EQ(errorOf("teq f\npage-size 2048,1\n"), "2:11: expected a number from 0 to 2047, got \"2048\"");
    EXPECT_EQ(errorOf("teq f\nwobble\n"), "2:1: unknown element \"wobble\"");
    EXPECT_EQ(errorOf("teq f\npainter \"X\" at 1,1 size 1,1 {\n  start 1\n}\n"), "3:10: expected a word");
    EXPECT_EQ(errorOf("teq f\npainter \"X\" at 1,1 size 1,1 {\n"), "2:29: this { is never closed");
    EXPECT_EQ(errorOf("teq f\nfont \"a\\q\" 0 1\n"),
              "2:8: unknown escape in string (use \\\" \\\\ \\n \\t \\r or \\xHH)");
    EXPECT_EQ(errorOf("teq c\npainter \"X\" at 1,1 size 1,1 plc 0\n"),
              "2:29: painters have no PLC id before version d");
    EXPECT_EQ(errorOf("teq f\npainter \"X\" at 1,1 size 1,1 {\n  block \"X\" id 0 {\n    action 0 2 {\n"
                      "      dest CO \"a\"\n    }\n  }\n}\n"),
              "4:5: an action needs a dest and a source");
    EXPECT_EQ(errorOf("teq f\npainter \"X\" at 1,1 size 1,1 {\n  block \"X\" id 0 {\n    repaint 1 STRING \"\" {\n"
                      "      when and {\n        empty\n      }\n    }\n  }\n}\n"),
              "5:12: a logic node holds exactly two expressions");
    string deep =
        "teq f\npainter \"X\" at 1,1 size 1,1 {\n  block \"X\" id 0 {\n    repaint 1 STRING \"\" {\n      when";
    for (int i = 0; i < 70; i++) deep += " and {\n";
    EXPECT_NE(errorOf(deep).find("conditions nest at most 64 levels deep"), string::npos);
    EXPECT_EQ(errorOf("teq f\nfont \"" + string(256, 'a') + "\" 0 1\n"), "2:6: a short string holds at most 255 bytes");
}

TEST_F(Teqc, CommandLine)
{
    const string teqc = TEQC_PROGRAM;
    writeFile(path("ok.teqt"), "teq f\nborder off\n");
    ASSERT_EQ(std::system((teqc + " build ok.teqt -o ok.teq").c_str()), 0);
    EXPECT_EQ(readFile(path("ok.teq")), "f\x01");
    ASSERT_EQ(std::system((teqc + " dump ok.teq -o ok2.teqt").c_str()), 0);
    EXPECT_EQ(readFile(path("ok2.teqt")), "teq f\nborder off\n");

    writeFile(path("bad.teqt"), "teq f\nborder\n");
    EXPECT_NE(std::system((teqc + " build bad.teqt -o bad.teq 2> err.txt").c_str()), 0);
    EXPECT_EQ(readFile(path("err.txt")), "bad.teqt:2:7: expected a word\n");

    writeFile(path("broken.teq"), string("f\x01\x00\x05", 4));
    EXPECT_NE(std::system((teqc + " dump broken.teq > out.txt 2> err.txt").c_str()), 0);
    string err = readFile(path("err.txt"));
    EXPECT_NE(err.find("Parsing TEQ file failed,\n unknown element: 00 Hex\n"), string::npos) << err;
    EXPECT_NE(err.find("broken.teq: unreadable, reading stopped at byte offset 3"), string::npos) << err;
    EXPECT_EQ(readFile(path("out.txt")), "");

    string picture = string(TEST_PICTURE_DIR) + "/basic_shapes.teq";
    ASSERT_EQ(std::system((teqc + " render " + picture + " -o shapes.png 2> err.txt").c_str()), 0)
        << readFile(path("err.txt"));
    string png = readFile(path("shapes.png"));
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(png.substr(16, 8), string("\0\0\x01\x40\0\0\0\xF0", 8)) << "the page size, 320 x 240";
    ASSERT_EQ(std::system((teqc + " render " + picture + " -o big.png --size 800x480").c_str()), 0);
    EXPECT_EQ(readFile(path("big.png")).substr(16, 8), string("\0\0\x03\x20\0\0\x01\xE0", 8));
    EXPECT_NE(std::system((teqc + " render broken.teq -o x.png 2> /dev/null").c_str()), 0);

    writeFile(path("empty.teq"), "");
    EXPECT_NE(std::system((teqc + " dump empty.teq 2> err.txt").c_str()), 0);
    EXPECT_NE(readFile(path("err.txt")).find("TEQ file is empty"), string::npos);
}

// A picture with more painters than the object table holds builds with a
// warning that counts the dropped ones; with --strict the build fails and
// leaves no file.
TEST_F(Teqc, MoreObjectsThanTheTableHoldsAreReported)
{
    const string teqc = TEQC_PROGRAM;
    writeFile(path("fits.teqt"), teqc::samplePicture(1000));
    writeFile(path("big.teqt"), teqc::samplePicture(1003));
    ASSERT_EQ(std::system((teqc + " build fits.teqt -o fits.teq --strict 2> err.txt").c_str()), 0);
    EXPECT_EQ(readFile(path("err.txt")), "");
    ASSERT_EQ(std::system((teqc + " build big.teqt -o big.teq 2> err.txt").c_str()), 0);
    EXPECT_EQ(readFile(path("err.txt")),
              "teqc: warning: big.teq holds 1003 objects; the panel shows the first 1000 and drops 3\n");
    EXPECT_FALSE(readFile(path("big.teq")).empty());
    EXPECT_NE(std::system((teqc + " build big.teqt -o strict.teq --strict 2> err.txt").c_str()), 0);
    EXPECT_NE(readFile(path("err.txt")).find("drops 3"), string::npos);
    EXPECT_EQ(readFile(path("strict.teq")), "") << "no file from a failed build";
    EXPECT_NE(std::system((teqc + " dump big.teq --strict > /dev/null 2>&1").c_str()), 0) << "build only";
}

TEST_F(Teqc, RenderWithContainersAndProcessPoints)
{
    const string teqc = TEQC_PROGRAM;
    writeFile(path("values.teq"), teqc::buildTeq("teq f\npage-size 100,50\nfill on\nborder off\nfill-colour 255,0,0\n"
                                                 "painter \"XRectangleP\" at 0,0 size 50,50 plc 0 {\n"
                                                 "  block \"XRectangleP\" id 1 {\n    repaint 39 COLOR 0,255,0 {\n"
                                                 "      when compare eq CO \"mode\" STRING \"on\"\n    }\n  }\n}\n"
                                                 "painter \"XRectangleP\" at 50,0 size 50,50 plc 0 {\n"
                                                 "  block \"XRectangleP\" id 2 {\n    repaint 39 COLOR 0,0,255 {\n"
                                                 "      when compare gt PPO \"Tank.Level\" STRING \"50\"\n"
                                                 "    }\n  }\n}\n"));
    const uint32_t red = 0xFF0000FF, green = 0xFF00FF00, blue = 0xFFFF0000;
    struct Case {
        string options;
        uint32_t left, right;
    } cases[] = {
        {"", red, red},
        {"--co mode=on", green, red},
        {"--co mode=off --ppo Tank.Level=75", red, blue},
        {"--ppo Tank.Level=25 --co mode=on", green, red},
        {"--ppo Other=99 --ppo Tank.Level=50.5 --co x=1 --co mode=on", green, blue},
        {"--ppo Tank.Level=abc", red, red},
        {"--co mode=on=1", red, red},
    };
    for (const Case &c : cases) {
        string command = teqc + " render values.teq -o values.png " + c.options + " 2> err.txt";
        ASSERT_EQ(std::system(command.c_str()), 0) << c.options << "\n" << readFile(path("err.txt"));
        Image image = readPng(path("values.png"));
        ASSERT_EQ(image.width, 100) << c.options;
        EXPECT_EQ(image.at(25, 25), c.left) << c.options;
        EXPECT_EQ(image.at(75, 25), c.right) << c.options;
    }
    for (const char *bad : {"render values.teq -o x.png --co mode", "render values.teq -o x.png --ppo =1",
                            "render values.teq -o x.png --co", "dump values.teq --co a=b"})
        EXPECT_NE(std::system((teqc + " " + bad + " 2> /dev/null").c_str()), 0) << bad;
}

TEST_F(Teqc, RenderDrawsAPlotFile)
{
    // A graph of 101 x 101 pixels at (10, 10): x 0..10 onto 10..110, y 0..100
    // onto 110..10, the y scale every 20 with ticks to the right of x = 10.
    writeFile(path("plot.txt"),
              "#r 0 10 0 100\n#S C style;f=255,0,0;\n#c 3 0 0 5 80 10 20\n#s y 20\n#t a 50 2 Plot;\n");
    writeFile(path("plot.teq"),
              teqc::buildTeq("teq f\npage-size 130,130\nbackground 255,255,255\nfill off\nborder off\n"
                             "line-colour 0,0,0\npainter \"IGraphicP\" at 10,10 size 101,101 plc 0 {\n"
                             "  block \"IGraphicP\" id 1 {\n    repaint 5 FILE \"plot.txt\"\n"
                             "    repaint 26 STRING \"\"\n  }\n}\n"));
    ASSERT_EQ(std::system((string(TEQC_PROGRAM) + " render plot.teq -o plot.png 2> err.txt").c_str()), 0)
        << readFile(path("err.txt"));
    Image image = readPng(path("plot.png"));
    ASSERT_EQ(image.width, 130);
    const uint32_t red = 0xFF0000FF, black = 0xFF000000, white = 0xFFFFFFFF;
    EXPECT_EQ(image.at(60, 30), red) << "(5, 80)";
    EXPECT_EQ(image.at(35, 70), red) << "(2.5, 40), on the first segment";
    EXPECT_EQ(image.at(110, 90), red) << "(10, 20)";
    EXPECT_EQ(image.at(13, 110), black) << "the tick at 0: 4 long";
    EXPECT_EQ(image.at(14, 110), white);
    EXPECT_EQ(image.at(11, 90), black) << "the tick at 20: 2 long";
    EXPECT_EQ(image.at(12, 90), white);
    EXPECT_EQ(image.at(13, 10), black) << "the tick at 100";
    int text = 0;
    for (int y = 12; y < 37; y++)
        for (int x = 60; x < 111; x++) text += image.at(x, y) != white && image.at(x, y) != red;
    EXPECT_GT(text, 20) << "the text at (50, 2) from the box's corner, in the line colour";
}
