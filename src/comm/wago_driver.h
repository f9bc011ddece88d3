// WAGO driver: the native order and read exchange adapted to controllers that
// address points by memory names ("MD12", "IX0", "QB3") and keep strings in
// runs of 32-bit memory words. Owns the write-all-bytes switch and the number
// of order files of the last order; works on the read list and the value
// formats through the relay request of the HTTP client. Main thread only.
#pragma once

struct PpoList;
struct TargetDriver;
struct TcrEntry;

#define WG_ORDER_LIMIT 251 // bytes of points in one order file

// Where a point lives in the controller's memory.
struct WagoPoint {
    bool isString;
    int size;      // bytes: 1, 2 or 4 for a scalar; a multiple of 4 for a string
    unsigned word; // the first double word of a string
};

// At every page load: writing all bytes of a string on unless the page's
// "WAGO_WRITE_ALL_BYTES" begins with '0'.
void WG_loadHtmlParameters(const char *page);
// The order step: the read list in order files of fewer than 251 bytes of
// points; 1 when the target took every file.
int WG_orderValues(const char *host, const char *order, char *reply, int size, PpoList *list);
// The read step: reads every order file and stores its values; 1 when all
// were read and matched the read list.
int WG_readValues(const char *host, const char *name, char *reply, int size, PpoList *list);
// Writes one value; a string goes word by word. 1 when written.
int WG_writeValue(const char *host, const char *point, const char *text, int size);

// The memory place of a point by its name on the target and its format.
WagoPoint WG_pointOf(const char *name, const TcrEntry *format);
int WG_getOrderFileCount();

const TargetDriver *WG_getDriver();
// Writing all bytes on, no order files.
void WG_reset();
