// WAGO and TBox drivers: the native exchange adapted to controllers that
// address points by memory names (WAGO) or serve a whole value page (TBox).
#pragma once

void WG_loadHtmlParameters(const char *page);
int WG_orderValues(const char *host, const char *order, char *reply, int size);
int WG_readValues(const char *host, const char *name, char *reply, int size);
int WG_writeValue(const char *host, const char *point, const char *text, int size);

void TBX_loadHtmlParameters();
int TBX_readValues(const char *host, const char *name, char *reply, int size);
int TBX_writeValue(const char *host, const char *point, const char *text, int size);
