// Page files a hostile target could serve, each several megabytes: plot
// files, text-conversion tables, language tables, drop-down item files and
// file-viewer texts. None holds the panel for more than a second; what is
// left out is said in the log.
#include "input_fixture.h"

#include <chrono>
#include <functional>
#include <string>

#include "data/language.h"
#include "data/value_format.h"
#include "runtime/settings.h"

using std::string;

namespace {

constexpr size_t kHostileBytes = 8u << 20;

// Repeats line until the text holds kHostileBytes.
string repeated(const string &line)
{
    string text;
    text.reserve(kHostileBytes + line.size());
    while (text.size() < kHostileBytes) text += line;
    return text;
}

// Numbered lines made by make(i) until the text holds kHostileBytes.
string numbered(const std::function<string(int)> &make)
{
    string text;
    text.reserve(kHostileBytes + 256);
    for (int i = 0; text.size() < kHostileBytes; i++) text += make(i);
    return text;
}

class HostileFiles : public InputTest {
protected:
    double secondsOf(const std::function<void()> &work)
    {
        auto start = std::chrono::steady_clock::now();
        work();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    void showPainter(const string &cls, int w, int h, const string &block)
    {
        page("background 255,255,255\nfont \"Monospaced\" 0 12\nfill on\nborder off\nfill-colour 255,255,255\n"
             "line-colour 0,0,0\n" +
             painter(cls, 10, 10, w, h, block));
    }
};

} // namespace

TEST_F(HostileFiles, NoFileHoldsThePanelForASecond)
{
    const string points = "#r 0 1000000 0 100\n#c 99999999\n" +
                          numbered([](int i) { return std::to_string(i) + " " + std::to_string(i % 100) + "\n"; });
    const struct {
        const char *what;
        string file;
        std::function<void()> load;
        const char *expectLog; // what the log says of the part left out
    } cases[] = {
        {"a plot file of a million points", points,
         [this] {
             showPainter("IGraphicP", 200, 100, "    repaint 5 FILE \"hostile.txt\"\n");
             teqc::drawAllObjects();
         },
         "Plot file: drawn up to byte "},
        {"a plot file of texts", repeated("#t a 1 1 x;"),
         [this] {
             showPainter("IGraphicP", 200, 100, "    repaint 5 FILE \"hostile.txt\"\n");
             teqc::drawAllObjects();
         },
         "Plot file: drawn up to byte "},
        {"a table of formats",
         numbered([](int i) { return "S" + std::to_string(i) + ";N" + std::to_string(i) + ";dec.2;1;0;100;\n"; }),
         [this] { TCR_parseTcrFile(path("hostile.txt").c_str()); }, nullptr},
        {"a table of comments", repeated("#! a comment line of a table\n"),
         [this] { TCR_parseTcrFile(path("hostile.txt").c_str()); }, "TCR file longer than 1 MB: read up to line "},
        {"a language table", numbered([](int i) { return "name" + std::to_string(i) + ";value\n"; }),
         [this] { LR_parseCsvFile(path("hostile.txt").c_str()); }, nullptr},
        {"a language table without separators", repeated("nothing to take here\n"),
         [this] { LR_parseCsvFile(path("hostile.txt").c_str()); },
         "Language table longer than 1 MB, the rest is left out:\n "},
        {"a drop-down item file", repeated("item\n"),
         [this] {
             showPainter("DropDownListP", 120, 22, "    repaint 5 CO \"mode\"\n    repaint 1 FILE \"hostile.txt\"\n");
             teqc::drawAllObjects();
         },
         nullptr},
        {"a file-viewer text", numbered([](int i) { return "line " + std::to_string(i) + "\tvalue\n"; }),
         [this] {
             showPainter("FileViewerP", 200, 100, "    repaint 5 FILE \"hostile.txt\"\n");
             teqc::drawAllObjects();
         },
         nullptr},
        {"a file-viewer text wrapped", repeated("word "),
         [this] {
             showPainter("FileViewerP", 200, 100, "    repaint 5 FILE \"hostile.txt\"\n    repaint 12 STRING \"\"\n");
             teqc::drawAllObjects();
         },
         nullptr},
    };
    for (const auto &c : cases) {
        writeFile(path("hostile.txt"), c.file);
        double seconds = secondsOf([&] { c.load(); });
        EXPECT_LT(seconds, 1.0) << c.what;
        if (c.expectLog) {
            EXPECT_NE(log().find(c.expectLog), string::npos) << c.what;
        }
    }
}
