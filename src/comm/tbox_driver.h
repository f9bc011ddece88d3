// TBox driver: reads a whole value page of the target ("name=value" lines,
// named by the page parameter "TBOXPPOFileName") and writes through the
// target's write-return page. Owns the value page's path; works on the read
// list through the relay request of the HTTP client. Main thread only.
#pragma once

struct PpoList;
struct TargetDriver;

// At every page load: the value page's path from "TBOXPPOFileName".
void TBX_loadHtmlParameters();
// Reads the value page and stores the values of the points it names; 1 when
// the page was read.
int TBX_readValues(const char *host, const char *name, char *reply, int size, PpoList *list);
// Writes the (URL-encoded) text to the point's TBox address; 1 when written.
int TBX_writeValue(const char *host, const char *point, const char *text, int size);

const TargetDriver *TBX_getDriver();
// No value page.
void TBX_reset();
