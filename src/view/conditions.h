// Conditions: the comparison trees that show, hide, recolour and enable
// painters and that let actions fire. Loaded from TEQ files into heap1 through
// the TEQ reader's primitives; evaluated against the current value texts of
// the value sources.
#pragma once
#include <cstdint>

// Deepest nesting of logic nodes a TEQ file may describe; deeper trees are
// refused, so loading and evaluation stay within a fixed stack depth.
#define CO_MAX_CONDITION_DEPTH 64

enum : uint32_t {
    CO_EXPRESSION_EMPTY = 0,
    CO_EXPRESSION_COMPARISON = 1,
    CO_EXPRESSION_LOGIC = 2,
};

enum : uint32_t {
    CO_LOGIC_LEFT = 0,
    CO_LOGIC_AND = 1,
    CO_LOGIC_OR = 2,
    CO_LOGIC_ALWAYS = 4,
};

enum : uint32_t {
    CO_COMPARE_ALWAYS = 0,
    CO_COMPARE_EQUAL = 1,
    CO_COMPARE_ALWAYS_2 = 2,
    CO_COMPARE_DIFFERENT = 3,
    CO_COMPARE_GREATER = 4,
    CO_COMPARE_GREATER_EQUAL = 5,
    CO_COMPARE_LESS = 6,
    CO_COMPARE_LESS_EQUAL = 7,
};

struct CO_Expression {
    uint32_t kind;
    void *node; // CO_Condition or CO_LogicCondition, null for kind 0
};

struct CO_LogicCondition {
    uint32_t op;
    CO_Expression left;
    CO_Expression right;
};

struct CO_Condition {
    uint32_t op;
    char *leftName;
    uint8_t leftType;
    char *rightName;
    uint8_t rightType;
};

// Loading from a TEQ file (1 on success, 0 at end of file, when memory runs
// out, or when logic nodes nest deeper than CO_MAX_CONDITION_DEPTH).
int loadExpression(int file, CO_Expression *expression);
int loadLogicCondition(int file, CO_LogicCondition *node);
int loadCondition(int file, CO_Condition *comparison);
int transformConditionToLogicCondition(int file, CO_LogicCondition *node);

// Builds node as one comparison of the two operands (names copied to heap1).
int CO_createLogicCondition(CO_LogicCondition *node, uint32_t op, int leftType, const char *leftName, int rightType,
                            const char *rightName);

int CO_evaluateLogicCondition(const CO_LogicCondition *node);
int evaluateExpression(const CO_Expression *expression);
int CO_evaluateCondition(uint32_t op, int leftType, const char *leftName, int rightType, const char *rightName);
int CO_evaluate_str(uint32_t op, const char *left, const char *right);
