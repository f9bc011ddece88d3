// CGI programs of the data server on the embedded HTTP server: reading and
// writing values, order lists and value files, the ILR answer and CGI page
// generation. The server side of the native and ILR protocols of the client.
#pragma once

struct HttpContext;

// Each answers the client and returns 1, or 0 for the syntax-error reply.
int CS_readValue(HttpContext *c, char *name);
int CS_writeValue(HttpContext *c, char *name, char *value);
// Reads the order list from the request line itself.
int CS_OrderValues(HttpContext *c);
int CS_ReadFile(HttpContext *c, const char *file);
// The body of a POST of "cgi-bin/ILRReadValues.exe", echoed with the values.
int ILR_ReadValues(HttpContext *c);
// A page of any other "cgi-bin/" path with its parameters (query or body).
int CGIGenerator(HttpContext *c, const char *path, char *parameters);

// The item recogniser of the ILR answer: feeds one character; *state 7 means
// an item name is complete in name (the caller sets the state back to 0), 999
// means the end of the request.
#define ILR_NAME_SIZE 64
void ILR_entry(int *state, char *name, int *length, int ch);
