// Values and alarms over MQTT, end to end: a real mosquitto broker on a free
// loopback port with a password file and an access list, the simulator with
// the demo plant, the panel publishing (and, when allowed, writing), and a
// second panel that reads the first one's values through the broker.
#include "test_support.h"

#include <csignal>
#include <filesystem>
#include <cstdio>
#include <memory>
#include <string>
#include <pwd.h>
#include <unistd.h>

#include "e2e_support.h"

using namespace e2e;
using std::string;

namespace {

const char *const kBroker = "/usr/sbin/mosquitto";
const char *const kSub = "/usr/bin/mosquitto_sub";
const char *const kPub = "/usr/bin/mosquitto_pub";
const char *const kPasswd = "/usr/bin/mosquitto_passwd";

string run(const string &command)
{
    string out;
    if (FILE *p = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
        pclose(p);
    }
    return out;
}

// Users: "panel" publishes under panterm/ and reads its write topics,
// "operator" may also write, "viewer" only reads.
class Broker {
public:
    explicit Broker(const string &dir) : dir_(dir)
    {
        std::filesystem::create_directories(dir);
        writeFile(dir + "/acl", "user panel\ntopic readwrite panterm/#\n\n"
                                "user operator\ntopic read panterm/#\ntopic write panterm/+/write/#\n\n"
                                "user viewer\ntopic read panterm/#\n");
        run(string(kPasswd) + " -c -b " + dir + "/passwd panel panel-pw");
        run(string(kPasswd) + " -b " + dir + "/passwd operator operator-pw");
        run(string(kPasswd) + " -b " + dir + "/passwd viewer viewer-pw");
        port_ = freeLoopbackPort();
        writeFile(dir + "/mosquitto.conf", "listener " + std::to_string(port_) +
                                               " 127.0.0.1\nallow_anonymous false\npassword_file " + dir +
                                               "/passwd\nacl_file " + dir + "/acl\npersistence false\n" +
                                               // as root it would become the user "mosquitto", who cannot
                                               // read the test's private directory
                                               "user " + getpwuid(getuid())->pw_name + "\n");
        start();
    }
    void start()
    {
        process_ = std::make_unique<ChildProcess>(kBroker, std::vector<string>{"-c", dir_ + "/mosquitto.conf"}, dir_);
        waitUntil([&] { return run(sub("viewer", "x/none", 0, 1)).find("rror") == string::npos; }, 5000);
    }
    void stop() { process_.reset(); }
    string log() const { return readFile(dir_ + "/mosquitto.out"); }
    int port() const { return port_; }
    // A mosquitto_sub command: retained flag, topic and payload of each
    // message, at most count, for at most seconds.
    string sub(const string &user, const string &topic, int count, int seconds) const
    {
        return string(kSub) + " -h 127.0.0.1 -p " + std::to_string(port_) + " -u " + user + " -P " + user + "-pw -t '" +
               topic + "' -F '%r %t %p'" + (count ? " -C " + std::to_string(count) : "") + " -W " +
               std::to_string(seconds);
    }
    string receive(const string &user, const string &topic, int count, int seconds) const
    {
        return run(sub(user, topic, count, seconds));
    }
    string publish(const string &user, const string &topic, const string &payload) const
    {
        return run(string(kPub) + " -h 127.0.0.1 -p " + std::to_string(port_) + " -u " + user + " -P " + user +
                   "-pw -q 1 -t '" + topic + "' -m '" + payload + "'");
    }

private:
    string dir_;
    int port_ = 0;
    std::unique_ptr<ChildProcess> process_;
};

// The settings after kiosk, up to the MQTT elements.
string mqttSettings(int port, const string &prefix, int writes)
{
    return "\t<keep_alive>0</keep_alive>\n\t<httpd_enabled>0</httpd_enabled>\n\t<httpd_port>80</httpd_port>\n"
           "\t<sip>1</sip>\n\t<img_mem_max>2097152</img_mem_max>\n\t<temp_dir>~pt~</temp_dir>\n"
           "\t<warn_btn>1;0;!;1,1,20,20;255,165,0;0,0,0;</warn_btn>\n\t<remote_mode>0</remote_mode>\n"
           "\t<teq_cache>0</teq_cache>\n\t<loading_msg>1;0;Loading...;0,0,0,0;0,0,0;0,0,0;</loading_msg>\n"
           "\t<show_selection>0</show_selection>\n\t<config_page></config_page>\n\t<config_file></config_file>\n"
           "\t<httpd_debug_level>0</httpd_debug_level>\n\t<boot_delay_sec>0</boot_delay_sec>\n"
           "\t<set_width>0</set_width>\n\t<set_height>0</set_height>\n\t<inactivity_to_sec>0</inactivity_to_sec>\n"
           "\t<inactivity_pts_ms>0</inactivity_pts_ms>\n\t<tmz_en>0</tmz_en>\n\t<mem_ramdisk_kb>0</mem_ramdisk_kb>\n"
           "\t<mem_heap1_kb>0</mem_heap1_kb>\n\t<mem_heap2_kb>0</mem_heap2_kb>\n\t<mem_lrheap_kb>0</mem_lrheap_kb>\n"
           "\t<remote_view>0</remote_view>\n\t<cmd_timeout_ms>5000</cmd_timeout_ms>\n\t<mqtt_broker>127.0.0.1:" +
           std::to_string(port) + "</mqtt_broker>\n\t<mqtt_prefix>" + prefix +
           "</mqtt_prefix>\n\t<mqtt_user>panel</mqtt_user>\n\t<mqtt_password>panel-pw</mqtt_password>\n"
           "\t<mqtt_cafile></mqtt_cafile>\n\t<mqtt_writes>" +
           std::to_string(writes) + "</mqtt_writes>\n";
}

class MqttE2E : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        for (const char *tool : {kBroker, kSub, kPub, kPasswd}) {
            if (access(tool, X_OK) != 0)
                FAIL() << tool << " is missing: install the Debian package "
                       << (string(tool) == kBroker ? "mosquitto" : "mosquitto-clients");
        }
        root_ = path("root");
        copyDemo(root_, 200);
        writeFile(path("values.txt"), "Pump.Fault=1\nPump.Run=0\nPump.Mode=2\n");
        target_ = std::make_unique<Target>(path("t"), root_, path("values.txt"), 0,
                                           std::vector<string>{"--alarms", root_ + "/alarms.txt"});
        broker_ = std::make_unique<Broker>(path("broker"));
    }
    PanelSetup setup(const string &page, const string &prefix, int writes, const string &script)
    {
        PanelSetup s{target_->url(page), "", script};
        s.moreSettings = mqttSettings(broker_->port(), prefix, writes);
        s.screenAtEveryChange = false;
        return s;
    }
    string root_;
    std::unique_ptr<Target> target_;
    std::unique_ptr<Broker> broker_;
};

