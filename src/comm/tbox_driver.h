// TBox driver: reads a whole value page of the target and writes through the
// target's write-return page.
#pragma once

struct PpoList;
struct TargetDriver;

void TBX_loadHtmlParameters();
int TBX_readValues(const char *host, const char *name, char *reply, int size, PpoList *list);
int TBX_writeValue(const char *host, const char *point, const char *text, int size);

const TargetDriver *TBX_getDriver();
