// Basic shape objects drawn on the headless display: repaint passes on full
// redraws and refreshes, thick ovals, line ends, gradients, polygons,
// polylines, static texts, and the object table's focus frame and marks.
#include "input_fixture.h"

#include <string>

#include "data/containers.h"
#include "data/value_store.h"
#include "draw/graphics.h"
#include "objects/shapes.h"
#include "runtime/settings.h"
#include "transport/target_address.h"

using std::string;

namespace {

class Shapes : public InputTest {
protected:
    void draw(const string &elements)
    {
        ASSERT_EQ(loadText("teq f\nbackground 255,255,255\n" + elements), 0) << log();
        teqc::drawAllObjects();
    }
    // One refresh pass (message 218), drawn over the previous frame.
    void refresh()
    {
        G_DrawViewBegin();
        for (int id = 0; id < OB_HowManyObjetcs(); id++) OB_SendMessage(id, OB_MSG_REFRESH, 0, nullptr);
        G_DrawViewEnd();
    }
    // Paints over the frame, so that a later refresh shows what it drew.
    void paintOver(uint32_t c)
    {
        G_DrawViewBegin();
        G_FillRect(0, 0, 320, 240, c);
        G_DrawViewEnd();
    }
};

} // namespace

TEST_F(Shapes, RectangleRepaintsOnFullRedrawsAndRefreshes)
{
    draw(R"(fill-colour 255,0,0
line-colour 0,0,0
painter "XRectangleP" at 10,10 size 30,20 plc 0 {
  block "XRectangleP" id 0 {
    repaint 41 STRING "" {
      when compare gt CO "level" STRING "10"
    }
  }
}
painter "XRectangleP" at 50,10 size 30,20 plc 0 {
  block "XRectangleP" id 0 {
    repaint 39 CO "colour"
  }
}
painter "XRectangleP" at 90,10 size 30,20 plc 0 {
  block "XRectangleP" id 0 {
    repaint 2 STRING "" {
      when compare eq CO "hide" STRING "1"
    }
  }
}
)");
    EXPECT_EQ(px(10, 10), kBlack);
    EXPECT_EQ(px(20, 20), kWhite) << "fill switched off while the condition does not hold";
    EXPECT_EQ(px(60, 20), kWhite) << "a fill colour from a source without a value is 0xFFFFFFFF";
    EXPECT_EQ(px(100, 20), kRed);

    HT_writeContainer("level", "12");
    HT_writeContainer("colour", "0,0,255");
    HT_writeContainer("hide", "1");
    paintOver(kBlack);
    refresh();
    EXPECT_EQ(px(20, 20), kRed) << "the changed condition redraws on a refresh";
    EXPECT_EQ(px(60, 20), kBlue) << "the first refresh compares with the empty mask of a full redraw";
    EXPECT_EQ(px(100, 20), kBlack) << "hidden: nothing drawn, earlier pixels stay";
    HT_writeContainer("colour", "0,255,0");
    paintOver(kBlack);
    refresh();
    EXPECT_EQ(px(20, 20), kBlack) << "unchanged since the last refresh: not drawn";
    EXPECT_EQ(px(60, 20), kBlack) << "a new colour without a changed condition waits for a full redraw";
    teqc::drawAllObjects();
    EXPECT_EQ(px(60, 20), 0xFF00FF00u);
    EXPECT_EQ(px(100, 20), kWhite);
}

