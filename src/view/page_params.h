// Page parameters: the scanner that finds this system's applet tag in an HTML
// page and caches its <param> name/value pairs, the static tag file that adds
// to them, and the look-ups that turn a parameter name into its value.
#pragma once

#define HT_VALUE_SIZE 256

extern int HT_isInitialized;
extern char appletName[64];
extern int applet_width, applet_height;

int HT_isHtmlFile(const char *address);
// -1 file not found, 0 no applet tag of this system or no parameter, 1 read.
int HT_loadHtmlParameters(const char *fileName);
int HT_CacheAllHTMLParameters(const char *fileName);

// Each look-up answers 1 and copies the value into out (HT_VALUE_SIZE bytes),
// or 0 and copies the resolved name; before any scan they answer 0 and leave
// out as it is.
int HT_readHtmlParameter(const char *name, char *out);
int HT_readParamName(const char *name, char *out);
int readParamNameFromPPO(const char *name, char *out);
// The value (language table first), else the resolved name itself.
const char *HT_readValPtr(const char *name);

int HT_isHtmlTagPpoName(const char *text);
// The process-point name after "@PPO_" or "#PPO_", up to the next marker of
// the same kind; empty when there is no marker.
const char *HT_getPpoName(const char *text);

int HT_loadCsvFile(const char *fileName);
void HT_checkPmTm();
void HT_resetParameters();
// Back to before start-up: the parameters emptied (HT_resetParameters), and
// the applet tag and the look-up results forgotten as well.
void HT_reset();
