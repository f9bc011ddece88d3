// S7 block driver for Simatic targets: S7 job PDUs (read and write variable,
// one S7ANY item) posted to the target's HTTP gateway. The page names one
// region of a data block; each refresh reads it in parts and cuts every
// point's value out of it by the point's S7 address (from its value format).
// Owns the block parameters, the block and its part flags, the PDU reference
// and the reply buffer.
#pragma once
#include <cstdint>

struct PpoList;
struct TargetDriver;
struct TcrEntry;

#define S7_AREA_DB 0x84
#define S7_JOB_HEADER 24    // bytes of a job PDU before its data part
#define S7_ACK_HEADER 18    // bytes of a read acknowledgement before its data
#define S7_BLOCK_MAX 65536  // the largest block a page may name
#define S7_REPLY_SIZE 65535 // a reply body of at most 65534 bytes
#define S7_FUNCTION_READ 4
#define S7_FUNCTION_WRITE 5
#define S7_TYPE_BOOL 1
#define S7_TYPE_STRING 19

// The any pointer of a process point.
struct S7Address {
    int type;  // S7 data type code
    int count; // elements; a STRING's two length bytes included
    int area;
    int db;
    long byteAddress;
    int bit;
};

// At every page load: the block parameters, the block and its part flags.
void S7_loadHtmlParameters(const char *page);
// Reads the block and stores the value of every point of the read list that
// lies in it. 1, or 0 when no part that was asked for came back.
int S7_readValues(const char *host, PpoList *list);
// Writes one value of the point named by its resolved name: 1 when the
// gateway took the job, 0 when the point has no usable S7 address, the value
// cannot be encoded, or the job failed.
int S7_writeValue(const char *host, const char *pointName, const char *text);

// The S7 address in a point's value format; false when there is none usable.
bool S7_getAddress(const TcrEntry *entry, S7Address *address);
// Bytes of a point's value in the block; 0 for types without a size.
int S7_valueSize(const S7Address &address);
// A job PDU (function 4 read, 5 write with its data part) into dst: its
// length, or -1 when the fields do not fit the PDU or dst.
int S7_buildPdu(int function, const S7Address &address, const uint8_t *data, int dataLength, uint8_t *dst, int size);
// The data part of a write: its length, or -1 when the value cannot be
// encoded for the point's type.
int S7_encodeValue(const S7Address &address, const char *text, uint8_t *dst, int size);
// The value at bytes (available bytes from the point's first byte) as text
// into dst (256 bytes); false when the type is not decoded.
bool S7_decodeValue(const S7Address &address, const uint8_t *bytes, int available, char *dst);

const TargetDriver *S7_getDriver();
// No block, no parameters, the PDU reference at 0.
void S7_reset();
