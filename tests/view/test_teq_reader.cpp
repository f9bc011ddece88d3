#include "teq_fixture.h"

#include <string>

#include "runtime/settings.h"
#include "transport/file_layer.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "objects/shapes.h"
#include "view/painter_block.h"
#include "view/painter_loader.h"
#include "input/actions.h"

using std::string;

namespace {

string utf(const string &s)
{
    return string(1, static_cast<char>(s.size() >> 8)) + static_cast<char>(s.size() & 0xFF) + s;
}

string int32(uint32_t v)
{
    return string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                  static_cast<char>(v)};
}

// Painter element bytes with the given class and body (version "d" and later).
string painter(const string &cls, const string &body, int x = 0, int y = 0, int w = 10, int h = 10)
{
    uint32_t pos = static_cast<uint32_t>(x) << 11 | static_cast<uint32_t>(y);
    uint32_t size = static_cast<uint32_t>(w) << 11 | static_cast<uint32_t>(h);
    string out = "\x17";
    out += {static_cast<char>(pos >> 16), static_cast<char>(pos >> 8), static_cast<char>(pos)};
    out += {static_cast<char>(size >> 16), static_cast<char>(size >> 8), static_cast<char>(size)};
    out += static_cast<char>(cls.size()) + cls;
    out += string(1, '\0') + string(1, '\0'); // no fallback, PLC id 0
    return out + int32(static_cast<uint32_t>(body.size())) + body;
}

// An empty painter block.
string emptyBlock(const string &cls) { return string(1, '\0') + utf(cls) + int32(0) + string(6, '\0'); }

} // namespace

TEST_F(TeqTest, PairsIntsStringsAndUtf)
{
    int f = openBytes(string("\x07\x80\xF0\x04\x88\xC1\x40\x00\x01", 9));
    int a, b;
    EXPECT_EQ(readPair(f, &a, &b), 0);
    EXPECT_EQ(a, 240);
    EXPECT_EQ(b, 240);
    EXPECT_EQ(readPair(f, &a, &b), 0);
    EXPECT_EQ(a, 145);
    EXPECT_EQ(b, 193);
    EXPECT_EQ(readPair(f, &a, &b), 1) << "bit 22 is the flag";
    EXPECT_EQ(readPair(f, &a, &b), -1);
    Tarsel_fileClose(f);

    f = openBytes(string("\xFF\xFF\xFF\xFE\x00\x01", 6));
    EXPECT_EQ(ReadJavaInt(f), -2);
    EXPECT_EQ(ReadJavaInt(f), 0) << "end of file inside an int32 gives 0";
    Tarsel_fileClose(f);

    char buffer[32];
    f = openBytes("\x28" + string(40, 'x') + "\x05" + "ab");
    EXPECT_EQ(readString(f, buffer, sizeof buffer), 40);
    EXPECT_EQ(string(buffer), string(31, 'x'));
    EXPECT_EQ(readString(f, buffer, sizeof buffer), -1);
    EXPECT_EQ(string(buffer), "ab");
    Tarsel_fileClose(f);
    EXPECT_NE(log().find("EOF in TeqIF.readString() !\n unreached size 5 bytes\n"), string::npos);

    char text[16];
    f = openBytes(utf("\xC3\xA9\xE2\x82\xAC"
                      "A\x85") +
                  utf("\xC3") + "Z" + utf("ab"));
    ASSERT_EQ(ReadUTF_size(f), 7);
    EXPECT_EQ(ReadUTF_bytes(f, text, 7), 1);
    EXPECT_EQ(string(text), "\xE9\xAC"
                            "A\x85");
    ASSERT_EQ(ReadUTF_size(f), 1);
    EXPECT_EQ(ReadUTF_bytes(f, text, 1), 1);
    EXPECT_EQ(string(text), "\xC3") << "a sequence cut by the byte count takes no byte of the next field";
    EXPECT_EQ(teqReadByte(f), 'Z');
    ASSERT_EQ(ReadUTF_size(f), 2);
    EXPECT_EQ(ReadUTF_bytes(f, text, 4), 0);
    EXPECT_NE(log().find("Reading UTF string failed;\n \"ab\"\n"), string::npos);
    Tarsel_fileClose(f);
}

