#!/usr/bin/env bash
# Writes a complete panel settings file (pterm.xml) to standard output: every
# element in the order the panel reads them, each with the value the panel
# writes when it completes a file, except those given as NAME=VALUE.
#   scripts/panel-settings.sh start_page=URL httpd_enabled=1 ... >pterm.xml
# An unknown name fails, so that a misspelt setting cannot go unnoticed.
set -euo pipefail
names=(version start_page log_file proxy_host proxy_port vpi_user vpi_pass prompt_url full_redraw
  debug_level kiosk keep_alive httpd_enabled httpd_port sip img_mem_max temp_dir warn_btn remote_mode
  teq_cache loading_msg show_selection config_page config_file httpd_debug_level boot_delay_sec
  set_width set_height inactivity_to_sec inactivity_pts_ms tmz_en mem_ramdisk_kb mem_heap1_kb
  mem_heap2_kb mem_lrheap_kb remote_view cmd_timeout_ms mqtt_broker mqtt_prefix mqtt_user
  mqtt_password mqtt_cafile mqtt_writes)
declare -A value=(
  [version]=122 [log_file]=pterm.log [proxy_port]=80 [prompt_url]=1 [full_redraw]=1 [debug_level]=1
  [kiosk]=1 [keep_alive]=0 [httpd_enabled]=0 [httpd_port]=80 [sip]=1 [img_mem_max]=2097152
  [temp_dir]='~pt~' [warn_btn]='1;0;!;1,1,20,20;255,165,0;0,0,0;' [remote_mode]=0 [teq_cache]=0
  [loading_msg]='1;0;Loading...;0,0,0,0;0,0,0;0,0,0;' [show_selection]=0 [httpd_debug_level]=0
  [boot_delay_sec]=0 [set_width]=0 [set_height]=0 [inactivity_to_sec]=0 [inactivity_pts_ms]=0
  [tmz_en]=0 [mem_ramdisk_kb]=0 [mem_heap1_kb]=0 [mem_heap2_kb]=0 [mem_lrheap_kb]=0 [remote_view]=0
  [cmd_timeout_ms]=5000 [mqtt_writes]=0
)
for name in "${names[@]}"; do [[ -v "value[$name]" ]] || value[$name]=""; done
for pair in "$@"; do
  name=${pair%%=*}
  [[ "$pair" == *=* && -v "value[$name]" ]] || { echo "panel-settings: no setting '$name'" >&2; exit 2; }
  value[$name]=${pair#*=}
done
echo '<?xml version="1.0" encoding="iso-8859-1"?>'
echo '<pterm>'
for name in "${names[@]}"; do printf '\t<%s>%s</%s>\n' "$name" "${value[$name]}" "$name"; done
echo '</pterm>'
