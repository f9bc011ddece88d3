// Remote view of the panel in a browser, under "/_panel/": a page that shows
// the live screen (PNG frames, fetched again while the page is open) and sends
// presses and keys back to the panel's own input handlers.
#pragma once

struct HttpContext;

// 1 for a path of the remote view.
int RV_isPath(const char *path);
// Answers a request of the remote view (GET, HEAD or POST; a POST's body
// starts at the input position); 0 for an unknown path of the view.
int RV_handle(HttpContext *c, const char *path);
// The key value of a browser key name ("Enter", "ArrowUp", "F1", or one
// character in UTF-8); 0 when unknown.
int RV_keyOf(const char *name);