TEST_F(TeqTest, VersionByteAndEmptyFiles)
{
    EXPECT_EQ(load(""), -1);
    EXPECT_NE(log().find("TEQ file is empty, \"\"\n"), string::npos);
    EXPECT_EQ(load("f"), 0);
    EXPECT_EQ(OB_HowManyObjetcs(), 0);
    EXPECT_EQ(load("b"), -1);
    EXPECT_NE(log().find("Parsing TEQ file failed,\n invalid editor version: 'b'\n"), string::npos);
    EXPECT_EQ(load("h"), -1);
    EXPECT_NE(log().find("invalid editor version: 'h'"), string::npos);
    for (char v : string("cdefg")) EXPECT_EQ(load(string(1, v)), 0) << v;
}

TEST_F(TeqTest, UnknownElementAbortsButKeepsEarlierObjects)
{
    EXPECT_EQ(load("f" + painter("DefaultOvalP", "") + string(1, '\0') + painter("DefaultOvalP", "")), -1);
    EXPECT_NE(log().find("Parsing TEQ file failed,\n unknown element: 00 Hex\n"), string::npos);
    EXPECT_NE(log().find("failed to load painter(s) from\n \"\"\n"), string::npos);
    EXPECT_EQ(OB_HowManyObjetcs(), 1);
    EXPECT_EQ(offset_, 1 + painter("DefaultOvalP", "").size() + 1);
    EXPECT_EQ(load("f\x1A"), -1);
    EXPECT_NE(log().find("unknown element: 1A Hex"), string::npos);
}

TEST_F(TeqTest, DefaultPropertiesGoToEachPainterAndEndWithTheFile)
{
    ASSERT_EQ(loadText(R"(teq f
line-colour 1,2,3
fill-colour 4,5,6
fill off
border off
line-style 2
line-width 3
skip-07 1,1 2,2
skip-0D 1,1 "x"
skip-14 1,1 1,1 0 0 1,1 1,1
skip-19 1,1 1,1 5 6 "y"
skip-09
painter "DefaultOvalP" at 5,6 size 7,8 plc 9
fill on
border on
painter "DefaultOvalP" at 1,1 size 1,1 plc 0
)"),
              0);
    ASSERT_EQ(OB_HowManyObjetcs(), 2);
    OB_Object *a = OB_Get_Pointer(0), *b = OB_Get_Pointer(1);
    EXPECT_EQ(a->lineColor, 0xFF030201u);
    EXPECT_EQ(a->fillColor, 0xFF060504u);
    EXPECT_EQ(a->status, 0);
    EXPECT_EQ(a->lineStyle, 2);
    EXPECT_EQ(a->lineWidth, 3);
    EXPECT_EQ(a->plcId, 9);
    EXPECT_EQ(a->id, 0);
    EXPECT_EQ(a->kind, OB_KIND_OVAL);
    EXPECT_EQ(a->x, 5);
    EXPECT_EQ(a->height, 8);
    EXPECT_EQ(b->id, 1);
    EXPECT_EQ(b->status, OB_STATUS_FILL | OB_STATUS_BORDER);

    ASSERT_EQ(loadText("teq f\npainter \"DefaultOvalP\" at 1,1 size 1,1 plc 0\n"), 0);
    OB_Object *c = OB_Get_Pointer(2);
    EXPECT_EQ(c->fillColor, 0x0000FFFFu) << "a new file starts from fresh defaults";
    EXPECT_EQ(c->lineColor, 0u);
    EXPECT_EQ(c->status, OB_STATUS_FILL | OB_STATUS_BORDER);
    EXPECT_EQ(c->lineWidth, 1);
}

