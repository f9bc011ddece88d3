// Configuration page. Not built yet: the facility behaves as disabled (no
// configuration file), so no "PT_Config" name is taken.
#include "data/config_page.h"

void PTC_init() {}
int PT_ConfigRead(const char *, char *) { return 0; }
char *PT_ConfigReadPtr(const char *) { return nullptr; }
int PT_ConfigWrite(const char *, const char *) { return 0; }
void PT_Config_entry() {}
void PTC_entry() {}
