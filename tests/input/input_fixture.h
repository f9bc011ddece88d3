// Pages of image buttons for the input tests: every button appends its name
// and "+" to the container "log" when pressed and its name and "-" when
// released, so that a test reads what happened, in order. Also the screen's
// pixels, clicks and keys, and values of the panel's own store.
#pragma once
#include "view/teq_fixture.h"

#include <string>

#include "data/containers.h"
#include "data/value_store.h"
#include "draw/graphics.h"
#include "input/input_events.h"
#include "input/key_queue.h"
#include "runtime/str_util.h"

class InputTest : public TeqTest {
public:
    static std::string logAction(int trigger, const std::string &text)
    {
        return "    action " + std::to_string(trigger) + " 16 {\n      dest CO \"log\"\n      source STRING \"" + text +
               "\"\n    }\n";
    }
    // A painter of class cls whose block (id 1) holds block.
    static std::string painter(const std::string &cls, int x, int y, int w, int h, const std::string &block,
                               int plc = 0)
    {
        return "painter \"" + cls + "\" at " + std::to_string(x) + "," + std::to_string(y) + " size " +
               std::to_string(w) + "," + std::to_string(h) + " plc " + std::to_string(plc) + " {\n  block \"" + cls +
               "\" id 1 {\n" + block + "  }\n}\n";
    }
    // A button that logs its presses and releases; more goes into its block.
    static std::string button(const std::string &name, int x, int y, int w, int h, const std::string &more = "")
    {
        return painter("IButtonP", x, y, w, h, logAction(0, name + "+") + logAction(1, name + "-") + more);
    }
    static std::string rectangle(int x, int y, int w, int h)
    {
        return "painter \"XRectangleP\" at " + std::to_string(x) + "," + std::to_string(y) + " size " +
               std::to_string(w) + "," + std::to_string(h) + " plc 0 {\n  block \"XRectangleP\" id 9\n}\n";
    }

protected:
    static constexpr uint32_t kWhite = 0xFFFFFFFF, kBlack = 0xFF000000, kRed = 0xFF0000FF, kBlue = 0xFFFF0000,
                              kGreen = 0xFF00FF00;
    static uint32_t px(int x, int y)
    {
        GR_PIXELVAL p = 0;
        GrReadArea(g_screen, x, y, 1, 1, &p);
        return p;
    }
    static int count(int x, int y, int w, int h, uint32_t c)
    {
        int n = 0;
        for (int j = y; j < y + h; j++)
            for (int i = x; i < x + w; i++) n += px(i, j) == c;
        return n;
    }
    // Pixels that are not white: text is drawn with smoothed edges.
    static int inked(int x, int y, int w, int h) { return w * h - count(x, y, w, h, kWhite); }
    static void click(int x, int y)
    {
        MH_mouseDown(x, y);
        MH_mouseUp(x, y);
    }
    static void key(const char *name)
    {
        SetKeyEvent(KEY_STATE_PRESSED, name);
        MH_entry();
    }
    static void set(const std::string &name, const std::string &value)
    {
        HT_writeContainer(name.c_str(), value.c_str());
    }
    // A value of the panel's own store (asking for a name first creates it).
    static std::string point(const char *name)
    {
        char text[DS_VALUE_SIZE] = "";
        DS_readVal(name, text, nullptr);
        return text;
    }
    static void setPoint(const char *name, const std::string &value)
    {
        char text[DS_VALUE_SIZE];
        DS_readVal(name, text, nullptr);
        safe_strncpy(text, value.c_str(), sizeof text);
        DS_writeVal(name, text, nullptr);
    }
    void SetUp() override
    {
        TeqTest::SetUp();
        MU_init2();
        HT_resetContainers();
        ResetKeyQueue();
    }
    void page(const std::string &painters)
    {
        reset();
        MU_freeAll();
        ASSERT_EQ(loadText("teq f\npage-size 320,240\n" + painters), 0) << log();
        HT_writeContainer("log", "");
    }
    static std::string co(const char *name)
    {
        const char *value = CO_readValPtr(name);
        return value ? value : "<none>";
    }
    std::string events() { return co("log"); }
    static int countOf(const std::string &text, const std::string &part)
    {
        int n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
        return n;
    }
};