TEST_F(TeqTest, UnknownPaintersAreSkippedOrLoadedThroughTheirFallback)
{
    PA_setLoader("IBarGraphP", nullptr); // a known kind whose layer is not attached
    ASSERT_EQ(loadText(R"(teq f
painter "Mystery" at 1,2 size 3,4 plc 0 {
  bytes 17 00 00 00 01 02 03
}
painter "NoSuchThing" at 0,0 size 9,9 fallback "XRectangleP" plc 0 {
  block "XRectangleP" id 0
}
painter "IBarGraphP" at 0,0 size 9,9 plc 0 {
  block "IBarGraphP" id 0 {
    action 0 2 {
      dest PPO "Motor"
      source STRING "1"
    }
  }
}
painter "DefaultOvalP" at 0,0 size 1,1 plc 0
)"),
              0);
    EXPECT_NE(log().find("Unknown painter at (1, 2, 3, 4) !\n Mystery\n"), string::npos);
    EXPECT_NE(log().find("Unknown painter at (0, 0, 9, 9) !\n NoSuchThing\n"), string::npos);
    ASSERT_EQ(OB_HowManyObjetcs(), 2) << "the rectangle through its fallback and the oval";
    EXPECT_EQ(OB_Get_Pointer(0)->kind, OB_KIND_RECTANGLE);
    EXPECT_NE(object<RC_Rectangle>(0)->block, nullptr);
    EXPECT_EQ(OB_Get_Pointer(1)->kind, OB_KIND_OVAL);

    string longName(40, 'Q');
    ASSERT_EQ(load("f" + painter(longName, "xyz") + painter("DefaultOvalP", "")), 0);
    EXPECT_NE(log().find("Unknown painter at (0, 0, 10, 10) !\n " + string(31, 'Q') + "\n"), string::npos);
    EXPECT_EQ(OB_HowManyObjetcs(), 3);
}

TEST_F(TeqTest, KnownClassesWithoutALoaderAreSkippedQuietlyNotLoadedThroughTheirFallback)
{
    // Only the oval's and the rectangle's loaders are attached here, so that
    // every other class of the format is known and has no loader.
    PA_resetLoaders();
    PA_setLoader("DefaultOvalP", OV_loadDefaultOval);
    PA_setLoader("XRectangleP", RC_loadDefaultRectangle);
    const char *later[] = {"IButtonP",  "TextFieldP",  "IBarGraphP",   "CircularGaugeP",
                           "IGraphicP", "FileViewerP", "DropDownListP"};
    for (const char *cls : later) {
        SCOPED_TRACE(cls);
        reset();
        // The body is not a rectangle's: read through the fallback, its last
        // bytes would be taken for elements.
        string page = string("teq f\npainter \"") + cls + R"(" at 1,2 size 3,4 fallback "XRectangleP" plc 0 {
  block "IButtonP" id 0 {
    action 0 2 {
      dest PPO "Motor"
      source STRING "1"
    }
  }
  bytes EE EE EE EE
}
painter "DefaultOvalP" at 0,0 size 1,1 plc 0
)";
        string bytes = teqc::buildTeq(page);
        ASSERT_EQ(load(bytes), 0) << log();
        EXPECT_EQ(offset_, bytes.size());
        ASSERT_EQ(OB_HowManyObjetcs(), 1) << "only the oval";
        EXPECT_EQ(OB_Get_Pointer(0)->kind, OB_KIND_OVAL);
        EXPECT_EQ(PPO_lookup("Motor"), nullptr);
        EXPECT_EQ(log().find("Unknown painter"), string::npos);
    }
}

