// A test fixture that loads TEQ pictures the way the panel does: from a
// RAM-disk file through the target link, into a fresh object table and heap1,
// with a headless display of 320 x 240 for fonts and drawing.
#pragma once
#include "test_support.h"

#include <memory>
#include <string>

#include "comm/target_link.h"
#include "data/process_points.h"
#include "runtime/heap.h"
#include "runtime/ramdisk.h"
#include "teq_render.h"
#include "teq_text.h"
#include "view/object_table.h"
#include "view/teq_reader.h"

class TeqTest : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        display_ = std::make_unique<teqc::HeadlessDisplay>(320, 240);
        MU_init();
    }
    void TearDown() override
    {
        display_.reset();
        TempDirTest::TearDown();
    }
    // An empty object table, read list and heap1, as after clearing the view.
    void reset()
    {
        OB_DeleteAllObjetcs();
        PPO_destroyList();
    }

    // Puts bytes into a RAM-disk file and opens it through the target link.
    static int openBytes(const std::string &bytes)
    {
        int out = RA_fileOpen("page.teq", "w");
        RA_fileWrite(bytes.data(), 1, static_cast<int>(bytes.size()), out);
        RA_fileClose(out);
        return Tarsel_fileOpen("page.teq", "r");
    }

    // Reads bytes as a TEQ file; answers the reader's result. offset_ holds
    // the bytes read when it stopped.
    int load(const std::string &bytes)
    {
        int file = openBytes(bytes);
        int result = teqFileReader(file);
        size_t remaining = 0;
        while (Tarsel_fileGetc(file) >= 0) remaining++;
        Tarsel_fileClose(file);
        offset_ = bytes.size() - remaining;
        return result;
    }

    // Compiles the text form and loads it.
    int loadText(const std::string &text) { return load(teqc::buildTeq(text)); }

    std::string log() { return readFile(path("pterm.log")); }

    template <typename T> T *object(int id) { return reinterpret_cast<T *>(OB_Get_Pointer(id)); }

    size_t offset_ = 0;
    std::unique_ptr<teqc::HeadlessDisplay> display_;
};
