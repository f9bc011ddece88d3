// Optional credentials of the embedded server. When the file
// "pterm-httpd.auth" stands beside the program, every request that writes
// (values, order lists, deletions, uploads, form submissions, remote presses
// and keys) needs HTTP Basic credentials of one of its accounts; with the line
// "reads=protected" every other request needs them too. Without the file the
// server is open. File format (docs/architecture.md, README): one account per
// line as NAME:PASSWORD; blank lines and lines starting with "#" are comments.
#pragma once

struct HttpContext;

#define AUTH_FILE_NAME "pterm-httpd.auth"
#define AUTH_MAX_ACCOUNTS 8
#define AUTH_TEXT_SIZE 128 // "NAME:PASSWORD" of one account, at most 127 characters

// Reads the file from the program's directory (server thread, at its start).
// Answers 1 when credentials are in force.
int AUTH_load();
// 1 when the request may go on (write: it changes something); otherwise the
// 401 reply is written and the answer is 0.
int AUTH_check(HttpContext *c, int write);
// Back to no credentials.
void AUTH_reset();
