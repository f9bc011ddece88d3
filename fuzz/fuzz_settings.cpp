// Feeds arbitrary bytes to the settings parser. Logging stays off, so a
// fuzzed log_file name never reaches the file system.
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/settings.h"
#include "runtime/str_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    initSettings();
    pterm.debug_level = 0;
    parseXmlFileForSettings("fuzz.xml", text.data());
    // Every text field stays terminated within its buffer.
    if (std::strlen(pterm.start_page) >= sizeof pterm.start_page) __builtin_trap();
    if (std::strlen(pterm.warn_btn.text) > 31 || std::strlen(pterm.loading_msg.text) > 31) __builtin_trap();
    ExtObjectSpec spec;
    parseExtObjectString(&spec, text.data());
    return 0;
}
