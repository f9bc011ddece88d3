// Portal login of the HTTP client: obtains the portal cookie that the common
// header lines then carry.
#pragma once

#define SRVR_COOKIE_LENGTH 13

// Portal login: answers 1 when a portal cookie was obtained.
int VpiLogin(const char *hostText);
// Forgets the portal cookie.
void SRVR_resetLogin();
