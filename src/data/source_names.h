// Source-name grammar: references to HTML parameters, containers and process
// points embedded in a source name, replaced by their values before use.
#pragma once

// Each answers the input pointer itself when nothing was replaced.
const char *resolveInfoName(const char *name);
const char *resolvePPO(const char *name);
