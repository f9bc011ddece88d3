// Feeds arbitrary bytes to one connection of the embedded server the way its
// poll loop does: received in pieces as the connection has room, on a clock
// that moves with every piece, with the time limits applied; the client's end
// after the last byte; the complete request answered (head, body, routing,
// reply) and the reply taken. Checks that a reply starts as one, that an
// answered connection only drains, and that it leaves no memory behind.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/startup.h"
#include "data/value_store.h"
#include "fuzz_support.h"
#include "httpd/http_connection.h"
#include "runtime/settings.h"

namespace {

HcConnection connection;

void check(bool condition)
{
    if (!condition) __builtin_trap();
}

// Answers the request and takes the reply; the connection drains afterwards.
void answer(HcConnection *k, int64_t now)
{
    HC_answer(k, now);
    long size = 0;
    const char *data = HC_unsent(k, &size);
    check(size == 0 || (size >= 5 && std::memcmp(data, "HTTP/", 5) == 0));
    HC_sent(k, size, now);
    check(k->phase == HC_DRAIN);
}

// Hands the bytes over in pieces of the given size; answers when the
// connection was closed by its limits or answered before the end.
bool receiveAll(HcConnection *k, const uint8_t *data, size_t size, size_t piece, int64_t *now)
{
    size_t fed = 0;
    while (fed < size) {
        char *where = nullptr;
        long room = HC_room(k, &where);
        if (room <= 0) return k->phase == HC_READY;
        size_t n = size - fed;
        if (n > piece) n = piece;
        if (n > static_cast<size_t>(room)) n = static_cast<size_t>(room);
        std::memcpy(where, data + fed, n);
        fed += n;
        *now += 7;
        HC_received(k, static_cast<long>(n), *now);
        if (!HC_check(k, *now)) return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzEnterServerDir("panterm-fuzz-server");
    return 0;
}

// The input's length chooses the size of the pieces it arrives in, so that the
// seeds stay requests as they are.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzResetServer();
    size_t piece = 1 + size % 64u * 23u;
    int64_t now = 1000;
    HC_open(&connection, 1, "127.0.0.1", now);
    bool open = receiveAll(&connection, data, size, piece, &now);
    if (open && connection.phase != HC_READY) open = HC_peerClosed(&connection) && HC_check(&connection, now);
    if (open && connection.phase == HC_READY) answer(&connection, now);
    HC_close(&connection);
    check(HC_memoryInUse() == 0);
    return 0;
}
