// File viewers: the table form of texts (rows, tabs, directives, decoding,
// cut lines, UTF-16 files), viewers of files that vanish or do not fit the
// RAM disk, scrolling and keyboard selection, the selection actions, the
// multiple selection, selection from outside, word wrap and item removal.
#include "input_fixture.h"

#include <chrono>

#include "draw/fonts.h"
#include "draw/graphics.h"
#include "input/input_events.h"
#include "objects/file_viewer.h"
#include "runtime/hooks.h"
#include "runtime/ramdisk.h"
#include "runtime/settings.h"

using std::string;

namespace {

FV_Table parse(const string &text)
{
    FV_Source source = {text.c_str(), nullptr};
    FV_Table table;
    EXPECT_EQ(FV_parseTable(&source, &table), 1);
    return table;
}

string cell(const string &text, int row, int column)
{
    FV_Source source = {text.c_str(), nullptr};
    char out[256];
    return FV_readCell(&source, row, column, out, sizeof out) ? string(out) : "<none>";
}

class FileViewer : public InputTest {
protected:
    // A viewer at (10, 10), 200 x 100, with the given repaints and actions.
    void show(const string &block, int height = 100)
    {
        page("background 255,255,255\nfont \"Monospaced\" 0 12\nfill on\nborder off\nfill-colour 255,255,255\n"
             "line-colour 0,0,0\n" +
             painter("FileViewerP", 10, 10, 200, height, block));
        draw();
    }
    void draw() { teqc::drawAllObjects(); }
    FV_Viewer *viewer() { return FV_viewerOf(0); }
    int rowHeight()
    {
        G_SetFont(viewer()->object.font);
        return FO_GetCharHeight(viewer()->object.font);
    }
    static string lines(int n, const string &prefix = "line ")
    {
        string text;
        for (int i = 0; i < n; i++) text += prefix + std::to_string(i) + "\tvalue " + std::to_string(i) + "\n";
        return text;
    }
    static string action(int code, const string &dest, const string &source = "STRING \"\"")
    {
        return "    action 1 " + std::to_string(code) + " {\n      dest CO \"" + dest + "\"\n      source " + source +
               "\n    }\n";
    }
};

} // namespace

TEST(FileViewerText, AColumnEndsAtTheNextLargerStart)
{
    struct Case {
        const char *starts;
        int column, start, width; // width 0: not drawn
    };
    const Case cases[] = {
        {"#sp;0,60,30", 0, 0, 30},    {"#sp;0,60,30", 1, 60, 40},  {"#sp;0,60,30", 2, 30, 30},
        {"#sp;50,0", 0, 50, 50},      {"#sp;50,0", 1, 0, 50},      {"#sp;0,0,10", 0, 0, 0},
        {"#sp;0,0,10", 1, 0, 10},     {"#sp;0,101,40", 0, 0, 40},  {"#sp;0,101,40", 1, 0, 0},
        {"#sp;0,30,101", 0, 0, 30},   {"#sp;0,30,101", 1, 30, 70}, {"#sp;0,30,101", 2, 0, 0},
        {"#sp;0;0;10;x;50", 0, 0, 0},
    };
    for (const Case &c : cases) {
        FV_Table t = parse(string(c.starts) + "\na\tb\tc\n");
        int start = -1, width = 0;
        int drawn = FV_columnSpan(&t, c.column, &start, &width);
        SCOPED_TRACE(string(c.starts) + " column " + std::to_string(c.column));
        EXPECT_EQ(drawn != 0, c.width > 0);
        if (drawn) {
            EXPECT_EQ(width, c.width);
            EXPECT_EQ(start, c.start);
        }
    }
}

TEST(FileViewerText, RowsColumnsAndDirectives)
{
    FV_Table t = parse("a\tb\nc\td\n");
    EXPECT_EQ(t.rows, 2);
    EXPECT_EQ(t.columns, 2);
    EXPECT_EQ(t.starts[0], 0);
    EXPECT_EQ(t.starts[1], 50);
    EXPECT_EQ(t.starts[2], -1);

    t = parse("#sp;0,30,101\n#! a comment\nx\ty\tz\n");
    EXPECT_EQ(t.rows, 1) << "neither the column starts nor the comment are rows";
    EXPECT_EQ(t.columns, 3);
    EXPECT_EQ(cell("#sp;0,30,101\n#! a comment\nx\ty\tz\n", 0, 2), "z");

    t = parse("#sp;0;0;10;x;50\nrow\n");
    EXPECT_EQ(t.starts[2], 10);
    EXPECT_EQ(t.starts[3], -1) << "a number that cannot be read ends the list";

    string tabs(25, '\t');
    t = parse("a" + tabs + "end\n");
    EXPECT_EQ(t.columns, FV_MAX_COLUMNS) << "more tabs than columns";
    EXPECT_EQ(cell("a" + tabs + "end\n", 0, 19), "") << "the rest of the row is dropped";

    t = parse("");
    EXPECT_EQ(t.rows, 0);
    EXPECT_EQ(t.columns, 1);
    EXPECT_EQ(parse("no line feed").rows, 1);
    EXPECT_EQ(parse("\n\n").rows, 2) << "empty lines are rows";
}

