// Helpers shared by the tests: a fresh working directory per test that is also
// the program's directory, and small file helpers.
#pragma once
#include <gtest/gtest.h>

#include <string>

// Creates an empty temporary directory, makes it the working directory and the
// application directory (AppPath), brings every layer back to its state before
// start-up (settings at their defaults, hooks and loaders attached) and at the
// end of the test releases what it opened and removes the directory again.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string path(const std::string &name) const { return dir_ + "/" + name; }
    std::string dir_;

private:
    std::string oldCwd_;
};

// Makes the next GrOpen open the headless screen of the given size ("WxH";
// null: the default size), without an event script or a snapshot file.
void useHeadlessScreen(const char *size);

// Flushes the log first, so a test can read what was logged so far.
std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &content);
bool fileExists(const std::string &path);
