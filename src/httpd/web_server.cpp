// Embedded HTTP server. Not available in this build: the thread ends at once,
// as a server that could not start does, and clears httpd_enabled.
#include "httpd/web_server.h"

#include <cstdio>

#include "runtime/settings.h"
#include "runtime/log.h"

void *start_eweb_task(void *)
{
    log_append(0, "The embedded web server is not available in this build.\n", nullptr);
    std::fprintf(stderr, "SRV exit !\n");
    pterm.httpd_enabled = 0;
    return nullptr;
}

void SRVC_Shutdown() {}