// On a page whose values come from the panel's own value store, which hands
// out no pointers to its values, colours and offsets of process points are
// read from the store like any other value.
TEST_F(Shapes, ColoursAndOffsetsFromThePanelsValueStore)
{
    SetRemoteStatus(0);
    DS_Initialize();
    draw(R"(fill-colour 255,255,255
line-colour 0,0,0
painter "XRectangleP" at 10,10 size 30,20 plc 0 {
  block "XRectangleP" id 0 {
    repaint 39 PPO "Mirror.Colour"
    repaint 52 PPO "Mirror.X"
  }
}
)");
    EXPECT_EQ(px(20, 20), kWhite) << "the store's first value \"0\" is no colour";
    char colour[DS_VALUE_SIZE] = "255,0,0", x[DS_VALUE_SIZE] = "100";
    ASSERT_EQ(DS_writeVal("Mirror.Colour", colour, nullptr), 1) << "created by the page's read";
    ASSERT_EQ(DS_writeVal("Mirror.X", x, nullptr), 1);
    paintOver(kBlack);
    teqc::drawAllObjects();
    EXPECT_EQ(px(120, 20), kRed) << "moved by 100 and filled in the store's colour";
    EXPECT_EQ(px(20, 20), kWhite);
}

TEST_F(Shapes, OvalsWithThickBorders)
{
    draw(R"(fill-colour 255,0,0
line-colour 0,0,255
line-width 3
painter "XOvalP" at 10,10 size 60,40 plc 0 {
  block "XOvalP" id 0
}
line-width 1
painter "DefaultOvalP" at 100,10 size 60,40 plc 0
)");
    EXPECT_EQ(px(11, 30), kBlue) << "outer ellipse in the line colour";
    EXPECT_EQ(px(40, 11), kBlue);
    EXPECT_EQ(px(14, 30), kRed) << "inner ellipse inset by the width";
    EXPECT_EQ(px(40, 30), kRed);
    EXPECT_EQ(px(10, 10), kWhite);
    EXPECT_EQ(px(130, 10), kBlue);
    EXPECT_EQ(px(130, 30), kRed);
}

TEST_F(Shapes, LinesWithOffsetsAndEnds)
{
    draw(R"(fill off
border off
line-colour 0,0,0
painter "DefaultLineP" at 10,10 size 20,20 plc 0 {
  block "DefaultLineP" id 0
  start 10 30
}
line-colour 255,0,0
painter "XLineP" at 50,10 size 20,0 plc 0 {
  block "XLineP" id 0 {
    repaint 52 STRING "100"
    repaint 53 STRING "50"
  }
  start 50 10
}
fill on
fill-colour 0,0,255
painter "XLineP" at 10,100 size 20,10 plc 0 {
  block "XLineP" id 0
  start 10 100
}
)");
    EXPECT_EQ(px(10, 30), kBlack);
    EXPECT_EQ(px(29, 11), kBlack) << "a version f line ends one pixel short";
    EXPECT_EQ(px(30, 10), kWhite);
    EXPECT_EQ(px(150, 60), kRed) << "moved by the offsets";
    EXPECT_EQ(px(169, 60), kRed);
    EXPECT_EQ(px(50, 10), kWhite);
    EXPECT_EQ(px(25, 102), kBlue) << "fill on fills the line's box";
}

