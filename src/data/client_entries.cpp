// Client-entry lists. Entries live in heap2 unless the caller names a heap;
// record lists (the read list of the page) live in heap1.
#include "data/client_entries.h"

#include <cstring>

#include "runtime/heap.h"

HC_Entry *HC_mCreateNew(HC_Allocator alloc, const char *name, size_t nameSize, const char *value, size_t valueLength)
{
    if (!name || !value || nameSize == 0) return nullptr;
    size_t nameLength = strnlen(name, nameSize - 1);
    auto *entry = static_cast<HC_Entry *>(alloc(sizeof(HC_Entry)));
    char *nameCopy = entry ? static_cast<char *>(alloc(nameLength + 1)) : nullptr;
    char *valueCopy = nameCopy ? static_cast<char *>(alloc(valueLength + 1)) : nullptr;
    if (!valueCopy) return nullptr;
    std::memcpy(nameCopy, name, nameLength);
    nameCopy[nameLength] = '\0';
    std::memcpy(valueCopy, value, valueLength);
    valueCopy[valueLength] = '\0';
    entry->name = nameCopy;
    entry->value = valueCopy;
    return entry;
}

HC_Entry *HC_CreateNew(const char *name, size_t nameSize, const char *value, size_t valueLength)
{
    return HC_mCreateNew(MU_alloc2, name, nameSize, value, valueLength);
}

int HC_mClientEntries_Add(HC_Allocator alloc, HC_List *list, void *item)
{
    if (!list || !item || list->count == UINT16_MAX) return 0;
    auto *node = static_cast<HC_Node *>(alloc(sizeof(HC_Node)));
    if (!node) return 0;
    node->item = item;
    node->next = nullptr;
    if (list->last) list->last->next = node;
    else list->first = node;
    list->last = node;
    list->count++;
    return 1;
}

int HC_ClientEntries_Add(HC_List *list, HC_Entry *entry) { return HC_mClientEntries_Add(MU_alloc2, list, entry); }
int HC_ClientEntries_Add_ObjSonPtr(HC_List *list, void *item) { return HC_mClientEntries_Add(MU_alloc, list, item); }
int HC_ClientEntries_HowMany(const HC_List *list) { return list ? list->count : 0; }

void HC_Init_Heap(HC_List *list)
{
    if (list) *list = {0, nullptr, nullptr};
}

const char *HC_findValue(const HC_List *list, const char *name)
{
    if (!list || !name) return nullptr;
    for (const HC_Node *n = list->first; n; n = n->next) {
        const auto *e = static_cast<const HC_Entry *>(n->item);
        if (std::strcmp(e->name, name) == 0) return e->value;
    }
    return nullptr;
}
