// HTML page parameters. No page has been read yet, so every look-up answers
// "not found" without touching its output, and no address is taken as a page.
#include "view/page_params.h"

int HT_readParamName(const char *, char *) { return 0; }
const char *HT_readValPtr(const char *) { return nullptr; }
int HT_isHtmlFile(const char *) { return 0; }
