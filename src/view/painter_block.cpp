// Painter blocks. Owns loading, making and querying the actions, repaints and
// F-key names of objects; their records live in heap1. Reads through the TEQ
// reader's primitives, evaluates conditions, hands process points to the
// target link and asks the actions whether an object is disabled.
#include "view/painter_block.h"
#include "view/value_sources.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "comm/target_link.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "view/action_records.h"
#include "runtime/heap.h"
#include "runtime/log.h"
#include "runtime/str_util.h"
#include "transport/target_address.h"
#include "view/object_table.h"
#include "view/page_params.h"
#include "view/teq_reader.h"
#include "view/view_manager.h"

namespace {

// The last colour text of a colour repaint's source and its colour, so that
// a text is parsed again only when it changed ("R,G,B" texts are short;
// longer ones are parsed every time).
struct ColourMemo {
    const MP_Info *owner;
    char text[16];
    uint32_t colour;
};
ColourMemo colourMemos[RR_COLOUR_MEMOS];

// The text of a repaint's source. The panel's own value store hands out no
// pointers to its values, so a process point's value is then read into
// buffer (PPO_VALUE_SIZE bytes). Null when the source has no text.
const char *repaintText(const MP_Info *info, char *buffer)
{
    auto *text = static_cast<const char *>(RW_getSourcePtr(info->name, info->type));
    bool point = info->type == SourceType_PPO || info->type == SourceType_PASSWORDPPO;
    if (text || !point || !info->name || GetRemoteStatus() == 1) return text;
    RW_readSource(buffer, info->name, info->type);
    return buffer;
}

uint32_t parseColour(const char *text)
{
    unsigned r, g, b;
    if (std::sscanf(text, "%u,%u,%u", &r, &g, &b) != 3) return 0xFFFFFFFF;
    return 0xFF000000u | (r & 0xFFu) | (g & 0xFFu) << 8 | (b & 0xFFu) << 16;
}

char *heapCopy(const char *text)
{
    if (!text) return nullptr;
    uint32_t size = static_cast<uint32_t>(std::strlen(text)) + 1;
    auto *copy = static_cast<char *>(MU_alloc(size));
    if (copy) std::memcpy(copy, text, size);
    return copy;
}

template <typename T> T *allocArray(int count)
{
    return static_cast<T *>(MU_alloc(static_cast<uint32_t>(count * sizeof(T))));
}

// Tag byte and count byte of a list in the block; -1 at end of file.
int readTaggedCount(int file)
{
    if (teqReadByte(file) < 0) return -1;
    return teqReadByte(file);
}

int loadFKeys(int file, MPainter *block)
{
    int count = readTaggedCount(file);
    if (count < 0) return 0;
    if (count == 0) return 1;
    block->fkeys = allocArray<char *>(count);
    if (!block->fkeys) {
        log_append_int(0, "MP_loadMPainter(), out of memory in heap1!\n Nr of FKey: %lu\n", count);
        return 0;
    }
    for (int i = 0; i < count; i++) {
        if (teqReadByte(file) < 0) break;
        char *name = ReadUTF_Alloc(file, SourceType_STRING);
        if (!name) break;
        block->fkeys[i] = name;
        block->fkeyCount = static_cast<uint8_t>(i + 1);
    }
    return 1;
}

bool isWrittenOnlyDestination(int code)
{
    return code != AC_ADD && code != AC_APPEND_TEXT && code != AC_REMOVE_TEXT && code != AC_REMOVE_ITEM;
}

bool isAlways(const CO_LogicCondition &condition) { return condition.op == CO_LOGIC_ALWAYS; }

} // namespace

