// String utilities shared by every module: name comparison, bounded copies,
// token search and URL coding. Pure functions over caller-owned buffers.
#pragma once
#include <cstddef>

// Comparisons answer 1 when equal (or when the prefix matches), else 0; a null
// string never matches.
int stringcmp(const char *a, const char *b);
int stringicmp(const char *a, const char *b);
int stringncmp(const char *a, const char *b, size_t n);
int stringnicmp(const char *a, const char *b, size_t n);
int prefixcmp(const char *text, const char *prefix);
int prefixicmp(const char *text, const char *prefix);
int str_endsWith(const char *text, const char *suffix);
int str_endsWithIgnoreCase(const char *text, const char *suffix);

// Removes leading and trailing white space in place; returns text.
char *str_trim(char *text);
// Parses a whole decimal integer (blanks around it allowed) into *value.
// Answers 1 on success; 0 for empty text, stray characters or overflow.
int str_parseInt(const char *text, int *value);
// Copies at most size - 1 characters and always terminates (size 0: nothing).
char *safe_strncpy(char *dst, const char *src, size_t size);

// Index just past the first match of token in text, -1 when there is none.
// After a mismatch the token restarts at the next character; the mismatching
// character is not tried again as the token's first character.
int moveToToken(const char *text, const char *token);

// Decodes "+" and "%xx" in place; malformed escapes are kept as they stand.
void URL_decode(char *text);
// Replaces every blank by "+" in place.
void URL_encode(char *text);
// Replaces every occurrence of ch by "%xx" (lower-case hex) in place, within a
// buffer of size bytes. Answers 1, or 0 when the result would not fit (the
// text is then left unchanged).
int URL_encodeChar(char *text, size_t size, char ch);
