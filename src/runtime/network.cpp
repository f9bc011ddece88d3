// Network block, probe and poll, address services, the adapter commands and
// the order file name.
#include "runtime/network.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "runtime/platform.h"
#include "runtime/log.h"
#include "runtime/str_util.h"

NetworkBlock net = {"", "127.0.0.1", "0.0.0.0", "", "", "", {}, {}, 0, 0, 0};
uint32_t net_itf;
int net_notify;

namespace {

constexpr int kPollEvery = 30;
int pollCount;
char orderFileName[32];

void addressText(const struct sockaddr *sa, char *dst)
{
    const auto *in = reinterpret_cast<const struct sockaddr_in *>(sa);
    uint32_t a = ntohl(in->sin_addr.s_addr);
    std::snprintf(dst, NET_TEXT_SIZE, "%u.%u.%u.%u", a >> 24, a >> 16 & 255, a >> 8 & 255, a & 255);
}

bool readMac(NetworkBlock *block)
{
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return false;
    struct ifreq req;
    std::memset(&req, 0, sizeof req);
    safe_strncpy(req.ifr_name, block->adapter, sizeof req.ifr_name);
    bool ok = ioctl(fd, SIOCGIFHWADDR, &req) == 0;
    close(fd);
    if (!ok) return false;
    const auto *b = reinterpret_cast<const unsigned char *>(req.ifr_hwaddr.sa_data);
    std::snprintf(block->macText, NET_TEXT_SIZE, "%02X:%02X:%02X:%02X:%02X:%02X", b[0], b[1], b[2], b[3], b[4], b[5]);
    std::memcpy(block->mac, b, 6);
    block->macCount = 6;
    return true;
}

// Finds the adapter's IPv4 address and mask; answers whether the adapter exists.
bool readAddress(NetworkBlock *block)
{
    struct ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool found = false, inet = false;
    for (struct ifaddrs *i = list; i; i = i->ifa_next) {
        if (!stringcmp(i->ifa_name, block->adapter)) continue;
        found = true;
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
        inet = true;
        char ip[NET_TEXT_SIZE];
        addressText(i->ifa_addr, ip);
        block->addressChanged = !stringcmp(ip, block->ip);
        safe_strncpy(block->ip, ip, NET_TEXT_SIZE);
        if (i->ifa_netmask) addressText(i->ifa_netmask, block->mask);
        break;
    }
    freeifaddrs(list);
    if (found && !inet) block->ip[0] = '\0';
    return found;
}

void readGateway(NetworkBlock *block)
{
    block->gateway[0] = '\0';
    char text[1025];
    if (!SYS_readFileHead("/proc/net/route", text, sizeof text)) return;
    Net_parseRouteGateway(text, block->adapter, block->gateway, NET_TEXT_SIZE);
}

void copyNetText(char *dst, const char *src)
{
    safe_strncpy(dst, src, NET_TEXT_SIZE);
    net_notify = 1;
}

// The words of a command as one line, for the log.
void commandLine(char *const argv[], char *dst, size_t size)
{
    safe_strncpy(dst, "", size);
    for (int i = 0; argv[i]; i++) {
        size_t used = std::strlen(dst);
        std::snprintf(dst + used, size - used, "%s%s", i ? " " : "", argv[i]);
    }
}

// Runs a program found through PATH with exactly these arguments (no shell
// sees them) and waits for it; a failure to start or a non-zero exit status
// goes to the log.
void runCommand(char *const argv[])
{
    char line[160];
    commandLine(argv, line, sizeof line);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv, environ) != 0) {
        log_append(0, "Command not started: %s\n", line);
        return;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) log_append(0, "Command failed: %s\n", line);
}

bool currentGateway(const char *adapter)
{
    NetworkBlock current;
    Net_presetBlock(&current);
    safe_strncpy(current.adapter, adapter, NET_TEXT_SIZE);
    readGateway(&current);
    return current.gateway[0] != '\0';
}

} // namespace

void Net_presetBlock(NetworkBlock *block)
{
    std::memset(block, 0, sizeof *block);
    safe_strncpy(block->ip, "127.0.0.1", NET_TEXT_SIZE);
    safe_strncpy(block->mask, "0.0.0.0", NET_TEXT_SIZE);
}

void Net_reset()
{
    Net_presetBlock(&net);
    net_itf = 0;
    net_notify = 0;
    pollCount = 0;
    orderFileName[0] = '\0';
}

int ReadNetworkParameters(NetworkBlock *block, uint32_t itf)
{
    std::snprintf(block->adapter, NET_TEXT_SIZE, "eth%u", itf);
    block->mask[0] = '\0';
    block->macText[0] = '\0';
    std::memset(block->mac, 0, sizeof block->mac);
    block->macCount = block->isDhcp = block->addressChanged = 0;
    bool found = readAddress(block);
    if (found) readMac(block);
    readGateway(block);
    if (!found) return -1;
    bool complete = Net_isValidAddress(block->ip) && Net_isValidAddress(block->mask) && block->macText[0];
    return complete ? 1 : 0;
}

void Net_logSettings(const NetworkBlock *block)
{
    log_append(0, "\nNetwork:\n", nullptr);
    log_append(0, "Adapter: %s\n", block->adapter);
    log_append(0, "MAC    : %s\n", block->macText);
    log_append(0, "IP     : %s\n", block->ip);
    log_append(0, "Subnet : %s\n", block->mask);
    log_append_int(0, "Is DHCP: %d\n\n", block->isDhcp);
}

