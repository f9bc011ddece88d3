#include "test_support.h"

#include <cstring>
#include <string>

#include "runtime/network.h"
#include "runtime/system_probe.h"

TEST(Network, GatewayIsTheFirstRealRouteOfTheAdapter)
{
    const char *table = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\n"
                        "eth1\t00000000\t0101A8C0\t0003\t0\t0\t0\t00000000\n"
                        "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\n"
                        "eth0\t00000000\t0A01A8C0\t0002\t0\t0\t0\t00000000\n"
                        "eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\n";
    char gw[NET_TEXT_SIZE];
    Net_parseRouteGateway(table, "eth0", gw, sizeof gw);
    EXPECT_STREQ(gw, "192.0.2.1") << "flags exactly 2 and a zero gateway are skipped";
    Net_parseRouteGateway(table, "eth7", gw, sizeof gw);
    EXPECT_STREQ(gw, "");
    Net_parseRouteGateway("eth0\t00000000", "eth0", gw, sizeof gw);
    EXPECT_STREQ(gw, "") << "a truncated table";
}

TEST(Network, AddressesAndHostResolution)
{
    EXPECT_EQ(Net_isValidAddress("192.168.1.20"), 1);
    EXPECT_EQ(Net_isValidAddress("192.168.1.256"), 0);
    EXPECT_EQ(Net_isValidAddress("192.168.1"), 0);
    EXPECT_EQ(Net_isValidAddress("1.2.3.4x"), 0);
    for (const char *bad : {" 1.2.3.4", "1.2.3.4 ", "1.2.3.4; reboot", "+1.2.3.4", "1.-2.3.4", "1..3.4", "1.2.3.4.",
                            "0001.2.3.4", "", "1.2.3.4\n"})
        EXPECT_EQ(Net_isValidAddress(bad), 0) << "\"" << bad << "\"";
    EXPECT_EQ(Net_isValidAddress(std::string(100, '1').c_str()), 0);
    EXPECT_EQ(Net_isValidAddress("0.0.0.0"), 1);
    EXPECT_EQ(Net_isValidAddress("10.255.1.9"), 1);
    // leading zeros would be octal to ifconfig: 192.168.001.010 would become 192.168.1.8
    for (const char *octal : {"010.255.001.9", "192.168.001.010", "10.0.0.00", "10.0.0.09", "00.1.1.1"})
        EXPECT_EQ(Net_isValidAddress(octal), 0) << octal;
    EXPECT_EQ(linutil_applyEthernet(0, "192.168.001.010", "255.255.255.0", ""), -2);
    EXPECT_EQ(linutil_applyEthernet(0, "192.168.1.10", "255.255.255.000", ""), -3);
    EXPECT_EQ(linutil_applyEthernet(0, "300.1.1.1", "255.255.255.0", ""), -2);
    EXPECT_EQ(linutil_applyEthernet(0, "10.0.0.1", "255.255.0", ""), -3);

    char ip[64];
    host2ip(ip, sizeof ip, "192.168.001.020:8080");
    EXPECT_STREQ(ip, "192.168.1.20:8080");
    host2ip(ip, sizeof ip, "localhost");
    EXPECT_STREQ(ip, "127.0.0.1");
    host2ip(ip, sizeof ip, "");
    EXPECT_STREQ(ip, "");
}

class OrderFileName : public TempDirTest {};

TEST_F(OrderFileName, IsBuiltOnceFromTheAddress)
{
    std::strcpy(net.ip, "192.168.1.20");
    std::string first = SYS_GetFixOrderFileName();
    ASSERT_EQ(first.size(), 16u);
    EXPECT_EQ(first.substr(0, 13), "192168001020_");
    std::strcpy(net.ip, "10.0.0.1");
    EXPECT_EQ(first, SYS_GetFixOrderFileName());
}

TEST(Network, ProbeOfAMissingAdapterKeepsThePresets)
{
    NetworkBlock block;
    Net_presetBlock(&block);
    EXPECT_EQ(ReadNetworkParameters(&block, 97), -1);
    EXPECT_STREQ(block.adapter, "eth97");
    EXPECT_STREQ(block.ip, "127.0.0.1");
    EXPECT_EQ(block.macCount, 0);
}

TEST(SystemProbe, PlatformFromProcessorAndKernelRelease)
{
    EXPECT_STREQ(SYS_platformFromCpuInfo("system type : x\ncpu model : NEC VR4181A Rev 1.0\n"), "TRMA5");
    EXPECT_STREQ(SYS_platformFromCpuInfo("cpu model : Au1100 V0.2\n"), "TRMA6");
    EXPECT_STREQ(SYS_platformFromCpuInfo("VR4181A before\ncpu model : other\n"), "pt-Linux");
    EXPECT_STREQ(SYS_platformFromCpuInfo("model name : AMD EPYC\n"), "pt-Linux");
    char release[32];
    int v = kernel_version_str(release, sizeof release);
    int major, minor, patch;
    if (std::sscanf(release, "%d.%d.%d", &major, &minor, &patch) == 3)
        EXPECT_EQ(v, major * 10000 + minor * 1000 + patch);
    else EXPECT_EQ(v, -1);
}
