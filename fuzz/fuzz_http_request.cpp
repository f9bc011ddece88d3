// Feeds arbitrary bytes to the embedded server's request handling as one
// connection would deliver them: the first part as received, the rest in
// small pieces through the reader; everything sent is checked to be a reply.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "app/startup.h"
#include "fuzz_support.h"
#include "data/value_store.h"
#include "httpd/http_request.h"
#include "runtime/settings.h"

namespace {

struct Source {
    const uint8_t *data;
    size_t size;
    size_t fed;
    size_t sent;
};

int readMore(HttpContext *c)
{
    Source *s = static_cast<Source *>(c->connection);
    size_t room = static_cast<size_t>(c->inSize - c->inCount);
    size_t n = std::min({room, s->size - s->fed, static_cast<size_t>(97)});
    std::memcpy(c->in + c->inCount, s->data + s->fed, n);
    c->inCount += static_cast<int>(n);
    s->fed += n;
    return static_cast<int>(n);
}

int writeOut(HttpContext *c, const char *data, int size)
{
    Source *s = static_cast<Source *>(c->connection);
    if (s->sent == 0 && !(size >= 5 && std::memcmp(data, "HTTP/", 5) == 0)) __builtin_trap();
    s->sent += static_cast<size_t>(size);
    return size;
}

HttpContext context;
char in[HTTP_BUFFER_SIZE + 1];
char out[HTTP_BUFFER_SIZE];

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzEnterServerDir("panterm-fuzz-request");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzResetServer();
    Source source{data, size, 0, 0};
    size_t first = std::min(size, static_cast<size_t>(HTTP_BUFFER_SIZE));
    std::memcpy(in, data, first);
    source.fed = first;
    http_initContext(&context, in, static_cast<int>(first), HTTP_BUFFER_SIZE, out, HTTP_BUFFER_SIZE, readMore, writeOut,
                     &source);
    http_processRequest(&context);
    http_flush(&context);
    return 0;
}
