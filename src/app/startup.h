// Start-up and main loop of the panel program: opening the display, reading
// the settings, probing the platform and network, the one top-level window,
// the server thread, the first page request and the event loop with its
// refresh time-out. Everything here runs on the main thread except onsig.
#pragma once

#include "nanox/nano-X.h"

extern GR_SCREEN_INFO g_si;

int Panterm_main(int argc, char **argv);

// Attaches every layer to the hooks of the layers below it.
void attachLayers();
// Brings every layer back to its state before start-up, from the top down:
// tables and caches empty, areas released, log and display closed, settings
// at their defaults, hooks and painter loaders detached.
void resetLayers();
void init_pterm(const char *argv0);
void start_pterm(const char *url);
void startTasks();
void startPanterm(int unused);
void promptForUrl();
void ptT_reload();
