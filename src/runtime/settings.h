// Settings file "pterm.xml" and the one settings record `pterm` that the rest of
// the program reads directly. Owns the record, the file reader and writer, the
// settings dump and the time-information block of the log.
#pragma once
#include <cstdint>

#define SETTINGS_FILE_NAME "pterm.xml"
#define SETTINGS_FILE_VERSION "122"

// A small placed object described in one settings value: the warning button
// and the loading message.
struct ExtObjectSpec {
    int32_t enabled;
    int32_t mode; // warning button: message limit; loading message: mode 0..2
    int32_t x, y, width, height;
    uint32_t color1, color2; // 0xFFBBGGRR
    char text[260];
};

struct PTermSettings {
    int32_t loaded; // set once the reader got past proxy_port
    char start_page[128];
    char proxy_host[64];
    int32_t proxy_port;
    char log_file[128];
    char vpi_user[32];
    char vpi_pass[32];
    char login_state[32];
    int32_t prompt_url;
    int32_t full_redraw;
    int32_t debug_level;
    int32_t kiosk;
    int32_t httpd_enabled;
    int32_t httpd_port;
    int32_t keep_alive;
    int32_t sip;
    uint32_t img_mem_max;
    uint32_t img_mem_used;
    ExtObjectSpec warn_btn;
    char temp_dir[260];
    int32_t remote_mode;
    int32_t teq_cache;
    ExtObjectSpec loading_msg;
    int32_t show_selection;
    char config_page[128];
    char config_file[128];
    int32_t pm_tm; // 12-hour clock in use
    int32_t httpd_debug_level;
    uint32_t boot_delay_sec;
    int32_t comm_err_limit;
    int32_t comm_err_count;
    int32_t set_width;
    int32_t set_height;
    int32_t painter_failed;
    int32_t inactivity_to_sec;
    int32_t inactivity_pts_ms;
    int32_t poll_time_substitute;
    int32_t target_type;
    int32_t tmz_en;
    uint32_t mem_ramdisk_kb;
    uint32_t mem_heap1_kb;
    uint32_t mem_heap2_kb;
    uint32_t mem_lrheap_kb;
    int32_t remote_view;    // the browser's remote view: 0 off, 1 the screen, 2 the screen and input
    int32_t cmd_timeout_ms; // an operator's write or acknowledge not sent by then is dropped
    char mqtt_broker[128];  // "host:port" of the MQTT broker; empty: no publishing
    char mqtt_prefix[128];  // topic prefix; empty: "panterm/<host name>"
    char mqtt_user[64];
    char mqtt_password[64]; // never logged
    char mqtt_cafile[128];  // CA file for TLS to the broker; empty: plain TCP
    int32_t mqtt_writes;    // 1: messages on <prefix>/write/<name> write the point
};

extern PTermSettings pterm;

void initSettings();
void loadSettingsFromXmlFile();
int parseXmlFileForSettings(const char *fileName, char *text);
void saveSettingsInXmlFile();
void dumpSettings(const char *fileName);
void log_timeInfo();
int parseExtObjectString(ExtObjectSpec *ext, const char *text);
