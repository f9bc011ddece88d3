// Native CGI protocol of the target's web server: the read list is ordered in
// blocks ("OrderValues.exe"), each refresh reads the blocks' value files
// ("ReadFile.exe"), and a value is written with "writeVal.exe".
#pragma once

struct PpoList;
struct TargetDriver;

#define TARSEL_ORDER_LIMIT 1500 // default characters of one order request
#define TARSEL_ORDER_RESTARTS 1 // new starts of an order the target answered "Error."
#define TARSEL_MAX_BLOCKS 1024  // order blocks of one order

// Orders the read list in blocks; the order string begins with the order file
// name, "+dummy+" and the refresh period. 1 when every block was taken.
int SP_orderValues(const char *host, const char *orderString, char *reply, int size, PpoList *list);
// Reads the value file of every block and stores the values into the read
// list; 1 when every file was read.
int SP_readValues(const char *host, const char *orderFileName, char *buffer, int size, PpoList *list);
// URL-encodes the value and writes it with "writeVal.exe"; 1 when written.
int SP_writeValue(const char *host, const char *name, const char *value, int size);

// At page load: the order limit from the page parameter
// "cgiOrderListMaxSize" (1500 without it), no blocks ordered.
void SP_loadHtmlParameters();
int SP_getOrderLimit();
int SP_getBlockCount();
// Forgets the blocks of the last order.
void SP_forgetOrder();

const TargetDriver *SP_getDriver();
// Back to the default order limit and no order.
void SP_reset();
