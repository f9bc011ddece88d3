// Process points and value sources. Owns the process-point cache of the page
// (the read list, in heap1), its cyclic update through the target link, and the
// access to a value source by its type (process point, container, page
// parameter, text, file, page switch, link, CGI call). Calls the target link,
// the containers, the name resolution, the page parameters, the value
// formatting, the view manager and the log. Main thread only.
#pragma once
#include <cstddef>

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
    char *name;                  // as the page names it; never empty
    char value[PPO_VALUE_SIZE];  // latest value, empty when created
    TcrEntry *format;            // text-conversion entry, or null
    PpoRecord *next;
};

// The read list: records in insertion order, names unique.
struct PpoList {
    PpoRecord *first;
    PpoRecord *last;
    int count;
};

// Name of a source type for logs; "?" for unknown numbers.
const char *getRMAText(int type);

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
void PPO_updateFormatedPPO(PpoRecord *record);
// Stores the values of a reply of lines "anything=value" into the records in
// list order, at most max lines (-1: no limit). Answers the position after the
// last line taken.
char *PPO_parseValuesString(char *text, int max);
void PPO_invalidAllValues();
void PPO_destroyList();
int PPO_isReady();
void PPO_setReady(int flag);
// One update of the cache from the target (up to three attempts): 1 when the
// values were read; after the third failure every value is "Not available".
int PPO_update(int force, int period);
int PPO_OrderValuesUpdate(int force, int period);
void PPO_ReadFileUpdate();
// Value of a process point for use inside a source name.
int PPO_readVal(const char *name, char *dst);
// The name sent to the target.
const char *PPO_resolve(const char *name);

// Value sources. dst holds 256 bytes.
int RW_readSource(char *dst, const char *name, int type);
int RW_writeSource(const char *value, const char *name, int type);
// Pointer to the current value text of a source, or null when the source has
// no stored text (or does not exist).
void *RW_getSourcePtr(const char *name, int type);
int RW_getSourceSize(const char *name, int type);
// Hands every character of a file to putChar: the number of characters, 0
// when the file cannot be opened (reported).
int RW_copySourceFile(void (*putChar)(int character, void *context), void *context, const char *fileName);
