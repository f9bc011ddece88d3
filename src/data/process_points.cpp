// Process-point cache: the read list and its values.
#include "data/process_points.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "runtime/settings.h"
#include "data/containers.h"
#include "data/read_stamps.h"
#include "data/source_names.h"
#include "data/value_format.h"
#include "runtime/heap.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/str_util.h"

namespace {

PpoList readList;
int IsReady;
// Name index of the read list: a look-up costs one hash and a short chain
// whatever the length of the list. Kept in step with the list: records are
// only ever appended, and the list and the index are dropped together.
PpoRecord *nameIndex[PPO_INDEX_BUCKETS];
// Read stamp of the list's last new record: a look-up that finds nothing
// depends on it.
uint32_t listStamp;

// Indexed by source type.
const char *const kTypeNames[] = {
    "UNDEFINED", "PPO",         "HTMLTAG",           "STRING", "FILE", "CO", "TEQINDEX", "URL",
    "SYMBOL",    "PASSWORDPPO", "PASSWORDCONTAINER", "COLOR",  "FONT", "?",  "CGI",
};

unsigned bucketOf(const char *name)
{
    uint32_t h = 2166136261u;
    for (const char *p = name; *p; p++) h = (h ^ static_cast<unsigned char>(*p)) * 16777619u;
    return h & (PPO_INDEX_BUCKETS - 1);
}

void clearList()
{
    RS_dropStores();
    listStamp = RS_touch();
    readList = PpoList{};
    std::memset(nameIndex, 0, sizeof nameIndex);
}

void indexRecord(PpoRecord *r)
{
    unsigned bucket = bucketOf(r->name);
    r->hashNext = nameIndex[bucket];
    nameIndex[bucket] = r;
}

PpoRecord *appendRecord(const char *name, TcrEntry *format)
{
    size_t nameSize = std::strlen(name) + 1;
    auto *r = static_cast<PpoRecord *>(MU_alloc(sizeof(PpoRecord) + nameSize));
    if (!r) return nullptr;
    r->name = reinterpret_cast<char *>(r + 1);
    std::memcpy(r->name, name, nameSize);
    r->value[0] = '\0';
    r->format = format;
    r->next = nullptr;
    r->stamp = listStamp = RS_touch();
    indexRecord(r);
    if (readList.last) readList.last->next = r;
    else readList.first = r;
    readList.last = r;
    readList.count++;
    return r;
}

PpoRecord *lookupReported(const char *name)
{
    PpoRecord *r = PPO_lookup(name);
    if (!r && name && !std::strchr(name, '@')) err_append(2001, "Undefined PPO !\n \"%s\"\n", name);
    return r;
}

} // namespace

const char *getRMAText(int type)
{
    if (type < 0 || type >= static_cast<int>(sizeof kTypeNames / sizeof kTypeNames[0])) return "?";
    return kTypeNames[type];
}

PpoList *PPO_getList() { return &readList; }

int PPO_addToList(const char *name, TcrEntry *format)
{
    if (!name || !name[0] || PPO_lookup(name)) return 0;
    return appendRecord(name, format) ? 1 : 0;
}

PpoRecord *PPO_lookup(const char *name)
{
    if (!name) return nullptr;
    for (PpoRecord *r = nameIndex[bucketOf(name)]; r; r = r->hashNext)
        if (stringcmp(r->name, name)) {
            RS_note(&r->stamp);
            return r;
        }
    RS_note(&listStamp);
    return nullptr;
}

int PPO_getValue(const char *name, char *dst)
{
    PpoRecord *r = lookupReported(name);
    if (!r) {
        if (dst) dst[0] = '\0';
        return 0;
    }
    if (dst) safe_strncpy(dst, r->value, PPO_VALUE_SIZE);
    return 1;
}

char *PPO_getValuePtr(const char *name)
{
    PpoRecord *r = lookupReported(name);
    return r ? r->value : nullptr;
}

int PPO_writeValueNew(const char *name, const char *value, int, int create)
{
    PpoRecord *r = PPO_lookup(name);
    if (!r && create && name && name[0]) r = appendRecord(name, nullptr);
    if (!r) {
        err_append(2002, "Failed to write on PPO !\n \"%s\"\n", name ? name : "");
        return 0;
    }
    PPO_updateValue(r, value);
    return 1;
}

void PPO_updateValue(PpoRecord *record, const char *text)
{
    if (!record) return;
    PPO_storeValue(record, text);
    PPO_updateFormatedPPO(record);
}

void PPO_storeValue(PpoRecord *record, const char *text)
{
    if (!record) return;
    if (!text) text = "";
    if (std::strncmp(record->value, text, PPO_VALUE_SIZE - 1) != 0) record->stamp = RS_touch();
    safe_strncpy(record->value, text, PPO_VALUE_SIZE);
}

void PPO_updateFormatedPPO(PpoRecord *record)
{
    if (record && record->format) TCR_readFormatedPPO(record->format, record->value);
}

char *PPO_parseValuesString(char *text, int max)
{
    if (!text) return text;
    char *pos = text;
    int taken = 0;
    for (PpoRecord *r = readList.first; r && pos[0] && (max < 0 || taken < max); r = r->next, taken++) {
        char *equals = std::strchr(pos + 1, '=');
        if (!equals) break;
        char *value = equals + 1;
        char *lineEnd = std::strchr(value, '\n');
        if (lineEnd) *lineEnd = '\0';
        PPO_updateValue(r, value);
        pos = lineEnd ? lineEnd + 1 : value + std::strlen(value);
    }
    return pos;
}

void PPO_invalidAllValues()
{
    for (PpoRecord *r = readList.first; r; r = r->next) PPO_storeValue(r, PPO_NOT_AVAILABLE);
}

void PPO_destroyList()
{
    IsReady = 0;
    clearList();
    MU_freeAll();
}

void PPO_cutList(PpoRecord *last)
{
    PpoRecord *first = last ? readList.first : nullptr;
    clearList();
    for (PpoRecord *r = first; r; r = r == last ? nullptr : r->next) {
        readList.last = r;
        readList.count++;
        indexRecord(r);
    }
    if (last) {
        readList.first = first;
        last->next = nullptr;
    }
}

void PPO_reset()
{
    IsReady = 0;
    clearList();
}

int PPO_isReady() { return IsReady; }
void PPO_setReady(int flag) { IsReady = flag; }

int PPO_readVal(const char *name, char *dst)
{
    TcrEntry *entry = TCR_getTcrPointerWithSymbol(name);
    const char *formatted = entry ? TCR_getFormatedName(entry) : nullptr;
    if (HK_hooks()->readTargetValue(formatted ? formatted : name, dst, PPO_VALUE_SIZE)) return 1;
    dst[0] = '\0';
    return 0;
}

const char *PPO_resolve(const char *name)
{
    const char *resolved = resolveInfoName(name);
    if (resolved == name) return name;
    TcrEntry *entry = TCR_getTcrPointerWithSymbol(resolved);
    const char *formatted = entry ? TCR_getFormatedName(entry) : nullptr;
    return formatted ? formatted : resolved;
}
