// Network block of the Ethernet adapter: its probe through the kernel's
// interfaces and the routing table, the periodic poll, address services, the
// adapter reconfiguration, host name resolution and the panel's order file
// name (its identity on the target). Logs through the log.
#pragma once
#include <cstddef>
#include <cstdint>

#define NET_TEXT_SIZE 30

struct NetworkBlock {
    char adapter[NET_TEXT_SIZE];
    char ip[NET_TEXT_SIZE];
    char mask[NET_TEXT_SIZE];
    char gateway[NET_TEXT_SIZE];
    char reserved[NET_TEXT_SIZE];
    char macText[NET_TEXT_SIZE];
    unsigned char mac[8];
    unsigned char zero[12];
    int32_t macCount; // 6 when the MAC address is valid
    int32_t isDhcp;
    int32_t addressChanged;
};

extern NetworkBlock net;
extern uint32_t net_itf;
extern int net_notify;

// Presets the block: IP "127.0.0.1", mask "0.0.0.0", no gateway.
void Net_presetBlock(NetworkBlock *block);
// The block preset, adapter 0, no change noted, the poll count and the order
// file name forgotten, as before start-up.
void Net_reset();
// Reads the adapter "eth<itf>" into the block: 1 when IP, mask and MAC are
// valid, 0 when the adapter was found but is incomplete, -1 when it is missing.
int ReadNetworkParameters(NetworkBlock *block, uint32_t itf);
void Net_logSettings(const NetworkBlock *block);
void Net_entry();

// The gateway of an adapter from the text of /proc/net/route: the first route
// whose flags are not exactly 2 and whose gateway is not 0, as dotted text;
// empty when there is none.
void Net_parseRouteGateway(const char *routeText, const char *adapter, char *dst, size_t size);

void SYS_GetIpAddress(char *dst);
void SYS_GetSubnet(char *dst);
void SYS_GetGateway(char *dst);

// 1 when text is exactly a dotted quad of four numbers 0..255 of one to three
// digits (no blanks, signs or anything after it), written in decimal without
// leading zeros ("010" is refused: the system tools would read it as octal).
int Net_isValidAddress(const char *text);
// Reconfigures the adapter "eth<itf>": "ifconfig ethN IP netmask MASK up", then,
// when the adapter has a default route, "route del default dev ethN", and when
// gw is a valid address other than 0.0.0.0, "route add default gw GW dev ethN".
// The programs are found through PATH and get their arguments as a vector; no
// shell is involved. 0, or -2 (bad IP) and -3 (bad mask) with nothing run.
int linutil_applyEthernet(uint32_t itf, const char *ip, const char *mask, const char *gw);

// Resolves "host[:port]" into "a.b.c.d[:port]"; dst is empty on failure.
void host2ip(char *dst, size_t size, const char *host);

// The order file name "aaabbbcccddd_rrr", built once from the IP address.
const char *SYS_GetFixOrderFileName();
