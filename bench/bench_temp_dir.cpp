#include "bench_temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

// Made before anything that uses its directories, so ended after them.
struct MadeDirs {
    std::vector<std::string> paths;
    ~MadeDirs()
    {
        std::error_code ignored;
        for (const std::string &p : paths) std::filesystem::remove_all(p, ignored);
    }
};

MadeDirs &madeDirs()
{
    static MadeDirs dirs;
    return dirs;
}

} // namespace

std::string benchTempDir(const char *name)
{
    MadeDirs &dirs = madeDirs();
    std::string pattern = std::string("/tmp/panterm-bench-") + name + "-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    dirs.paths.push_back(pattern);
    return pattern;
}
