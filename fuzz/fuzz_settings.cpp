// Feeds arbitrary bytes to the settings parser. It runs in a directory of its
// own, and slashes are taken out of the input, so a complete parse that logs
// to a fuzzed log_file name never writes outside that directory.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "fuzz_support.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzEnterTempDir("panterm-fuzz-settings");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<char> text(data, data + size);
    for (char &c : text)
        if (c == '/' || c == '\\') c = '_';
    text.push_back('\0');
    initSettings();
    pterm.debug_level = 0;
    parseXmlFileForSettings("fuzz.xml", text.data());
    // Every text field stays terminated within its buffer.
    if (std::strlen(pterm.start_page) >= sizeof pterm.start_page) __builtin_trap();
    if (std::strlen(pterm.warn_btn.text) > 31 || std::strlen(pterm.loading_msg.text) > 31) __builtin_trap();
    ExtObjectSpec ext;
    parseExtObjectString(&ext, text.data());
    return 0;
}
