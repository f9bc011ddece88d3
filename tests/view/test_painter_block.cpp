#include "view/teq_fixture.h"

#include <cstring>
#include <string>

#include "data/containers.h"
#include "data/process_points.h"
#include "draw/graphics.h"
#include "runtime/heap.h"
#include "view/object_table.h"
#include "view/painter_block.h"
#include "input/actions.h"
#include "teq_render.h"
#include "transport/http_client.h"

namespace {

class PainterBlock : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        MU_init();
    }
    // A repaint whose condition holds or not (a comparison of two constants).
    MP_Repaint repaint(int code, int type, const char *name, bool holds)
    {
        MP_Repaint r;
        RR_addRepaintAt(&r, 0, code, type, name);
        CO_createLogicCondition(&r.condition, CO_COMPARE_EQUAL, SourceType_STRING, "a", SourceType_STRING,
                                holds ? "a" : "b");
        return r;
    }
};

} // namespace

TEST_F(PainterBlock, HiddenVisibleAndOffsets)
{
    MP_Repaint r[4] = {repaint(RR_HIDE, SourceType_STRING, "", false), repaint(RR_FILL, SourceType_STRING, "", false),
                       repaint(RR_TEXT, SourceType_STRING, "t", true),
                       repaint(RR_HIDE_51, SourceType_STRING, "", false)};
    OB_Object object{};
    OB_SetStatusBit(&object, OB_STATUS_FILL, 1);
    EXPECT_FALSE(RR_isHidden(r, 4));
    EXPECT_EQ(RR_IsVisible(&object, r, 4), 1) << "a text shows, fill switched off by repaint 41";
    r[1] = repaint(RR_FILL, SourceType_STRING, "", true);
    EXPECT_EQ(RR_IsVisible(&object, r, 4), 2);
    EXPECT_EQ(RR_IsVisible(&object, r, 2), 0) << "no text repaint holds";
    r[3] = repaint(RR_HIDE_51, SourceType_STRING, "", true);
    EXPECT_TRUE(RR_isHidden(r, 4));
    EXPECT_EQ(RR_IsVisible(&object, r, 4), 0);

    MP_Repaint offsets[3] = {repaint(RR_OFFSET_X, SourceType_STRING, "15", true),
                             repaint(RR_OFFSET_HEIGHT, SourceType_STRING, "-4", true),
                             repaint(RR_OFFSET_Y, SourceType_PPO, "Nowhere", true)};
    RR_OffsetSlots slots;
    RR_initOffsetSlots(&slots);
    for (int i = 0; i < 3; i++) EXPECT_TRUE(RR_checkOffsets(&offsets[i], &slots, i));
    EXPECT_FALSE(RR_checkOffsets(&r[0], &slots, 0));
    int x = 10, y = 20, w = 30, h = 40;
    EXPECT_TRUE(RR_setAnyOffsets(offsets, &slots, &x, &y, &w, &h));
    EXPECT_EQ(x, 25);
    EXPECT_EQ(y, 20) << "a source without a value moves nothing";
    EXPECT_EQ(h, 36);
}

TEST_F(PainterBlock, RepaintPassAndChangeMask)
{
    OB_Object object{};
    object.x = 10, object.y = 10, object.width = 20, object.height = 20;
    object.fillColor = 1, object.lineColor = 2;
    OB_SetStatusBit(&object, OB_STATUS_FILL | OB_STATUS_BORDER, 1);
    MP_Repaint r[4] = {
        repaint(RR_FILL, SourceType_STRING, "", false), repaint(RR_LINE_COLOR, SourceType_STRING, "255,0,0", true),
        repaint(RR_FILL_COLOR, SourceType_COLOR, nullptr, true), repaint(RR_ARROWS, SourceType_STRING, "3", true)};
    r[2].info.color = 0xFF00FF00;
    MPainter block{};
    block.repaints = r;
    block.repaintCount = 4;
    RR_Look look;
    ASSERT_EQ(RR_repaintPass(&object, &block, 1, 1, &look), 1);
    EXPECT_EQ(look.fill, 0) << "repaint 41 not holding switches fill off";
    EXPECT_EQ(look.border, 1);
    EXPECT_EQ(look.lineColor, 0xFF0000FFu);
    EXPECT_EQ(look.fillColor, 0xFF00FF00u);
    EXPECT_EQ(look.arrows, 3);

    EXPECT_EQ(RR_repaintPass(&object, &block, 0, 1, &look), 1) << "first refresh: the mask changed from 0";
    EXPECT_EQ(block.repaintMask, 0x0E);
    EXPECT_EQ(RR_repaintPass(&object, &block, 0, 1, &look), 0) << "nothing changed";
    r[0] = repaint(RR_FILL, SourceType_STRING, "", true);
    EXPECT_EQ(RR_repaintPass(&object, &block, 0, 1, &look), 1);
    EXPECT_EQ(block.repaintMask, 0x1E);

    r[3] = repaint(RR_OFFSET_X, SourceType_STRING, "5", true);
    EXPECT_EQ(RR_repaintPass(&object, &block, 0, 1, &look), 1) << "an applied offset always draws";
    EXPECT_EQ(look.x, 15);
    EXPECT_EQ(RR_repaintPass(&object, &block, 0, 0, &look), 0);
    EXPECT_EQ(look.x, 10);
    r[1] = repaint(RR_HIDE, SourceType_STRING, "", true);
    EXPECT_EQ(RR_repaintPass(&object, &block, 1, 1, &look), 0) << "hidden";
    EXPECT_EQ(RR_repaintPass(&object, nullptr, 0, 1, &look), 0) << "without a block only full redraws draw";
    EXPECT_EQ(RR_repaintPass(&object, nullptr, 1, 1, &look), 1);
}