int MP_loadMPainter(int file, MPainter *block, const OB_Object *defaults)
{
    std::memset(block, 0, sizeof *block);
    int ok = teqReadByte(file) >= 0 && dumpUTF(file);
    if (ok) {
        block->painterId = static_cast<uint8_t>(ReadJavaInt(file) & 0xFF);
        int actions = readTaggedCount(file);
        ok = actions >= 0;
        if (ok && actions > 0) {
            block->actions = allocArray<MP_Action>(actions);
            if (!block->actions)
                log_append_int(0, "MP_loadMPainter(), out of memory in heap1!\n Nr of actions: %lu\n", actions);
            ok = block->actions && RM_loadActions(file, block->actions, actions, defaults);
            if (ok) block->actionCount = static_cast<uint8_t>(actions);
        }
    }
    if (ok) {
        int repaints = readTaggedCount(file);
        ok = repaints >= 0;
        if (ok && repaints > 0) {
            block->repaints = allocArray<MP_Repaint>(repaints);
            if (!block->repaints)
                log_append_int(0, "MP_loadMPainter(), out of memory in heap1!\n Nr of repaints: %lu\n", repaints);
            ok = block->repaints && RR_loadRepaints(file, block->repaints, repaints, defaults);
            if (ok) block->repaintCount = static_cast<uint8_t>(repaints);
        }
    }
    if (ok) ok = loadFKeys(file, block);
    block->repaintMask = 0;
    if (!ok) teqSetLoadError();
    return ok;
}

int MP_loadConditionByForm(int file, int form, CO_LogicCondition *condition)
{
    std::memset(condition, 0, sizeof *condition);
    if (form == MP_CONDITION_NONE) return 1;
    if (form == MP_CONDITION_SIMPLE) return transformConditionToLogicCondition(file, condition);
    return loadLogicCondition(file, condition);
}

int RM_loadActions(int file, MP_Action *actions, int count, const OB_Object *defaults)
{
    for (int i = 0; i < count; i++) {
        MP_Action *action = &actions[i];
        int form = teqReadByte(file), trigger = teqReadByte(file), code = teqReadByte(file);
        if (form < 0 || trigger < 0 || code < 0) return 0;
        action->trigger = static_cast<uint8_t>(trigger);
        action->code = static_cast<uint8_t>(code);
        if (!loadInfoFromFile(file, &action->dest, defaults) || !loadInfoFromFile(file, &action->source, defaults))
            return 0;
        int extras = readTaggedCount(file);
        if (extras < 0) return 0;
        if (extras > 0) {
            action->extras = allocArray<MP_Info>(extras);
            if (!action->extras) return 0;
            for (int k = 0; k < extras; k++)
                if (!loadInfoFromFile(file, &action->extras[k], defaults)) return 0;
            action->extraCount = static_cast<uint8_t>(extras);
        }
        if (!MP_loadConditionByForm(file, form, &action->condition)) return 0;
        RM_checkIt(action);
    }
    return 1;
}

int RR_loadRepaints(int file, MP_Repaint *repaints, int count, const OB_Object *defaults)
{
    for (int i = 0; i < count; i++) {
        MP_Repaint *repaint = &repaints[i];
        int form = teqReadByte(file), code = teqReadByte(file);
        if (form < 0 || code < 0) return 0;
        repaint->code = static_cast<uint8_t>(code);
        if (!loadInfoFromFile(file, &repaint->info, defaults)) return 0;
        if (!MP_loadConditionByForm(file, form, &repaint->condition)) return 0;
        checkInfo(&repaint->info, 0);
    }
    return 1;
}

int loadInfoFromFile(int file, MP_Info *info, const OB_Object *defaults)
{
    std::memset(info, 0, sizeof *info);
    if (teqReadByte(file) < 0) return 0;
    if (EditorVersion < TEQ_VERSION_D) {
        info->name = ReadUTF_Alloc(file, SourceType_UNDEFINED);
        int type = teqReadByte(file);
        if (!info->name || type < 0) return 0;
        info->type = static_cast<uint8_t>(type);
        return 1;
    }
    int type = teqReadByte(file);
    if (type < 0) return 0;
    info->type = static_cast<uint8_t>(type);
    if (type == SourceType_COLOR) return readColor(file, &info->color);
    if (type == SourceType_FONT) return dumpUTF(file) && teqReadByte(file) >= 0 && teqReadByte(file) >= 0;
    if (type == SourceType_UNDEFINED && defaults->plcId == 0 && EditorVersion == TEQ_VERSION_D) return 1;
    info->name = ReadUTF_Alloc(file, type);
    return info->name != nullptr;
}

