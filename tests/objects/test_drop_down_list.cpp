// Drop-down lists: the item shown for a value, opening below or above with a
// scroll bar, choosing with the pointer and the keys, the release that opened
// the list, Escape, hidden lists, item files of 10 000 lines, and the text
// written when the page is entered.
#include "input_fixture.h"

#include "draw/button_face.h"
#include "draw/fonts.h"
#include "draw/graphics.h"
#include "input/input_events.h"
#include "objects/drop_down_list.h"
#include "view/view_manager.h"

using std::string;

namespace {

const string kItems = "    repaint 1 STRING \"Off\"\n    repaint 1 STRING \"Manual\"\n    repaint 1 STRING \"Auto\"\n";
const string kActions = "    action 0 8 {\n      dest CO \"unused\"\n      source STRING \"\"\n    }\n"
                        "    action 1 6 {\n      dest CO \"mode\"\n      source STRING \"\"\n    }\n"
                        "    action 1 7 {\n      dest CO \"modeText\"\n      source STRING \"\"\n    }\n";

class DropDownList : public InputTest {
protected:
    void show(const string &block, int y = 20)
    {
        page("background 255,255,255\nfont \"SansSerif\" 0 12\nfill on\nborder on\nfill-colour 255,255,255\n"
             "line-colour 0,0,0\n" +
             painter("DropDownListP", 20, y, 120, 22, block));
        draw();
    }
    void draw() { teqc::drawAllObjects(); }
    DDL_List *list() { return object<DDL_List>(0); }
    int rowHeight()
    {
        G_SetFont(list()->object.font);
        return FO_GetCharHeight(list()->object.font) + 4;
    }
    // Pixels of the text: dark ones.
    int dark(int x, int y, int w, int h)
    {
        int n = 0;
        for (int j = y; j < y + h; j++)
            for (int i = x; i < x + w; i++) {
                GR_PIXELVAL p = 0;
                GrReadArea(g_screen, i, j, 1, 1, &p);
                n += (p & 0xFF) < 128 && (p >> 8 & 0xFF) < 128 && (p >> 16 & 0xFF) < 128;
            }
        return n;
    }
};

} // namespace

TEST_F(DropDownList, TheValueNamesTheItemShown)
{
    HT_writeContainer("mode", "2");
    show("    repaint 5 CO \"mode\"\n" + kItems + kActions);
    EXPECT_EQ(list()->selected, 2);
    EXPECT_EQ(list()->itemCount, 3);
    char text[256];
    EXPECT_EQ(DDL_readItem(2, text), 1);
    EXPECT_STREQ(text, "Auto");
    EXPECT_GT(dark(22, 22, 100, 18), 20) << "its text in the field";
    EXPECT_GT(count(140 - 14, 21, 13, 19, DM_LIGHT_GREY), 50) << "the arrow button";

    for (const char *value : {"3", "x", "", "-1", "1.5"}) {
        HT_writeContainer("mode", value);
        draw();
        EXPECT_EQ(list()->selected, -1) << value;
    }
    EXPECT_EQ(dark(22, 24, 100, 14), 0) << "no text without a selection";
}

TEST_F(DropDownList, PointerOpensAndChooses)
{
    HT_writeContainer("mode", "0");
    show("    repaint 5 CO \"mode\"\n" + kItems + kActions);
    MH_mouseDown(60, 30);
    EXPECT_EQ(list()->open, 1);
    EXPECT_EQ(OB_getActualModal(), 0);
    MH_mouseUp(60, 30);
    EXPECT_EQ(list()->open, 1) << "the release after the opening press writes nothing";
    EXPECT_EQ(co("modeText"), "<none>");
    EXPECT_EQ(list()->listTop, 42) << "below the field";
    draw();
    int rh = rowHeight();
    EXPECT_GT(dark(22, 42 + 2 * rh, 100, rh), 10) << "the third row";

    click(60, 42 + 2 * rh + rh / 2);
    EXPECT_EQ(co("mode"), "2");
    EXPECT_EQ(co("modeText"), "Auto");
    EXPECT_EQ(list()->open, 0);
    EXPECT_EQ(OB_getActualModal(), -1);
    EXPECT_TRUE(VM_isRefreshRequired()) << "a full redraw wipes the list";

    click(60, 30);
    ASSERT_EQ(list()->open, 1);
    click(300, 200);
    EXPECT_EQ(list()->open, 0) << "a click beside the list closes it";
    EXPECT_EQ(co("mode"), "2") << "without writing";
}

