/* Nano-X client interface: the subset of the display-server API that the panel
 * uses, with the names, types and values of the upstream headers, so that the
 * panel can be linked either against this software framebuffer or against the
 * device's own library. The engine types (MW*) the interface needs come first.
 * Screen pixels are 32-bit 0xAABBGGRR values (pixtype MWPF_TRUECOLORABGR). */
#ifndef PANTERM_NANO_X_H
#define PANTERM_NANO_X_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- engine types ---- */
typedef int MWCOORD;
typedef int MWBOOL;
typedef uint32_t MWCOLORVAL;
typedef uint32_t MWPIXELVAL;
typedef uint32_t MWPIXELVALHW;
typedef uint32_t MWTEXTFLAGS;
typedef uint32_t MWTIMEOUT;
typedef unsigned char MWUCHAR;
typedef unsigned short MWIMAGEBITS;
typedef unsigned int MWIMGDATFMT;
typedef unsigned short MWKEY;
typedef unsigned short MWSCANCODE;
typedef unsigned int MWKEYMOD;

typedef struct {
    int x, y;
} MWPOINT;

typedef struct {
    unsigned char r, g, b, _padding;
} MWPALENTRY;

typedef struct {
    MWCOORD rows;
    MWCOORD cols;
    int xdpcm;
    int ydpcm;
    int planes;
    int bpp;
    MWIMGDATFMT data_format;
    uint32_t ncolors;
    int fonts;
    int buttons;
    MWKEYMOD modifiers;
    int pixtype;
    int portrait;
    int size;
    uint32_t rmask, gmask, bmask, amask;
    MWCOORD xpos, ypos;
    int vs_width, vs_height;
    int ws_width, ws_height;
} MWSCREENINFO;

typedef struct {
    int id;
    int width;
    int height;
    int planes;
    int bpp;
    MWIMGDATFMT data_format;
    unsigned int pitch;
    uint32_t transcolor;
    int palsize;
    MWPALENTRY palette[256];
} MWIMAGEINFO;

#define MWLF_FACESIZE 64
typedef struct {
    int32_t lfHeight, lfWidth, lfEscapement, lfOrientation, lfWeight;
    unsigned char lfItalic, lfUnderline, lfStrikeOut, lfCharSet, lfOutPrecision, lfClipPrecision, lfQuality,
        lfPitchAndFamily, lfClass, lfPitch, lfRoman, lfSerif, lfSansSerif, lfModern, lfMonospace, lfProportional,
        lfOblique, lfSmallCaps;
    char lfFaceName[MWLF_FACESIZE];
} MWLOGFONT;

#define MWARGB(a, r, g, b)                                                                                             \
    ((MWCOLORVAL)(((unsigned char)(r)) | (((uint32_t)(unsigned char)(g)) << 8) |                                       \
                  (((uint32_t)(unsigned char)(b)) << 16) | (((uint32_t)(unsigned char)(a)) << 24)))
#define MWRGB(r, g, b) MWARGB(255, (r), (g), (b))
#define MW0RGB(r, g, b) MWARGB(0, (r), (g), (b))
#define MWNOCOLOR 0x01000000

#define BLACK MWRGB(0, 0, 0)
#define BLUE MWRGB(0, 0, 128)
#define GREEN MWRGB(0, 128, 0)
#define CYAN MWRGB(0, 128, 128)
#define RED MWRGB(128, 0, 0)
#define MAGENTA MWRGB(128, 0, 128)
#define BROWN MWRGB(128, 64, 0)
#define LTGRAY MWRGB(192, 192, 192)
#define GRAY MWRGB(128, 128, 128)
#define LTBLUE MWRGB(0, 0, 255)
#define LTGREEN MWRGB(0, 255, 0)
#define LTCYAN MWRGB(0, 255, 255)
#define LTRED MWRGB(255, 0, 0)
#define LTMAGENTA MWRGB(255, 0, 255)
#define YELLOW MWRGB(255, 255, 0)
#define WHITE MWRGB(255, 255, 255)
#define DKGRAY MWRGB(32, 32, 32)

