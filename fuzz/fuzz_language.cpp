// Feeds arbitrary bytes to the language table reader as a table file, then
// asks it for the name of every line, as the page's texts do.
#include <cstdint>
#include <cstring>
#include <string>

#include "data/language.h"
#include "fuzz_support.h"
#include "runtime/heap.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzStartPanel("panterm-fuzz-language");
    MU_init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes = fuzzBytes(data, size);
    fuzzPutRamFile("lang.csv", bytes);
    LR_parseCsvFile("lang.csv");
    size_t from = 0;
    for (int lines = 0; from < bytes.size() && lines < 64; lines++) {
        size_t end = bytes.find('\n', from);
        if (end == std::string::npos) end = bytes.size();
        std::string name = bytes.substr(from, std::min(end, bytes.find_first_of(";\t,", from)) - from);
        char value[64];
        if (LR_readValue(name.c_str(), value, sizeof value) && std::strlen(value) >= sizeof value) __builtin_trap();
        from = end + 1;
    }
    LR_reset();
    return 0;
}
