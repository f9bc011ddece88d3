// OPC XML-DA driver for Beckhoff targets: SOAP Read and Write requests to the
// web service named by the page parameter "XMLOPCWebserviceAdress". Owns the
// service path, the connected flag, the request and reply buffers and the busy
// flag that keeps one request at a time: a write from the server thread waits
// while the main thread reads.
#pragma once

struct PpoList;
struct TargetDriver;

#define BH_BUFFER_SIZE 65536
#define BH_NAMESPACE "http://opcfoundation.org/webservices/XMLDA/1.0/"

// At every page load: not connected, the service path from the page.
void BH_loadHtmlParameters(const char *page);
// The order step: probes the service once per page; 1 when connected.
int BH_connect(const char *host);
// Reads every point of the read list in one request: 1 when answered with
// status 200 (values stored as far as they were found), else 0.
int BH_readValues(const char *host, PpoList *list);
// Writes one value of the point (its value format gives the XML type) under
// the item name: 1 when the request was answered, else 0.
int BH_writeValue(const char *host, const char *point, const char *itemName, const char *text);

// The parts of the driver's work that tests and the simulator's checks look
// at: the body of a Read request for the read list, of a Write request, and
// the parsing of a Read reply into the read list. The builders answer the
// body's length, -1 when it does not fit into size bytes.
int BH_buildReadRequest(const PpoList *list, char *dst, int size);
int BH_buildWriteRequest(const char *itemName, const char *type, const char *value, char *dst, int size);
// The parse answers 0 for a reply without its read response (a failed read).
int BH_parseItemValues(char *reply, PpoList *list);
// The XML type of a point's value: "string" without a format, "float" and
// "int" for the "flt2dec" and "dec" formats, else the format's own name.
const char *BH_typeOf(const char *point);

const TargetDriver *BH_getDriver();
// Not connected, no service path, buffers empty, not busy.
void BH_reset();