/* raster operations */
#define MWROP_COPY 0
#define MWROP_XOR 1
#define MWROP_OR 2
#define MWROP_AND 3
#define MWROP_CLEAR 4
#define MWROP_SET 5
#define MWROP_EQUIV 6
#define MWROP_NOR 7
#define MWROP_NAND 8
#define MWROP_INVERT 9
#define MWROP_COPYINVERTED 10
#define MWROP_ORINVERTED 11
#define MWROP_ANDINVERTED 12
#define MWROP_ORREVERSE 13
#define MWROP_ANDREVERSE 14
#define MWROP_NOOP 15
#define MWROP_XOR_FGBG 16
#define MWROP_SRC_OVER 17
#define MWROP_SRCTRANSCOPY 26
#define MWROP_BLENDCONSTANT 32
#define MWROP_BLENDFGBG 33
#define MWROP_USE_GC_MODE 255

/* pixel types */
#define MWPF_RGB 0
#define MWPF_PIXELVAL 1
#define MWPF_PALETTE 2
#define MWPF_TRUECOLORRGB 4
#define MWPF_TRUECOLOR565 5
#define MWPF_TRUECOLOR555 6
#define MWPF_TRUECOLOR332 7
#define MWPF_TRUECOLORARGB 8
#define MWPF_TRUECOLOR233 9
#define MWPF_HWPIXELVAL 10
#define MWPF_TRUECOLORABGR 11
#define MWPF_TRUECOLOR1555 12

/* image data formats */
#define MWIF_HASALPHA 0x10
#define MWIF_BGRA8888 0x1010
#define MWIF_RGBA8888 0x2010
#define MWIF_BGR888 0x3000
#define MWIF_RGB888 0x4000

/* buttons and modifiers */
#define MWBUTTON_L 0x01
#define MWBUTTON_R 0x02
#define MWBUTTON_M 0x10
#define MWBUTTON_SCROLLUP 0x20
#define MWBUTTON_SCROLLDN 0x40
#define MWKMOD_NONE 0x0000
#define MWKMOD_LSHIFT 0x0001
#define MWKMOD_RSHIFT 0x0002
#define MWKMOD_LCTRL 0x0040
#define MWKMOD_RCTRL 0x0080
#define MWKMOD_LALT 0x0100
#define MWKMOD_RALT 0x0200
#define MWKMOD_LMETA 0x0400
#define MWKMOD_RMETA 0x0800
#define MWKMOD_NUM 0x1000
#define MWKMOD_CAPS 0x2000
#define MWKMOD_ALTGR 0x4000
#define MWKMOD_SCR 0x8000
#define MWKMOD_SHIFT (MWKMOD_LSHIFT | MWKMOD_RSHIFT)
#define MWKMOD_CTRL (MWKMOD_LCTRL | MWKMOD_RCTRL)
#define MWKMOD_ALT (MWKMOD_LALT | MWKMOD_RALT)
#define MWKMOD_META (MWKMOD_LMETA | MWKMOD_RMETA)

