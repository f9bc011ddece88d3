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
#define AUTH_TEXT_SIZE 128       // "NAME:PASSWORD" of one account, at most 127 characters
#define AUTH_THROTTLE_CLIENTS 32 // client addresses whose wrong credentials are counted

// Reads the file from the program's directory (server thread, at its start).
// Answers 1 when credentials are in force.
int AUTH_load();
// 1 when the request may go on (write: it changes something); otherwise the
// 401 reply is written and the answer is 0. Wrong credentials are counted per
// client address: after 5 in a row the address waits 1 s, twice as long after
// each further one (at most 60 s), and meanwhile every request of it that
// needs credentials is answered 429 at once; right ones end the count.
int AUTH_check(HttpContext *c, int write);
// 1 when the credentials file was found.
int AUTH_inForce();
// Back to no credentials and no throttled clients.
void AUTH_reset();