TEST_F(PainterBlock, RunTimeBlocksAndSelectability)
{
    MPainter block;
    ASSERT_TRUE(MP_createMPainter(&block, 1, 2, SourceType_CO, "@FOCUS", SourceType_STRING, "x", 4, RR_TEXT,
                                  SourceType_HTMLTAG, "Label"));
    EXPECT_EQ(block.painterId, 255);
    EXPECT_EQ(block.actionCount, 1);
    EXPECT_EQ(block.actions[0].code, AC_FOCUS) << "normalised like a loaded action";
    EXPECT_EQ(block.actions[0].condition.op, CO_LOGIC_ALWAYS);
    EXPECT_STREQ(block.actions[0].source.name, "x");
    EXPECT_EQ(block.repaintCount, 4);
    EXPECT_STREQ(block.repaints[0].info.name, "Label");
    RR_addRepaintAt(block.repaints, 1, RR_HIDE, SourceType_STRING, "");
    EXPECT_TRUE(RR_isHidden(block.repaints, 2)) << "run-time repaints always hold";
    EXPECT_TRUE(MP_isSelectableObject(&block, 0));
    EXPECT_FALSE(MP_isSelectableObject(&block, 1));

    MPainter none;
    ASSERT_TRUE(MP_createMPainter(&none, 0, 0, 0, nullptr, 0, nullptr, 0, 0, 0, nullptr));
    EXPECT_FALSE(MP_isSelectableObject(&none, 0)) << "no actions";
}

TEST_F(PainterBlock, StaticAndDynamicTexts)
{
    char text[256];
    MP_Repaint r[2] = {repaint(RR_TEXT, SourceType_STRING, "Hello", true),
                       repaint(RR_HIDE, SourceType_STRING, "", true)};
    RR_addRepaintAt(r, 0, RR_TEXT, SourceType_STRING, "Hello");
    MPainter block{};
    block.repaints = r;
    block.repaintCount = 2;
    EXPECT_TRUE(MP_IsStaticRepaintSource(&block, text));
    EXPECT_STREQ(text, "Hello");
    int isStatic = -1;
    char *copy = MP_GetPointerToString(&block, &isStatic);
    EXPECT_EQ(isStatic, 1);
    EXPECT_STREQ(copy, "Hello");

    RR_addRepaintAt(r, 0, RR_TEXT_5, SourceType_FILE, "picture.gif");
    EXPECT_TRUE(MP_IsStaticRepaintSource(&block, text));
    EXPECT_STREQ(text, "picture.gif");
    RR_addRepaintAt(r, 0, RR_TEXT, SourceType_PPO, "Motor");
    EXPECT_FALSE(MP_IsStaticRepaintSource(&block, text));
    r[0] = repaint(RR_TEXT, SourceType_STRING, "Hello", true);
    EXPECT_FALSE(MP_IsStaticRepaintSource(&block, text)) << "a conditioned text is dynamic";
    char *buffer = MP_GetPointerToString(&block, &isStatic);
    EXPECT_EQ(isStatic, 0);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(std::memcmp(buffer, std::string(256, '\0').data(), 256), 0);
}

TEST_F(PainterBlock, ColoursFromSources)
{
    MP_Info info{SourceType_COLOR, nullptr, 0xFF123456};
    EXPECT_EQ(getColorInfo(&info), 0xFF123456u);
    char rgb[] = "1,2,3";
    info = {SourceType_STRING, rgb, 0};
    EXPECT_EQ(getColorInfo(&info), 0xFF030201u);
    char bad[] = "red";
    info.name = bad;
    EXPECT_EQ(getColorInfo(&info), 0xFFFFFFFFu);
    info = {SourceType_CO, rgb, 0};
    EXPECT_EQ(getColorInfo(&info), 0xFFFFFFFFu) << "a container without a value";
}

