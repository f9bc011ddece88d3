// Source-name resolution: replaces the references that a source name may embed
// ("#CO_x#", "@HTML_y@", "#PPO_z#" and the offset forms "#COFF_x#",
// "#HTMLOFFSET_y#", "#PPOFF_z#" with + - * / arithmetic) by their values.
// Owns the ring of result buffers; reads values from the containers, and the
// page parameters and process values through the hooks. Main thread only.
#pragma once

#define RESOLVE_RING_SLOTS 8
#define RESOLVE_SLOT_SIZE 256
// Passes one stage makes at most; a name whose references keep coming back
// (a container that refers to itself) stops there with a message.
#define RESOLVE_MAX_PASSES 64
// Resolutions running inside one another through a reader at most.
#define RESOLVE_MAX_DEPTH 8

// Reads the value of a name into dst (256 bytes).
typedef int (*SourceReader)(const char *name, char *dst);

// Each answers the input pointer itself when nothing was replaced, otherwise a
// slot of the result ring, valid until eight further stages have run. Results
// are cut to 255 characters.
const char *resolveInfoName(const char *name); // page parameters, then containers
const char *resolvePPO(const char *name);
const char *resolveCO(const char *name);
const char *resolveHtml(const char *name);
// One stage: every plain reference of prefix, then every offset reference of
// offsetPrefix, each marked by marker.
const char *resolveWithSep(const char *name, char marker, const char *prefix, const char *offsetPrefix,
                           SourceReader reader);
// Empties the result ring and forgets any resolution in progress.
void resolveReset();