/* key values */
#define MWKEY_UNKNOWN 0
#define MWKEY_BACKSPACE 8
#define MWKEY_TAB 9
#define MWKEY_ENTER 13
#define MWKEY_ESCAPE 27
#define MWKEY_FIRST 0xF800
#define MWKEY_NONASCII_MASK 0xFF00
#define MWKEY_LEFT 0xF800
#define MWKEY_RIGHT 0xF801
#define MWKEY_UP 0xF802
#define MWKEY_DOWN 0xF803
#define MWKEY_INSERT 0xF804
#define MWKEY_DELETE 0xF805
#define MWKEY_HOME 0xF806
#define MWKEY_END 0xF807
#define MWKEY_PAGEUP 0xF808
#define MWKEY_PAGEDOWN 0xF809
#define MWKEY_KP0 0xF80A
#define MWKEY_KP9 0xF813
#define MWKEY_KP_PERIOD 0xF814
#define MWKEY_KP_DIVIDE 0xF815
#define MWKEY_KP_MULTIPLY 0xF816
#define MWKEY_KP_MINUS 0xF817
#define MWKEY_KP_PLUS 0xF818
#define MWKEY_KP_ENTER 0xF819
#define MWKEY_KP_EQUALS 0xF81A
#define MWKEY_F1 0xF81B
#define MWKEY_F2 0xF81C
#define MWKEY_F3 0xF81D
#define MWKEY_F4 0xF81E
#define MWKEY_F5 0xF81F
#define MWKEY_F6 0xF820
#define MWKEY_F7 0xF821
#define MWKEY_F8 0xF822
#define MWKEY_F9 0xF823
#define MWKEY_F10 0xF824
#define MWKEY_F11 0xF825
#define MWKEY_F12 0xF827
#define MWKEY_NUMLOCK 0xF828
#define MWKEY_CAPSLOCK 0xF829
#define MWKEY_SCROLLOCK 0xF82A
#define MWKEY_LSHIFT 0xF82B
#define MWKEY_RSHIFT 0xF82C
#define MWKEY_LCTRL 0xF82D
#define MWKEY_RCTRL 0xF82E
#define MWKEY_LALT 0xF82F
#define MWKEY_RALT 0xF830
#define MWKEY_LMETA 0xF831
#define MWKEY_RMETA 0xF832
#define MWKEY_ALTGR 0xF833
#define MWKEY_PRINT 0xF834
#define MWKEY_SYSREQ 0xF835
#define MWKEY_PAUSE 0xF836
#define MWKEY_BREAK 0xF837
#define MWKEY_QUIT 0xF838
#define MWKEY_MENU 0xF839
#define MWKEY_REDRAW 0xF83A
#define MWKEY_CONTRAST 0xF842
#define MWKEY_BRIGHTNESS 0xF843
#define MWKEY_SELECTUP 0xF844
#define MWKEY_SELECTDOWN 0xF845
#define MWKEY_ACCEPT 0xF846
#define MWKEY_CANCEL 0xF847
#define MWKEY_APP1 0xF848
#define MWKEY_APP2 0xF849
#define MWKEY_APP3 0xF84A
#define MWKEY_APP4 0xF84B
#define MWKEY_SUSPEND 0xF84C

/* The panel's key values for the left and right logo keys, which the
   interface above does not name. */
#define NX_KEY_LWIN 0x0400
#define NX_KEY_RWIN 0x0800

/* ---- client types ---- */
typedef MWCOORD GR_COORD;
typedef MWCOORD GR_SIZE;
typedef MWCOLORVAL GR_COLOR;
typedef MWPIXELVALHW GR_PIXELVAL;
typedef MWIMAGEBITS GR_BITMAP;
typedef MWUCHAR GR_CHAR;
typedef uint32_t GR_TEXTFLAGS;
typedef uint32_t GR_TIMEOUT;
typedef uint32_t GR_EVENT_MASK;
typedef uint32_t GR_WM_PROPS;
typedef uint32_t GR_SERIALNO;
typedef uint32_t GR_LENGTH;
typedef unsigned short GR_KEY;
typedef unsigned short GR_SCANCODE;
typedef unsigned short GR_MIMETYPE;
typedef unsigned short GR_BOOL;
typedef unsigned int GR_KEYMOD;
typedef unsigned int GR_BUTTON;
typedef unsigned int GR_ID;
typedef GR_ID GR_DRAW_ID;
typedef GR_DRAW_ID GR_WINDOW_ID;
typedef GR_DRAW_ID GR_IMAGE_ID;
typedef GR_ID GR_GC_ID;
typedef GR_ID GR_REGION_ID;
typedef GR_ID GR_FONT_ID;
typedef GR_ID GR_TIMER_ID;
typedef GR_ID GR_CURSOR_ID;
typedef int GR_COUNT;
typedef int GR_ERROR;
typedef int GR_EVENT_TYPE;
typedef int GR_UPDATE_TYPE;
typedef unsigned char GR_CHAR_WIDTH;
typedef char GR_FUNC_NAME[26];
typedef MWSCREENINFO GR_SCREEN_INFO;
typedef MWIMAGEINFO GR_IMAGE_INFO;
typedef MWLOGFONT GR_LOGFONT;
typedef MWPALENTRY GR_PALENTRY;
typedef MWPOINT GR_POINT;

typedef struct {
    GR_COORD x, y;
    GR_SIZE width, height;
} GR_RECT;

