#include "data/data_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "comm/target_link.h"
#include "draw/graphics.h"
#include "view/conditions.h"
#include "data/process_points.h"
#include "runtime/ramdisk.h"
#include "view/teq_reader.h"

using std::string;

namespace {

string utf(const string &s) { return string{static_cast<char>(s.size() >> 8), static_cast<char>(s.size())} + s; }

// Operand bytes from version "d" on: tag, type, name.
string operand(int type, const string &name) { return string{'\0', static_cast<char>(type)} + utf(name); }

string comparison(int op, const string &left, const string &right)
{
    return string{'\0', static_cast<char>(op)} + left + right;
}

class Conditions : public DataTest {
protected:
    int open(const string &bytes)
    {
        int out = RA_fileOpen("cond", "w");
        RA_fileWrite(bytes.data(), 1, static_cast<int>(bytes.size()), out);
        RA_fileClose(out);
        return Tarsel_fileOpen("cond", "r");
    }
    int loadLogic(const string &bytes, CO_LogicCondition *node)
    {
        int f = open(bytes);
        int ok = loadLogicCondition(f, node);
        Tarsel_fileClose(f);
        return ok;
    }
    int holds(uint32_t op, int lt, const char *l, int rt, const char *r)
    {
        CO_LogicCondition node;
        CO_createLogicCondition(&node, op, lt, l, rt, r);
        return CO_evaluateLogicCondition(&node);
    }
};

} // namespace

TEST_F(Conditions, ComparisonCodes)
{
    EXPECT_TRUE(CO_evaluate_str(CO_COMPARE_GREATER, "10", "9")) << "numeric, not text order";
    EXPECT_FALSE(CO_evaluate_str(CO_COMPARE_EQUAL, "10.0", "10")) << "text equality";
    EXPECT_TRUE(CO_evaluate_str(CO_COMPARE_DIFFERENT, "10.0", "10"));
    EXPECT_FALSE(CO_evaluate_str(CO_COMPARE_LESS, "abc", "5"));
    EXPECT_TRUE(CO_evaluate_str(CO_COMPARE_LESS, "", "5")) << "the empty text counts as 0";
    EXPECT_FALSE(CO_evaluate_str(CO_COMPARE_LESS, PPO_NOT_AVAILABLE, "5"));
    EXPECT_FALSE(CO_evaluate_str(CO_COMPARE_GREATER_EQUAL, PPO_NOT_AVAILABLE, "5"));
    EXPECT_TRUE(CO_evaluate_str(CO_COMPARE_GREATER_EQUAL, "5", "5.0"));
    EXPECT_TRUE(CO_evaluate_str(CO_COMPARE_LESS_EQUAL, "-1e3", "0"));
    EXPECT_TRUE(CO_evaluate_str(CO_COMPARE_ALWAYS, "a", "b"));
    EXPECT_TRUE(CO_evaluate_str(CO_COMPARE_ALWAYS_2, "a", "b"));
    EXPECT_FALSE(CO_evaluate_str(8, "a", "a"));
    EXPECT_FALSE(CO_evaluate_str(255, "1", "1"));
}

// Numbers are compared as "%lf" reads them, also the texts that only begin
// like a number.
TEST_F(Conditions, NumbersAreReadAsTheFormattedScanReadsThem)
{
    for (const char *text : {"500", " -3.25", "1.", ".5", "12abc", "1e", "1e3",   "1.5e+", "0x10", "0x",
                             "inf", "-nan",   ".",  "-",  "",      "  ", "1.2.3", "7 ",    "+4",   "1e-2x"}) {
        double expected = 0;
        int read = std::sscanf(text, "%lf", &expected);
        bool number = read == 1 || read == EOF;
        for (const char *other : {"0.5", "-1000", "100"}) {
            double b = std::atof(other);
            EXPECT_EQ(CO_evaluate_str(CO_COMPARE_GREATER, text, other), number && expected > b)
                << text << " > " << other;
            EXPECT_EQ(CO_evaluate_str(CO_COMPARE_LESS_EQUAL, text, other), number && expected <= b) << text;
        }
    }
}

TEST_F(Conditions, OperandsAreReadFromTheirSources)
{
    ASSERT_TRUE(setCo("level", "12"));
    EXPECT_TRUE(holds(CO_COMPARE_GREATER, SourceType_CO, "level", SourceType_STRING, "10"));
    setCo("level", "8");
    EXPECT_FALSE(holds(CO_COMPARE_GREATER, SourceType_CO, "level", SourceType_STRING, "10"));
    EXPECT_TRUE(holds(CO_COMPARE_ALWAYS, SourceType_PPO, "Unknown", SourceType_CO, "nothing"));

    // two system containers are compared by value
    g_screenWidth = 320;
    g_screenHeight = 240;
    EXPECT_TRUE(holds(CO_COMPARE_GREATER, SourceType_CO, "PT_SCREEN_WIDTH", SourceType_CO, "PT_SCREEN_HEIGHT"));
    EXPECT_FALSE(holds(CO_COMPARE_LESS, SourceType_CO, "PT_SCREEN_WIDTH", SourceType_CO, "PT_SCREEN_HEIGHT"));
    EXPECT_FALSE(holds(CO_COMPARE_EQUAL, SourceType_CO, "PT_SCREEN_WIDTH", SourceType_CO, "PT_SCREEN_HEIGHT"));
    EXPECT_TRUE(holds(CO_COMPARE_DIFFERENT, SourceType_CO, "PT_SCREEN_HEIGHT", SourceType_CO, "@PT_VERSION"));
    EXPECT_TRUE(holds(CO_COMPARE_LESS, SourceType_PASSWORDCONTAINER, "PT_VERSION", SourceType_CO, "PT_SCREEN_HEIGHT"));
    g_screenHeight = 320;
    EXPECT_TRUE(holds(CO_COMPARE_EQUAL, SourceType_CO, "PT_SCREEN_WIDTH", SourceType_CO, "PT_SCREEN_HEIGHT"));
}

