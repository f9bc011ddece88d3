// Shared by the fuzz targets: a working directory of their own.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

// Makes a new directory PREFIX-XXXXXX under TMPDIR (else /tmp) and moves into
// it, so whatever a target writes stays there; aborts when it cannot.
inline void fuzzEnterTempDir(const char *prefix)
{
    const char *base = std::getenv("TMPDIR");
    char dir[512];
    int n = std::snprintf(dir, sizeof dir, "%s/%s-XXXXXX", base && *base ? base : "/tmp", prefix);
    if (n <= 0 || n >= static_cast<int>(sizeof dir) || !mkdtemp(dir) || chdir(dir) != 0) std::abort();
}
