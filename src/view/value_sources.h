// Value sources: reading and writing a value by its source type.
#pragma once

#include "data/process_points.h"

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