typedef struct {
    GR_WM_PROPS flags;
    GR_WM_PROPS props;
    char *title;
    GR_COLOR background;
    GR_SIZE bordersize;
    GR_COLOR bordercolor;
} GR_WM_PROPERTIES;

/* ---- constants ---- */
#define GR_ROOT_WINDOW_ID ((GR_WINDOW_ID)1)
#define GR_FALSE 0
#define GR_TRUE 1
#define GR_TIMEOUT_BLOCK 0
#define GR_TIMEOUT_POLL ((GR_TIMEOUT)-1)
#define GR_TIMEOUT_MSECS(n) (n)

#define GR_RGB(r, g, b) MWRGB(r, g, b)
#define GR_ARGB(a, r, g, b) MWARGB(a, r, g, b)

#define GR_MODE_COPY MWROP_COPY
#define GR_MODE_SET MWROP_SET
#define GR_MODE_XOR MWROP_XOR
#define GR_MODE_OR MWROP_OR
#define GR_MODE_AND MWROP_AND
#define GR_MODE_CLEAR MWROP_CLEAR
#define GR_MODE_EQUIV MWROP_EQUIV
#define GR_MODE_NOR MWROP_NOR
#define GR_MODE_NAND MWROP_NAND
#define GR_MODE_INVERT MWROP_INVERT
#define GR_MODE_COPYINVERTED MWROP_COPYINVERTED
#define GR_MODE_ORINVERTED MWROP_ORINVERTED
#define GR_MODE_ANDINVERTED MWROP_ANDINVERTED
#define GR_MODE_ORREVERSE MWROP_ORREVERSE
#define GR_MODE_ANDREVERSE MWROP_ANDREVERSE
#define GR_MODE_NOOP MWROP_NOOP
#define GR_MODE_DRAWMASK 0x00FF
#define GR_MODE_EXCLUDECHILDREN 0x0100

#define GR_LINE_SOLID 0
#define GR_LINE_ONOFF_DASH 1
#define GR_FILL_SOLID 0
#define GR_FILL_STIPPLE 1
#define GR_FILL_OPAQUE_STIPPLE 2
#define GR_FILL_TILE 3
#define GR_POLY_EVENODD 1
#define GR_POLY_WINDING 2

#define GR_TFASCII 0x00000000
#define GR_TFUTF8 0x00000001
#define GR_TFUC16 0x00000002
#define GR_TFUC32 0x00000004
#define GR_TFXCHAR2B 0x00000008
#define GR_TFPACKMASK 0x0000000F
#define GR_TFTOP 0x01000000
#define GR_TFBASELINE 0x02000000
#define GR_TFBOTTOM 0x04000000
#define GR_TFKERNING 0x0001
#define GR_TFANTIALIAS 0x0002
#define GR_TFUNDERLINE 0x0004
#define GR_TFBOLD 0x0008

#define GR_FONT_SYSTEM_VAR "System"
#define GR_FONT_SYSTEM_FIXED "SystemFixed"
#define GR_FONT_GUI_VAR "System"
#define GR_FONT_OEM_FIXED "SystemFixed"

#define MWLF_CLASS_ANY 0
#define MWLF_CLASS_BUILTIN 1
#define MWLF_CLASS_FREETYPE 4

#define GR_BUTTON_L MWBUTTON_L
#define GR_BUTTON_R MWBUTTON_R
#define GR_BUTTON_M MWBUTTON_M
#define GR_BUTTON_SCROLLUP MWBUTTON_SCROLLUP
#define GR_BUTTON_SCROLLDN MWBUTTON_SCROLLDN
#define GR_BUTTON_ANY (GR_BUTTON_L | GR_BUTTON_R | GR_BUTTON_M | GR_BUTTON_SCROLLUP | GR_BUTTON_SCROLLDN)