size_t count(const string &text, const string &part) { return static_cast<size_t>(countOccurrences(text, part)); }

} // namespace

TEST_F(MqttE2E, ValuesPageAndStatusAreRetainedAndFollowTheTarget)
{
    Panel panel(path("p"), setup("start.html", "panterm/gw", 0, "wait 60000\nclose\n"));
    ASSERT_NE(broker_->receive("viewer", "panterm/gw/value/Pump.Run", 1, 8).find("Pump.Run 0"), string::npos);
    // Retained messages arrive with the flag 1 to a late subscriber.
    string first = broker_->receive("viewer", "panterm/gw/#", 0, 4);
    EXPECT_NE(first.find("1 panterm/gw/status online"), string::npos) << first << broker_->log();
    EXPECT_NE(first.find("1 panterm/gw/value/Pump.Run 0"), string::npos) << first;
    EXPECT_NE(first.find("1 panterm/gw/page {\"page\":\"start.html\",\"picture\":\"Plant1\""), string::npos) << first;
    // The simulated level changes: new values come live (flag 0).
    string live = broker_->receive("viewer", "panterm/gw/value/sim.ramp", 4, 5);
    EXPECT_GE(count(live, "0 panterm/gw/value/sim.ramp "), 2u) << live;
    EXPECT_EQ(panel.log().find("panel-pw"), string::npos) << "the password is never logged";

    // Killed without a word: the broker sends the will, which replaces the
    // retained "online" once the broker has seen the connection go.
    panel.signal(SIGKILL);
    string status;
    EXPECT_TRUE(waitUntil(
        [&] {
            status = broker_->receive("viewer", "panterm/gw/status", 1, 1);
            return status.find("panterm/gw/status offline") != string::npos;
        },
        5000))
        << status;
}

// The start picture has no alarm list, only the list's parameter: the panel
// polls the list itself, publishes its alarms and clears the one that the
// target deleted.
TEST_F(MqttE2E, CurrentAlarmsArePublishedWhateverPageIsShown)
{
    Panel panel(path("p"), setup("start.html", "panterm/gw", 0, "wait 60000\nclose\n"));
    string alarm = broker_->receive("viewer", "panterm/gw/alarm/1/2", 1, 8);
    EXPECT_NE(alarm.find(" panterm/gw/alarm/1/2 {\"list\":\"1\",\"number\":2,\"state\":\"on-unacked\","
                         "\"text\":\"Pump P1 fault\",\"on\":\"20"),
              string::npos)
        << alarm << panel.log();
    EXPECT_NE(broker_->receive("viewer", "panterm/gw/page", 1, 3).find("\"picture\":\"Plant1\""), string::npos);

    auto get = [&](const string &what) { return run("curl -s -m 5 '" + target_->url("cgi-bin/" + what) + "'"); };
    get("writeVal.exe?Pump.Fault+0");
    EXPECT_TRUE(waitUntil(
        [&] { return broker_->receive("viewer", "panterm/gw/alarm/1/2", 1, 1).find("off-unacked") != string::npos; },
        8000))
        << "the fault went";
    get("alarm.exe?list=1&action=acknowledge&completList=1");
    get("alarm.exe?list=1&action=delete&completList=1");
    // An empty retained message removes the retained alarm: a late subscriber gets none.
    EXPECT_TRUE(waitUntil(
        [&] { return broker_->receive("viewer", "panterm/gw/alarm/1/2", 1, 1).find("alarm/1/2") == string::npos; },
        8000))
        << broker_->receive("viewer", "panterm/gw/alarm/#", 0, 1) << target_->requests();
}

