#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "app/startup.h"
#include "runtime/platform.h"
#include "runtime/settings.h"
#include "runtime/log.h"
#include "runtime/str_util.h"

void TempDirTest::SetUp()
{
    char tmpl[] = "/tmp/panterm-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    oldCwd_ = std::filesystem::current_path().string();
    std::filesystem::current_path(dir_);
    resetLayers();
    attachLayers();
    safe_strncpy(AppPath, (dir_ + "/").c_str(), sizeof AppPath);
    safe_strncpy(pterm.log_file, "pterm.log", sizeof pterm.log_file);
}

void TempDirTest::TearDown()
{
    resetLayers();
    std::filesystem::current_path(oldCwd_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

void useHeadlessScreen(const char *size)
{
    setenv("PANTERM_DISPLAY", "headless", 1);
    if (size) setenv("PANTERM_SCREEN", size, 1);
    else unsetenv("PANTERM_SCREEN");
    unsetenv("PANTERM_SNAPSHOT");
    unsetenv("PANTERM_EVENTS");
}

std::string readFile(const std::string &path)
{
    log_flushFile();
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string &path, const std::string &content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
}

bool fileExists(const std::string &path) { return std::filesystem::exists(path); }