TEST_F(TeqTest, PainterBlockRecords)
{
    ASSERT_EQ(loadText(R"(teq d
painter "XRectangleP" at 10,20 size 30,40 plc 0 {
  block "XRectangleP" id 0x1234 {
    action 1 2 {
      dest CO "@FOCUS"
      source STRING "x"
      when compare ge CO "a" STRING "5"
    }
    action 0 2 {
      dest CO "@POINTS_OBJECT"
      source STRING "y"
      extra STRING "ON"
      extra COLOR 9,8,7
      extra FONT "Arial" 1 12
      extra UNDEFINED
    }
    action 0 14 {
      dest PPO "Counter"
      source STRING "1"
    }
    repaint 39 COLOR 255,0,0 {
      when or {
        compare eq STRING "a" STRING "b"
        empty
      }
    }
    fkey "FKEY_1"
    fkey "ENTER"
  }
}
)"),
              0);
    MPainter *block = object<RC_Rectangle>(0)->block;
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->painterId, 0x34);
    ASSERT_EQ(block->actionCount, 3);
    EXPECT_EQ(block->actions[0].trigger, AC_TRIGGER_RELEASE);
    EXPECT_EQ(block->actions[0].code, AC_FOCUS);
    EXPECT_EQ(block->actions[1].code, AC_CLICK);
    EXPECT_EQ(block->actions[2].code, AC_ADD);
    EXPECT_STREQ(block->actions[2].dest.name, "Counter");
    const CO_LogicCondition &c0 = block->actions[0].condition;
    EXPECT_EQ(c0.op, CO_LOGIC_LEFT) << "a simple condition is wrapped";
    ASSERT_EQ(c0.left.kind, CO_EXPRESSION_COMPARISON);
    auto *cmp = static_cast<CO_Condition *>(c0.left.node);
    EXPECT_EQ(cmp->op, CO_COMPARE_GREATER_EQUAL);
    EXPECT_STREQ(cmp->leftName, "a");
    EXPECT_EQ(cmp->rightType, SourceType_STRING);
    EXPECT_EQ(c0.right.kind, CO_EXPRESSION_EMPTY);
    EXPECT_EQ(block->actions[1].condition.op, 0u) << "no condition: all zero";

    ASSERT_EQ(block->actions[1].extraCount, 4);
    EXPECT_STREQ(block->actions[1].extras[0].name, "ON");
    EXPECT_EQ(block->actions[1].extras[1].color, 0xFF070809u);
    EXPECT_EQ(block->actions[1].extras[2].type, SourceType_FONT);
    EXPECT_EQ(block->actions[1].extras[2].name, nullptr);
    EXPECT_EQ(block->actions[1].extras[3].name, nullptr) << "type 0 without a name in version d, PLC id 0";

    ASSERT_EQ(block->repaintCount, 1);
    EXPECT_EQ(block->repaints[0].code, RR_FILL_COLOR);
    EXPECT_EQ(block->repaints[0].info.color, 0xFF0000FFu);
    EXPECT_EQ(block->repaints[0].condition.op, CO_LOGIC_OR);
    EXPECT_EQ(CO_evaluateLogicCondition(&block->repaints[0].condition), 1);
    ASSERT_EQ(block->fkeyCount, 2);
    EXPECT_STREQ(block->fkeys[1], "ENTER");
    EXPECT_EQ(block->repaintMask, 0);
}

TEST_F(TeqTest, OldLayoutInfoRecordsAndNoBlockBeforeVersionD)
{
    ASSERT_EQ(loadText(R"(teq c
painter "XRectangleP" at 1,1 size 5,5
painter "XOvalP" at 1,1 size 5,5 {
  block "XOvalP" id 7 {
    repaint 2 COLOR "ignored" {
      when compare eq tag=3 PPO "p" STRING "q"
    }
    action 0 2 {
      dest UNDEFINED ""
      source FONT "f"
    }
  }
}
painter "XLineP" at 0,0 size 10,10 {
  start 0 0
}
)"),
              0);
    ASSERT_EQ(OB_HowManyObjetcs(), 3);
    EXPECT_EQ(object<RC_Rectangle>(0)->block, nullptr);
    MPainter *block = object<OV_Oval>(1)->block;
    ASSERT_EQ(block->repaintCount, 1);
    EXPECT_EQ(block->repaints[0].info.type, SourceType_COLOR);
    EXPECT_STREQ(block->repaints[0].info.name, "ignored");
    auto *cmp = static_cast<CO_Condition *>(block->repaints[0].condition.left.node);
    EXPECT_STREQ(cmp->leftName, "p");
    EXPECT_EQ(cmp->leftType, SourceType_PPO);
    EXPECT_STREQ(block->actions[0].source.name, "f");
    EXPECT_EQ(object<LN_Line>(2)->block.repaintCount, 0);
}

