// Runs byte-coded sequences of RAM-disk operations on a small store and checks
// every completed file against a model of what was written to it.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <unistd.h>

#include "fuzz_support.h"
#include "runtime/settings.h"
#include "runtime/ramdisk.h"

namespace {

struct Open {
    std::string name;
    bool writer;
    std::string data; // writer: bytes stored so far; reader: the file's content
    size_t readPos;
};

void check(bool ok)
{
    if (!ok) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzEnterTempDir("panterm-fuzz-ramdisk");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    initSettings();
    pterm.debug_level = 0;
    pterm.mem_ramdisk_kb = 2; // eight blocks: exhaustion is reachable
    std::map<std::string, std::string> files;
    std::map<int, Open> open;
    for (size_t i = 0; i + 1 < size; i += 2) {
        std::string name = "f" + std::to_string(data[i + 1] % 70);
        int op = data[i] % 8;
        int anyHandle = static_cast<int>(data[i + 1] % 40) - 4;
        if (op == 0 || op == 1) {
            bool writer = op == 0;
            int h = RA_fileOpen(name.c_str(), writer ? "w" : "r");
            if (h < 0) continue;
            check(h >= 16 && h < 32 && !open.count(h));
            if (writer) {
                for (auto &[k, o] : open) check(o.name != name);
                files[name] = "";
            } else {
                check(files.count(name) == 1);
            }
            open[h] = {name, writer, writer ? "" : files[name], 0};
        } else if (op == 2) {
            int r = RA_fileClose(anyHandle);
            check((r == 0) == (open.count(anyHandle) == 1));
            open.erase(anyHandle);
        } else if (op == 3 || op == 4) {
            int h = open.empty() ? anyHandle : std::next(open.begin(), data[i + 1] % open.size())->first;
            auto it = open.find(h);
            if (op == 3) {
                int r = RA_filePutc(data[i + 1], h);
                if (it == open.end() || !it->second.writer) check(r == -1);
                if (r >= 0) files[it->second.name] += static_cast<char>(r);
            } else {
                int c = RA_fileGetc(h);
                if (it == open.end() || it->second.writer) {
                    check(c == -1);
                } else {
                    Open &o = it->second;
                    check(o.readPos < o.data.size() ? c == static_cast<unsigned char>(o.data[o.readPos++]) : c == -1);
                }
            }
        } else if (op == 5) {
            int r = RA_fileDelete(name.c_str());
            if (r >= 0) files.erase(name);
            else
                check(files.count(name) == 0 || [&] {
                    for (auto &[k, o] : open)
                        if (o.name == name) return true;
                    return false;
                }());
        } else if (op == 6 && !open.empty()) {
            auto it = std::next(open.begin(), data[i + 1] % open.size());
            int pos = data[i + 1] % 600;
            RA_seek(it->first, pos);
            if (!it->second.writer) it->second.readPos = std::min<size_t>(pos, it->second.data.size());
        } else if (op == 7) {
            check(RA_fileSize(anyHandle) ==
                  (open.count(anyHandle) ? static_cast<int>(open[anyHandle].writer ? files[open[anyHandle].name].size()
                                                                                   : open[anyHandle].data.size())
                                         : (anyHandle < 0 ? 0 : -1)));
        }
    }
    for (auto &[h, o] : open) RA_fileClose(h);
    RA_releaseStore();
    return 0;
}
