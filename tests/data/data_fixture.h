// A fresh container store and read list for each data test.
#pragma once
#include "test_support.h"

#include <string>

#include "data/containers.h"
#include "runtime/heap.h"

class DataTest : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        MU_init();
        MU_init2();
        HT_resetContainers();
    }
    static std::string co(const char *name)
    {
        char value[256] = "?";
        HT_readContainer(name, value);
        return value;
    }
    static int setCo(const char *name, const std::string &value) { return HT_writeContainer(name, value.c_str()); }
    std::string log() { return readFile(path("pterm.log")); }
};