#define GR_EVENT_TYPE_ERROR (-1)
#define GR_EVENT_TYPE_NONE 0
#define GR_EVENT_TYPE_EXPOSURE 1
#define GR_EVENT_TYPE_BUTTON_DOWN 2
#define GR_EVENT_TYPE_BUTTON_UP 3
#define GR_EVENT_TYPE_MOUSE_ENTER 4
#define GR_EVENT_TYPE_MOUSE_EXIT 5
#define GR_EVENT_TYPE_MOUSE_MOTION 6
#define GR_EVENT_TYPE_MOUSE_POSITION 7
#define GR_EVENT_TYPE_KEY_DOWN 8
#define GR_EVENT_TYPE_KEY_UP 9
#define GR_EVENT_TYPE_FOCUS_IN 10
#define GR_EVENT_TYPE_FOCUS_OUT 11
#define GR_EVENT_TYPE_FDINPUT 12
#define GR_EVENT_TYPE_UPDATE 13
#define GR_EVENT_TYPE_CHLD_UPDATE 14
#define GR_EVENT_TYPE_CLOSE_REQ 15
#define GR_EVENT_TYPE_TIMEOUT 16
#define GR_EVENT_TYPE_SCREENSAVER 17
#define GR_EVENT_TYPE_CLIENT_DATA_REQ 18
#define GR_EVENT_TYPE_CLIENT_DATA 19
#define GR_EVENT_TYPE_SELECTION_CHANGED 20
#define GR_EVENT_TYPE_TIMER 21
#define GR_EVENT_TYPE_PORTRAIT_CHANGED 22

#define GR_EVENTMASK(n) (((GR_EVENT_MASK)1) << (n))
#define GR_EVENT_MASK_NONE GR_EVENTMASK(GR_EVENT_TYPE_NONE)
#define GR_EVENT_MASK_ERROR 0x80000000L
#define GR_EVENT_MASK_EXPOSURE GR_EVENTMASK(GR_EVENT_TYPE_EXPOSURE)
#define GR_EVENT_MASK_BUTTON_DOWN GR_EVENTMASK(GR_EVENT_TYPE_BUTTON_DOWN)
#define GR_EVENT_MASK_BUTTON_UP GR_EVENTMASK(GR_EVENT_TYPE_BUTTON_UP)
#define GR_EVENT_MASK_MOUSE_ENTER GR_EVENTMASK(GR_EVENT_TYPE_MOUSE_ENTER)
#define GR_EVENT_MASK_MOUSE_EXIT GR_EVENTMASK(GR_EVENT_TYPE_MOUSE_EXIT)
#define GR_EVENT_MASK_MOUSE_MOTION GR_EVENTMASK(GR_EVENT_TYPE_MOUSE_MOTION)
#define GR_EVENT_MASK_MOUSE_POSITION GR_EVENTMASK(GR_EVENT_TYPE_MOUSE_POSITION)
#define GR_EVENT_MASK_KEY_DOWN GR_EVENTMASK(GR_EVENT_TYPE_KEY_DOWN)
#define GR_EVENT_MASK_KEY_UP GR_EVENTMASK(GR_EVENT_TYPE_KEY_UP)
#define GR_EVENT_MASK_FOCUS_IN GR_EVENTMASK(GR_EVENT_TYPE_FOCUS_IN)
#define GR_EVENT_MASK_FOCUS_OUT GR_EVENTMASK(GR_EVENT_TYPE_FOCUS_OUT)
#define GR_EVENT_MASK_FDINPUT GR_EVENTMASK(GR_EVENT_TYPE_FDINPUT)
#define GR_EVENT_MASK_UPDATE GR_EVENTMASK(GR_EVENT_TYPE_UPDATE)
#define GR_EVENT_MASK_CHLD_UPDATE GR_EVENTMASK(GR_EVENT_TYPE_CHLD_UPDATE)
#define GR_EVENT_MASK_CLOSE_REQ GR_EVENTMASK(GR_EVENT_TYPE_CLOSE_REQ)
#define GR_EVENT_MASK_TIMEOUT GR_EVENTMASK(GR_EVENT_TYPE_TIMEOUT)
#define GR_EVENT_MASK_SCREENSAVER GR_EVENTMASK(GR_EVENT_TYPE_SCREENSAVER)
#define GR_EVENT_MASK_TIMER GR_EVENTMASK(GR_EVENT_TYPE_TIMER)
#define GR_EVENT_MASK_ALL ((GR_EVENT_MASK)0xFFFFFFFF)

