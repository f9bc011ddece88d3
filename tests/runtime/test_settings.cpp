#include "test_support.h"

#include <string>

#include "runtime/settings.h"

namespace {

// The file a fresh device writes, line for line.
const char kDefaultFile[] = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n"
                            "<pterm>\n"
                            "\t<!--Configuration file of the Panterm-->\n"
                            "\t<version>122</version>\n"
                            "\t<start_page>start.html</start_page>\n"
                            "\t<log_file>pterm.log</log_file>\n"
                            "\t<proxy_host></proxy_host>\n"
                            "\t<proxy_port>80</proxy_port>\n"
                            "\t<vpi_user></vpi_user>\n"
                            "\t<vpi_pass></vpi_pass>\n"
                            "\t<prompt_url>1</prompt_url>\n"
                            "\t<full_redraw>1</full_redraw>\n"
                            "\t<debug_level>1</debug_level>\n"
                            "\t<kiosk>0</kiosk>\n"
                            "\t<keep_alive>0</keep_alive>\n"
                            "\t<httpd_enabled>0</httpd_enabled>\n"
                            "\t<httpd_port>80</httpd_port>\n"
                            "\t<sip>1</sip>\n"
                            "\t<img_mem_max>2097152</img_mem_max>\n"
                            "\t<temp_dir>~pt~</temp_dir>\n"
                            "\t<warn_btn>1;0;!;1,1,20,20;255,165,0;0,0,0;</warn_btn>\n"
                            "\t<remote_mode>0</remote_mode>\n"
                            "\t<teq_cache>0</teq_cache>\n"
                            "\t<loading_msg>1;0;Loading...;0,0,0,0;0,0,0;0,0,0;</loading_msg>\n"
                            "\t<show_selection>0</show_selection>\n"
                            "\t<config_page></config_page>\n"
                            "\t<config_file></config_file>\n"
                            "\t<httpd_debug_level>0</httpd_debug_level>\n"
                            "\t<boot_delay_sec>0</boot_delay_sec>\n"
                            "\t<set_width>0</set_width>\n"
                            "\t<set_height>0</set_height>\n"
                            "\t<inactivity_to_sec>0</inactivity_to_sec>\n"
                            "\t<inactivity_pts_ms>0</inactivity_pts_ms>\n"
                            "\t<tmz_en>0</tmz_en>\n"
                            "\t<mem_ramdisk_kb>0</mem_ramdisk_kb>\n"
                            "\t<mem_heap1_kb>0</mem_heap1_kb>\n"
                            "\t<mem_heap2_kb>0</mem_heap2_kb>\n"
                            "\t<mem_lrheap_kb>0</mem_lrheap_kb>\n"
                            "\t<remote_view>0</remote_view>\n"
                            "\t<cmd_timeout_ms>5000</cmd_timeout_ms>\n"
                            "\t<mqtt_broker></mqtt_broker>\n"
                            "\t<mqtt_prefix></mqtt_prefix>\n"
                            "\t<mqtt_user></mqtt_user>\n"
                            "\t<mqtt_password></mqtt_password>\n"
                            "\t<mqtt_cafile></mqtt_cafile>\n"
                            "\t<mqtt_writes>0</mqtt_writes>\n"
                            "</pterm>\n";

std::string replaced(std::string text, const std::string &from, const std::string &to)
{
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

} // namespace

class Settings : public TempDirTest {};

TEST_F(Settings, MissingFileIsWrittenWithDefaultsAndDumped)
{
    loadSettingsFromXmlFile();
    EXPECT_EQ(readFile(path("pterm.xml")), kDefaultFile);
    EXPECT_EQ(pterm.loaded, 0);
    std::string log = readFile(path("pterm.log"));
    EXPECT_EQ(log.substr(0, 3), "-- ");
    EXPECT_NE(log.find("\nStart Panterm...\n\nVersion        1.5.12.097d\nOS             "), std::string::npos);
    EXPECT_NE(log.find("Config File V. 122\n"), std::string::npos);
    EXPECT_NE(log.find("\nConfiguration File: \"pterm.xml\"\n\n- version           : 122\n"
                       "- start_page        : \"start.html\"\n"),
              std::string::npos);
    EXPECT_NE(log.find("- vpi_pass          : \"****\"\n"), std::string::npos);
    EXPECT_NE(log.find("- warn_btn          : !\n"), std::string::npos);
    EXPECT_NE(log.find("- mem_lrheap_kb     : 0\n- remote_view       : 0\n- cmd_timeout_ms    : 5000\n- mqtt_broker    "
                       "   : \"\"\n"),
              std::string::npos);
    EXPECT_NE(log.find("- mqtt_cafile       : \"\"\n- mqtt_writes       : 0\n\n"), std::string::npos);
}

TEST_F(Settings, CompleteFileIsReadAndLeftUntouched)
{
    std::string text = replaced(kDefaultFile, "<start_page>start.html<", "<start_page>plant/main.html<");
    text = replaced(text, "<vpi_pass><", "<vpi_pass>" + std::string(40, 'p') + "<");
    text = replaced(text, "<kiosk>0<", "<kiosk>1<");
    text = replaced(text, "<img_mem_max>2097152<", "<img_mem_max>4000000000<");
    text = replaced(text, "<loading_msg>1;0;Loading...;0,0,0,0;0,0,0;0,0,0;<",
                    "<loading_msg>1;1;Bitte warten;10,20,300,40;1,2,3;250,251,252;<");
    text = replaced(text, "<mem_heap2_kb>0<", "<mem_heap2_kb>64<");
    text = "<!-- comment --><unknown>1</unknown>" + text;
    writeFile(path("pterm.xml"), text);
    loadSettingsFromXmlFile();
    EXPECT_EQ(readFile(path("pterm.xml")), text);
    EXPECT_EQ(pterm.loaded, 1);
    EXPECT_STREQ(pterm.start_page, "plant/main.html");
    EXPECT_EQ(std::string(pterm.vpi_pass), std::string(31, 'p'));
    EXPECT_EQ(pterm.kiosk, 1);
    EXPECT_EQ(pterm.img_mem_max, 4000000000u);
    EXPECT_EQ(pterm.mem_heap2_kb, 64u);
    EXPECT_EQ(pterm.loading_msg.mode, 1);
    EXPECT_STREQ(pterm.loading_msg.text, "Bitte warten");
    EXPECT_EQ(pterm.loading_msg.x, 10);
    EXPECT_EQ(pterm.loading_msg.height, 40);
    EXPECT_EQ(pterm.loading_msg.color1, 0xFF030201u);
    EXPECT_EQ(pterm.loading_msg.color2, 0xFFFCFBFAu);

    std::string log = readFile(path("pterm.log"));
    EXPECT_NE(log.find("\nConfiguration File : \"pterm.xml\"\n\n- version          : 122\n"
                       "- start_page       : \"plant/main.html\"\n- log_file         : \"pterm.log\"\n"),
              std::string::npos);
    EXPECT_NE(log.find("- loading_msg      : Bitte warten\n"), std::string::npos);
    EXPECT_NE(
        log.find(
            "- mqtt_cafile      : \"\"\n- mqtt_writes      : 0\n- debug_level      : 1\n\n\nHeap Default Sizes:\n\n"
            " RAM-Disk: 1024 KB\n Heap1   : 2048 KB\n Heap2   : 2048 KB\n LRHeap  : 512 KB\n\n"),
        std::string::npos);
}

TEST_F(Settings, ElementOutOfOrderStopsTheParseAndTheFileIsRewritten)
{
    std::string text = replaced(kDefaultFile, "\t<config_page></config_page>\n", "");
    text = replaced(text, "\t<show_selection>0</show_selection>\n",
                    "\t<config_page>cfg.html</config_page>\n\t<show_selection>1</show_selection>\n");
    text = replaced(text, "<kiosk>0<", "<kiosk>1<");
    text = replaced(text, "<tmz_en>0<", "<tmz_en>1<");
    writeFile(path("pterm.xml"), text);
    loadSettingsFromXmlFile();
    EXPECT_EQ(pterm.show_selection, 1);
    EXPECT_STREQ(pterm.config_page, "");
    EXPECT_EQ(pterm.tmz_en, 0);
    EXPECT_EQ(readFile(path("pterm.xml")),
              replaced(replaced(kDefaultFile, "<kiosk>0<", "<kiosk>1<"), "<show_selection>0<", "<show_selection>1<"));
}

TEST_F(Settings, DebugLevelAppliesOnlyAfterACompleteParse)
{
    writeFile(path("pterm.xml"), replaced(kDefaultFile, "<debug_level>1<", "<debug_level>0<"));
    loadSettingsFromXmlFile();
    EXPECT_EQ(pterm.debug_level, 0);
    std::string log = readFile(path("pterm.log"));
    EXPECT_NE(log.find("- debug_level      : 0\n\n"), std::string::npos);
    EXPECT_EQ(log.find("Heap Default Sizes"), std::string::npos);
}

TEST_F(Settings, AnIncompleteFileKeepsTheDebugLevelReadBeforeTheFault)
{
    std::string text = replaced(kDefaultFile, "<debug_level>1<", "<debug_level>3<");
    text = replaced(text, "<kiosk>0<", "<kiosk>1<");
    writeFile(path("pterm.xml"), replaced(text, "\t<cmd_timeout_ms>5000</cmd_timeout_ms>\n", ""));
    loadSettingsFromXmlFile();
    EXPECT_EQ(pterm.debug_level, 3);
    EXPECT_EQ(pterm.kiosk, 1);
    EXPECT_EQ(readFile(path("pterm.xml")), text) << "rewritten complete, with the level that was read";

    writeFile(path("pterm.xml"), replaced(text, "<warn_btn>1;0;!;1,1,20,20;255,165,0;0,0,0;<", "<warn_btn>1;0;!<"));
    loadSettingsFromXmlFile();
    EXPECT_EQ(pterm.debug_level, 3) << "a malformed element after it";

    writeFile(path("pterm.xml"), replaced(text, "\t<full_redraw>1</full_redraw>\n", ""));
    loadSettingsFromXmlFile();
    EXPECT_EQ(pterm.debug_level, 1) << "a fault before the element leaves the default";
    EXPECT_EQ(pterm.kiosk, 0);
}

TEST_F(Settings, RemoteViewStandsLastAndAFileWithoutItKeepsItsValues)
{
    // a file of an earlier version: everything kept, the remote view off, the element added at the end
    std::string text = replaced(kDefaultFile, "<httpd_enabled>0<", "<httpd_enabled>1<");
    text = replaced(text, "<mem_heap1_kb>0<", "<mem_heap1_kb>128<");
    writeFile(path("pterm.xml"), replaced(text, "\t<remote_view>0</remote_view>\n", ""));
    loadSettingsFromXmlFile();
    EXPECT_EQ(pterm.httpd_enabled, 1);
    EXPECT_EQ(pterm.mem_heap1_kb, 128u);
    EXPECT_EQ(pterm.remote_view, 0);
    EXPECT_EQ(readFile(path("pterm.xml")), text);

    writeFile(path("pterm.xml"), replaced(text, "<remote_view>0<", "<remote_view>2<"));
    loadSettingsFromXmlFile();
    EXPECT_EQ(pterm.remote_view, 2);
    EXPECT_EQ(pterm.mem_heap1_kb, 128u);
}

TEST_F(Settings, MqttElementsFollowTheRemoteViewAndThePasswordIsNeverLogged)
{
    // a file that ends with the remote view: its values kept, MQTT off, the elements added at the end
    std::string text = replaced(kDefaultFile, "<remote_view>0<", "<remote_view>1<");
    size_t mqtt = text.find("\t<mqtt_broker>");
    writeFile(path("pterm.xml"), text.substr(0, mqtt) + "</pterm>\n");
    loadSettingsFromXmlFile();
    EXPECT_EQ(pterm.remote_view, 1);
    EXPECT_STREQ(pterm.mqtt_broker, "");
    EXPECT_EQ(readFile(path("pterm.xml")), text);

    text = replaced(text, "<mqtt_broker><", "<mqtt_broker>10.0.0.5:1884<");
    text = replaced(text, "<mqtt_user><", "<mqtt_user>panel<");
    text = replaced(text, "<mqtt_password><", "<mqtt_password>s3cret-pw<");
    text = replaced(text, "<mqtt_writes>0<", "<mqtt_writes>1<");
    writeFile(path("pterm.xml"), text);
    loadSettingsFromXmlFile();
    EXPECT_STREQ(pterm.mqtt_broker, "10.0.0.5:1884");
    EXPECT_STREQ(pterm.mqtt_password, "s3cret-pw");
    EXPECT_EQ(pterm.mqtt_writes, 1);
    std::string log = readFile(path("pterm.log"));
    EXPECT_NE(log.find("- mqtt_password    : \"****\"\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("s3cret"), std::string::npos) << log;
}

TEST_F(Settings, ExtObjectSpecs)
{
    ExtObjectSpec ext = {};
    EXPECT_EQ(parseExtObjectString(&ext, "0;0;!;1,1,20,20;255,165,0;0,0,0;"), 1);
    EXPECT_EQ(ext.enabled, 0);
    EXPECT_EQ(ext.color1, 0xFF00A5FFu);
    EXPECT_EQ(parseExtObjectString(&ext, "10;3;!;1,1,20,20;255,165,0;0,0,0;"), 1);
    EXPECT_EQ(ext.enabled, 10);
    EXPECT_EQ(ext.mode, 0) << "a two-digit flag shifts the second number's reading";
    EXPECT_EQ(parseExtObjectString(&ext, ("1;0;" + std::string(40, 'L') + ";1,2,3,4;1,1,1;2,2,2;").c_str()), 1);
    EXPECT_EQ(std::string(ext.text), std::string(31, 'L'));
    EXPECT_EQ(parseExtObjectString(&ext, "1;0;!;1,2,3;1,1,1;2,2,2;"), 0);
    EXPECT_EQ(parseExtObjectString(&ext, "1;0;!;1,2,3,4;1,1,1;"), 0);
    EXPECT_EQ(parseExtObjectString(&ext, "1;0;!"), 0);
    EXPECT_EQ(parseExtObjectString(&ext, "1"), 0);

    writeFile(path("pterm.xml"), replaced(kDefaultFile, "<warn_btn>1;0;!;1,1,20,20;255,165,0;0,0,0;<",
                                          "<warn_btn>0;0;!;1,1,20,20;255,165,0;0,0,0;<"));
    loadSettingsFromXmlFile();
    EXPECT_EQ(pterm.warn_btn.enabled, 0);
    EXPECT_NE(readFile(path("pterm.log")).find("- warn_btn         : disabled\n"), std::string::npos);
}

TEST_F(Settings, BadFilesNeverCrashAndEndInDefaults)
{
    writeFile(path("pterm.xml"), "");
    loadSettingsFromXmlFile();
    EXPECT_EQ(readFile(path("pterm.xml")), "") << "an empty file is left untouched";
    EXPECT_STREQ(pterm.start_page, "start.html");

    std::string text = kDefaultFile;
    writeFile(path("pterm.xml"), text.substr(0, text.find("<httpd_port>") + 15));
    loadSettingsFromXmlFile();
    EXPECT_EQ(readFile(path("pterm.xml")), kDefaultFile) << "truncated inside an element";

    std::string binary;
    for (int i = 0; i < 5000; i++) binary += static_cast<char>((i * 7919) % 256);
    writeFile(path("pterm.xml"), binary);
    loadSettingsFromXmlFile();
    EXPECT_EQ(readFile(path("pterm.xml")), kDefaultFile);

    std::string huge =
        replaced(kDefaultFile, "<start_page>start.html<", "<start_page>" + std::string(10 << 20, 's') + "<");
    writeFile(path("pterm.xml"), huge);
    loadSettingsFromXmlFile();
    EXPECT_EQ(std::string(pterm.start_page), std::string(127, 's'));
    EXPECT_EQ(pterm.loaded, 1);

    writeFile(path("pterm.xml"), replaced(kDefaultFile, "<boot_delay_sec>0<", "<boot_delay_sec>-5<"));
    loadSettingsFromXmlFile();
    EXPECT_EQ(pterm.boot_delay_sec, 0u) << "a negative delay is not a 136-year sleep";
}
