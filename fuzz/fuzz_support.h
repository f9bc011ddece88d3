// Shared by the fuzz targets: a working directory of their own, the panel's
// layers attached, and files put where the panel reads them.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "app/startup.h"
#include "data/value_store.h"
#include "runtime/ramdisk.h"
#include "runtime/settings.h"

// Makes a new directory PREFIX-XXXXXX under TMPDIR (else /tmp) and moves into
// it, so whatever a target writes stays there; aborts when it cannot.
inline void fuzzEnterTempDir(const char *prefix)
{
    const char *base = std::getenv("TMPDIR");
    char dir[512];
    int n = std::snprintf(dir, sizeof dir, "%s/%s-XXXXXX", base && *base ? base : "/tmp", prefix);
    if (n <= 0 || n >= static_cast<int>(sizeof dir) || !mkdtemp(dir) || chdir(dir) != 0) std::abort();
}

// A directory of its own, the settings at their defaults (no debug log) and
// the layers attached: the panel as it starts, without display or page.
inline void fuzzStartPanel(const char *prefix)
{
    fuzzEnterTempDir(prefix);
    initSettings();
    attachLayers();
    pterm.debug_level = 0;
}

// For the embedded server's targets: a directory of their own holding a page
// with a template, which a request may name.
inline void fuzzEnterServerDir(const char *prefix)
{
    fuzzEnterTempDir(prefix);
    FILE *f = std::fopen("start.html", "w");
    if (!f) return;
    std::fputs("<html>%%A% <input name=\"A\"></html>", f);
    std::fclose(f);
}

// Before each input of a server target: the layers as at start, no debug
// log, a small RAM disk, an empty value store.
inline void fuzzResetServer()
{
    resetLayers();
    attachLayers();
    pterm.debug_level = 0;
    pterm.mem_ramdisk_kb = 8;
    DS_Initialize();
}

// Puts bytes into the RAM-disk file name, replacing it; aborts when the store
// refuses them (give the target a -max_len the store holds).
inline void fuzzPutRamFile(const char *name, const std::string &bytes)
{
    RA_fileDelete(name);
    int out = RA_fileOpen(name, "w");
    if (out < 0) std::abort();
    int written = bytes.empty() ? 0 : RA_fileWrite(bytes.data(), 1, static_cast<int>(bytes.size()), out);
    RA_fileClose(out);
    if (written != static_cast<int>(bytes.size())) std::abort();
}

inline std::string fuzzBytes(const uint8_t *data, size_t size)
{
    return std::string(reinterpret_cast<const char *>(data), size);
}

// A disk file in the working directory, replaced.
inline void fuzzPutDiskFile(const char *name, const std::string &bytes)
{
    FILE *f = std::fopen(name, "wb");
    if (!f) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}