#define GR_UPDATE_MAP 1
#define GR_UPDATE_UNMAP 2
#define GR_UPDATE_MOVE 3
#define GR_UPDATE_SIZE 4
#define GR_UPDATE_UNMAPTEMP 5
#define GR_UPDATE_ACTIVATE 6
#define GR_UPDATE_DESTROY 7
#define GR_UPDATE_REPARENT 8

#define GR_ERROR_BAD_WINDOW_ID 1
#define GR_ERROR_BAD_GC_ID 2
#define GR_ERROR_BAD_CURSOR_SIZE 3
#define GR_ERROR_MALLOC_FAILED 4
#define GR_ERROR_BAD_WINDOW_SIZE 5
#define GR_ERROR_KEYBOARD_ERROR 6
#define GR_ERROR_MOUSE_ERROR 7
#define GR_ERROR_INPUT_ONLY_WINDOW 8
#define GR_ERROR_ILLEGAL_ON_ROOT_WINDOW 9
#define GR_ERROR_TOO_MUCH_CLIPPING 10
#define GR_ERROR_SCREEN_ERROR 11
#define GR_ERROR_UNMAPPED_FOCUS_WINDOW 12
#define GR_ERROR_BAD_DRAWING_MODE 13
#define GR_ERROR_BAD_LINE_ATTRIBUTE 14
#define GR_ERROR_BAD_FILL_MODE 15
#define GR_ERROR_BAD_REGION_ID 16

#define GR_WM_PROPS_NOBACKGROUND 0x00000001
#define GR_WM_PROPS_NOFOCUS 0x00000002
#define GR_WM_PROPS_NOMOVE 0x00000004
#define GR_WM_PROPS_NORAISE 0x00000008
#define GR_WM_PROPS_NODECORATE 0x00000010
#define GR_WM_PROPS_NOAUTOMOVE 0x00000020
#define GR_WM_PROPS_NOAUTORESIZE 0x00000040
#define GR_WM_PROPS_NORESIZE 0x00000080
#define GR_WM_PROPS_BUFFERED 0x00000100
#define GR_WM_PROPS_APPWINDOW 0x00000000
#define GR_WM_PROPS_APPMASK 0xF0000000
#define GR_WM_PROPS_BORDER 0x80000000
#define GR_WM_PROPS_APPFRAME 0x40000000
#define GR_WM_PROPS_CAPTION 0x20000000
#define GR_WM_PROPS_CLOSEBOX 0x10000000
#define GR_WM_PROPS_MAXIMIZE 0x08000000
#define GR_WM_FLAGS_PROPS 0x0001
#define GR_WM_FLAGS_TITLE 0x0002
#define GR_WM_FLAGS_BACKGROUND 0x0004
#define GR_WM_FLAGS_BORDERSIZE 0x0008
#define GR_WM_FLAGS_BORDERCOLOR 0x0010

/* ---- events ---- */
typedef struct {
    GR_EVENT_TYPE type;
    GR_FUNC_NAME name;
    GR_ERROR code;
    GR_ID id;
} GR_EVENT_ERROR;

typedef struct {
    GR_EVENT_TYPE type;
    GR_WINDOW_ID wid, subwid;
    GR_COORD rootx, rooty, x, y;
    GR_BUTTON buttons, changebuttons;
    GR_KEYMOD modifiers;
    GR_TIMEOUT time;
} GR_EVENT_BUTTON;

typedef struct {
    GR_EVENT_TYPE type;
    GR_WINDOW_ID wid, subwid;
    GR_COORD rootx, rooty, x, y;
    GR_BUTTON buttons;
    GR_KEYMOD modifiers;
    GR_KEY ch;
    GR_SCANCODE scancode;
    GR_BOOL hotkey;
} GR_EVENT_KEYSTROKE;

typedef struct {
    GR_EVENT_TYPE type;
    GR_WINDOW_ID wid;
    GR_COORD x, y;
    GR_SIZE width, height;
} GR_EVENT_EXPOSURE;

typedef struct {
    GR_EVENT_TYPE type;
    GR_WINDOW_ID wid, otherid;
    GR_COORD rootx, rooty, x, y;
} GR_EVENT_GENERAL;

typedef struct {
    GR_EVENT_TYPE type;
    GR_WINDOW_ID wid, subwid;
    GR_COORD rootx, rooty, x, y;
    GR_BUTTON buttons;
    GR_KEYMOD modifiers;
} GR_EVENT_MOUSE;

