// The program version, one text for the panel and its tools (the panel's log,
// its server's replies and every program's --version).
#pragma once

#define SYS_VERSION_TEXT "1.5.12.097d"
