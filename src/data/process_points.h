// Process-point cache: the read list of the page (in heap1), its values and
// their display form. The target link fills it (comm/ppo_update); process
// values inside source names are read through the hooks. Calls the name
// resolution, the value formatting and the log. Main thread only.
#pragma once
#include <cstddef>
#include <cstdint>

#define PPO_VALUE_SIZE 256
#define PPO_ORDER_SIZE 16384
#define PPO_NOT_AVAILABLE "Not available"

enum SourceType : unsigned char {
    SourceType_UNDEFINED = 0,
    SourceType_PPO = 1,
    SourceType_HTMLTAG = 2,
    SourceType_STRING = 3,
    SourceType_FILE = 4,
    SourceType_CO = 5,
    SourceType_TEQINDEX = 6,
    SourceType_URL = 7,
    SourceType_SYMBOL = 8,
    SourceType_PASSWORDPPO = 9,
    SourceType_PASSWORDCONTAINER = 10,
    SourceType_COLOR = 11,
    SourceType_FONT = 12,
    SourceType_CGI = 14,
};

struct TcrEntry;

// One process point of the page.
struct PpoRecord {
    char *name;                 // as the page names it; never empty
    char value[PPO_VALUE_SIZE]; // latest value, empty when created
    TcrEntry *format;           // text-conversion entry, or null
    PpoRecord *next;
    PpoRecord *hashNext; // next record of the same name-index bucket
    uint32_t stamp;      // read stamp of the last change of value
};

// The read list: records in insertion order, names unique.
struct PpoList {
    PpoRecord *first;
    PpoRecord *last;
    int count;
};

// Name of a source type for logs; "?" for unknown numbers.
const char *getRMAText(int type);

// Buckets of the name index of the read list (a power of two).
#define PPO_INDEX_BUCKETS 4096

PpoList *PPO_getList();
// 1 when a record was added; 0 for an empty name, a name already listed, or
// no memory.
int PPO_addToList(const char *name, TcrEntry *format);
PpoRecord *PPO_lookup(const char *name);
// Value into dst (256 bytes): 1, or 0 with dst emptied when the name is not
// listed (reported unless the name holds an unresolved "@" reference).
int PPO_getValue(const char *name, char *dst);
char *PPO_getValuePtr(const char *name);
// Stores a value under a name, appending a new record when create is non-zero.
int PPO_writeValueNew(const char *name, const char *value, int unused, int create);
void PPO_updateValue(PpoRecord *record, const char *text);
// Stores a value as it is, without formatting it.
void PPO_storeValue(PpoRecord *record, const char *text);
void PPO_updateFormatedPPO(PpoRecord *record);
// Stores the values of a reply of lines "anything=value" into the records in
// list order, at most max lines (-1: no limit). Answers the position after the
// last line taken.
char *PPO_parseValuesString(char *text, int max);
void PPO_invalidAllValues();
void PPO_destroyList();
// Cuts the read list back to its records up to last (null: none), before the
// memory of the records after it is given back.
void PPO_cutList(PpoRecord *last);
// Forgets the read list (without touching heap1) and clears the ready flag.
void PPO_reset();
int PPO_isReady();
void PPO_setReady(int flag);
// Value of a process point for use inside a source name.
int PPO_readVal(const char *name, char *dst);
// The name sent to the target.
const char *PPO_resolve(const char *name);
