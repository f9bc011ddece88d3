#include "http_fixture.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "data/value_store.h"
#include "httpd/http_request.h"
#include "runtime/str_util.h"
#include "view/view_manager.h"

namespace {

struct Exchange {
    std::string input;
    size_t fed = 0;
    int chunk = 0;
    std::string output;
};

int readMore(HttpContext *c)
{
    auto *x = static_cast<Exchange *>(c->connection);
    size_t room = static_cast<size_t>(c->inSize - c->inCount);
    size_t n = std::min({room, x->input.size() - x->fed, static_cast<size_t>(x->chunk)});
    std::memcpy(c->in + c->inCount, x->input.data() + x->fed, n);
    c->inCount += static_cast<int>(n);
    x->fed += n;
    return static_cast<int>(n);
}

int writeOut(HttpContext *c, const char *data, int size)
{
    static_cast<Exchange *>(c->connection)->output.append(data, static_cast<size_t>(size));
    return size;
}

HttpContext context;
char in[HTTP_BUFFER_SIZE + 1];
char out[HTTP_BUFFER_SIZE];

} // namespace

void HttpTest::SetUp()
{
    TempDirTest::SetUp();
    DS_Initialize();
    DS_exchangeWithPanel();
}

std::string HttpTest::request(const std::string &text, int chunk)
{
    Exchange x{text, 0, chunk, ""};
    // as the server hands it over: what arrived before it was taken
    size_t first = std::min(text.size(), static_cast<size_t>(HTTP_BUFFER_SIZE));
    if (firstPart > 0) first = std::min(first, firstPart);
    std::memcpy(in, text.data(), first);
    x.fed = first;
    http_initContext(&context, in, static_cast<int>(first), HTTP_BUFFER_SIZE, out, HTTP_BUFFER_SIZE, readMore, writeOut,
                     &x);
    safe_strncpy(context.clientAddress, clientAddress.c_str(), sizeof context.clientAddress);
    http_processRequest(&context);
    http_flush(&context);
    return x.output;
}

std::string HttpTest::post(const std::string &target, const std::string &body, const std::string &headers)
{
    return request("POST " + target + " HTTP/1.1\r\nHost: x\r\n" + headers +
                   "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
}

std::string HttpTest::body(const std::string &answer)
{
    size_t at = answer.find("\r\n\r\n");
    return at == std::string::npos ? "" : answer.substr(at + 4);
}

std::string HttpTest::statusLine(const std::string &answer) { return answer.substr(0, answer.find("\r\n")); }

void HttpTest::setDocumentBase(const std::string &dir)
{
    if (!dir.empty()) std::filesystem::create_directories(dir[0] == '/' ? dir : path(dir));
    VM_SetDocumentBase(dir.c_str());
    DS_exchangeWithPanel();
}