// Colour texts are remembered between frames; whatever way the text changes,
// the colour must follow it at once.
TEST_F(PainterBlock, RememberedColoursFollowEveryChangeOfTheirText)
{
    MU_init2();
    HT_resetContainers();
    char name[] = "Lamp.Colour";
    MP_Info lamp{SourceType_CO, name, 0};
    HT_writeContainer("Lamp.Colour", "10,20,30");
    EXPECT_EQ(getColorInfo(&lamp), 0xFF1E140Au);
    EXPECT_EQ(getColorInfo(&lamp), 0xFF1E140Au);
    HT_writeContainer("Lamp.Colour", "10,20,31"); // same length, one digit
    EXPECT_EQ(getColorInfo(&lamp), 0xFF1F140Au);
    HT_writeContainer("Lamp.Colour", "200,100,50 and a long remark"); // too long to remember
    EXPECT_EQ(getColorInfo(&lamp), 0xFF3264C8u);
    HT_writeContainer("Lamp.Colour", "200,100,51 and a long remark");
    EXPECT_EQ(getColorInfo(&lamp), 0xFF3364C8u);
    HT_writeContainer("Lamp.Colour", "");
    EXPECT_EQ(getColorInfo(&lamp), 0xFFFFFFFFu) << "an empty text is no colour";

    // a text changed in place, under the same pointer
    char text[] = "1,2,3";
    MP_Info literal{SourceType_STRING, text, 0};
    EXPECT_EQ(getColorInfo(&literal), 0xFF030201u);
    text[4] = '4';
    EXPECT_EQ(getColorInfo(&literal), 0xFF040201u);

    // sources that share a memo slot take it from each other without mixing up their colours
    static MP_Info many[RR_COLOUR_MEMOS + 1];
    char red[] = "255,0,0", blue[] = "0,0,255";
    many[0] = {SourceType_STRING, red, 0};
    many[RR_COLOUR_MEMOS] = {SourceType_STRING, blue, 0};
    for (int pass = 0; pass < 2; pass++) {
        EXPECT_EQ(getColorInfo(&many[0]), 0xFF0000FFu);
        EXPECT_EQ(getColorInfo(&many[RR_COLOUR_MEMOS]), 0xFFFF0000u);
    }
    RR_resetColourMemos();
    EXPECT_EQ(getColorInfo(&many[0]), 0xFF0000FFu);
}

TEST_F(PainterBlock, HtmlSourceThatNamesAProcessPointPutsItOnTheReadList)
{
    char name[] = "-#PPO_Tank.Level#";
    MP_orderSource(name, SourceType_HTMLTAG, 0);
    EXPECT_NE(PPO_lookup("Tank.Level"), nullptr);
    char plain[] = "Title";
    MP_orderSource(plain, SourceType_HTMLTAG, 0);
    EXPECT_EQ(PPO_lookup("Title"), nullptr);
    EXPECT_EQ(readFile(path("pterm.log")).find("Undefined PPO"), std::string::npos)
        << "nothing reads the point before it is listed";
}

// Password points are read like any other point and only shown masked: a
// condition or colour that uses one finds it on the read list.
TEST_F(TeqTest, PasswordPointsAreOnTheReadList)
{
    ASSERT_EQ(loadText(R"(teq f
painter "XRectangleP" at 10,10 size 20,20 plc 0 {
  block "XRectangleP" id 0 {
    action 0 2 {
      dest PASSWORDPPO "Pin.New"
      source STRING "1"
    }
    repaint 41 STRING "" {
      when compare eq PASSWORDPPO "Pin.Code" STRING "1234"
    }
    repaint 39 PASSWORDPPO "Pin.Colour"
  }
}
)"),
              0);
    ASSERT_NE(PPO_lookup("Pin.Code"), nullptr);
    EXPECT_NE(PPO_lookup("Pin.Colour"), nullptr);
    EXPECT_EQ(PPO_lookup("Pin.New"), nullptr) << "a destination that is only written is not read";

    SetRemoteStatus(1);
    for (int i = 0; i < 3; i++) teqc::drawAllObjects();
    EXPECT_EQ(log().find("Undefined PPO"), std::string::npos) << "no error on any evaluation";

    PPO_updateValue(PPO_lookup("Pin.Code"), "1234");
    PPO_updateValue(PPO_lookup("Pin.Colour"), "0,255,0");
    teqc::drawAllObjects();
    GR_PIXELVAL p = 0;
    GrReadArea(g_screen, 20, 20, 1, 1, &p);
    EXPECT_EQ(p, 0xFF00FF00u) << "filled in the point's colour while the point holds the code";
}
