// Feeds arbitrary bytes to the TCR table reader as a page's table file, then
// looks up the symbol of every line and converts a value each way with its
// entry, as reads and writes of the page do.
#include <cstdint>
#include <cstring>
#include <string>

#include "data/value_format.h"
#include "fuzz_support.h"

namespace {

void check(bool ok)
{
    if (!ok) __builtin_trap();
}

// The entry of the line's first field, converted both ways.
void useLine(const std::string &line)
{
    std::string symbol = line.substr(0, line.find(';'));
    TcrEntry *entry = TCR_getTcrPointerWithSymbol(symbol.c_str());
    if (!entry) return;
    char name[TCR_NAME_SIZE];
    check(TCR_convertFormatedPPONameFrom(entry, name) == 1 && std::strlen(name) < TCR_NAME_SIZE);
    for (int field = 0; field < 12; field++) {
        const char *text = TCR_getParamField(entry, field);
        check(!text || std::strlen(text) < 256);
    }
    static const char *const kValues[] = {"12345", "-7.25", "1", "abc", "", "99999999999999999999", "0x1F"};
    for (const char *v : kValues) {
        char value[TCR_VALUE_SIZE];
        std::snprintf(value, sizeof value, "%s", v);
        TCR_readFormatedPPO(entry, value);
        check(std::strlen(value) < TCR_VALUE_SIZE);
        std::snprintf(value, sizeof value, "%s", v);
        int ok = 0;
        TCR_writeFormatedPPOValue(name, value, &ok);
        check(std::strlen(value) < TCR_VALUE_SIZE);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzStartPanel("panterm-fuzz-tcr");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes = fuzzBytes(data, size);
    fuzzPutRamFile("page.tcr", bytes);
    TCR_parseTcrFile("page.tcr");
    size_t from = 0;
    for (int lines = 0; from < bytes.size() && lines < 64; lines++) {
        size_t end = bytes.find('\n', from);
        if (end == std::string::npos) end = bytes.size();
        useLine(bytes.substr(from, end - from));
        from = end + 1;
    }
    TCR_reset();
    return 0;
}