typedef struct {
    GR_EVENT_TYPE type;
    int fd;
} GR_EVENT_FDINPUT;

typedef struct {
    GR_EVENT_TYPE type;
    GR_WINDOW_ID wid, subwid;
    GR_COORD x, y;
    GR_SIZE width, height;
    GR_UPDATE_TYPE utype;
} GR_EVENT_UPDATE;

typedef struct {
    GR_EVENT_TYPE type;
    GR_BOOL activate;
} GR_EVENT_SCREENSAVER;

typedef struct {
    GR_EVENT_TYPE type;
    GR_WINDOW_ID wid, rid;
    GR_SERIALNO serial;
    GR_MIMETYPE mimetype;
} GR_EVENT_CLIENT_DATA_REQ;

typedef struct {
    GR_EVENT_TYPE type;
    GR_WINDOW_ID wid, rid;
    GR_SERIALNO serial;
    uint32_t len, datalen;
    void *data;
} GR_EVENT_CLIENT_DATA;

typedef struct {
    GR_EVENT_TYPE type;
    GR_WINDOW_ID new_owner;
} GR_EVENT_SELECTION_CHANGED;

typedef struct {
    GR_EVENT_TYPE type;
    GR_WINDOW_ID wid;
    GR_TIMER_ID tid;
} GR_EVENT_TIMER;

typedef union {
    GR_EVENT_TYPE type;
    GR_EVENT_ERROR error;
    GR_EVENT_GENERAL general;
    GR_EVENT_BUTTON button;
    GR_EVENT_KEYSTROKE keystroke;
    GR_EVENT_EXPOSURE exposure;
    GR_EVENT_MOUSE mouse;
    GR_EVENT_FDINPUT fdinput;
    GR_EVENT_UPDATE update;
    GR_EVENT_SCREENSAVER screensaver;
    GR_EVENT_CLIENT_DATA_REQ clientdatareq;
    GR_EVENT_CLIENT_DATA clientdata;
    GR_EVENT_SELECTION_CHANGED selectionchanged;
    GR_EVENT_TIMER timer;
} GR_EVENT;

typedef void (*GR_FNCALLBACKEVENT)(GR_EVENT *);

/* ---- functions ---- */
int GrOpen(void);
void GrClose(void);
void GrFlush(void);
void GrDelay(GR_TIMEOUT msecs);
void GrGetScreenInfo(GR_SCREEN_INFO *sip);
GR_FNCALLBACKEVENT GrSetErrorHandler(GR_FNCALLBACKEVENT fncb);

GR_WINDOW_ID GrNewWindow(GR_WINDOW_ID parent, GR_COORD x, GR_COORD y, GR_SIZE width, GR_SIZE height, GR_SIZE bordersize,
                         GR_COLOR background, GR_COLOR bordercolor);
GR_WINDOW_ID GrNewWindowEx(GR_WM_PROPS props, const char *title, GR_WINDOW_ID parent, GR_COORD x, GR_COORD y,
                           GR_SIZE width, GR_SIZE height, GR_COLOR background);
void GrMapWindow(GR_WINDOW_ID wid);
void GrUnmapWindow(GR_WINDOW_ID wid);
void GrDestroyWindow(GR_WINDOW_ID wid);
void GrResizeWindow(GR_WINDOW_ID wid, GR_SIZE width, GR_SIZE height);
void GrSetFocus(GR_WINDOW_ID wid);
GR_WINDOW_ID GrGetFocus(void);
void GrSelectEvents(GR_WINDOW_ID wid, GR_EVENT_MASK eventmask);
void GrSetWMProperties(GR_WINDOW_ID wid, GR_WM_PROPERTIES *props);
void GrClearArea(GR_WINDOW_ID wid, GR_COORD x, GR_COORD y, GR_SIZE width, GR_SIZE height, int exposeflag);
#define GrClearWindow(wid, exposeflag) GrClearArea(wid, 0, 0, 0, 0, exposeflag)
void GrCloseWindow(GR_WINDOW_ID wid);

