// Requests of the embedded HTTP server: the request context, the tokenizer
// over the received bytes, the output calls and fixed replies, file sending
// with its content types, and the dispatch of GET, HEAD and POST on the path.
// Used by the one server thread (and by tests, which give the context their
// own reader and writer).
#pragma once
#include <cstdint>

#define HTTP_BUFFER_SIZE 2920 // input and output buffers
#define HTTP_NAME_SIZE 64     // file and variable names: at most 63 characters
#define HTTP_VALUE_SIZE 4096  // value texts: at most 4095 characters
#define HTTP_METHOD_GET 1
#define HTTP_METHOD_POST 2
#define HTTP_METHOD_HEAD 3

struct HttpContext;
// Receives more input into in + inCount, at most inSize - inCount bytes, and
// raises inCount; answers the bytes added, 0 at the end (closed, time-out, full).
typedef int (*HttpReadFn)(HttpContext *c);
// Sends size bytes; answers the bytes sent, or a negative number on failure.
typedef int (*HttpWriteFn)(HttpContext *c, const char *data, int size);

struct HttpContext {
    int method;         // 0 unknown, HTTP_METHOD_...
    int lineEnd;        // index of the first line feed
    int headerLength;   // offset of the body
    long contentLength; // -1 when absent
    char contentType[64];
    char cookie[128];
    char soapAction[128];
    int expect;
    char authorization[256]; // the credentials of an "Authorization:" line
    char clientAddress[64];  // the client's IP address as text, empty when unknown
    HttpReadFn read;
    HttpWriteFn write;
    int writeError;
    int inCount;
    char *in; // inSize bytes plus room for a terminating NUL
    int inSize;
    char *out;
    int outSize;
    int inPos;
    int outCount;
    int pushedChar;
    int hasPushed;
    int status;  // 1 while the request is sound
    int noCache; // the next header block gets the cache-defeating lines
    char token[HTTP_BUFFER_SIZE];
    char path[HTTP_BUFFER_SIZE];
    char fileName[HTTP_NAME_SIZE];
    char varName[HTTP_NAME_SIZE];
    char work[HTTP_NAME_SIZE];
    char value[HTTP_VALUE_SIZE];
    void *connection; // the reader's and writer's own data
};

// Connections accepted since the server started.
extern uint32_t HitCounter;

// Sets up a cleared context over an input of inCount received bytes.
void http_initContext(HttpContext *c, char *in, int inCount, int inSize, char *out, int outSize, HttpReadFn read,
                      HttpWriteFn write, void *connection);
// Parses and answers the request; answers the bytes left in the output buffer.
int http_processRequest(HttpContext *c);
// Sends what the output buffer holds.
void http_flush(HttpContext *c);

// Tokenizer.
int http_getCharacter(HttpContext *c); // next byte, -1 at the end
void http_ungetChar(HttpContext *c, int ch);
// The next symbol into c->token (empty at the end of the request).
const char *getNextSymbol(HttpContext *c);
// The text up to the next blank into dst; with plusToBlank each "+" becomes a
// blank. Longer than size - 1: dst is empty. Answers dst.
char *getValueToken(HttpContext *c, char *dst, int size, int plusToBlank);
// 1 when the next symbol is "HTTP/1.0" or "HTTP/1.1".
int http_readVersion(HttpContext *c);
// Reads the header lines (POST: receiving until the empty line) into the
// context; sets headerLength.
void readHTTPHeader(HttpContext *c, int receive);
// Percent-decodes in place; a text shorter than 3 characters stays. Answers 0
// when an escape would give a NUL byte.
int http_percentDecode(char *text);

// Output.
void http_writeChar(HttpContext *c, int ch);
void http_writeBytes(HttpContext *c, const void *data, int size);
void http_writeString(HttpContext *c, const char *text);
void http_writeln(HttpContext *c, const char *text);
void http_writeCommonHTTPHeaders(HttpContext *c);
void http_writeContentType(HttpContext *c, const char *extension);
void http_writeContentLength(HttpContext *c, long length);
void writeHTTPHeader4HtmlContent(HttpContext *c);

// Replies.
void Done(HttpContext *c);
void ReportError(HttpContext *c, const char *text);
void GetSrvInfo(HttpContext *c);
void Continue(HttpContext *c);
// 200 with a text/plain body of length bytes, with the no-cache lines.
void http_replyText(HttpContext *c, const char *body, int length);
// Sends a file of the RAM disk or of the page directory; 0 when it cannot be
// opened or the name leaves the page directory. ramOnly: the RAM disk only.
int sendFile(HttpContext *c, const char *name, int ramOnly);
// The page directory for files on disk (ends in "/" or is empty).
void http_documentBase(char *dst, int size);
// 1 when a decoded file name stays inside the page directory: not absolute, no
// backslash, no ".." step, no control character.
int http_isSafeFileName(const char *name);
