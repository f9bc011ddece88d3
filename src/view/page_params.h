// HTML page parameters: the applet parameters of the current page and the
// look-ups that turn a parameter name into its value.
#pragma once

// Value of a parameter into out (256 bytes): 1 when found; 0 with the name in
// out when not found; 0 with out unchanged before any page was read.
int HT_readParamName(const char *name, char *out);
// Pointer to a parameter's value (the name itself when not found); null before
// any page was read.
const char *HT_readValPtr(const char *name);
// Whether an address names an HTML page.
int HT_isHtmlFile(const char *address);
