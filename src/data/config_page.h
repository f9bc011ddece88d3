// Network and start configuration page: the "PT_Config..." containers, their
// file, and the adapter settings they apply.
#pragma once

// Sets up the configuration containers of a new project: the list with its
// initial values, the file loaded over it, then either the adapter's actual
// addresses taken in or (at the first call with "Eth.BootApply" 1) the
// configured ones applied.
void PTC_init();
// Container access. Names are matched without case and without their first 10
// characters ("PT_Config." and "PT_Config_" alike). Each answers 0 when the
// name is not a configuration value (or the facility is disabled), so that it
// is an ordinary container. Reading an unknown parameter creates it empty.
// PT_ConfigRead copies at most 255 characters into a buffer of 256 bytes.
int PT_ConfigRead(const char *name, char *buffer);
char *PT_ConfigReadPtr(const char *name);
int PT_ConfigWrite(const char *name, const char *text);
// The start countdown, on every main-loop time-out.
void PT_Config_entry();
// Saves and reloads the configuration file on request, on every page refresh;
// Ethernet values changed and saved are applied to the adapter.
void PTC_entry();
// Back to before start-up: disabled, no list, no requests, time-out 50 ticks,
// counter stopped, the boot application not yet done.
void PTC_reset();
