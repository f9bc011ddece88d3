// Embedded HTTP server: the thread that serves the panel's files and values.
#pragma once

// Thread entry; arg points to the port number.
void *start_eweb_task(void *arg);
// Asks the server to stop.
void SRVC_Shutdown();