TEST_F(Shapes, GradientsPolygonsPolylinesAndTexts)
{
    draw(R"(fill-colour 0,0,0
line-colour 255,255,255
painter "IDegradeVP" at 10,10 size 8,4 plc 0
painter "IDegradeHP" at 30,10 size 4,8 plc 0
fill-colour 255,0,0
line-colour 0,0,255
painter "XPolygoneP" at 10,40 size 40,40 plc 0 {
  block "XPolygoneP" id 0 {
    repaint 39 CO "colour"
    repaint 52 STRING "100"
  }
  points 10,40 50,40 50,80 10,80
}
line-colour 0,0,0
painter "DefaultPolylineP" at 0,0 size 1,1 plc 0 {
  points 200,10 220,10 220,30
}
fill off
border off
font "Dialog" 0 14
painter "DefaultTextP" at 10,100 size 100,20 plc 0 {
  text "Hxg" 0 0
}
)");
    EXPECT_EQ(px(10, 10), 0xFF000000u);
    EXPECT_EQ(px(10, 11), 0xFF3F3F3Fu);
    EXPECT_EQ(px(10, 12), 0xFF7F7F7Fu);
    EXPECT_EQ(px(17, 13), 0xFFBFBFBFu);
    EXPECT_EQ(px(31, 17), 0xFF3F3F3Fu) << "horizontal: per column";
    EXPECT_EQ(px(130, 60), 0xFFFFFFFFu) << "a fill colour source without a value";
    EXPECT_EQ(px(110, 40), kBlue) << "the outline, moved";
    EXPECT_EQ(px(30, 60), kWhite);
    EXPECT_EQ(px(210, 10), kBlack);
    EXPECT_EQ(px(220, 20), kBlack);
    EXPECT_EQ(px(210, 20), kWhite);
    EXPECT_GT(count(12, 100, 96, 18, kBlack), 10) << "text inside the inner box";
    EXPECT_EQ(count(10, 118, 100, 10, kBlack), 0) << "the bottom of the text is at y + 18";

    HT_writeContainer("colour", "0,255,0");
    refresh();
    EXPECT_EQ(px(130, 60), 0xFFFFFFFFu) << "polygons do not redraw on a refresh";
    teqc::drawAllObjects();
    EXPECT_EQ(px(130, 60), 0xFF00FF00u);
}

TEST_F(Shapes, PolygonOutlinesCloseAndPolylinesStayOpen)
{
    draw(R"(fill off
line-colour 0,0,255
painter "DefaultPolygoneP" at 10,10 size 40,40 plc 0 {
  points 10,10 50,10 50,50 10,50
}
painter "XPolygoneP" at 60,10 size 40,40 plc 0 {
  block "XPolygoneP" id 0 {
    repaint 52 STRING "10"
  }
  points 60,10 100,10 100,50 60,50
}
line-colour 0,0,0
painter "DefaultPolylineP" at 0,0 size 1,1 plc 0 {
  points 200,10 240,10 240,50 200,50
}
)");
    EXPECT_EQ(count(10, 11, 1, 39, kBlue), 39) << "the closing edge of a polygon without a block";
    EXPECT_EQ(count(70, 11, 1, 39, kBlue), 39) << "the closing edge, moved by its offset";
    EXPECT_EQ(count(60, 11, 1, 39, kBlue), 0);
    EXPECT_EQ(count(200, 11, 1, 39, kBlack), 0) << "a polyline is not closed";
    EXPECT_EQ(px(240, 30), kBlack);
}

TEST_F(Shapes, FocusFrameAndObjectsThatDoNotFit)
{
    draw(R"(fill-colour 0,0,0
border off
painter "XRectangleP" at 300,200 size 40,20 plc 0 {
  block "XRectangleP" id 0
}
)");
    EXPECT_FALSE(OB_IsDrawable(0));
    EXPECT_EQ(px(300, 200), kRed) << "top and left edges of an object past the screen";
    EXPECT_EQ(px(300, 219), kRed);
    EXPECT_EQ(px(310, 219), kRed) << "the bottom edge fits";
    EXPECT_EQ(px(319, 210), kWhite) << "the right edge is cut off";
    EXPECT_EQ(px(310, 210), kWhite) << "the object itself is not drawn";

    reset();
    draw(R"(fill-colour 0,0,0
painter "XRectangleP" at 10,10 size 20,20 plc 0 {
  block "XRectangleP" id 0
}
)");
    pterm.show_selection = 1;
    OB_drawSelection(1, 0);
    EXPECT_EQ(px(9, 20), kBlack) << "two exclusive-or frames around the object, on the screen";
    EXPECT_EQ(px(8, 20), kBlack);
    EXPECT_EQ(px(7, 20), kWhite);
    OB_setActualFocus(0);
    teqc::drawAllObjects();
    EXPECT_EQ(px(9, 20), kWhite) << "a rectangle is not selectable, so the frame of the focus is not drawn";
}
