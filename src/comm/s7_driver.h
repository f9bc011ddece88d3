// S7 block driver for Simatic targets: S7 PDUs through the target's HTTP
// gateway.
#pragma once

void S7_loadHtmlParameters(const char *page);
int S7_readValues(const char *host);
int S7_writeValue(const char *host, const char *pointName, const char *text);
