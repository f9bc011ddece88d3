// Feeds arbitrary bytes to the configuration page's file reader (both forms:
// "name=value" and the CSV form "name;value"), then reads and writes the
// page's parameters and has the file read again, as the page does. The
// adapter is never set: the file is read after the start-up's one chance to
// apply it, and no adapter command can be found through PATH.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/config_page.h"
#include "fuzz_support.h"
#include "runtime/heap.h"

namespace {

void useParameters()
{
    static const char *const kNames[] = {"PT_Config.Start.Timeout", "PT_Config.Start.URL", "PT_Config.Eth.IP",
                                         "PT_Config_Counter",       "PT_Config.Modified",  "PT_Config.Eth.Name",
                                         "PT_Config.Other",         "PT_Config."};
    for (const char *name : kNames) {
        char buffer[256];
        buffer[0] = '\0';
        PT_ConfigRead(name, buffer);
        if (std::strlen(buffer) >= sizeof buffer) __builtin_trap();
    }
    PT_ConfigWrite("PT_Config.Start.URL", "x.html");
    PT_ConfigWrite("PT_Config.Reload", "1");
    PTC_entry();
    PT_Config_entry();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzStartPanel("panterm-fuzz-config");
    char here[512];
    if (!getcwd(here, sizeof here) || setenv("PATH", here, 1) != 0) std::abort();
    MU_init();
    std::snprintf(pterm.config_file, sizeof pterm.config_file, "%s", "config.txt");
    PTC_init(); // the start-up's chance to apply the file's adapter values, with no file
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes = fuzzBytes(data, size);
    static const char *const kFiles[] = {"config.txt", "config.csv"};
    for (const char *file : kFiles) {
        std::snprintf(pterm.config_file, sizeof pterm.config_file, "%s", file);
        fuzzPutDiskFile(file, bytes);
        MU_init2();
        PTC_init();
        useParameters();
    }
    return 0;
}
