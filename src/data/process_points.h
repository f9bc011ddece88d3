// Value sources and the process-point cache: the kinds of value source a page
// names, and the access to a source's value by its type.
#pragma once
#include <cstddef>

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

// Pointer to the current value text of a source, or null when the source has
// no stored text (or does not exist).
void *RW_getSourcePtr(const char *name, int type);

// The name to send to the target for a process-point name.
const char *PPO_resolve(const char *name);