void Net_entry()
{
    if (!net_notify && ++pollCount % kPollEvery != 0) return;
    ReadNetworkParameters(&net, net_itf);
    if (net.addressChanged) Net_logSettings(&net);
    net_notify = 0;
}

void Net_parseRouteGateway(const char *routeText, const char *adapter, char *dst, size_t size)
{
    safe_strncpy(dst, "", size);
    if (!routeText || !adapter) return;
    char text[1025];
    safe_strncpy(text, routeText, sizeof text);
    char *save = nullptr;
    for (char *tok = strtok_r(text, " \t\n", &save); tok; tok = strtok_r(nullptr, " \t\n", &save)) {
        if (!stringcmp(tok, adapter)) continue;
        char *destination = strtok_r(nullptr, " \t\n", &save);
        char *gateway = destination ? strtok_r(nullptr, " \t\n", &save) : nullptr;
        char *flags = gateway ? strtok_r(nullptr, " \t\n", &save) : nullptr;
        if (!flags) return;
        unsigned long gw = std::strtoul(gateway, nullptr, 16);
        long fl = std::strtol(flags, nullptr, 10);
        if (fl != 2 && gw != 0) {
            // The kernel prints the address in network byte order.
            std::snprintf(dst, size, "%lu.%lu.%lu.%lu", gw & 255, gw >> 8 & 255, gw >> 16 & 255, gw >> 24 & 255);
            return;
        }
    }
}

void SYS_GetIpAddress(char *dst) { copyNetText(dst, net.ip); }
void SYS_GetSubnet(char *dst) { copyNetText(dst, net.mask); }
void SYS_GetGateway(char *dst) { copyNetText(dst, net.gateway); }

int Net_isValidAddress(const char *text)
{
    if (!text) return 0;
    const char *p = text;
    for (int part = 0; part < 4; part++) {
        if (part > 0 && *p++ != '.') return 0;
        int digits = 0, value = 0;
        bool leadingZero = *p == '0' && p[1] >= '0' && p[1] <= '9';
        for (; *p >= '0' && *p <= '9' && digits < 4; p++, digits++) value = value * 10 + (*p - '0');
        // "010" would be octal to the system's tools: only plain decimal octets
        if (digits == 0 || digits > 3 || value > 255 || leadingZero) return 0;
    }
    return *p == '\0';
}

int linutil_applyEthernet(uint32_t itf, const char *ip, const char *mask, const char *gw)
{
    if (!Net_isValidAddress(ip)) return -2;
    if (!Net_isValidAddress(mask)) return -3;
    char adapter[16], address[NET_TEXT_SIZE], netmask[NET_TEXT_SIZE], gateway[NET_TEXT_SIZE];
    std::snprintf(adapter, sizeof adapter, "eth%u", itf);
    safe_strncpy(address, ip, sizeof address);
    safe_strncpy(netmask, mask, sizeof netmask);
    char ifconfig[] = "ifconfig", route[] = "route", netmaskWord[] = "netmask", up[] = "up", del[] = "del",
         add[] = "add", deflt[] = "default", devWord[] = "dev", gwWord[] = "gw";
    char *configure[] = {ifconfig, adapter, address, netmaskWord, netmask, up, nullptr};
    runCommand(configure);
    if (currentGateway(adapter)) {
        char *remove[] = {route, del, deflt, devWord, adapter, nullptr};
        runCommand(remove);
    }
    if (Net_isValidAddress(gw) && !stringcmp(gw, "0.0.0.0")) {
        safe_strncpy(gateway, gw, sizeof gateway);
        char *addRoute[] = {route, add, deflt, gwWord, gateway, devWord, adapter, nullptr};
        runCommand(addRoute);
    }
    return 0;
}

void host2ip(char *dst, size_t size, const char *host)
{
    safe_strncpy(dst, "", size);
    if (!host || !host[0]) return;
    char name[256];
    safe_strncpy(name, host, sizeof name);
    char *colon = std::strchr(name, ':');
    if (colon) *colon = '\0';
    char ip[NET_TEXT_SIZE];
    unsigned a, b, c, d;
    char rest;
    if (std::sscanf(name, "%u.%u.%u.%u%c", &a, &b, &c, &d, &rest) == 4 && a < 256 && b < 256 && c < 256 && d < 256) {
        std::snprintf(ip, sizeof ip, "%u.%u.%u.%u", a, b, c, d);
    } else {
        struct addrinfo hints, *found = nullptr;
        std::memset(&hints, 0, sizeof hints);
        hints.ai_family = AF_INET;
        if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found) return;
        addressText(found->ai_addr, ip);
        freeaddrinfo(found);
    }
    std::snprintf(dst, size, "%s%s%s", ip, colon ? ":" : "", colon ? colon + 1 : "");
}

const char *SYS_GetFixOrderFileName()
{
    if (orderFileName[0]) return orderFileName;
    unsigned a = 0, b = 0, c = 0, d = 0;
    std::sscanf(net.ip, "%u.%u.%u.%u", &a, &b, &c, &d);
    std::snprintf(orderFileName, sizeof orderFileName, "%3.3u%3.3u%3.3u%3.3u_%3.3d", a % 1000, b % 1000, c % 1000,
                  d % 1000, std::rand() % 1000);
    return orderFileName;
}
