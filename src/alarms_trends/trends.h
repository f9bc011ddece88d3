// Trend engine: on-line and off-line trends driven through "@MACRO..." containers.
#pragma once

// Trend macro containers. Each answers non-zero when it handled the name (a
// read fills dst, 256 bytes, and refreshes the container's buffer), 0 to let
// the name be an ordinary container.
int macroReadVal(const char *name, char *dst);
int macroWriteVal(const char *name, const char *value);
// Periodic sampling of on-line trends, once per refresh cycle.
void EM_updateValues();
// Unbinds the emitters from their graphs (view change); frees all trend data.
void EM_clearView();
void EM_clearAll();

// Attaches the trend engine: its macro containers and its place in the
// refresh cycle and the view's clearing.
void EM_attachHooks();
