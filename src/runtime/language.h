// Language table: the translated texts of the page, loaded from a CSV file.
#pragma once

// Loads the language table of a file: 0 on success, -1 when it cannot be read.
int LR_parseCsvFile(const char *name);