void MP_orderSource(char *name, int type, int convertOnly)
{
    if (!name || name[0] == '\0') return;
    if (type == SourceType_PPO || type == SourceType_PASSWORDPPO) {
        // A password point is read like any other; only its painters mask it.
        Tarsel_addPPO(name, convertOnly);
    } else if (type == SourceType_HTMLTAG) {
        // The process point is named in the source name itself or in the
        // parameter's value; the name is looked at first, so that the point
        // is on the read list before anything reads the source.
        const char *text = HT_isHtmlTagPpoName(name) ? name : HT_readValPtr(name);
        if (HT_isHtmlTagPpoName(text)) Tarsel_addPPO(HT_getPpoName(text), convertOnly);
    }
}

// The TEQ reader keeps room behind a symbol's name for its formatted name when
// it knows the type before the name (pictures from version "d" on); a longer
// formatted name of an older picture gets a copy of its own.
char *MP_convertPointName(char *name, int type)
{
    TcrEntry *entry =
        type == SourceType_PPO || type == SourceType_PASSWORDPPO ? TCR_getTcrPointerWithSymbol(name) : nullptr;
    if (!entry) return name;
    const char *formatted = TCR_getFormatedName(entry);
    size_t length = std::strlen(formatted);
    bool fits = EditorVersion >= TEQ_VERSION_D || length <= std::strlen(name);
    char *converted = fits ? name : static_cast<char *>(MU_alloc(length + 1));
    if (!converted) return name;
    std::memcpy(converted, formatted, length + 1);
    return converted;
}

void checkInfo(MP_Info *info, int convertOnly)
{
    MP_orderSource(info->name, info->type, convertOnly);
    info->name = MP_convertPointName(info->name, info->type);
}

void RM_checkIt(MP_Action *action)
{
    if (action->code == AC_WRITE_SOURCE && action->dest.type == SourceType_CO) {
        if (stringcmp(action->dest.name, "@FOCUS")) action->code = AC_FOCUS;
        else if (stringcmp(action->dest.name, "@POINTS_OBJECT")) action->code = AC_CLICK;
    }
    if (action->code == AC_WRITE_SOURCE && action->dest.type == SourceType_TEQINDEX &&
        action->source.type == SourceType_CO && stringcmp(action->source.name, "@LAST_PAGE") &&
        stringicmp(VM_getLoadingFileName(), VM_getMsgBoxFileName()))
        action->code = AC_CLOSE_MSGBOX;
    checkInfo(&action->source, 0);
    checkInfo(&action->dest, isWrittenOnlyDestination(action->code));
    for (int k = 0; k < action->extraCount; k++) checkInfo(&action->extras[k], 0);
}

int RR_isHidden(const MP_Repaint *repaints, int count)
{
    for (int i = 0; repaints && i < count; i++)
        if ((repaints[i].code == RR_HIDE || repaints[i].code == RR_HIDE_51) &&
            CO_evaluateLogicCondition(&repaints[i].condition))
            return 1;
    return 0;
}

int RR_IsVisible(const OB_Object *object, const MP_Repaint *repaints, int count)
{
    if (RR_isHidden(repaints, count)) return 0;
    int fill = OB_GetStatusBit(object, OB_STATUS_FILL);
    int textShown = 0;
    for (int i = 0; repaints && i < count; i++) {
        if (repaints[i].code == RR_FILL) fill = CO_evaluateLogicCondition(&repaints[i].condition);
        if ((repaints[i].code == RR_TEXT || repaints[i].code == RR_TEXT_5) &&
            CO_evaluateLogicCondition(&repaints[i].condition))
            textShown = 1;
    }
    if (!textShown) return 0;
    return fill ? 2 : 1;
}

