// Requests to the embedded server without sockets: the request text is the
// input (its first part already received, the rest handed out by the reader
// on demand) and every byte sent is collected.
#pragma once
#include <string>

#include "test_support.h"

class HttpTest : public TempDirTest {
protected:
    void SetUp() override;
    // The whole answer to one request; chunk is how many bytes each receive
    // hands out after the first part (the request line and what fits).
    std::string request(const std::string &text, int chunk = 1460);
    std::string get(const std::string &target) { return request("GET " + target + " HTTP/1.1\r\nHost: x\r\n\r\n"); }
    std::string post(const std::string &target, const std::string &body, const std::string &headers = "");
    // The body of an answer (after the empty line).
    static std::string body(const std::string &answer);
    static std::string statusLine(const std::string &answer);
    // Makes dir (relative to the test directory, or absolute) the page
    // directory, creating it.
    void setDocumentBase(const std::string &dir);
    // The client address the next requests come from (empty: unknown).
    std::string clientAddress;
    // Bytes of a request received before it is taken (0: all that fit).
    size_t firstPart = 0;
};
