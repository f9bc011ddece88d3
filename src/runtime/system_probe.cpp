// Kernel and processor probes.
#include "runtime/system_probe.h"

#include <cstdio>
#include <cstring>

#include "runtime/platform.h"
#include "runtime/log.h"
#include "runtime/str_util.h"

const char *g_platform = "pt-Linux";
struct utsname g_uts;

int kernel_version_str(char *dst, size_t size)
{
    if (uname(&g_uts) != 0) {
        safe_strncpy(dst, "", size);
        return -1;
    }
    safe_strncpy(dst, g_uts.release, size);
    int major, minor, patch;
    if (std::sscanf(g_uts.release, "%d.%d.%d", &major, &minor, &patch) != 3) return -1;
    return major * 10000 + minor * 1000 + patch;
}

const char *SYS_platformFromCpuInfo(const char *text)
{
    const char *model = text ? std::strstr(text, "cpu model") : nullptr;
    if (!model) return "pt-Linux";
    if (std::strstr(model, "VR4181A")) return "TRMA5";
    if (std::strstr(model, "Au1100")) return "TRMA6";
    return "pt-Linux";
}

void read_cpuinfo()
{
    char text[512];
    if (!SYS_readFileHead("/proc/cpuinfo", text, sizeof text)) return;
    g_platform = SYS_platformFromCpuInfo(text);
}

const char *getPTPlatform() { return g_platform; }

void SYS_resetProbe()
{
    g_platform = "pt-Linux";
    g_uts = {};
}

void SYS_logPlatform()
{
    log_append(0, "Platform: %s\n", g_platform);
    log_append(0, "sysname:  %s\n", g_uts.sysname);
    log_append(0, "nodename: %s\n", g_uts.nodename);
    log_append(0, "release:  %s\n", g_uts.release);
    log_append(0, "version:  %s\n", g_uts.version);
    log_append(0, "machine:  %s\n", g_uts.machine);
}
