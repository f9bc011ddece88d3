// TEQ picture reader: the byte primitives of the format, the element stream of
// one file, the default properties and the load error flag. Creates objects
// through the painter loader; sets page size, background colour and fonts
// through the graphics layer; reads every byte through the target link.
#pragma once
#include <cstdint>

#define TEQ_VERSION_C 99
#define TEQ_VERSION_D 100
#define TEQ_VERSION_E 101

// Editor version character of the file being read ('c' .. 'g').
extern int EditorVersion;

// Reads one open TEQ file; 0 on success, -1 on failure.
int teqFileReader(int file);

// Sets the load error flag of the file being read: the rest of the file is
// not read and the reader fails.
void teqSetLoadError();

// Layer loading state: 0 for the main file, 1 background layer, 2 foreground
// layer. Page size and background colour elements are ignored in layers.
void teqSetLayerLoading(int layer);
int teqGetLayerLoading();
// No file read yet: version 0, no load error, the main file's layer.
void teqReset();

// One byte 0..255, or -1 at the end of the file.
int teqReadByte(int file);
// Colour: three bytes red, green, blue as an opaque colour. 0 at end of file.
int readColor(int file, uint32_t *color);
// Packed pair; answers its flag (0 or 1), or -1 at end of file.
int readPair(int file, int *first, int *second);
// 32-bit big-endian; 0 when the file ends inside it.
int32_t ReadJavaInt(int file);
// Four bytes skipped; 0 at end of file.
int readFloat(int file);
// Short string into a buffer of size bytes: answers the length byte n, or -1
// at end of file (the buffer then holds what was read).
int readString(int file, char *buffer, int size);
// Skips a short string; the length byte, or -1 at end of file.
int dumpString(int file);
// Byte count of a UTF string, -1 at end of file.
int ReadUTF_size(int file);
// Decodes n bytes of modified UTF-8, one 8-bit character per code point, into
// dst (room for n + 1 bytes). 1, or 0 when the file ended inside the string.
int ReadUTF_bytes(int file, char *dst, int n);
// Reads a UTF string into heap1; null at end of file or when heap1 is full.
// Names of types 1 and 9 that are text-conversion symbols get room behind
// them for their longer formatted name.
char *ReadUTF_Alloc(int file, int type);
// Skips a UTF string; 1, or 0 at end of file.
int dumpUTF(int file);
