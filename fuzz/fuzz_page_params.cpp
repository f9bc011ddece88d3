// Feeds arbitrary bytes to the reader of page parameters: as an HTML page
// (the applet tag and its parameters) and as a parameter table (lines
// "name;value"), then asks for the parameters a page of the panel names.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "runtime/heap.h"
#include "view/page_params.h"

namespace {

void askAll()
{
    static const char *const kNames[] = {"ProjectName", "Period",           "FirstFileIndex", "LastFileIndex",
                                         "Main",        "InitPPOASCIIName", "MessageBox",     "IVIEWERHTMLTAGSFILEName",
                                         "PM_AM",       "SOAPIF",           "S7BlockSize",    "x"};
    for (const char *name : kNames) {
        char out[HT_VALUE_SIZE];
        out[0] = '\0';
        HT_readHtmlParameter(name, out);
        if (std::strlen(out) >= sizeof out) __builtin_trap();
        HT_readParamName(name, out);
        if (std::strlen(out) >= sizeof out) __builtin_trap();
    }
    if (std::strlen(appletName) >= sizeof appletName) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzStartPanel("panterm-fuzz-page-params");
    MU_init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes = fuzzBytes(data, size);
    fuzzPutRamFile("page.html", bytes);
    MU_init2();
    HT_resetParameters();
    HT_loadHtmlParameters("page.html");
    askAll();
    MU_init2();
    HT_resetParameters();
    HT_loadCsvFile("page.html");
    askAll();
    HT_reset();
    return 0;
}