TEST_F(MqttE2E, BrokerWritesGoThroughTheOperatorsPathOnlyWhenAllowed)
{
    Panel panel(path("p"), setup("start.html", "panterm/gw", 1, "wait 60000\nclose\n"));
    ASSERT_NE(broker_->receive("viewer", "panterm/gw/status", 1, 5).find("online"), string::npos);
    broker_->publish("viewer", "panterm/gw/write/Pump.Fault", "1");          // refused by the access list
    broker_->publish("operator", "panterm/gw/write/Tank.Setpoint", "250.0"); // beyond 0 to 100.0
    broker_->publish("operator", "panterm/gw/write/Other.Point", "1");       // not a point of the panel
    broker_->publish("operator", "panterm/gw/write/Pump.Run", "1");
    EXPECT_TRUE(waitUntil([&] { return target_->requests().find("writeVal.exe?Pump.Run+1") != string::npos; }, 5000))
        << target_->requests();
    EXPECT_EQ(count(target_->requests(), "writeVal.exe"), 1u) << target_->requests();
    string log = panel.log();
    EXPECT_NE(log.find("MQTT write panterm/gw/write/Pump.Run = \"1\": written"), string::npos) << log;
    EXPECT_NE(log.find("MQTT write panterm/gw/write/Tank.Setpoint = \"250.0\": refused\n"), string::npos) << log;
    EXPECT_NE(log.find("MQTT write panterm/gw/write/Other.Point = \"1\": refused, not a point"), string::npos) << log;
    EXPECT_EQ(log.find("Pump.Fault = "), string::npos) << log;
}

TEST_F(MqttE2E, WithoutMqttWritesNothingIsWritten)
{
    Panel panel(path("p"), setup("start.html", "panterm/gw", 0, "wait 60000\nclose\n"));
    ASSERT_NE(broker_->receive("viewer", "panterm/gw/status", 1, 5).find("online"), string::npos);
    broker_->publish("operator", "panterm/gw/write/Pump.Run", "1");
    sleep(2);
    EXPECT_EQ(target_->requests().find("writeVal.exe"), string::npos) << target_->requests();
}

TEST_F(MqttE2E, ABrokerThatComesBackGetsTheRetainedValuesAgain)
{
    Panel panel(path("p"), setup("start.html", "panterm/gw", 0, "wait 60000\nclose\n"));
    ASSERT_NE(broker_->receive("viewer", "panterm/gw/value/Pump.Run", 1, 5).find("Pump.Run 0"), string::npos);
    broker_->stop();
    sleep(2);
    broker_->start();
    // The broker kept nothing (no persistence): what it holds, the panel sent again.
    ASSERT_NE(broker_->receive("viewer", "panterm/gw/value/Pump.Run", 1, 8).find("Pump.Run 0"), string::npos);
    string again = broker_->receive("viewer", "panterm/gw/value/Pump.Run", 1, 3);
    EXPECT_NE(again.find("1 panterm/gw/value/Pump.Run 0"), string::npos) << again << panel.log();
    EXPECT_NE(panel.log().find("MQTT: connected again"), string::npos) << panel.log();
    EXPECT_NE(panel.log().find("MQTT: broker not reachable"), string::npos) << panel.log();
}

TEST_F(MqttE2E, APanelReadsAndWritesThroughTheGateway)
{
    Panel gateway(path("gw"), setup("start.html", "panterm/gw", 1, "wait 60000\nclose\n"));
    ASSERT_NE(broker_->receive("viewer", "panterm/gw/status", 1, 5).find("online"), string::npos);
    writeFile(root_ + "/viewer.html",
              readFile(root_ + "/start.html")
                  .replace(readFile(root_ + "/start.html").find("</applet>"), 9,
                           param("MQTTSOURCE", "127.0.0.1:" + std::to_string(broker_->port()) + "/panterm/gw") +
                               "</applet>"));
    auto reads = [&] { return count(target_->requests(), "ReadFile.exe"); };
    size_t start = reads();
    sleep(3);
    size_t alone = reads() - start;
    Panel reader(path("rd"), setup("viewer.html", "panterm/rd", 0, "wait 4000\nclick 185 237\nwait 60000\nclose\n"));
    // The reader publishes what it shows: the gateway's values.
    string shown = broker_->receive("viewer", "panterm/rd/value/sim.ramp", 3, 8);
    EXPECT_GE(count(shown, "panterm/rd/value/sim.ramp "), 2u) << shown << reader.log();
    // Its Start button writes through the gateway.
    EXPECT_TRUE(waitUntil([&] { return target_->requests().find("writeVal.exe?Pump.Run+1") != string::npos; }, 8000))
        << reader.log();
    // The target sees the reads of one panel with two panels running.
    size_t from = reads();
    sleep(3);
    size_t together = reads() - from;
    EXPECT_LE(together, alone + alone / 2 + 2) << "alone " << alone << ", with the reader " << together;
    EXPECT_GT(together, 0u);
}
