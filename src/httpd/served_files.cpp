// Files the embedded server hands out. No state of its own: it reads the
// settings (the names of the panel's own files), the program's directory and
// the page directory's copy, and opens through the RAM disk.
#include "httpd/served_files.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "data/persistent_containers.h"
#include "data/value_store.h"
#include "httpd/credentials.h"
#include "httpd/http_request.h"
#include "runtime/platform.h"
#include "runtime/ramdisk.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"

namespace {

const char *lastComponent(const char *name)
{
    const char *slash = std::strrchr(name, '/');
    return slash ? slash + 1 : name;
}

// The persistent containers' file while it is being saved.
constexpr char kPcoSavingName[] = PCO_FILE_NAME ".tmp";

// The panel's own files, as named in the program's directory.
int panelFileNames(const char **names, int size)
{
    const char *all[] = {SETTINGS_FILE_NAME, PCO_FILE_NAME,  kPcoSavingName,
                         AUTH_FILE_NAME,     pterm.log_file, pterm.config_file};
    int n = 0;
    for (const char *name : all)
        if (name[0] && n < size) names[n++] = name;
    return n;
}

// The real path of a directory or file into dst (PATH_MAX bytes); false when
// it does not exist.
bool realPath(const char *path, char *dst) { return realpath(path[0] ? path : ".", dst) != nullptr; }

// The program's own directories: where it keeps its state (AppPath, else the
// working directory) and where its file stands.
int ownDirectories(char dirs[2][PATH_MAX])
{
    int n = realPath(AppPath, dirs[0]) ? 1 : 0;
    char program[PATH_MAX];
    if (realPath("/proc/self/exe", program)) {
        char *slash = std::strrchr(program, '/');
        if (slash) *slash = '\0';
        safe_strncpy(dirs[n++], slash == program ? "/" : program, PATH_MAX);
    }
    return n;
}

bool isOwnDirectory(const char *dir)
{
    char own[2][PATH_MAX];
    int n = ownDirectories(own);
    for (int i = 0; i < n; i++)
        if (stringcmp(dir, own[i])) return true;
    return false;
}

// The same file as one of the panel's own (a hard link, another name).
bool isPanelFileOnDisk(const struct stat &file)
{
    const char *names[8];
    int n = panelFileNames(names, 8);
    for (int i = 0; i < n; i++) {
        char path[SYS_PATH_SIZE * 2];
        std::snprintf(path, sizeof path, "%s%s", names[i][0] == '/' ? "" : AppPath, names[i]);
        struct stat own;
        if (stat(path, &own) == 0 && own.st_dev == file.st_dev && own.st_ino == file.st_ino) return true;
    }
    return false;
}

// The served directory (real path), when one may be served: a page directory
// is set and it is none of the program's own.
bool servedDirectory(char *dst)
{
    char base[SYS_PATH_SIZE + DS_BASE_SIZE];
    char page[DS_BASE_SIZE];
    DS_panelDocumentBase(page, sizeof page);
    if (!page[0]) return false;
    http_documentBase(base, sizeof base);
    return realPath(base, dst) && !isOwnDirectory(dst);
}

// The file on disk: its real path must stay below the served directory, not
// in one of the program's own directories, and be no file of the panel.
int openOnDisk(const char *name)
{
    char root[PATH_MAX], wanted[PATH_MAX + SYS_PATH_SIZE], file[PATH_MAX];
    if (!servedDirectory(root)) return -1;
    std::snprintf(wanted, sizeof wanted, "%s/%s", root, name);
    if (!realPath(wanted, file)) return -1;
    size_t rootLength = std::strlen(root);
    bool inside = std::strncmp(file, root, rootLength) == 0 && (file[rootLength] == '/' || stringcmp(root, "/"));
    if (!inside) return -1;
    char dir[PATH_MAX];
    safe_strncpy(dir, file, sizeof dir);
    char *slash = std::strrchr(dir, '/');
    if (slash) slash[slash == dir ? 1 : 0] = '\0';
    struct stat info;
    if (isOwnDirectory(dir) || stat(file, &info) != 0 || !S_ISREG(info.st_mode) || isPanelFileOnDisk(info)) return -1;
    if (SF_isPanelFileName(lastComponent(file))) return -1;
    int handle = RA_fileOpenIn(file, "r", "");
    if (handle >= RA_HANDLE_BASE) { // a RAM-disk file of that very name: not this one
        RA_fileClose(handle);
        return -1;
    }
    return handle;
}

} // namespace

void SF_normalName(const char *name, char *dst, int size)
{
    int n = 0;
    dst[0] = '\0';
    for (const char *p = name; *p;) {
        size_t length = std::strcspn(p, "/");
        bool skip = length == 0 || (length == 1 && p[0] == '.');
        if (!skip) {
            if (n > 0 && n < size - 1) dst[n++] = '/';
            for (size_t i = 0; i < length && n < size - 1; i++) dst[n++] = p[i];
            dst[n] = '\0';
        }
        p += length;
        if (*p == '/') p++;
    }
}

int SF_isPanelFileName(const char *name)
{
    const char *last = lastComponent(name);
    const char *names[8];
    int n = panelFileNames(names, 8);
    for (int i = 0; i < n; i++)
        if (stringicmp(last, lastComponent(names[i]))) return 1;
    return str_endsWithIgnoreCase(last, ".auth") ? 1 : 0;
}

int SF_open(const char *requested, int ramOnly)
{
    char name[HTTP_BUFFER_SIZE];
    SF_normalName(requested, name, sizeof name);
    if (!http_isSafeFileName(name) || SF_isPanelFileName(name)) return -1;
    if (RA_fileExists(name)) {
        int handle = RA_fileOpenIn(name, "r", "/nonexistent/");
        if (handle >= RA_HANDLE_BASE) return handle;
        if (handle >= 0) RA_fileClose(handle);
        return -1;
    }
    return ramOnly ? -1 : openOnDisk(name);
}