TEST(FileViewerText, DecodingColoursAndLongLines)
{
    string coded = "a\xA7"
                   "b\xA2"
                   "c\\td\\nx\\y\\0never";
    EXPECT_EQ(parse(coded).rows, 3);
    EXPECT_EQ(cell(coded, 0, 1), "b") << "0xA7 is a tab, 0xA2 a line feed";
    EXPECT_EQ(cell(coded, 1, 1), "d");
    EXPECT_EQ(cell(coded, 2, 0), "x\\y") << "a backslash before another character stays";
    EXPECT_EQ(cell("a\r\tb\r\n", 0, 1), "b") << "carriage returns are skipped";

    char line[] = "#sbc;255,0,0#\t17\tTank#sfc;1,2,3";
    FV_Row row;
    FV_splitRow(line, &row);
    EXPECT_EQ(row.background, 0xFF0000FFu);
    EXPECT_EQ(row.cellCount, 3);
    EXPECT_STREQ(row.cells[0], "") << "the colour directive is not shown";
    EXPECT_STREQ(row.cells[2], "Tank#sfc;1,2,3");
    char coloured[] = "#sfc;0,0,255##sbc;0,0,0#x";
    FV_splitRow(coloured, &row);
    EXPECT_EQ(row.foreground, 0xFFFF0000u);
    EXPECT_EQ(row.background, 0xFF000000u);
    EXPECT_STREQ(row.cells[0], "x");
    EXPECT_STREQ(FV_rowText("#sbc;1,1,1#\tA\tB"), "\tA\tB");

    string longLine(10000, 'x');
    FV_Table t = parse(longLine + "\nnext\n");
    EXPECT_EQ(t.rows, 2);
    EXPECT_EQ(t.cutLines, 1);
    EXPECT_EQ(cell(longLine + "\nnext\n", 0, 0).size(), 255u);
    EXPECT_EQ(cell(longLine + "\nnext\n", 1, 0), "next");
    EXPECT_EQ(cell("a\n", 5, 0), "<none>");
    EXPECT_EQ(cell("a\tb\n", 0, 7), "<none>");
}

TEST_F(FileViewer, Utf16FilesAreReadAsCharacters)
{
    string text = "\xFF\xFE";
    for (char16_t c : u"A\tB\nC\u0416\n") {
        if (!c) break;
        text += static_cast<char>(c & 0xFF);
        text += static_cast<char>(c >> 8);
    }
    writeFile(path("wide.txt"), text);
    show("    repaint 5 FILE \"wide.txt\"\n");
    EXPECT_EQ(viewer()->rowCount, 2);
    EXPECT_EQ(viewer()->table.columns, 2);
    char out[256];
    EXPECT_EQ(FV_getItemAt(viewer(), 0, 1, out, sizeof out), 1);
    EXPECT_STREQ(out, "B");
    FV_getItemAt(viewer(), 1, 0, out, sizeof out);
    EXPECT_STREQ(out, "C?") << "characters beyond Latin-1 show as '?'";
}

TEST_F(FileViewer, FileCopiesThatVanishAndComeBack)
{
    writeFile(path("list.txt"), lines(30));
    show("    repaint 5 FILE \"list.txt\"\n");
    FV_Viewer *v = viewer();
    EXPECT_EQ(v->rowCount, 30);
    EXPECT_EQ(v->visibleRows, 100 / rowHeight());
    EXPECT_GT(count(12, 10, 100, rowHeight(), kBlack), 10) << "the first row is drawn";
    EXPECT_EQ(count(10, 10 + v->visibleRows * rowHeight(), 200, 100 - v->visibleRows * rowHeight(), kBlack), 0)
        << "no row is drawn that does not fit";
    int copy = RA_fileOpen("_FV0", "r");
    EXPECT_GE(copy, RA_HANDLE_BASE) << "the copy lives in the RAM disk";
    RA_fileClose(copy);

    std::remove(path("list.txt").c_str());
    draw();
    draw();
    EXPECT_EQ(v->notFound, 1);
    EXPECT_EQ(v->rowCount, 0);
    EXPECT_GT(count(10, 10, 200, 100, kBlack), 10) << "\"not found\"";
    EXPECT_EQ(countOf(log(), "File \"list.txt\" not found"), 1) << "reported once while it stays missing";

    writeFile(path("list.txt"), "");
    draw();
    EXPECT_EQ(v->notFound, 0) << "an empty file is no missing file";
    EXPECT_EQ(v->rowCount, 0);
    writeFile(path("list.txt"), lines(3));
    draw();
    EXPECT_EQ(v->rowCount, 3);
}

