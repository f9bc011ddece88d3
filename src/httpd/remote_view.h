// Remote view of the panel in a browser, under "/_panel/": a page that shows
// the live screen (PNG frames, fetched again while the page is open) and sends
// presses and keys back to the panel's own input handlers. The setting
// remote_view switches it: 0 (the default) none of its paths exist, 1 the
// screen only, 2 the screen and input. Input always needs an account of the
// credentials file (none: 403) and then the screen needs one too.
#pragma once

struct HttpContext;

#define RV_SCREEN 1
#define RV_INPUT 2
// The content type of presses and keys (a form cannot send it).
#define RV_INPUT_TYPE "application/x-panterm-input"

// 1 for a path of the remote view.
int RV_isPath(const char *path);
// Answers a request of the remote view (GET, HEAD or POST; a POST's body
// starts at the input position); 0 for an unknown path of the view.
int RV_handle(HttpContext *c, const char *path);
// The key value of a browser key name ("Enter", "ArrowUp", "F1", or one
// character in UTF-8); 0 when unknown.
int RV_keyOf(const char *name);
