// Table of the protocol drivers: one record per target service number with
// the driver's entry points. The native driver dispatches the page
// parameters, the order, the read and the write of process values through it;
// the update cycle takes the driver's own cyclic read when it has one. A new
// driver is one file that fills a record, and one line in the table.
#pragma once

struct PpoList;

// Service numbers: which driver serves the target.
enum {
    TARSEL_SERVICE_NATIVE = 1,
    TARSEL_SERVICE_OPC = 3,
    TARSEL_SERVICE_WAGO = 5,
    TARSEL_SERVICE_S7 = 7,
    TARSEL_SERVICE_TBOX = 8,
    TARSEL_SERVICE_ILR = 10,
    TARSEL_SERVICE_MODBUS = 11,
    TARSEL_SERVICE_MQTT = 12, // another panel's values through an MQTT broker
};

struct TargetDriver {
    int service;
    // Target names beginning with this text choose the driver; null when the
    // driver is chosen otherwise.
    const char *targetPrefix;
    // Reads the driver's page parameters at every page load; null: none.
    void (*loadHtmlParameters)(const char *page);
    // The order step of the update cycle; 1 on success.
    int (*orderValues)(const char *host, const char *orderString, char *reply, int size, PpoList *list);
    // The read step; 1 on success. Values are stored into the read list, or
    // left in buffer as lines "name=value".
    int (*readValues)(const char *host, const char *orderFileName, char *buffer, int size, PpoList *list);
    // When set, one cyclic read of the whole list replaces order and read.
    int (*readList)(const char *host, PpoList *list);
    // Writes one value (display form already converted); 1 when written.
    int (*writeValue)(const char *host, const char *name, const char *value, int size);
};

// The driver of a service number; an unknown number gets a driver that does
// nothing and succeeds.
const TargetDriver *Tarsel_driverFor(int service);
// The driver whose target prefix begins the target name, or null.
const TargetDriver *Tarsel_driverForTarget(const char *targetName);