TEST_F(FileViewer, LargeFilesStayWithinTheRamDisk)
{
    RA_releaseStore();
    pterm.mem_ramdisk_kb = 256;
    string big;
    for (int i = 0; i < 100000; i++) big += "entry " + std::to_string(i) + "\t" + std::to_string(i * 7) + "\n";
    writeFile(path("big.txt"), big);
    auto started = std::chrono::steady_clock::now();
    show("    repaint 5 FILE \"big.txt\"\n    repaint 12 STRING \"\"\n");
    draw();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    FV_Viewer *v = viewer();
    EXPECT_EQ(v->truncated, 1);
    EXPECT_GT(v->rowCount, 1000);
    EXPECT_LT(v->rowCount, 100000) << "only what the RAM disk holds";
    EXPECT_EQ(countOf(log(), "holds only part of"), 1) << log();
    EXPECT_LT(seconds, 20.0);
    v->firstRow = v->rowCount - 1;
    draw();
    EXPECT_EQ(v->visibleRows, 1) << "the last row";
}

TEST_F(FileViewer, KeysMoveTheSelectionAndEscapeRestoresIt)
{
    writeFile(path("list.txt"), lines(20));
    show("    repaint 5 FILE \"list.txt\"\n" + action(6, "row"), 60);
    FV_Viewer *v = viewer();
    int visible = v->visibleRows;
    ASSERT_GE(visible, 2);
    MH_selectObject(0, 1);
    key("ENTER");
    EXPECT_EQ(v->active, 0) << "Enter starts the keyboard selection";
    EXPECT_EQ(v->selected, 0) << "on the first visible row";
    for (int i = 0; i < visible; i++) key("DOWN");
    EXPECT_EQ(v->firstRow, 1) << "DOWN below the visible rows scrolls by one";
    EXPECT_EQ(v->selected, visible - 1);
    key("ESC");
    EXPECT_EQ(v->active, -1);
    EXPECT_EQ(v->firstRow, 0) << "Escape restores the first row";
    EXPECT_EQ(v->selected, 0) << "and the row selected when Enter was pressed";
    EXPECT_EQ(co("row"), "0");

    key("ENTER");
    for (int i = 0; i < 30; i++) key("DOWN");
    EXPECT_EQ(v->firstRow + v->selected, 19) << "DOWN on the last row leaves the selection there";
    key("UP");
    EXPECT_EQ(v->firstRow + v->selected, 18);
    key("ENTER");
    EXPECT_EQ(co("row"), "18") << "Enter runs the actions";
    EXPECT_EQ(v->active, -1);
    EXPECT_EQ(v->lastIndex, 18);
}

TEST_F(FileViewer, ClicksRunTheSelectionActions)
{
    HT_writeContainer("text", "#sp;0,40\nalpha\tone\nbeta\ttwo\ngamma\tthree\n");
    show("    repaint 5 CO \"text\"\n" + action(6, "row") + action(7, "rowText") + action(10, "cell", "STRING \"1\""));
    int rh = rowHeight();
    click(50, 10 + rh + rh / 2);
    EXPECT_EQ(co("row"), "1");
    EXPECT_EQ(co("rowText"), "beta\ttwo");
    EXPECT_EQ(co("cell"), "two");
    EXPECT_EQ(viewer()->lastIndex, 1);
    EXPECT_EQ(OB_getActualFocus(), 0);
    draw();
    EXPECT_GT(count(10, 10 + rh, 200, rh, kBlack), 400) << "the selected row is filled in the line colour";

    HT_writeContainer("row", "");
    click(50, 10 + 5 * rh + 2);
    EXPECT_EQ(viewer()->selected, -1) << "below the rows nothing is written, the selection is cleared";
    EXPECT_EQ(co("row"), "");

    HT_writeContainer("row", "2");
    draw();
    EXPECT_EQ(viewer()->selected, 2) << "selection from outside";
    EXPECT_EQ(co("cell"), "three") << "which runs the actions";
    HT_writeContainer("row", "-1");
    draw();
    EXPECT_EQ(viewer()->selected, -1);
    HT_writeContainer("row", "99");
    draw();
    EXPECT_EQ(viewer()->selected, -1) << "a row beyond the text selects nothing";
}

