#include "test_support.h"

#include <string>
#include <thread>
#include <vector>

#include "runtime/settings.h"
#include "runtime/ramdisk.h"

class RamDisk : public TempDirTest {
protected:
    int writeFile(const char *name, const std::string &data)
    {
        int h = RA_fileOpen(name, "w");
        if (h < 0) return h;
        int n = RA_fileWrite(data.data(), 1, static_cast<int>(data.size()), h);
        RA_fileClose(h);
        return n;
    }
    std::string readAll(int h)
    {
        std::string out;
        for (int c; (c = RA_fileGetc(h)) >= 0;) out += static_cast<char>(c);
        return out;
    }
    std::string readFile(const char *name)
    {
        int h = RA_fileOpen(name, "r");
        if (h < 0) return "<closed>";
        std::string out = readAll(h);
        RA_fileClose(h);
        return out;
    }
};

static std::string pattern(size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; i++) s += static_cast<char>('a' + i % 26);
    return s;
}

TEST_F(RamDisk, BlockBoundariesAndChainLinks)
{
    ASSERT_EQ(writeFile("one", pattern(253)), 253);
    EXPECT_EQ(RA_freeSpace(), RA_SizeMax - 256) << "253 bytes fill exactly one block";
    int h = RA_fileOpen("one", "r");
    EXPECT_EQ(RA_fileSize(h), 253);
    EXPECT_EQ(readAll(h), pattern(253));
    EXPECT_EQ(RA_fileGetc(h), -1);
    RA_fileClose(h);

    ASSERT_EQ(writeFile("two", pattern(254)), 254);
    EXPECT_EQ(RA_freeSpace(), RA_SizeMax - 3 * 256);
    EXPECT_EQ(readFile("two"), pattern(254));

    std::string big = pattern(5000);
    ASSERT_EQ(writeFile("big", big), 5000);
    EXPECT_EQ(readFile("big"), big);

    h = RA_fileOpen("big", "r");
    RA_seek(h, 253);
    EXPECT_EQ(RA_fileGetc(h), big[253]);
    RA_seek(h, 4999);
    EXPECT_EQ(RA_fileGetc(h), big[4999]);
    EXPECT_EQ(RA_fileGetc(h), -1);
    RA_seek(h, 0);
    EXPECT_EQ(RA_fileGetc(h), big[0]);
    RA_fileClose(h);

    ASSERT_EQ(writeFile("empty", ""), 0);
    h = RA_fileOpen("empty", "r");
    EXPECT_EQ(RA_fileSize(h), 0);
    EXPECT_EQ(RA_fileGetc(h), -1);
    RA_fileClose(h);
}

TEST_F(RamDisk, TruncateDeleteAndOpenConflicts)
{
    writeFile("f", pattern(1000));
    uint32_t before = RA_freeSpace();
    int w = RA_fileOpen("f", "w");
    ASSERT_GE(w, 16);
    EXPECT_EQ(RA_freeSpace(), before + 3 * 256) << "truncation keeps only a fresh first block";
    EXPECT_EQ(RA_fileOpen("f", "w"), -1) << "a file open for writing cannot be opened again for writing";
    EXPECT_EQ(RA_fileOpen("f", "r"), -1) << "readers fall back to the disk, where there is no such file";
    EXPECT_EQ(RA_fileDelete("f"), -1);
    RA_filePutString("new", w);
    RA_fileClose(w);

    int r1 = RA_fileOpen("f", "r");
    int r2 = RA_fileOpen("f", "r");
    ASSERT_GE(r2, 16);
    EXPECT_EQ(RA_fileOpen("f", "w"), -1);
    RA_fileClose(r1);
    EXPECT_EQ(RA_fileOpen("f", "w"), -1) << "the second reader still holds the file";
    EXPECT_EQ(RA_fileDelete("f"), -1);
    EXPECT_EQ(readAll(r2), "new");
    RA_fileClose(r2);

    EXPECT_GE(RA_fileDelete("f"), 0);
    EXPECT_EQ(RA_fileDelete("f"), -1);
    EXPECT_EQ(RA_freeSpace(), RA_SizeMax);
}

