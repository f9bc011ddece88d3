// Platform probes at start: the kernel release and the processor, which
// selects the platform name.
#pragma once
#include <cstddef>
#include <sys/utsname.h>

extern const char *g_platform; // "pt-Linux", "TRMA5" or "TRMA6"
extern struct utsname g_uts;

// Copies the kernel release into dst; answers major*10000 + minor*1000 + patch,
// or -1 when uname fails or the release is not three numbers.
int kernel_version_str(char *dst, size_t size);
// Reads at most 511 bytes of /proc/cpuinfo and sets the platform name.
void read_cpuinfo();
// The platform name that a cpuinfo text selects.
const char *SYS_platformFromCpuInfo(const char *text);
const char *getPTPlatform();
// Forgets the probes: platform "pt-Linux", the kernel record cleared.
void SYS_resetProbe();
void SYS_logPlatform();
