// Value formats: the page's text-conversion table (TCR) of process-point
// symbols, their formatted names and display formats.
#pragma once

struct TCR_Entry;

// The entry of a symbol, null when the page has none.
TCR_Entry *TCR_getTcrPointerWithSymbol(const char *symbol);
const char *TCR_getFormatedName(const TCR_Entry *entry);
