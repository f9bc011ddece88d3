// Client-entry lists: singly linked lists of named entries (the page
// parameters, the language table) or of plain records (the read list), whose
// nodes and texts come from one of the heaps and are dropped with it.
#pragma once
#include <cstddef>
#include <cstdint>

typedef void *(*HC_Allocator)(size_t size);

struct HC_Entry {
    char *name;
    char *value;
};

struct HC_Node {
    void *item;
    HC_Node *next;
};

struct HC_List {
    uint16_t count;
    HC_Node *first;
    HC_Node *last;
};

// An entry with copies of name (at most nameSize - 1 characters) and value
// (valueLength characters), or null when the heap is full.
HC_Entry *HC_mCreateNew(HC_Allocator alloc, const char *name, size_t nameSize, const char *value, size_t valueLength);
HC_Entry *HC_CreateNew(const char *name, size_t nameSize, const char *value, size_t valueLength);
// Appends an item; answers 1, or 0 when the heap is full or the list holds 65535 items.
int HC_mClientEntries_Add(HC_Allocator alloc, HC_List *list, void *item);
int HC_ClientEntries_Add(HC_List *list, HC_Entry *entry);
int HC_ClientEntries_Add_ObjSonPtr(HC_List *list, void *item);
int HC_ClientEntries_HowMany(const HC_List *list);
void HC_Init_Heap(HC_List *list);
// The value of the first entry named exactly name, or null.
const char *HC_findValue(const HC_List *list, const char *name);