void RR_initOffsetSlots(RR_OffsetSlots *slots)
{
    for (int &index : slots->index) index = -1;
}

int RR_checkOffsets(const MP_Repaint *repaint, RR_OffsetSlots *slots, int index)
{
    if (repaint->code < RR_OFFSET_X || repaint->code > RR_OFFSET_HEIGHT) return 0;
    slots->index[repaint->code - RR_OFFSET_X] = index;
    return 1;
}

int RR_setAnyOffsets(const MP_Repaint *repaints, const RR_OffsetSlots *slots, int *x, int *y, int *width, int *height)
{
    int *targets[4] = {x, y, width, height};
    int applied = 0;
    for (int slot = 0; slot < 4; slot++) {
        if (slots->index[slot] < 0) continue;
        const MP_Info &info = repaints[slots->index[slot]].info;
        char buffer[PPO_VALUE_SIZE];
        const char *value = repaintText(&info, buffer);
        if (!value) continue;
        *targets[slot] += static_cast<int>(std::strtol(value, nullptr, 10));
        applied = 1;
    }
    return applied;
}

int RR_addRepaintAt(MP_Repaint *repaints, int index, int code, int type, const char *name)
{
    MP_Repaint *repaint = &repaints[index];
    std::memset(repaint, 0, sizeof *repaint);
    repaint->code = static_cast<uint8_t>(code);
    repaint->info.type = static_cast<uint8_t>(type);
    repaint->info.name = heapCopy(name);
    if (name && !repaint->info.name) return 0;
    repaint->condition.op = CO_LOGIC_ALWAYS;
    checkInfo(&repaint->info, 0);
    return 1;
}

int RR_createRepaints(MP_Repaint *repaints, int code, int type, const char *name)
{
    return RR_addRepaintAt(repaints, 0, code, type, name);
}

int RM_createActions(MP_Action *action, int code, int destType, const char *dest, int sourceType, const char *source)
{
    std::memset(action, 0, sizeof *action);
    action->code = static_cast<uint8_t>(code);
    action->dest.type = static_cast<uint8_t>(destType);
    action->dest.name = heapCopy(dest);
    action->source.type = static_cast<uint8_t>(sourceType);
    action->source.name = heapCopy(source);
    if ((dest && !action->dest.name) || (source && !action->source.name)) return 0;
    action->condition.op = CO_LOGIC_ALWAYS;
    RM_checkIt(action);
    return 1;
}

int MP_createMPainter(MPainter *block, int actionCount, int actionCode, int destType, const char *dest, int sourceType,
                      const char *source, int repaintCount, int repaintCode, int repaintType, const char *repaintName)
{
    std::memset(block, 0, sizeof *block);
    block->painterId = 255;
    if (actionCount > 0) {
        block->actions = allocArray<MP_Action>(actionCount);
        if (!block->actions || !RM_createActions(block->actions, actionCode, destType, dest, sourceType, source))
            return 0;
        block->actionCount = static_cast<uint8_t>(actionCount);
    }
    if (repaintCount > 0) {
        block->repaints = allocArray<MP_Repaint>(repaintCount);
        if (!block->repaints || !RR_createRepaints(block->repaints, repaintCode, repaintType, repaintName)) return 0;
        block->repaintCount = static_cast<uint8_t>(repaintCount);
    }
    return 1;
}

int MP_isSelectableObject(const MPainter *block, int checkHidden)
{
    if (!block || AC_isDisabled(nullptr, block->actions, block->actionCount)) return 0;
    if (checkHidden && RR_isHidden(block->repaints, block->repaintCount)) return 0;
    for (int i = 0; i < block->actionCount; i++)
        if (CO_evaluateLogicCondition(&block->actions[i].condition)) return 1;
    return 0;
}

