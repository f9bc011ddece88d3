// Texts of the requests to the target: encoding of names and values, the
// common header lines, the diagnostic URL line. No state.
#include "transport/url_coding.h"

#include <cstdio>
#include <cstring>

#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "transport/http_internal.h"
#include "transport/target_address.h"

namespace {

const char kHexDigits[] = "0123456789abcdef";

bool escapes(unsigned char c, SrvrCoding coding, bool special)
{
    if (SRVR_isControl(c)) return true;
    if (coding == SrvrCoding::Plain || !special) return false;
    return c == '%' || c == ' ' || c == '/' || c == '\\' || c == '=' || (c == '+' && coding == SrvrCoding::Page);
}

} // namespace

void SRVR_appendBytes(SrvrText &b, const char *text, size_t n)
{
    if (b.overflow || n >= b.capacity - b.length) {
        b.overflow = true;
        return;
    }
    std::memcpy(b.data + b.length, text, n);
    b.length += n;
    b.data[b.length] = '\0';
}

void SRVR_appendText(SrvrText &b, const char *text) { SRVR_appendBytes(b, text, std::strlen(text)); }

bool SRVR_isControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

void SRVR_appendCoded(SrvrText &b, const char *text, SrvrCoding coding)
{
    bool special = coding != SrvrCoding::Plain && SRVR_isSpecialCharEncoding();
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; p++) {
        if (escapes(*p, coding, special)) {
            char code[3] = {'%', kHexDigits[*p >> 4], kHexDigits[*p & 15]};
            SRVR_appendBytes(b, code, 3);
        } else if (*p == ' ' && coding != SrvrCoding::Plain) {
            SRVR_appendBytes(b, "+", 1);
        } else {
            SRVR_appendBytes(b, reinterpret_cast<const char *>(p), 1);
        }
    }
}

void SRVR_appendCommonHttpHeadersKeepAlive(SrvrText &b, bool keepAlive)
{
    SRVR_appendText(b, "User-Agent: Tarselkit/1.0 (Brasko-Werke GmbH)\r\n");
    const char *cookie = SRVR_getPortalCookie();
    if (cookie[0]) {
        SRVR_appendText(b, "Cookie: Session-ID=");
        SRVR_appendText(b, cookie);
        SRVR_appendText(b, "\r\n");
    }
    if (const char *host = getHostName()) {
        SRVR_appendText(b, "Host: ");
        SRVR_appendText(b, host);
        SRVR_appendText(b, "\r\n");
    }
    if (keepAlive) SRVR_appendText(b, "Connection: keep-alive\r\n");
}

int SRVR_isSpecialCharEncoding()
{
    char value[256] = "";
    return HK_hooks()->readPageParameter("encodeSpecialChar", value) && stringicmp(value, "on");
}

size_t SRVR_orderEncodedLength(const char *text)
{
    if (!text) return 0;
    bool special = SRVR_isSpecialCharEncoding();
    size_t length = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; p++)
        length += escapes(*p, SrvrCoding::Order, special) ? 3 : 1;
    return length;
}

int URL_encode(char *text, size_t size)
{
    if (!text || size == 0) return 0;
    bool special = SRVR_isSpecialCharEncoding();
    size_t length = std::strlen(text), growth = 0;
    for (size_t i = 0; i < length; i++)
        if (escapes(static_cast<unsigned char>(text[i]), SrvrCoding::Page, special)) growth += 2;
    if (length + growth + 1 > size) return 0;
    size_t out = length + growth;
    text[out] = '\0';
    for (size_t i = length; i-- > 0;) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (escapes(c, SrvrCoding::Page, special)) {
            text[--out] = kHexDigits[c & 15];
            text[--out] = kHexDigits[c >> 4];
            text[--out] = '%';
        } else {
            text[--out] = c == ' ' ? '+' : static_cast<char>(c);
        }
    }
    return 1;
}

void SRV_printURL(uint32_t address, int port, const char *request)
{
    char line[600], dotted[20];
    SRVR_dottedAddress(address, dotted, sizeof dotted);
    int n = std::snprintf(line, sizeof line, "http://%s", dotted);
    if (port != 80)
        n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), ":%u", static_cast<unsigned>(port));
    const char *start = request ? std::strchr(request, ' ') : nullptr;
    if (start) {
        start++;
        size_t length = std::strcspn(start, " \r\n");
        size_t room = sizeof line - static_cast<size_t>(n) - 2;
        if (length > room) length = room;
        std::memcpy(line + n, start, length);
        n += static_cast<int>(length);
    }
    line[n++] = '\n';
    line[n] = '\0';
    log_append(pterm.debug_level >= 3, "%s", line);
}