TEST_F(Conditions, LogicNodesAndExpressions)
{
    CO_LogicCondition yes, no;
    CO_createLogicCondition(&yes, CO_COMPARE_EQUAL, SourceType_STRING, "a", SourceType_STRING, "a");
    CO_createLogicCondition(&no, CO_COMPARE_EQUAL, SourceType_STRING, "a", SourceType_STRING, "b");
    CO_LogicCondition node{};
    EXPECT_TRUE(CO_evaluateLogicCondition(&node)) << "all zero: left empty, which holds";
    node.left = {CO_EXPRESSION_LOGIC, &no};
    node.right = {CO_EXPRESSION_LOGIC, &yes};
    EXPECT_FALSE(CO_evaluateLogicCondition(&node)) << "operator 0 takes the left side";
    node.op = CO_LOGIC_AND;
    EXPECT_FALSE(CO_evaluateLogicCondition(&node));
    node.op = CO_LOGIC_OR;
    EXPECT_TRUE(CO_evaluateLogicCondition(&node));
    node.op = 3;
    EXPECT_FALSE(CO_evaluateLogicCondition(&node));
    node.op = CO_LOGIC_ALWAYS;
    node.left = {7, nullptr};
    EXPECT_TRUE(CO_evaluateLogicCondition(&node)) << "operator 4 looks at nothing";
    node.op = CO_LOGIC_LEFT;
    EXPECT_FALSE(CO_evaluateLogicCondition(&node)) << "an unknown expression kind is false";
    EXPECT_FALSE(evaluateExpression(nullptr));
    EXPECT_FALSE(CO_evaluateLogicCondition(nullptr));
}

TEST_F(Conditions, LoadingBothLayoutsAndOrderingProcessPoints)
{
    EditorVersion = TEQ_VERSION_D;
    string left = operand(SourceType_PPO, "Temp");
    string colour = string{'\0', 11, 1, 2, 3};
    string font = string{'\0', 12} + utf("Arial") + string{1, 12};
    string bytes = string{'\0', 1} +                                                          // AND
                   string{'\0', 1} + comparison(CO_COMPARE_GREATER, left, operand(3, "20")) + // left
                   string{'\0', 2} + string{'\0', 2} +                                        // right: OR node
                   string{'\0', 1} + comparison(CO_COMPARE_EQUAL, colour, font) +             //   compare
                   string{'\0', 9};                                                           //   kind 9: empty
    CO_LogicCondition node;
    ASSERT_TRUE(loadLogic(bytes, &node));
    EXPECT_EQ(node.op, CO_LOGIC_AND);
    auto *first = static_cast<CO_Condition *>(node.left.node);
    EXPECT_STREQ(first->leftName, "Temp");
    EXPECT_STREQ(first->rightName, "20");
    auto *inner = static_cast<CO_LogicCondition *>(node.right.node);
    EXPECT_EQ(inner->op, CO_LOGIC_OR);
    auto *skipped = static_cast<CO_Condition *>(inner->left.node);
    EXPECT_EQ(skipped->leftType, SourceType_COLOR);
    EXPECT_EQ(skipped->leftName, nullptr);
    EXPECT_EQ(skipped->rightName, nullptr);
    EXPECT_EQ(inner->right.kind, CO_EXPRESSION_EMPTY);
    EXPECT_NE(PPO_lookup("Temp"), nullptr) << "points named in conditions are read cyclically";
    EXPECT_EQ(CO_evaluateLogicCondition(&node), 0) << "Temp reads empty, 0 > 20 fails";

    for (size_t n = 0; n < bytes.size(); n++) EXPECT_FALSE(loadLogic(bytes.substr(0, n), &node)) << n;

    EditorVersion = TEQ_VERSION_C;
    string old = string{'\0', CO_COMPARE_EQUAL} + '\0' + utf("x") + char{3} + '\0' + utf("x") + char{3};
    int f = open(old);
    ASSERT_TRUE(transformConditionToLogicCondition(f, &node));
    Tarsel_fileClose(f);
    EXPECT_EQ(node.left.kind, CO_EXPRESSION_COMPARISON);
    EXPECT_EQ(static_cast<CO_Condition *>(node.left.node)->rightType, SourceType_STRING);
    EXPECT_TRUE(CO_evaluateLogicCondition(&node));
}
