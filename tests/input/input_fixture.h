// Pages of image buttons for the input tests: every button appends its name
// and "+" to the container "log" when pressed and its name and "-" when
// released, so that a test reads what happened, in order.
#pragma once
#include "view/teq_fixture.h"

#include <string>

#include "data/containers.h"
#include "input/key_queue.h"

class InputTest : public TeqTest {
public:
    static std::string logAction(int trigger, const std::string &text)
    {
        return "    action " + std::to_string(trigger) + " 16 {\n      dest CO \"log\"\n      source STRING \"" + text +
               "\"\n    }\n";
    }
    // A button that logs its presses and releases; more goes into its block.
    static std::string button(const std::string &name, int x, int y, int w, int h, const std::string &more = "")
    {
        return "painter \"IButtonP\" at " + std::to_string(x) + "," + std::to_string(y) + " size " + std::to_string(w) +
               "," + std::to_string(h) + " plc 0 {\n  block \"IButtonP\" id 1 {\n" + logAction(0, name + "+") +
               logAction(1, name + "-") + more + "  }\n}\n";
    }
    static std::string rectangle(int x, int y, int w, int h)
    {
        return "painter \"XRectangleP\" at " + std::to_string(x) + "," + std::to_string(y) + " size " +
               std::to_string(w) + "," + std::to_string(h) + " plc 0 {\n  block \"XRectangleP\" id 9\n}\n";
    }

protected:
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