TEST_F(TeqTest, ShapeBodies)
{
    ASSERT_EQ(loadText(R"(teq e
painter "DefaultLineP" at 10,20 size 30,40 plc 0 {
  block "DefaultLineP" id 0
  start 10 20
}
painter "DefaultLineP" at 10,20 size 30,40 plc 0 {
  block "DefaultLineP" id 0
  start 10 60
}
painter "DefaultLineP" at 10,20 size 30,40 plc 0 {
  block "DefaultLineP" id 0
  start 40 20
}
painter "DefaultLineP" at 10,20 size 30,40 plc 0 {
  block "DefaultLineP" id 0
  start 40 60
}
painter "DefaultLineP" at 10,20 size 30,0 plc 0 {
  block "DefaultLineP" id 0
  start 40 20
}
painter "XPolygoneP" at 0,0 size 9,9 plc 0 {
  block "XPolygoneP" id 0
  points count=65539 1,2 3,4 5,6
}
painter "DefaultPolylineP" at 0,0 size 9,9 plc 0 {
  points 7,8 9,10
}
painter "DefaultTextP" at 0,0 size 100,20 plc 0 {
  text "Caf\xC3\xA9" 5 -1
}
painter "IDegradeHP" at 0,0 size 4,4 plc 0
painter "IDegradeVP" at 0,0 size 4,4 plc 0
painter "XDegradeVP" at 0,0 size 4,4 plc 0 {
  block "XDegradeVP" id 0
}
)"),
              0);
    ASSERT_EQ(OB_HowManyObjetcs(), 11);
    auto ends = [&](int id) {
        LN_Line *l = object<LN_Line>(id);
        return std::to_string(l->x1) + "," + std::to_string(l->y1) + "-" + std::to_string(l->x2) + "," +
               std::to_string(l->y2);
    };
    EXPECT_EQ(ends(0), "10,20-39,59") << "version e pulls a slanted end one pixel back";
    EXPECT_EQ(ends(1), "10,60-39,21");
    EXPECT_EQ(ends(2), "40,20-11,59");
    EXPECT_EQ(ends(3), "40,60-11,21");
    EXPECT_EQ(ends(4), "40,20-10,20") << "a flat line keeps its ends";
    EXPECT_EQ(OB_Get_Pointer(0)->kind, OB_KIND_LINE);

    PG_Polygon *pg = object<PG_Polygon>(5);
    ASSERT_EQ(pg->count, 3);
    EXPECT_EQ(pg->xs[2], 5);
    EXPECT_EQ(pg->ys[3], 2) << "closing entry repeats the first point";
    EXPECT_EQ(OB_Get_Pointer(5)->kind, OB_KIND_POLYGON);
    PLN_Polyline *pl = object<PLN_Polyline>(6);
    ASSERT_EQ(pl->count, 2);
    EXPECT_EQ(pl->ys[1], 10);
    TX_Text *tx = object<TX_Text>(7);
    EXPECT_STREQ(tx->text, "Caf\xE9");
    EXPECT_EQ(tx->value2, -1);
    EXPECT_EQ(OB_Get_Pointer(7)->kind, OB_KIND_TEXT);
    EXPECT_EQ(object<DV_Gradient>(9)->block, nullptr);
    EXPECT_NE(object<DV_Gradient>(10)->block, nullptr);
    EXPECT_EQ(OB_Get_Pointer(10)->kind, OB_KIND_OWN_HANDLERS);
}

TEST_F(TeqTest, FailedPainterBlockRemovesTheObjectAndAbortsTheFile)
{
    string bytes = "f" + painter("DefaultOvalP", "") + painter("XRectangleP", emptyBlock("XRectangleP").substr(0, 5));
    EXPECT_EQ(load(bytes + "\x05"), -1);
    EXPECT_EQ(OB_HowManyObjetcs(), 1);
    EXPECT_EQ(OB_Get_Pointer(1), nullptr);
    EXPECT_NE(log().find("failed to load painter(s) from"), string::npos);
}

