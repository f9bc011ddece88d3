// HTML template engine of the data server: form arguments written into the
// value store, and pages whose value references and text input fields are
// filled from it.
#pragma once

struct HttpContext;

// Writes the NAME=VALUE pairs of a form ("&"-separated) into the store;
// pairs named "submit" are skipped.
void parseArguments(HttpContext *c, const char *parameters);
// Applies the form arguments, then sends the page named by the last component
// of name from the RAM disk or the page directory, with "%%NAME" references
// and the values of text input fields filled in.
void cgiSendHtmlFile(HttpContext *c, const char *name, const char *parameters);
