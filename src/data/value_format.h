// Value formatting: the page's text-conversion table (symbols, the names the
// target understands, display formats) and the conversion of values.
#pragma once

struct TcrEntry;

// The entry of a symbol, or null.
TcrEntry *TCR_getTcrPointerWithSymbol(const char *symbol);
// The name sent to the target for an entry.
const char *TCR_getFormatedName(const TcrEntry *entry);
// Rewrites a value (256 bytes) in place into its display form: 1 when formatted.
int TCR_readFormatedPPO(TcrEntry *entry, char *value);
// Formats a value (256 bytes) of the local data server in place, finding the
// entry by its formatted name: 1 when formatted.
int TCR_readFormatedPPOValue(const char *formattedName, char *value);
// Checks and converts an operator's input (256 bytes) in place into the
// target's form; *ok becomes 0 when the write must not happen.
void TCR_writeFormatedPPOValue(const char *formattedName, char *value, int *ok);
// Reads the page's text-conversion table: 0, or -1 when the file cannot be opened.
int TCR_parseTcrFile(const char *fileName);
// Empties the table (page change).
void TCR_reset();
// Whether an entry was rejected or corrected since the last call; clears it.
int TCR_isInvalidEntry();