TEST_F(TeqTest, TruncatedFilesNeverCrashAndStopInsideTheFile)
{
    string bytes = teqc::buildTeq(R"(teq f
font "Arial" 0 12
painter "XRectangleP" at 10,20 size 30,40 plc 0 {
  block "XRectangleP" id 1 {
    action 0 2 {
      dest PPO "Motor"
      source STRING "1"
      extra STRING "ON"
      when and {
        compare gt CO "a" STRING "1"
        compare lt CO "b" STRING "9"
      }
    }
    repaint 2 STRING "x" {
      when compare eq STRING "a" STRING "b"
    }
    fkey "F1"
  }
}
painter "XPolygoneP" at 0,0 size 9,9 plc 0 {
  block "XPolygoneP" id 0
  points 1,2 3,4 5,6
}
painter "DefaultTextP" at 0,0 size 100,20 plc 0 {
  text "Hello" 0 0
}
)");
    for (size_t n = 1; n <= bytes.size(); n++) {
        reset();
        int result = load(bytes.substr(0, n));
        EXPECT_TRUE(result == 0 || result == -1);
        EXPECT_LE(offset_, n);
        EXPECT_LE(OB_HowManyObjetcs(), 3);
    }
    EXPECT_EQ(load(bytes), 0);
}

TEST_F(TeqTest, LengthsAndCountsAtTheirLimits)
{
    EXPECT_EQ(load("f" + painter("Mystery", "").substr(0, 17) + int32(0x7FFFFFFF) + "abc"), 0)
        << "a body length past the end skips to the end";

    string points = int32(65535);
    for (int i = 0; i < 65535; i++) points += string("\x00\x08\x01", 3);
    ASSERT_EQ(load("f" + painter("DefaultPolygoneP", points) + painter("DefaultPolylineP", int32(0))), 0);
    ASSERT_EQ(OB_HowManyObjetcs(), 2);
    EXPECT_EQ(object<PG_Polygon>(0)->count, 65535);
    EXPECT_EQ(object<PG_Polygon>(0)->ys[65535], 1);
    EXPECT_EQ(object<PLN_Polyline>(1)->count, 0);

    string action = string("\x00\x00\x02\x00\x03", 5) + utf("d") + string("\x00\x03", 2) + utf("s") + string(2, '\0');
    string block = string(1, '\0') + utf("IButtonP") + int32(1) + string("\x00\xFF", 2);
    for (int i = 0; i < 255; i++) block += action;
    block += string(4, '\0');
    string name(255, 'n');
    string text = utf(name) + int32(0) + int32(0);
    string bytes = "f\x0B" + string(1, '\xFF') + name + "\x01\x0C" + painter("XOvalP", block) +
                   painter("DefaultTextP", text) + "\x1B\x01" + string(1, '\xFF') + name;
    reset();
    ASSERT_EQ(load(bytes), 0);
    ASSERT_EQ(OB_HowManyObjetcs(), 2);
    EXPECT_EQ(object<OV_Oval>(0)->block->actionCount, 255);
    EXPECT_STREQ(object<OV_Oval>(0)->block->actions[254].dest.name, "d");
    EXPECT_EQ(string(object<TX_Text>(1)->text), name);
}

TEST_F(TeqTest, DeepConditionNestingIsRefusedWithoutDeepRecursion)
{
    auto nested = [](int depth) {
        string c("\x00\x01", 2);
        for (int i = 1; i < depth; i++) c += string("\x00\x02\x00\x01", 4);
        c += string("\x00\x00", 2);
        for (int i = 1; i < depth; i++) c += string("\x00\x00", 2);
        c += string("\x00\x00", 2);
        return c;
    };
    auto repaintWith = [](const string &condition) {
        string block = string(1, '\0') + utf("XOvalP") + int32(0) + string(2, '\0') + string("\x00\x01", 2);
        block += string("\x02\x29\x00\x03", 4) + utf("x") + condition;
        return "f" + painter("XOvalP", block + string(2, '\0'));
    };
    ASSERT_EQ(load(repaintWith(nested(CO_MAX_CONDITION_DEPTH))), 0);
    EXPECT_EQ(CO_evaluateLogicCondition(&object<OV_Oval>(0)->block->repaints[0].condition), 1);

    reset();
    EXPECT_EQ(load(repaintWith(nested(10000))), -1);
    EXPECT_NE(log().find("condition nested deeper than 64 levels"), string::npos);
    EXPECT_EQ(OB_HowManyObjetcs(), 0);
}

