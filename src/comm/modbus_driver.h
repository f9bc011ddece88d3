// Modbus TCP driver: reads the read list from a Modbus TCP device in as few
// requests as the protocol allows and writes single points, through
// libmodbus. Chosen by the applet code "IViewerModbus.class"; the page
// parameters MODBUSHOST, MODBUSPORT, MODBUSUNIT, MODBUSTIMEOUT and MODBUSBASE
// say where the device is and how its manual counts addresses.
// Owns the device settings of the page, the libmodbus context with its one
// connection, the request plan of the read list, the names and exceptions
// already reported on this page, and a request counter. Main thread only.
#pragma once

struct PpoList;
struct TargetDriver;

#define MB_DEFAULT_PORT 502
#define MB_REGISTER_GAP 8 // unread registers a request bridges between two points
#define MB_BIT_GAP 128    // unread bits a request bridges (the bytes of 8 registers)
#define MB_POINTS_MAX 2048

// At every page load: the device settings; the connection is closed and the
// plan and the reports of the last page are forgotten.
void MB_loadHtmlParameters(const char *page);
// One refresh cycle: every request of the plan once. 1 when the device
// answered every request (an exception reply marks only that request's
// points "Not available"); 0 when the connection failed or a reply did not
// come within the time-out (the connection is then closed).
int MB_readList(const char *host, PpoList *list);
// Writes one point (function 5 for a coil, 6 or 16 for registers; a bit of a
// register is read and written back). 1 when the device took it.
int MB_writeValue(const char *host, const char *name, const char *value, int size);

// Requests sent since the last reset, and the requests of the current plan.
unsigned MB_getRequestCount();
int MB_getPlanSize();
// Request index of the plan: its table, first address and count; 0 when
// there is no such request.
int MB_getPlanRequest(int index, int *table, int *address, int *count);

const TargetDriver *MB_getDriver();
// Connection closed, settings, plan, reports and counter back to the start.
void MB_reset();
