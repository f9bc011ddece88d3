// Network and start configuration page: the "PT_Config..." containers, their
// file, and the adapter settings they apply.
#pragma once

// Sets up the configuration containers of a new project.
void PTC_init();
// Container access. Each answers 0 when the name is not a configuration value
// (or the facility is disabled), so that it is an ordinary container.
int PT_ConfigRead(const char *name, char *buffer);
char *PT_ConfigReadPtr(const char *name);
int PT_ConfigWrite(const char *name, const char *text);
// The start countdown, on every main-loop time-out.
void PT_Config_entry();
// Saves and reloads the configuration file on request, on every page refresh.
void PTC_entry();
