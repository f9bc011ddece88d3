// Which files the embedded server hands out: files of the RAM disk, and files
// on disk below the page directory when one is set and it is neither the
// program's nor its state directory (an empty page directory serves the RAM
// disk only). The panel's own files (settings, log, persistent containers,
// credentials, network configuration) are never handed out under any name,
// case or path form, and no symbolic link leads out of the page directory.
#pragma once

// "a//./b" as "a/b": empty and "." steps dropped, into dst of size bytes.
void SF_normalName(const char *name, char *dst, int size);
// 1 when the last step of name is, in any case, the name of one of the
// panel's own files, or ends in ".auth".
int SF_isPanelFileName(const char *name);
// Opens a decoded file name for a client: the RAM disk first, else (unless
// ramOnly) the file under the page directory as above. The handle, or -1.
int SF_open(const char *name, int ramOnly);
