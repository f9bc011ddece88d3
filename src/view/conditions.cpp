// Conditions. Owns the loading and evaluation of condition trees; the trees
// themselves live in heap1 with the page. Reads bytes through the TEQ reader's
// primitives, hands operands to the process-point read list, and reads the
// operands' values through the value sources.
#include "view/conditions.h"
#include "view/value_sources.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/containers.h"
#include "data/process_points.h"
#include "runtime/heap.h"
#include "runtime/log.h"
#include "runtime/str_util.h"
#include "view/painter_block.h"
#include "view/teq_reader.h"

namespace {

char *heapCopy(const char *text)
{
    if (!text) return nullptr;
    uint32_t size = static_cast<uint32_t>(std::strlen(text)) + 1;
    char *copy = static_cast<char *>(MU_alloc(size));
    if (copy) std::memcpy(copy, text, size);
    return copy;
}

// One operand of a comparison: from version "d" on tag, type, then by type;
// before "d" tag, name, type.
int loadOperand(int file, char **name, uint8_t *type)
{
    if (teqReadByte(file) < 0) return 0;
    if (EditorVersion < TEQ_VERSION_D) {
        *name = ReadUTF_Alloc(file, SourceType_UNDEFINED);
        int t = teqReadByte(file);
        if (!*name || t < 0) return 0;
        *type = static_cast<uint8_t>(t);
    } else {
        int t = teqReadByte(file);
        if (t < 0) return 0;
        *type = static_cast<uint8_t>(t);
        if (t == SourceType_COLOR) {
            for (int i = 0; i < 3; i++)
                if (teqReadByte(file) < 0) return 0;
        } else if (t == SourceType_FONT) {
            if (!dumpUTF(file) || teqReadByte(file) < 0 || teqReadByte(file) < 0) return 0;
        } else {
            *name = ReadUTF_Alloc(file, t);
            if (!*name) return 0;
        }
    }
    MP_orderSource(*name, *type, 0);
    *name = MP_convertPointName(*name, *type);
    return 1;
}

int loadLogicAt(int file, CO_LogicCondition *node, int depth);

int loadExpressionAt(int file, CO_Expression *expression, int depth)
{
    expression->kind = CO_EXPRESSION_EMPTY;
    expression->node = nullptr;
    if (teqReadByte(file) < 0) return 0;
    int kind = teqReadByte(file);
    if (kind < 0) return 0;
    if (kind == CO_EXPRESSION_COMPARISON) {
        auto *comparison = static_cast<CO_Condition *>(MU_alloc(sizeof(CO_Condition)));
        if (!comparison || !loadCondition(file, comparison)) return 0;
        expression->node = comparison;
        expression->kind = CO_EXPRESSION_COMPARISON;
    } else if (kind == CO_EXPRESSION_LOGIC) {
        auto *node = static_cast<CO_LogicCondition *>(MU_alloc(sizeof(CO_LogicCondition)));
        if (!node || !loadLogicAt(file, node, depth + 1)) return 0;
        expression->node = node;
        expression->kind = CO_EXPRESSION_LOGIC;
    }
    return 1;
}

int loadLogicAt(int file, CO_LogicCondition *node, int depth)
{
    if (depth > CO_MAX_CONDITION_DEPTH) {
        log_append_int(0, "Parsing TEQ file failed,\n condition nested deeper than %ld levels\n",
                       CO_MAX_CONDITION_DEPTH);
        return 0;
    }
    if (teqReadByte(file) < 0) return 0;
    int op = teqReadByte(file);
    if (op < 0) return 0;
    node->op = static_cast<uint32_t>(op);
    return loadExpressionAt(file, &node->left, depth) && loadExpressionAt(file, &node->right, depth);
}

// Whether text is a plain decimal number (blanks, a sign, digits with at most
// one point) not followed by anything that could continue a number.
bool isPlainDecimal(const char *text)
{
    const char *p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) p++;
    if (*p == '+' || *p == '-') p++;
    int digits = 0, points = 0;
    for (; std::isdigit(static_cast<unsigned char>(*p)) || (*p == '.' && points == 0); p++) {
        if (*p == '.') points++;
        else digits++;
    }
    return digits > 0 && (*p == '\0' || !std::strchr("eExXpP.", *p));
}

// The number as "%lf" reads it; plain decimals (the usual values) by strtod,
// which reads them alike without the cost of a formatted scan.
bool readNumber(const char *text, double *value)
{
    if (isPlainDecimal(text)) {
        *value = std::strtod(text, nullptr);
        return true;
    }
    *value = 0;
    int read = std::sscanf(text, "%lf", value);
    return read == 1 || read == EOF;
}

} // namespace

int loadExpression(int file, CO_Expression *expression) { return loadExpressionAt(file, expression, 1); }

