// Temporary directories of the benchmarks: made under /tmp on demand and
// removed with what they hold when the program ends.
#pragma once
#include <string>

// A new empty directory "/tmp/panterm-bench-<name>-XXXXXX".
std::string benchTempDir(const char *name);
