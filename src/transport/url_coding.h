// Texts of the requests to the target: URL encoding of names and values, the
// common header lines and the diagnostic URL line. No state of its own; reads
// the page parameter "encodeSpecialChar" through the hooks.
#pragma once
#include <cstddef>
#include <cstdint>

// Encodes text in place for a request to the target, within a buffer of size
// bytes. With the page parameter "encodeSpecialChar" "on", the percent sign,
// the blank, the plus sign, the slash, the backslash and the equals sign
// become "%xx"; otherwise blanks become "+". Control characters always become
// "%xx". Answers 1, or 0 when the result would not fit (text unchanged).
int URL_encode(char *text, size_t size);
// 1 when the page asks for percent-encoded request texts.
int SRVR_isSpecialCharEncoding();
// Length of a text of an order string once encoded for the request.
size_t SRVR_orderEncodedLength(const char *text);
// Writes "http://address[:port]/path" of a request line to the log.
void SRV_printURL(uint32_t address, int port, const char *request);