GR_WINDOW_ID GrNewPixmapEx(GR_SIZE width, GR_SIZE height, int format, void *pixels);
#define GrNewPixmap(width, height, pixels) GrNewPixmapEx(width, height, 0, pixels)
void GrCopyArea(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y, GR_SIZE width, GR_SIZE height, GR_DRAW_ID srcid,
                GR_COORD srcx, GR_COORD srcy, int op);
/* Reads width x height screen pixel values (0xAABBGGRR) of a drawable into
 * pixels, row by row; pixels outside the drawable read as 0. */
void GrReadArea(GR_DRAW_ID id, GR_COORD x, GR_COORD y, GR_SIZE width, GR_SIZE height, GR_PIXELVAL *pixels);

GR_GC_ID GrNewGC(void);
void GrDestroyGC(GR_GC_ID gc);
void GrSetGCForeground(GR_GC_ID gc, GR_COLOR foreground);
void GrSetGCBackground(GR_GC_ID gc, GR_COLOR background);
void GrSetGCUseBackground(GR_GC_ID gc, GR_BOOL flag);
void GrSetGCFont(GR_GC_ID gc, GR_FONT_ID font);
void GrSetGCMode(GR_GC_ID gc, int mode);
void GrSetGCLineAttributes(GR_GC_ID gc, int linestyle);
void GrSetGCDash(GR_GC_ID gc, char *dashes, int count);
void GrSetGCRegion(GR_GC_ID gc, GR_REGION_ID region);

GR_REGION_ID GrNewRegion(void);
void GrUnionRectWithRegion(GR_REGION_ID region, GR_RECT *rect);
void GrDestroyRegion(GR_REGION_ID region);

void GrPoint(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y);
void GrLine(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x1, GR_COORD y1, GR_COORD x2, GR_COORD y2);
void GrRect(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y, GR_SIZE width, GR_SIZE height);
void GrFillRect(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y, GR_SIZE width, GR_SIZE height);
void GrPoly(GR_DRAW_ID id, GR_GC_ID gc, GR_COUNT count, GR_POINT *pointtable);
void GrFillPoly(GR_DRAW_ID id, GR_GC_ID gc, GR_COUNT count, GR_POINT *pointtable);
void GrEllipse(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y, GR_SIZE rx, GR_SIZE ry);
void GrFillEllipse(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y, GR_SIZE rx, GR_SIZE ry);

void GrText(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y, void *str, GR_COUNT count, GR_TEXTFLAGS flags);
void GrGetGCTextSize(GR_GC_ID gc, void *str, int count, GR_TEXTFLAGS flags, GR_SIZE *retwidth, GR_SIZE *retheight,
                     GR_SIZE *retbase);
GR_FONT_ID GrCreateFontEx(const char *name, GR_COORD height, GR_COORD width, GR_LOGFONT *plogfont);
#define GrCreateFont(name, height, plogfont) GrCreateFontEx((name), (height), (height), (plogfont))
void GrDestroyFont(GR_FONT_ID fontid);

GR_IMAGE_ID GrLoadImageFromBuffer(void *buffer, int size, int flags);
void GrGetImageInfo(GR_IMAGE_ID id, GR_IMAGE_INFO *iip);
void GrDrawImagePartToFit(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD dx, GR_COORD dy, GR_SIZE dwidth, GR_SIZE dheight,
                          GR_COORD sx, GR_COORD sy, GR_SIZE swidth, GR_SIZE sheight, GR_IMAGE_ID imageid);
#define GrDrawImageToFit(id, gc, x, y, width, height, imageid)                                                         \
    GrDrawImagePartToFit(id, gc, x, y, width, height, 0, 0, 0, 0, imageid)
void GrFreeImage(GR_IMAGE_ID id);
/* The width and height a picture file held in memory declares in its header,
   read without decoding it: 1, or 0 when the format is not known. */
int NX_imageSizeFromBuffer(const void *buffer, int size, int *width, int *height);

void GrGetNextEvent(GR_EVENT *ep);
void GrGetNextEventTimeout(GR_EVENT *ep, GR_TIMEOUT timeout);
void GrCheckNextEvent(GR_EVENT *ep);
int GrPeekEvent(GR_EVENT *ep);

#ifdef __cplusplus
}
#endif

#endif
