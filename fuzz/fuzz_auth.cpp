// Feeds arbitrary bytes to the embedded server's account file reader as
// pterm-httpd.auth, then checks requests with and without credentials: a
// request passes only when the file allows it.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "httpd/credentials.h"
#include "httpd/http_request.h"

namespace {

HttpContext context;
char in[64];
char out[HTTP_BUFFER_SIZE];

int readNothing(HttpContext *) { return 0; }
int writeAway(HttpContext *, const char *, int size) { return size; }

int check(const char *authorization, int write)
{
    http_initContext(&context, in, 0, sizeof in, out, sizeof out, readNothing, writeAway, nullptr);
    std::snprintf(context.authorization, sizeof context.authorization, "%s", authorization);
    return AUTH_check(&context, write);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzStartPanel("panterm-fuzz-auth");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes = fuzzBytes(data, size);
    fuzzPutDiskFile(AUTH_FILE_NAME, bytes);
    int loaded = AUTH_load();
    // "op:secret", "a:b" and nothing valid at all.
    static const char *const kAsked[] = {"", "Basic b3A6c2VjcmV0", "Basic YTpi", "Basic !!", "Basic ", "Bearer x"};
    for (const char *asked : kAsked) {
        int write = check(asked, 1);
        if (!loaded && write != 1) __builtin_trap();
        if (write == 1 && loaded && std::strncmp(asked, "Basic ", 6) != 0) __builtin_trap();
        check(asked, 0);
    }
    AUTH_reset();
    return 0;
}