TEST_F(DropDownList, LongListsOpenOnTheLargerSideWithAScrollBar)
{
    string items;
    for (int i = 0; i < 30; i++) items += "item " + std::to_string(i) + "\n";
    writeFile(path("items.txt"), items);
    show("    repaint 5 CO \"mode\"\n    repaint 1 FILE \"items.txt\"\n" + kActions, 190);
    EXPECT_EQ(DDL_countItems(list()), 30) << "a file's last line feed makes no empty item";
    click(60, 200);
    DDL_List *l = list();
    ASSERT_EQ(l->open, 1);
    EXPECT_EQ(l->listTop, 2) << "more room above the field";
    EXPECT_EQ(l->listBottom, 190 - 2 + 2);
    EXPECT_EQ(l->visibleRows, (190 - 2) / rowHeight());
    EXPECT_TRUE(SCROLLER_IsEnabled(&l->scroller));
    EXPECT_EQ(l->scroller.x, 20 + 120 - 20);

    int downButton = l->scroller.y + l->scroller.height - 5;
    click(l->scroller.x + 10, downButton);
    EXPECT_EQ(l->firstVisible, 1) << "the arrow button scrolls one row";
    EXPECT_EQ(l->open, 1);
    click(l->scroller.x + 10, l->scroller.y + l->scroller.height / 2 + 5);
    EXPECT_EQ(l->firstVisible, 1 + l->visibleRows) << "the track pages";
    for (int i = 0; i < 5; i++) click(l->scroller.x + 10, l->scroller.y + l->scroller.height / 2 + 5);
    EXPECT_EQ(l->firstVisible, 30 - l->visibleRows) << "not beyond the last item";

    click(60, l->listTop + rowHeight() / 2);
    EXPECT_EQ(co("mode"), std::to_string(30 - l->visibleRows)) << "the row under the point, scrolled";
}

TEST_F(DropDownList, KeysMarkAndChooseEscapeCloses)
{
    string items;
    for (int i = 0; i < 10000; i++) items += "choice " + std::to_string(i) + "\n";
    writeFile(path("many.txt"), items);
    HT_writeContainer("mode", "5");
    show("    repaint 5 CO \"mode\"\n    repaint 1 FILE \"many.txt\"\n" + kActions);
    EXPECT_EQ(list()->itemCount, 10000);
    MH_selectObject(0, 1);
    key("ENTER");
    DDL_List *l = list();
    ASSERT_EQ(l->open, 1) << "Enter on the focused list presses it";
    EXPECT_EQ(l->highlighted, 5);
    key("DOWN");
    key("DOWN");
    key("UP");
    EXPECT_EQ(l->highlighted, 6);
    draw();
    EXPECT_LE(l->firstVisible, 6);
    EXPECT_GT(l->firstVisible + l->visibleRows, 6) << "the marked row is shown";
    key("ENTER");
    EXPECT_EQ(co("mode"), "6");
    EXPECT_EQ(co("modeText"), "choice 6");
    EXPECT_EQ(l->open, 0);

    key("ENTER");
    ASSERT_EQ(l->open, 1);
    key("DOWN");
    key("ESC");
    EXPECT_EQ(l->open, 0);
    EXPECT_EQ(co("mode"), "6") << "Escape writes nothing";
    key("UP");
    EXPECT_EQ(l->highlighted, -1) << "the keys go back to navigation";
}

