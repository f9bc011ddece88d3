// Runs the panel's TEQ reader for the tool.
#include "teq_runtime.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "app/startup.h"
#include "runtime/settings.h"
#include "comm/target_link.h"
#include "data/process_points.h"
#include "runtime/log.h"
#include "runtime/ramdisk.h"
#include "runtime/str_util.h"
#include "view/object_table.h"
#include "view/teq_reader.h"

namespace teqc {

namespace {

const char *kRamName = "teqc.teq";

char logName[] = "/tmp/teqc-log-XXXXXX";

const char *logPath()
{
    static bool made = false;
    if (!made) {
        int fd = mkstemp(logName);
        if (fd >= 0) close(fd);
        made = true;
    }
    return logName;
}

void prepare(size_t size)
{
    static bool ready = false;
    if (!ready) {
        initSettings();
        attachLayers();
        pterm.debug_level = 1;
        uint32_t neededKb = static_cast<uint32_t>(size / 1024 * 2 + 64);
        if (neededKb > RA_getDefaultRAMDiskSizeKB()) pterm.mem_ramdisk_kb = neededKb;
        std::atexit([] { std::remove(logPath()); });
        ready = true;
    }
    safe_strncpy(pterm.log_file, logPath(), sizeof pterm.log_file);
    log_closeFile();
    std::fclose(std::fopen(logPath(), "w"));
    OB_DeleteAllObjetcs();
    PPO_destroyList();
}

std::string takeLog()
{
    log_closeFile();
    std::ifstream in(logPath(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

ReaderResult runReader(const std::string &bytes)
{
    prepare(bytes.size());
    ReaderResult result{false, 0, 0, 0, ""};
    int out = RA_fileOpen(kRamName, "w");
    int size = static_cast<int>(bytes.size());
    if (out < 0 || RA_fileWrite(bytes.data(), 1, size, out) != size) {
        if (out >= 0) RA_fileClose(out);
        result.messages = "teqc: the file does not fit into the RAM disk\n";
        return result;
    }
    RA_fileClose(out);
    int file = Tarsel_fileOpen(kRamName, "r");
    result.accepted = teqFileReader(file) == 0;
    size_t remaining = 0;
    while (Tarsel_fileGetc(file) >= 0) remaining++;
    Tarsel_fileClose(file);
    RA_fileDelete(kRamName);
    result.offset = bytes.size() - remaining;
    result.objects = OB_HowManyObjetcs();
    result.dropped = OB_getOverflowCount();
    result.messages = takeLog();
    return result;
}

} // namespace teqc