int MP_IsStaticRepaintSource(const MPainter *block, char *dst)
{
    dst[0] = '\0';
    for (int i = 0; block && i < block->repaintCount; i++) {
        const MP_Repaint &repaint = block->repaints[i];
        if (repaint.code != RR_TEXT && repaint.code != RR_TEXT_5) continue;
        int type = repaint.info.type;
        if (!isAlways(repaint.condition)) return 0;
        if (type == SourceType_FILE) {
            safe_strncpy(dst, repaint.info.name ? repaint.info.name : "", 256);
        } else if (type == SourceType_PPO || type == SourceType_HTMLTAG || type == SourceType_CO ||
                   type == SourceType_PASSWORDPPO || type == SourceType_PASSWORDCONTAINER) {
            return 0;
        } else {
            RW_readSource(dst, repaint.info.name, type);
        }
    }
    return 1;
}

char *MP_GetPointerToString(const MPainter *block, int *isStatic)
{
    char text[256];
    *isStatic = MP_IsStaticRepaintSource(block, text);
    if (*isStatic) return heapCopy(text);
    return static_cast<char *>(MU_alloc(256));
}

int RR_repaintPass(const OB_Object *object, MPainter *block, int full, int withOffsets, RR_Look *look)
{
    *look = {OB_GetStatusBit(object, OB_STATUS_FILL),
             OB_GetStatusBit(object, OB_STATUS_BORDER),
             object->fillColor,
             object->lineColor,
             object->x,
             object->y,
             object->width,
             object->height,
             0,
             0};
    if (!block) return full;
    RR_OffsetSlots slots;
    RR_initOffsetSlots(&slots);
    uint32_t mask = 0;
    for (int i = 0; i < block->repaintCount; i++) {
        const MP_Repaint &repaint = block->repaints[i];
        if (CO_evaluateLogicCondition(&repaint.condition)) {
            if (!full && i < 16) mask |= 1;
            switch (repaint.code) {
            case RR_HIDE:
            case RR_HIDE_51: return 0;
            case RR_FILL: look->fill = 1; break;
            case RR_BORDER: look->border = 1; break;
            case RR_LINE_COLOR: look->lineColor = getColorInfo(&repaint.info); break;
            case RR_FILL_COLOR: look->fillColor = getColorInfo(&repaint.info); break;
            case RR_ARROWS: look->arrows = repaint.info.name ? std::atoi(repaint.info.name) : 0; break;
            case RR_HORIZONTAL: look->horizontal = 1; break;
            default: RR_checkOffsets(&repaint, &slots, i); break;
            }
        } else if (repaint.code == RR_FILL) {
            look->fill = 0;
        } else if (repaint.code == RR_BORDER) {
            look->border = 0;
        }
        if (!full && i < 15) mask <<= 1;
    }
    int moved =
        withOffsets && RR_setAnyOffsets(block->repaints, &slots, &look->x, &look->y, &look->width, &look->height);
    if (full || moved) return 1;
    if (mask == block->repaintMask) return 0;
    block->repaintMask = static_cast<uint16_t>(mask);
    return 1;
}

uint32_t getColorInfo(const MP_Info *info)
{
    if (info->type == SourceType_COLOR) return info->color;
    char buffer[PPO_VALUE_SIZE];
    const char *text = repaintText(info, buffer);
    if (!text) return 0xFFFFFFFF;
    ColourMemo &memo = colourMemos[(reinterpret_cast<uintptr_t>(info) / alignof(MP_Info)) % RR_COLOUR_MEMOS];
    if (memo.owner == info && std::strcmp(memo.text, text) == 0) return memo.colour;
    uint32_t colour = parseColour(text);
    if (std::strlen(text) < sizeof memo.text) {
        memo.owner = info;
        std::strcpy(memo.text, text);
        memo.colour = colour;
    }
    return colour;
}

void RR_resetColourMemos() { std::memset(colourMemos, 0, sizeof colourMemos); }
