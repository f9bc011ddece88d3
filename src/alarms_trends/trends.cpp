// Trend engine. Not built yet: no macro container is handled here.
#include "alarms_trends/trends.h"

#include "runtime/hooks.h"

int macroReadVal(const char *, char *) { return 0; }
int macroWriteVal(const char *, const char *) { return 0; }
void EM_updateValues() {}
void EM_clearView() {}
void EM_clearAll() {}

void EM_attachHooks()
{
    HK_Hooks *h = HK_hooks();
    h->trendMacroRead = macroReadVal;
    h->trendMacroWrite = macroWriteVal;
    h->sampleTrends = EM_updateValues;
    h->clearTrendView = EM_clearView;
    h->clearTrends = EM_clearAll;
}