TEST_F(DropDownList, HiddenOrEmptyListsAndThePageEnteredText)
{
    HT_writeContainer("mode", "1");
    show("    repaint 5 CO \"mode\"\n" + kItems + kActions +
         "    repaint 2 STRING \"\" {\n      when compare eq CO \"hide\" STRING \"1\"\n    }\n");
    OB_SendMessage(0, OB_MSG_PAGE_ENTERED, 0, nullptr);
    draw();
    EXPECT_EQ(co("modeText"), "Manual") << "the first drawing after the page was entered writes the text";
    HT_writeContainer("modeText", "");
    draw();
    EXPECT_EQ(co("modeText"), "") << "once";

    HT_writeContainer("hide", "1");
    draw();
    EXPECT_EQ(dark(20, 20, 120, 22), 0);
    EXPECT_EQ(count(20, 20, 120, 22, DM_LIGHT_GREY), 0) << "not even the arrow button";
    click(60, 30);
    EXPECT_EQ(list()->open, 0);

    show("    repaint 5 CO \"mode\"\n    repaint 1 FILE \"missing.txt\"\n" + kActions);
    click(60, 30);
    EXPECT_EQ(list()->open, 0) << "without items nothing opens";
    EXPECT_EQ(OB_getActualModal(), -1);
}

TEST_F(DropDownList, AListHiddenWhileOpenLetsThePageBeTouched)
{
    const string hide = "    repaint 2 STRING \"\" {\n      when compare eq CO \"hide\" STRING \"1\"\n    }\n";
    for (bool refreshed : {false, true}) {
        HT_writeContainer("hide", "0");
        HT_writeContainer("mode", "0");
        page("background 255,255,255\nfont \"SansSerif\" 0 12\nfill on\nborder on\n" +
             painter("DropDownListP", 20, 20, 120, 22, "    repaint 5 CO \"mode\"\n" + kItems + kActions + hide) +
             button("B", 200, 150, 60, 40));
        draw();
        click(60, 30);
        ASSERT_EQ(list()->open, 1);
        HT_writeContainer("hide", "1");
        if (refreshed) draw();
        for (int i = 0; i < 3; i++) click(230, 170);
        EXPECT_EQ(list()->open, 0) << "a hidden list closes; refreshed " << refreshed;
        EXPECT_EQ(OB_getActualModal(), -1);
        EXPECT_GE(countOf(events(), "B+B-"), refreshed ? 3 : 2) << "the button runs at the latest on the second click";
        EXPECT_EQ(co("mode"), "0") << "nothing chosen";
    }
}

TEST_F(DropDownList, EverySourceEndsWithItsOwnLineFeed)
{
    writeFile(path("ends.txt"), "north\nsouth\n");
    writeFile(path("open.txt"), "east");
    struct Case {
        const char *files, *after;
        int count;
        const char *items;
    };
    // Item n is line n of the sources, each followed by a line feed: a file
    // that ends with its own leaves an empty item before the next source.
    const Case cases[] = {
        {"ends.txt", "last", 4, "north|south||last"},
        {"open.txt", "last", 2, "east|last"},
        {"ends.txt", nullptr, 2, "north|south"},
    };
    for (const Case &c : cases) {
        string sources = "    repaint 1 FILE \"" + string(c.files) + "\"\n";
        if (c.after) sources += "    repaint 1 STRING \"" + string(c.after) + "\"\n";
        HT_writeContainer("mode", std::to_string(c.count - 1).c_str());
        show("    repaint 5 CO \"mode\"\n" + sources + kActions);
        EXPECT_EQ(list()->itemCount, c.count) << c.files;
        string items;
        char text[256];
        for (int i = 0; i < c.count; i++) {
            DDL_readItem(i, text);
            items += (i ? "|" : "") + string(text);
        }
        EXPECT_EQ(items, c.items);
        EXPECT_EQ(list()->selected, c.count - 1) << "the value names the last item";
    }
}
