// Native CGI protocol driver: the entry to the target's values for the rest of
// the panel. Chooses the protocol for the target the page names, dispatches
// the order, read and write of process values to that protocol's driver (the
// driver table), fires CGI calls and relays alarm and trend queries.
// Owns the target choice, the refresh counter and the force-order flag. Works
// on the process-point cache; uses the HTTP client, the local value store,
// the value formats and the log.
#pragma once
#include "comm/driver_table.h"

struct PpoList;

// Target type codes (settings record `target_type`).
enum {
    TARSEL_TARGET_OTHER = 100,
    TARSEL_TARGET_SAIA = 101,
    TARSEL_TARGET_WEBFACTORY = 102,
    TARSEL_TARGET_BECKHOFF = 103,
    TARSEL_TARGET_WAGO = 105,
    TARSEL_TARGET_SIMATIC = 107,
    TARSEL_TARGET_TBOX = 108,
    TARSEL_TARGET_PHOENIX = 109,
    TARSEL_TARGET_SAMSON = 111,
    TARSEL_TARGET_XX7 = 117,
};

#define TARSEL_FORCE_EVERY 20 // refreshes between forced orders

// Which driver serves the target (a service number of the driver table).
extern int remoteServiceId;

// Target selection at page load.
void Tarsel_setServiceId(const char *targetName);
void Tarsel_setTarget(const char *targetName);
void Tarsel_loadHtmlParameters(const char *buffer);
int Tarsel_getServiceId();
int Tarsel_getOrderLimit();
int Tarsel_getBlockCount();
// Makes the next refresh send a fresh order.
void Tarsel_setForceOrder();

// Values.
int Tarsel_readVal(const char *name, char *dst, int size);
char *Tarsel_readValPtr(const char *name);
int Tarsel_forceReadVal(const char *name, char *dst, int size);
int Tarsel_writeVal(const char *name, const char *value, int size);
int Tarsel_cgiCall(const char *text, int size);
int Tarsel_refresh(int force);
void Tarsel_clearView();
int Tarsel_addPPO(const char *name, int convertOnly);
const char *Tarsel_orderPPO(const char *name);
int Tarsel_readAlarm(const char *query, char *reply, int size);
int Tarsel_readTrend(const char *query, char *reply, int size);

// Driver dispatch by service number (through the driver table); host is the
// target's address text.
int SRVR_OrderValue(const char *host, const char *orderString, char *reply, int size, PpoList *list);
int SRVR_ReadFile(const char *host, const char *orderFileName, char *buffer, int size, PpoList *list);
int SRVR_WriteVal(const char *host, const char *name, const char *value, int size);
int SRVR_ReadVal(const char *host, const char *name, char *dst, int size);
int SRVR_CgiCall(const char *host, const char *text, int size);
int SRVR_readCgiCall(const char *host, const char *path, char *dst, int size);

// Attaches the target link to the hooks of the layers below (process values
// for name resolution, a fresh order when the target changes).
void Tarsel_attachHooks();
// Back to the native service, no forced order and the refresh count at 0.
void Tarsel_reset();
