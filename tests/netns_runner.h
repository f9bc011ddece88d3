// Runs programs in a network namespace of their own (unshare -n as root, else
// in a user namespace as well: unshare -rn), with an adapter "eth0" (one end
// of a veth pair: 10.0.0.5/24, default route via 10.0.0.1) and recording
// stand-ins of "ifconfig" and "route" first in PATH. Nothing they run reaches
// the host's network.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace netns {

// The command line and environment that run program in its own network.
struct Wrapped {
    std::string program;
    std::vector<std::string> args;
    std::map<std::string, std::string> env;
    std::string missing; // the tool that is not installed, else empty
};

// Writes the stand-ins into dir/bin; each call appends one line, its name and
// its arguments each in brackets ("route [del] [default]"), to dir/commands.txt.
void writeStandIns(const std::string &dir);
std::string commands(const std::string &dir);
Wrapped wrap(const std::string &dir, const std::string &program, const std::vector<std::string> &args);
// Runs the disabled cases of this test program that match filter so, with the
// stand-ins of dir; the calling test fails when unshare or ip is missing, when
// no case ran or when one failed.
void runCasesInOwnNetwork(const std::string &dir, const std::string &filter);
// In such a case: true when this process's network is not its parent's.
bool inOwnNetwork();
// In such a case: the directory of the stand-ins.
std::string standInDir();

} // namespace netns
