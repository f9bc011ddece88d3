// Actions. Owns the value stream and the buffer in which a value is held
// while it is written. Reads and writes through the value sources, evaluates
// conditions, calls the pointer and focus handling, the log's message count,
// the view manager's message-box close and, through the hooks, the file viewers.
#include "input/actions.h"
#include "view/value_sources.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/settings.h"
#include "comm/target_link.h"
#include "view/conditions.h"
#include "data/containers.h"
#include "data/process_points.h"
#include "input/input_events.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/str_util.h"
#include "view/object_table.h"
#include "view/painter_block.h"
#include "view/view_manager.h"

namespace {

// A click action can press a button whose actions click again; runs nested
// deeper than this are refused.
constexpr int kMaxNesting = 8;
constexpr double kWholeLimit = 9.2e18; // whole sums below this fit a long long

char valueStream[AC_STREAM_SIZE];
// The value being written: a copy, so that a write never reads the buffer it
// is changing, and large enough for the longest container value.
char heldValue[CO_MACRO_SIZE];
int nesting;

// Values of process points read from the panel's own data server, which
// hands out no pointers: one buffer per role an info plays in an action.
enum Role { SOURCE, DESTINATION, EXTRA_1, EXTRA_2, ROLES };
char localValues[ROLES][PPO_VALUE_SIZE];

bool isProcessPoint(const MP_Info &info) { return info.type == SourceType_PPO || info.type == SourceType_PASSWORDPPO; }

// The current text of a source, or null when it has none.
const char *valueOf(const MP_Info &info, Role role)
{
    auto *value = static_cast<const char *>(RW_getSourcePtr(info.name, info.type));
    if (value || !isProcessPoint(info) || !info.name || GetRemoteStatus() == 1) return value;
    RW_readSource(localValues[role], info.name, info.type);
    return localValues[role];
}

const char *nameOf(const MP_Info &info) { return info.name ? info.name : ""; }
int writeTo(const MP_Info &info, const char *value) { return RW_writeSource(value, info.name, info.type); }

double scanDouble(const char *text)
{
    double value = 0;
    if (std::sscanf(text, "%lf", &value) != 1) return 0;
    return value;
}

long long scanInteger(const char *text) { return std::strtoll(text, nullptr, 10); }

void logWriteSource(const MP_Action &a, int fromEvent)
{
    if (pterm.debug_level < 2) return;
    char line[1100];
    std::snprintf(line, sizeof line, "WS2D: %sfrom %s(\"%s\"), to: %s(\"%s\") \n", fromEvent ? "(EventP) " : "",
                  getRMAText(a.source.type), nameOf(a.source), getRMAText(a.dest.type), nameOf(a.dest));
    log_append(0, "%s", line);
}

void writeSourceToDestination(const MP_Action &a, int fromEvent)
{
    logWriteSource(a, fromEvent);
    const char *value = valueOf(a.source, SOURCE);
    if (!value) return;
    if (pterm.debug_level >= 2) log_append(0, " value: %s\n", value);
    safe_strncpy(heldValue, value, sizeof heldValue);
    writeTo(a.dest, heldValue);
}

// A number written back: enough digits that it reads as the same value,
// without a fraction of zeros and in exponent form only when very large or
// small.
void writeDouble(char *stream, double value) { std::snprintf(stream, AC_STREAM_SIZE, "%.15lG", value); }

// The sum of whole numbers is written as the whole number it is, anything
// else as a double.
void add(const MP_Action &a, char *stream)
{
    const char *source = valueOf(a.source, SOURCE);
    if (!source) return;
    double addend = scanDouble(source);
    RW_readSource(stream, a.dest.name, a.dest.type);
    double base = scanDouble(stream);
    double sum = addend + base;
    bool whole = addend == std::trunc(addend) && base == std::trunc(base);
    if (whole && std::fabs(sum) < kWholeLimit)
        std::snprintf(stream, AC_STREAM_SIZE, "%lld", static_cast<long long>(sum));
    else writeDouble(stream, sum);
    writeTo(a.dest, stream);
}

// The appended text is always written through the destination's own write,
// so that containers keep their capacity, their persistence mark and their
// refresh request, and process points reach the target.
void appendText(const MP_Action &a, char *stream)
{
    const char *source = valueOf(a.source, SOURCE);
    if (!source) return;
    const char *current = isProcessPoint(a.dest) ? nullptr : valueOf(a.dest, DESTINATION);
    if (!current) {
        RW_readSource(stream, a.dest.name, a.dest.type);
        current = stream;
    }
    size_t size = static_cast<size_t>(RW_getSourceSize(a.dest.name, a.dest.type));
    if (size > sizeof heldValue) size = sizeof heldValue;
    size_t currentLength = std::strlen(current), sourceLength = std::strlen(source);
    if (currentLength + sourceLength >= size) return;
    std::memmove(heldValue, current, currentLength);
    std::memcpy(heldValue + currentLength, source, sourceLength);
    heldValue[currentLength + sourceLength] = '\0';
    writeTo(a.dest, heldValue);
}

void removeText(const MP_Action &a, char *stream)
{
    const char *source = valueOf(a.source, SOURCE);
    if (!source) return;
    safe_strncpy(heldValue, source, sizeof heldValue);
    RW_readSource(stream, a.dest.name, a.dest.type);
    size_t length = std::strlen(heldValue);
    if (length > 0)
        for (char *hit; (hit = std::strstr(stream, heldValue));)
            std::memmove(hit, hit + length, std::strlen(hit + length) + 1);
    writeTo(a.dest, stream);
}

void removeListItem(const MP_Action &a)
{
    const char *source = valueOf(a.source, SOURCE);
    int position;
    if (!source || std::sscanf(source, "%d", &position) != 1) return;
    const char *viewer = valueOf(a.dest, DESTINATION);
    if (viewer) HK_hooks()->removeListItem(viewer, position);
}

void toggle(const MP_Action &a, char *stream)
{
    const char *value = valueOf(a.source, SOURCE);
    if (!value) {
        err_append(0, "Toggle action failed!\n Src: \"%s\"\n", nameOf(a.source));
        return;
    }
    const char *next;
    if (a.extraCount == 2) next = stringcmp(value, nameOf(a.extras[0])) ? nameOf(a.extras[1]) : nameOf(a.extras[0]);
    else next = scanInteger(value) != 0 ? "0" : "1";
    safe_strncpy(stream, next, AC_STREAM_SIZE);
    writeTo(a.source, stream);
}

bool divisionByZero()
{
    err_append(0, "division by 0!\n", nullptr);
    return false;
}

// Integer operations; false (result empty) for a zero divisor or a result
// that does not fit.
bool computeIntegers(char op, long long x, long long y, long long *result)
{
    bool overflow = false;
    switch (op) {
    case '+': overflow = __builtin_add_overflow(x, y, result); break;
    case '-': overflow = __builtin_sub_overflow(x, y, result); break;
    case '*': overflow = __builtin_mul_overflow(x, y, result); break;
    case '/':
    case '%':
        if (y == 0) return divisionByZero();
        overflow = x == LLONG_MIN && y == -1;
        if (!overflow) *result = op == '/' ? x / y : x % y;
        break;
    default: return false;
    }
    if (overflow) err_append(0, "Overflow in compute action!\n", nullptr);
    return !overflow;
}

// The operator's first character chooses a double operation (modulo being on
// integers), otherwise its whole text an integer one.
void computeInto(char *stream, const char *op, const char *left, const char *right)
{
    double x = scanDouble(left), y = scanDouble(right);
    char integerOp = 0;
    switch (op[0]) {
    case '+': writeDouble(stream, x + y); return;
    case '-': writeDouble(stream, x - y); return;
    case '*': writeDouble(stream, x * y); return;
    case '/':
        if (y == 0) divisionByZero();
        else std::snprintf(stream, AC_STREAM_SIZE, "%lf", x / y);
        return;
    case '%': integerOp = '%'; break;
    default:
        if (stringcmp(op, "ADD")) integerOp = '+';
        else if (stringcmp(op, "SUB")) integerOp = '-';
        else if (stringcmp(op, "MULT")) integerOp = '*';
        else if (stringcmp(op, "DIV")) integerOp = '/';
        break;
    }
    long long result;
    if (integerOp && computeIntegers(integerOp, scanInteger(left), scanInteger(right), &result))
        std::snprintf(stream, AC_STREAM_SIZE, "%lld", result);
}

void compute(const MP_Action &a, char *stream)
{
    const char *op = valueOf(a.source, SOURCE);
    if (!op || a.extraCount < 2) return;
    const char *left = valueOf(a.extras[0], EXTRA_1);
    const char *right = valueOf(a.extras[1], EXTRA_2);
    if (!left || !right) return;
    stream[0] = '\0';
    computeInto(stream, op, left, right);
    writeTo(a.dest, stream);
}

void closeMessageBox()
{
    clearMessageNr();
    VM_closeMsgBoxView();
}

// Runs the action; false for a code without a meaning here.
bool run(OB_Object *object, const MP_Action &a, char *stream, int fromEvent)
{
    switch (a.code) {
    case AC_WRITE_SOURCE: writeSourceToDestination(a, fromEvent); return true;
    case AC_DOWNLOAD_SOURCE:
        err_append_int(0, "Action DOWNLOADSOURCE (%d) is not implemented!\n", AC_DOWNLOAD_SOURCE);
        return true;
    case AC_ADD: add(a, stream); return true;
    case AC_APPEND_TEXT: appendText(a, stream); return true;
    case AC_REMOVE_TEXT: removeText(a, stream); return true;
    case AC_REMOVE_ITEM: removeListItem(a); return true;
    case AC_TOGGLE: toggle(a, stream); return true;
    case AC_COMPUTE: compute(a, stream); return true;
    case AC_FOCUS:
        if (object) MH_selectObjectWithCoord(object->x, object->y);
        return true;
    case AC_CLOSE_MSGBOX: closeMessageBox(); return true;
    case AC_CLICK:
        if (object) MH_pointObjectWithCoord(object->x, object->y);
        return true;
    default: err_append_int(0, "Unknown action type: %d!\n", a.code); return false;
    }
}

int execute(OB_Object *object, const MP_Action *action, int *counter, int fromEvent)
{
    valueStream[0] = '\0';
    *counter = AC_executeAction_Impl(object, action, *counter, valueStream, fromEvent);
    return *counter;
}

} // namespace

int AC_executeAction_Impl(OB_Object *object, const MP_Action *action, int counter, char *stream, int fromEvent)
{
    if (!action || !stream) return counter;
    if (nesting >= kMaxNesting) {
        err_append_int(0, "Actions nested too deeply, action %d not run!\n", action->code);
        return counter;
    }
    nesting++;
    bool known = run(object, *action, stream, fromEvent);
    nesting--;
    return known ? counter + 1 : counter;
}

int AC_executeActionBtnP(OB_Object *object, const MP_Action *action, int *counter)
{
    return execute(object, action, counter, 0);
}

int AC_executeActionEventP(OB_Object *object, const MP_Action *action, int *counter)
{
    return execute(object, action, counter, 1);
}

void AC_reset()
{
    std::memset(valueStream, 0, sizeof valueStream);
    std::memset(heldValue, 0, sizeof heldValue);
    std::memset(localValues, 0, sizeof localValues);
    nesting = 0;
}