TEST_F(FileViewer, SelectionFromOutsideScrollsIntoView)
{
    writeFile(path("list.txt"), lines(50));
    show("    repaint 5 FILE \"list.txt\"\n" + action(6, "row"), 60);
    FV_Viewer *v = viewer();
    HT_writeContainer("row", "30");
    draw();
    EXPECT_EQ(v->firstRow + v->selected, 30);
    EXPECT_EQ(v->firstRow, 30 - v->visibleRows + 1);
    HT_writeContainer("row", "3");
    draw();
    EXPECT_EQ(v->firstRow, 3);
    EXPECT_EQ(v->selected, 0);
}

TEST_F(FileViewer, MultipleSelectionToggles)
{
    writeFile(path("list.txt"), lines(40));
    show("    repaint 5 FILE \"list.txt\"\n    repaint 48 STRING \"\"\n" + action(6, "row"), 240 - 20);
    FV_Viewer *v = viewer();
    int rh = rowHeight();
    click(50, 10 + rh / 2);
    click(50, 10 + 2 * rh + rh / 2);
    EXPECT_EQ(v->selectionCount, 2);
    click(50, 10 + rh / 2);
    EXPECT_EQ(v->selectionCount, 1) << "clicking a selected row removes it";
    EXPECT_EQ(v->selection[0], 2);
    for (int row = 3; row < 40 && row * rh + rh < 220; row++) click(50, 10 + row * rh + rh / 2);
    for (int i = 0; i < 8; i++) {
        v->firstRow += 5;
        for (int row = 0; row < 5; row++) click(50, 10 + row * rh + rh / 2);
    }
    EXPECT_EQ(v->selectionCount, FV_MAX_SELECTION) << "a 32nd row is not added";
}

TEST_F(FileViewer, ScrollBarAndGrid)
{
    writeFile(path("list.txt"), lines(40));
    show("    repaint 5 FILE \"list.txt\"\n    repaint 12 STRING \"\"\n    repaint 10 STRING \"\"\n", 100);
    FV_Viewer *v = viewer();
    EXPECT_TRUE(SCROLLER_IsEnabled(&v->scroller));
    EXPECT_EQ(v->scroller.x, 10 + 200 - 20);
    EXPECT_EQ(v->listWidth, 180);
    EXPECT_TRUE(v->scroller.flags & SCROLLER_UP_GREY);
    EXPECT_FALSE(v->scroller.flags & SCROLLER_DOWN_GREY);
    EXPECT_EQ(OB_SendMessage(0, OB_MSG_SELECTABLE, 0, nullptr), 1) << "rows that do not fit make it selectable";

    int bottom = v->scroller.y + v->scroller.height - 3;
    click(v->scroller.x + 5, bottom);
    EXPECT_EQ(v->firstRow, 1) << "the down button scrolls one row";
    click(v->scroller.x + 5, v->scroller.y + v->scroller.height / 2 + 5);
    EXPECT_EQ(v->firstRow, 1 + v->visibleRows) << "the track below pages down";
    draw();
    EXPECT_FALSE(v->scroller.flags & SCROLLER_UP_GREY);
    EXPECT_GT(count(10, 10 + rowHeight(), 180, 1, kBlack), 150) << "a horizontal grid line";

    show("    repaint 5 FILE \"list.txt\"\n", 100);
    EXPECT_FALSE(SCROLLER_IsEnabled(&viewer()->scroller));
}

TEST_F(FileViewer, WordWrapBreaksLongLinesAndWords)
{
    HT_writeContainer(
        "text", ("The quick brown fox jumps over the lazy dog again and again and again\n" + string(120, 'w')).c_str());
    show("    repaint 5 CO \"text\"\n    repaint 50 STRING \"\"\n");
    FV_Viewer *v = viewer();
    EXPECT_GE(v->rowCount, 5) << "each visual line narrower than the width";
    EXPECT_EQ(count(10 + 198, 10, 2, 100, kBlack), 0) << "nothing reaches the right edge";
}

TEST_F(FileViewer, HiddenViewerAndItemRemoval)
{
    HT_writeContainer("text", "#sp;0,50\na\nb\nc\n");
    show("    repaint 5 CO \"text\"\n    repaint 2 STRING \"\" {\n      when compare eq CO \"hide\" STRING \"1\"\n"
         "    }\n");
    EXPECT_EQ(HK_hooks()->removeListItem("text", 1), 1);
    EXPECT_EQ(co("text"), "#sp;0,50\na\nc\n") << "the second row goes, the directive stays";
    EXPECT_EQ(HK_hooks()->removeListItem("text", 7), 0);
    EXPECT_EQ(HK_hooks()->removeListItem("other", 0), 0);

    HT_writeContainer("hide", "1");
    draw();
    EXPECT_EQ(count(10, 10, 200, 100, kBlack), 0) << "hidden: nothing drawn";
    OB_Point p = {50, 20};
    OB_setDownCoord(p);
    EXPECT_EQ(OB_SendMessage(0, OB_MSG_POINTER_DOWN, 0, &p), -1);
}
