// Trend engine. Not built yet: no macro container is handled here.
#include "alarms_trends/trends.h"

int macroReadVal(const char *, char *) { return 0; }
int macroWriteVal(const char *, const char *) { return 0; }
void EM_updateValues() {}
void EM_clearView() {}
void EM_clearAll() {}
