#include "netns_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "process_runner.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace netns {
namespace {

const char kParentNet[] = "PANTERM_PARENT_NETNS";
const char kStandIns[] = "PANTERM_STANDINS";

std::string findTool(const char *name)
{
    for (const char *dir : {"/usr/bin/", "/bin/", "/usr/sbin/", "/sbin/"}) {
        std::string path = std::string(dir) + name;
        if (access(path.c_str(), X_OK) == 0) return path;
    }
    return "";
}

std::string netOf(const char *process)
{
    char link[256];
    ssize_t n = readlink((std::string("/proc/") + process + "/ns/net").c_str(), link, sizeof link - 1);
    return n > 0 ? std::string(link, static_cast<size_t>(n)) : "";
}

std::string standIn(const std::string &name, const std::string &log)
{
    return "#!/bin/sh\nline=" + name + "\nfor a in \"$@\"; do line=\"$line [$a]\"; done\necho \"$line\" >> '" + log +
           "'\n";
}

} // namespace

void writeStandIns(const std::string &dir)
{
    fs::create_directories(dir + "/bin");
    for (const char *name : {"ifconfig", "route"}) {
        std::string path = dir + "/bin/" + name;
        writeFile(path, standIn(name, dir + "/commands.txt"));
        fs::permissions(path, fs::perms::owner_all);
    }
}

std::string commands(const std::string &dir)
{
    return fileExists(dir + "/commands.txt") ? readFile(dir + "/commands.txt") : "";
}

Wrapped wrap(const std::string &dir, const std::string &program, const std::vector<std::string> &args)
{
    Wrapped w;
    std::string unshare = findTool("unshare"), ip = findTool("ip");
    if (unshare.empty()) w.missing = "unshare (util-linux)";
    else if (ip.empty()) w.missing = "ip (iproute2)";
    if (!w.missing.empty()) return w;
    std::string setup = ip + " link add eth0 type veth peer name eth1 && " + ip + " addr add 10.0.0.5/24 dev eth0 && " +
                        ip + " link set eth0 up && " + ip + " link set eth1 up && " + ip +
                        " route add default via 10.0.0.1 && exec \"$@\"";
    w.program = unshare;
    // Root has the network rights already; a user namespace (-r) is refused to
    // root in a chroot or container, where -n alone works.
    w.args = {geteuid() == 0 ? "-n" : "-rn", "/bin/sh", "-c", setup, "sh", program};
    w.args.insert(w.args.end(), args.begin(), args.end());
    const char *path = std::getenv("PATH");
    w.env = {{"PATH", dir + "/bin:" + (path ? path : "/usr/bin:/bin")}, {kParentNet, netOf("self")}, {kStandIns, dir}};
    return w;
}

void runCasesInOwnNetwork(const std::string &dir, const std::string &filter)
{
    writeStandIns(dir);
    std::string self = fs::read_symlink("/proc/self/exe").string();
    Wrapped w = wrap(dir, self, {"--gtest_also_run_disabled_tests", "--gtest_filter=" + filter});
    ASSERT_TRUE(w.missing.empty()) << w.missing
                                   << " is missing: the cases that run the adapter commands need a network "
                                      "namespace of their own and do not run without one";
    ChildProcess child(w.program, w.args, dir, w.env);
    int status = child.wait(60000);
    std::string out = child.output();
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("[       OK ]"), std::string::npos) << "no case ran\n" << out;
}

bool inOwnNetwork()
{
    const char *parent = std::getenv(kParentNet);
    std::string own = netOf("self");
    return parent && parent[0] && !own.empty() && own != parent;
}

std::string standInDir()
{
    const char *dir = std::getenv(kStandIns);
    return dir ? dir : "";
}

} // namespace netns
