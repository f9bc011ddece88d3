// Page parameters: the name/value pairs of the current page's applet tag and
// the look-ups that turn a parameter name into its value.
#pragma once

// Copies the value of the named parameter into out (256 bytes) and answers 1;
// answers 0 when it is not found.
int HT_readHtmlParameter(const char *name, char *out);