TEST_F(TeqTest, FullTableStillReadsInStep)
{
    string bytes = "f";
    for (int i = 0; i < 1002; i++) bytes += painter("XRectangleP", emptyBlock("XRectangleP"));
    bytes += "\x06\x01\x02\x03" + painter("DefaultOvalP", "");
    ASSERT_EQ(load(bytes), 0);
    EXPECT_EQ(OB_HowManyObjetcs(), 1000);
    EXPECT_EQ(OB_getOverflowCount(), 3);
    string text = log();
    size_t first = text.find("Maximum number of object reached !");
    ASSERT_NE(first, string::npos);
    EXPECT_EQ(text.find("Maximum number of object reached !", first + 1), string::npos);
}

TEST_F(TeqTest, HeapExhaustionKeepsTheFileInStepOrStopsIt)
{
    pterm.mem_heap1_kb = 64;
    reset();
    OB_DeleteAllObjetcs();
    MU_releaseAreas();
    MU_init();
    string points = int32(65535);
    for (int i = 0; i < 65535; i++) points += string("\x00\x08\x01", 3);
    ASSERT_EQ(load("f" + painter("DefaultPolygoneP", points) + painter("DefaultOvalP", "")), 0);
    ASSERT_EQ(OB_HowManyObjetcs(), 2) << "the pairs of a polygon without arrays are still consumed";
    EXPECT_EQ(object<PG_Polygon>(0)->xs, nullptr);
    EXPECT_EQ(OB_Get_Pointer(1)->kind, OB_KIND_OVAL);

    // The records shrink with the pointers: 64 KB run out within 900
    // rectangles with 8-byte pointers, 32 KB with 4-byte ones.
    reset();
    pterm.mem_heap1_kb = static_cast<uint32_t>(8 * sizeof(void *));
    MU_releaseAreas();
    MU_init();
    string many = "f";
    for (int i = 0; i < 900; i++) many += painter("XRectangleP", emptyBlock("XRectangleP"));
    EXPECT_EQ(load(many), -1);
    EXPECT_GT(OB_HowManyObjetcs(), 100);
    EXPECT_LT(OB_HowManyObjetcs(), 900);
    EXPECT_NE(log().find("out of memory in heap1!"), string::npos);
}

// A process point named by a symbol of the page's value formats is read and
// written under its formatted name. Pictures from version "d" on have room
// reserved behind the name; older ones name the type after the name and get
// a copy, so the names read after it stay intact.
TEST_F(TeqTest, SymbolsOfTheValueFormatsBecomeTheirFormattedNames)
{
    MU_init2();
    writeFile(path("page.tcr"), "T;Tank.Level.Formatted ;0;1000;dec.1;m;\nC;Counter.Formatted;0;9;int; ;\n");
    ASSERT_EQ(TCR_parseTcrFile("page.tcr"), 0);
    ASSERT_EQ(TCR_getEntryCount(), 2);
    for (const char *version : {"d", "c"}) {
        SCOPED_TRACE(version);
        reset();
        ASSERT_EQ(loadText(std::string("teq ") + version + R"(
painter "XOvalP" at 1,1 size 5,5 {
  block "XOvalP" id 7 {
    repaint 2 PPO "T" {
      when compare eq tag=3 PPO "C" STRING "q"
    }
    action 0 2 {
      dest PPO "C"
      source STRING "1"
    }
  }
}
)"),
                  0);
        MPainter *block = object<OV_Oval>(0)->block;
        ASSERT_NE(block, nullptr);
        EXPECT_STREQ(block->repaints[0].info.name, "Tank.Level.Formatted");
        auto *cmp = static_cast<CO_Condition *>(block->repaints[0].condition.left.node);
        EXPECT_STREQ(cmp->leftName, "Counter.Formatted");
        EXPECT_STREQ(cmp->rightName, "q");
        EXPECT_STREQ(block->actions[0].dest.name, "Counter.Formatted");
        EXPECT_STREQ(block->actions[0].source.name, "1");
        PpoRecord *tank = PPO_lookup("Tank.Level.Formatted");
        ASSERT_NE(tank, nullptr);
        EXPECT_EQ(tank->format, TCR_getTcrPointerWithSymbol("T"));
        EXPECT_EQ(PPO_lookup("T"), nullptr);
        PPO_updateValue(tank, "1234");
        EXPECT_STREQ(tank->value, "123.4");
    }
}
