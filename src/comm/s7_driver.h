// S7 block driver for Simatic targets: S7 PDUs through the target's HTTP
// gateway.
#pragma once

struct PpoList;
struct TargetDriver;

void S7_loadHtmlParameters(const char *page);
int S7_readValues(const char *host, PpoList *list);
int S7_writeValue(const char *host, const char *pointName, const char *text);

const TargetDriver *S7_getDriver();
