// WAGO driver: the native order and read exchange adapted to controllers that
// address points by memory names and keep strings in runs of memory words.
#pragma once

struct PpoList;
struct TargetDriver;

void WG_loadHtmlParameters(const char *page);
int WG_orderValues(const char *host, const char *order, char *reply, int size, PpoList *list);
int WG_readValues(const char *host, const char *name, char *reply, int size, PpoList *list);
int WG_writeValue(const char *host, const char *point, const char *text, int size);

const TargetDriver *WG_getDriver();
