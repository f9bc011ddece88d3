// Modbus point names and their value coding: "HR<n>", "IR<n>", "CO<n>" and
// "DI<n>" with a type suffix (":i16", ":u32", ":f32s", ":s<k>" ...) or a bit
// of a register (".b<k>"), and the conversion between a point's registers or
// bits and its value text. Pure functions without state; the Modbus driver
// and the target simulator's Modbus personality share them.
#pragma once
#include <cstdint>

#define MB_REGISTERS_MAX 125 // registers one read request may ask for
#define MB_BITS_MAX 2000     // bits one read request may ask for
#define MB_STRING_MAX 125    // registers of a string point
#define MB_ADDRESS_MAX 65535

// The four data tables of a device.
enum MbTable { MB_TABLE_COILS, MB_TABLE_DISCRETE, MB_TABLE_HOLDING, MB_TABLE_INPUT, MB_TABLE_COUNT };

// How a point's registers are read.
enum MbType {
    MB_TYPE_U16,  // one register, unsigned (also a coil or discrete input: 0 or 1)
    MB_TYPE_I16,  // one register, signed
    MB_TYPE_U32,  // two registers, high word first
    MB_TYPE_I32,  //
    MB_TYPE_F32,  //
    MB_TYPE_F64,  // four registers, highest word first
    MB_TYPE_U32S, // two registers, low word first
    MB_TYPE_I32S, //
    MB_TYPE_F32S, //
    MB_TYPE_STRING,
    MB_TYPE_BIT, // one bit of a register
};

struct MbPoint {
    int table;   // MbTable
    int type;    // MbType
    int address; // on the wire, from 0
    int count;   // registers, or 1 bit in a bit table
    int bit;     // MB_TYPE_BIT: 0 (lowest) to 15
};

// Parses a point name; base is the number the device manual's first address
// has (0 or 1). 1 and the point, 0 for a name that is no usable point.
int MB_parsePoint(const char *name, int base, MbPoint *point);
// True for the coil and discrete-input tables.
bool MB_isBitTable(int table);
// The function code that reads a table (1 to 4).
int MB_readFunction(int table);

// The value text of a point from its registers (count of them) or from its
// bit (0 or 1), into dst of size bytes.
void MB_decode(const MbPoint &point, const uint16_t *registers, int bit, char *dst, int size);
// The registers (point.count of them) that hold a value text; for a bit point
// the bit's value in registers[0], for a coil 0 or 1. 1, or 0 when the text
// is no number of the point's type or out of its range.
int MB_encode(const MbPoint &point, const char *text, uint16_t *registers);