int loadLogicCondition(int file, CO_LogicCondition *node) { return loadLogicAt(file, node, 1); }

int loadCondition(int file, CO_Condition *comparison)
{
    if (teqReadByte(file) < 0) return 0;
    int op = teqReadByte(file);
    if (op < 0) return 0;
    comparison->op = static_cast<uint32_t>(op);
    return loadOperand(file, &comparison->leftName, &comparison->leftType) &&
           loadOperand(file, &comparison->rightName, &comparison->rightType);
}

int transformConditionToLogicCondition(int file, CO_LogicCondition *node)
{
    auto *comparison = static_cast<CO_Condition *>(MU_alloc(sizeof(CO_Condition)));
    if (!comparison || !loadCondition(file, comparison)) return 0;
    node->op = CO_LOGIC_LEFT;
    node->left = {CO_EXPRESSION_COMPARISON, comparison};
    node->right = {CO_EXPRESSION_EMPTY, nullptr};
    return 1;
}

int CO_createLogicCondition(CO_LogicCondition *node, uint32_t op, int leftType, const char *leftName, int rightType,
                            const char *rightName)
{
    auto *comparison = static_cast<CO_Condition *>(MU_alloc(sizeof(CO_Condition)));
    if (!comparison) return 0;
    comparison->op = op;
    comparison->leftType = static_cast<uint8_t>(leftType);
    comparison->rightType = static_cast<uint8_t>(rightType);
    comparison->leftName = heapCopy(leftName);
    comparison->rightName = heapCopy(rightName);
    if ((leftName && !comparison->leftName) || (rightName && !comparison->rightName)) return 0;
    node->op = CO_LOGIC_LEFT;
    node->left = {CO_EXPRESSION_COMPARISON, comparison};
    node->right = {CO_EXPRESSION_EMPTY, nullptr};
    return 1;
}

int CO_evaluateLogicCondition(const CO_LogicCondition *node)
{
    if (!node) return 0;
    if (node->op == CO_LOGIC_ALWAYS) return 1;
    int left = evaluateExpression(&node->left);
    int right = evaluateExpression(&node->right);
    switch (node->op) {
    case CO_LOGIC_LEFT: return left;
    case CO_LOGIC_AND: return left && right;
    case CO_LOGIC_OR: return left || right;
    default: return 0;
    }
}

int evaluateExpression(const CO_Expression *expression)
{
    if (!expression) return 0;
    switch (expression->kind) {
    case CO_EXPRESSION_EMPTY: return 1;
    case CO_EXPRESSION_COMPARISON: {
        auto *c = static_cast<const CO_Condition *>(expression->node);
        return c ? CO_evaluateCondition(c->op, c->leftType, c->leftName, c->rightType, c->rightName) : 0;
    }
    case CO_EXPRESSION_LOGIC:
        return CO_evaluateLogicCondition(static_cast<const CO_LogicCondition *>(expression->node));
    default: return 0;
    }
}

int CO_evaluateCondition(uint32_t op, int leftType, const char *leftName, int rightType, const char *rightName)
{
    if (op == CO_COMPARE_ALWAYS || op == CO_COMPARE_ALWAYS_2) return 1;
    // A pointer may be a buffer that the next read reuses (the system
    // containers share one), so the left text is copied before the right one
    // is fetched. A constant is the page's own text and stays put.
    auto *left = static_cast<const char *>(RW_getSourcePtr(leftName, leftType));
    char leftCopy[CO_MACRO_SIZE];
    if (left && leftType != SourceType_STRING) {
        safe_strncpy(leftCopy, left, sizeof leftCopy);
        left = leftCopy;
    }
    auto *right = static_cast<const char *>(RW_getSourcePtr(rightName, rightType));
    if (left && right) return CO_evaluate_str(op, left, right);
    char leftText[256], rightText[256];
    RW_readSource(leftText, leftName, leftType);
    RW_readSource(rightText, rightName, rightType);
    return CO_evaluate_str(op, leftText, rightText);
}

int CO_evaluate_str(uint32_t op, const char *left, const char *right)
{
    if (!left) left = "";
    if (!right) right = "";
    if (op == CO_COMPARE_EQUAL) return std::strcmp(left, right) == 0;
    if (op == CO_COMPARE_DIFFERENT) return std::strcmp(left, right) != 0;
    if (op == CO_COMPARE_ALWAYS || op == CO_COMPARE_ALWAYS_2) return 1;
    if (op < CO_COMPARE_GREATER || op > CO_COMPARE_LESS_EQUAL) return 0;
    double a, b;
    if (!readNumber(left, &a) || !readNumber(right, &b)) return 0;
    switch (op) {
    case CO_COMPARE_GREATER: return a > b;
    case CO_COMPARE_GREATER_EQUAL: return a >= b;
    case CO_COMPARE_LESS: return a < b;
    default: return a <= b;
    }
}