TEST_F(RamDisk, TablesAndBadHandles)
{
    EXPECT_EQ(RA_fileClose(26), -1) << "handles mean nothing before the store exists";
    EXPECT_EQ(RA_fileGetc(20), -1);
    EXPECT_EQ(RA_fileSize(20), -1);
    for (int i = 0; i < 64; i++) ASSERT_EQ(writeFile(("file" + std::to_string(i)).c_str(), "x"), 1) << i;
    EXPECT_EQ(RA_fileOpen("file64", "w"), -1) << "the 65th file";
    EXPECT_EQ(RA_fileOpen("file1", "x"), -1);

    std::vector<int> handles;
    for (int i = 0; i < 16; i++) handles.push_back(RA_fileOpen(("file" + std::to_string(i)).c_str(), "r"));
    EXPECT_EQ(handles.front(), 16);
    EXPECT_EQ(handles.back(), 31);
    ::writeFile(path("file20"), "from disk");
    int disk = RA_fileOpen("file20", "r");
    EXPECT_EQ(disk, 0) << "with 16 RAM handles in use the reader opens the disk file";
    EXPECT_EQ(RA_fileSize(disk), 9);
    EXPECT_EQ(readAll(disk), "from disk");
    RA_fileClose(disk);
    for (int h : handles) RA_fileClose(h);

    for (int bad : {-5, 16, 99, 3}) {
        EXPECT_EQ(RA_fileGetc(bad), -1) << bad;
        EXPECT_EQ(RA_filePutc('a', bad), -1) << bad;
        EXPECT_EQ(RA_fileClose(bad), -1) << bad;
    }
    EXPECT_EQ(RA_fileSize(-5), 0);
    EXPECT_EQ(RA_fileSize(99), -1);
    EXPECT_EQ(RA_fileSize(16), -1);
    char buf[4];
    EXPECT_EQ(RA_fileRead(buf, 1, 4, 99), 0);
    EXPECT_EQ(RA_fileRead(buf, 1, 0, 16), 0);

    int r = RA_fileOpen("file1", "r");
    EXPECT_EQ(RA_filePutc('a', r), -1) << "a reader cannot write";
    RA_fileClose(r);
}

TEST_F(RamDisk, FullStoreKeepsWhatWasWritten)
{
    pterm.mem_ramdisk_kb = 1; // four blocks
    std::string data = pattern(2000);
    int h = RA_fileOpen("full", "w");
    EXPECT_EQ(RA_fileWrite(data.data(), 1, 2000, h), 4 * 253);
    EXPECT_EQ(RA_filePutc('z', h), -1);
    RA_fileClose(h);
    EXPECT_EQ(readFile("full"), data.substr(0, 4 * 253));
    EXPECT_EQ(RA_fileOpen("other", "w"), -1);
    EXPECT_NE(::readFile(path("pterm.log")).find("Out of memory in Ramdisk!\n"), std::string::npos);
}

TEST_F(RamDisk, GetStringStopsAtNulAndAlwaysTerminates)
{
    writeFile("s", std::string("abc\0def", 7));
    int h = RA_fileOpen("s", "r");
    char buf[8];
    EXPECT_EQ(RA_fileGetString(buf, 7, h), 3);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(RA_fileGetString(buf, 2, h), 2);
    EXPECT_STREQ(buf, "de");
    RA_fileClose(h);
    EXPECT_EQ(RA_filePutString("", RA_fileOpen("t", "w")), 0);
}

TEST_F(RamDisk, LongNamesAreKnownByTheirFirst63Characters)
{
    std::string name(70, 'n');
    ASSERT_EQ(writeFile(name.c_str(), "first"), 5);
    ASSERT_EQ(writeFile(name.c_str(), "second"), 6);
    EXPECT_EQ(readFile(name.c_str()), "second");
    EXPECT_EQ(RA_freeSpace(), RA_SizeMax - 256) << "rewriting a long name reuses its entry";
}

// The server thread writes and reads files while the main thread does: every
// file keeps what its own writer put into it.
TEST_F(RamDisk, TwoThreadsKeepTheirFilesApart)
{
    auto worker = [this](char tag, int *good) {
        for (int round = 0; round < 40; round++) {
            std::string name = std::string("t") + tag + std::to_string(round % 5);
            std::string data = std::string(300 + round, tag);
            if (writeFile(name.c_str(), data) == static_cast<int>(data.size()) && readFile(name.c_str()) == data)
                ++*good;
            if (round % 5 == 4) RA_fileDelete(name.c_str());
        }
    };
    int goodA = 0, goodB = 0;
    std::thread a(worker, 'a', &goodA), b(worker, 'b', &goodB);
    a.join();
    b.join();
    EXPECT_EQ(goodA, 40);
    EXPECT_EQ(goodB, 40);
}
