// The data server's value store and its pseudo-values.
#include "test_support.h"

#include <cstring>
#include <string>
#include <thread>

#include "runtime/settings.h"
#include "transport/http_client.h"
#include "data/value_store.h"
#include "data/containers.h"
#include "transport/target_address.h"

namespace {

class DataServerTest : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        DS_Initialize();
    }
    std::string read(const char *name)
    {
        char out[DS_VALUE_SIZE] = "";
        int result = DS_readVal(name, out, nullptr);
        return std::to_string(result) + ":" + out;
    }
    std::string write(const char *name, const std::string &value)
    {
        char buffer[DS_VALUE_SIZE];
        std::snprintf(buffer, sizeof buffer, "%s", value.c_str());
        int result = DS_writeVal(name, buffer, nullptr);
        return std::to_string(result) + ":" + buffer;
    }
};

TEST_F(DataServerTest, NamesAreCreatedByTheirFirstReadOnly)
{
    EXPECT_EQ(write("Temp1", "21.5"), "0:Temp1 not found.\n");
    EXPECT_EQ(read("Temp1"), "1:0");
    EXPECT_EQ(write("Temp1", "21.5"), "1:21.5");
    EXPECT_EQ(read("Temp1"), "1:21.5");
    EXPECT_EQ(read("temp1"), "1:0");
    EXPECT_EQ(write("Text", std::string(300, 'v')), "0:Text not found.\n");
    read("Text");
    char big[DS_VALUE_SIZE];
    std::string longValue(255, 'v');
    std::snprintf(big, sizeof big, "%s", longValue.c_str());
    EXPECT_EQ(DS_writeVal("Text", big, nullptr), 1);
    EXPECT_EQ(read("Text"), "1:" + longValue);
    char *none = DS_readValPtr("Temp1");
    EXPECT_EQ(none, nullptr);
    // A long name gets a bounded "not found" text.
    std::string name(400, 'n');
    EXPECT_EQ(write(name.c_str(), "1").size(), 2u + DS_VALUE_SIZE - 1);

    DS_Reset();
    EXPECT_EQ(write("Temp1", "1"), "0:Temp1 not found.\n");
}

TEST_F(DataServerTest, AFullStoreRefusesNewNamesAndKeepsTheOld)
{
    int refused = 0;
    for (int i = 0; i < 2000; i++) {
        std::string name = "Point" + std::to_string(i);
        if (read(name.c_str()).rfind("0:", 0) == 0) refused++;
    }
    EXPECT_GT(refused, 0);
    EXPECT_EQ(read("Point0"), "1:0");
    EXPECT_EQ(write("Point1", "7"), "1:7");
    EXPECT_EQ(read("Point1999"), "0:Point1999 not found.\n");
}

TEST_F(DataServerTest, PseudoValuesReachIntoThePanel)
{
    EXPECT_EQ(read("PDP,,MW10,d"), "1:0");
    for (int i = 0; i < 100; i++) DS_Refresh();
    EXPECT_EQ(read("PDP,,MW10,d"), "1:100");
    DS_Refresh();
    EXPECT_EQ(read("PDP,,MW10,d"), "1:0");
    EXPECT_EQ(write("PDP,,MW10,d", "42"), "1:42");
    EXPECT_EQ(read("PDP,,MW10,d"), "1:42");

    EXPECT_EQ(write("RemoteIPAddr", "10.0.0.7:8080"), "1:10.0.0.7:8080");
    EXPECT_EQ(read("RemoteIPAddr"), "1:10.0.0.7:8080");
    EXPECT_EQ(write("RemotePath", "project/start.html"), "1:project/start.html");
    EXPECT_EQ(read("RemotePath"), "1:project/start.html");
    EXPECT_EQ(write("UseRemoteServer", "1"), "1:1");
    EXPECT_EQ(GetRemoteStatus(), 1);
    EXPECT_EQ(read("UseRemoteServer"), "1:1");
    EXPECT_EQ(write("VM_loadHtmlFile", "1"), "1:http://10.0.0.7:8080/project/start.html");
    EXPECT_EQ(write("VM_loadHtmlFile", "local.html"), "1:local.html");
}

TEST_F(DataServerTest, GpioNamesBelow256AreOutputsNotStoredValues)
{
    EXPECT_EQ(write("gpio8", "1"), "1:1");
    EXPECT_EQ(write("gpio8", "7"), "1:7");
    EXPECT_EQ(write("gpio300", "1"), "0:gpio300 not found.\n");
    EXPECT_EQ(write("gpio-1", "1"), "0:gpio-1 not found.\n");
    EXPECT_EQ(read("gpio8"), "1:0");
}

} // namespace

// A client of the embedded server (a context given) sees a copy of the panel
// state and queues what reaches the panel; its unknown names go to the log
// only, never into the main thread's message box.
TEST_F(DataServerTest, ClientsWorkOnTheCopyAndTheQueue)
{
    int client = 0;
    pterm.debug_level = 2;
    char buffer[DS_VALUE_SIZE] = "";
    DS_readVal("Unknown1", buffer, &client);
    const char *box = CO_readValPtr("MessageBoxCO");
    EXPECT_TRUE(!box || !std::strstr(box, "Unknown1"));
    EXPECT_NE(readFile(path("pterm.log")).find("Unknown1"), std::string::npos);

    SetRemoteStatus(0);
    DS_exchangeWithPanel();
    std::snprintf(buffer, sizeof buffer, "1");
    EXPECT_EQ(DS_writeVal("UseRemoteServer", buffer, &client), 1);
    DS_readVal("UseRemoteServer", buffer, &client);
    EXPECT_STREQ(buffer, "1");
    EXPECT_EQ(GetRemoteStatus(), 0);
    DS_exchangeWithPanel();
    EXPECT_EQ(GetRemoteStatus(), 1);

    // a full queue refuses further writes with a message
    for (int i = 0; i < DS_PANEL_WRITES; i++) {
        std::snprintf(buffer, sizeof buffer, "p%d/", i);
        DS_writeVal("RemotePath", buffer, &client);
    }
    std::snprintf(buffer, sizeof buffer, "late/");
    DS_writeVal("RemotePath", buffer, &client);
    EXPECT_STREQ(buffer, "RemotePath not written: the panel is busy.\n");
    DS_exchangeWithPanel();
    EXPECT_STREQ(GetRemotePath(), "p15/");
}

// The embedded server's thread reads and writes the store while the main
// thread does; under the data-server lock no value is torn or lost.
TEST_F(DataServerTest, TwoThreadsShareTheStoreUnderItsLock)
{
    auto worker = [this](char tag) {
        for (int i = 0; i < 200; i++) {
            std::string name = std::string("Shared.") + std::to_string(i % 20);
            read(name.c_str());
            write(name.c_str(), std::string(100, tag));
            DS_Refresh();
        }
    };
    std::thread a(worker, 'a'), b(worker, 'b');
    a.join();
    b.join();
    for (int i = 0; i < 20; i++) {
        std::string value = read(("Shared." + std::to_string(i)).c_str());
        EXPECT_TRUE(value == "1:" + std::string(100, 'a') || value == "1:" + std::string(100, 'b')) << value;
    }
}
