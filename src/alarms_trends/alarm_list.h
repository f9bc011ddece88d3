// Alarm lists read from the target and shown in file viewers.
#pragma once

// Called for every write to a container named "@MACROALR...". Answers non-zero
// when it took the write, 0 to let the container store it as usual.
int AL_macroWriteVal(const char *name, const char *value);

// Attaches the alarm macro containers to the container store.
void AL_attachHooks();
