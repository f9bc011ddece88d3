// Helpers shared by the tests: a fresh working directory per test that is also
// the program's directory, and small file helpers.
#pragma once
#include <gtest/gtest.h>

#include <string>

// Creates an empty temporary directory, makes it the working directory and the
// application directory (AppPath), resets the settings to their defaults and
// removes the directory again at the end of the test.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string path(const std::string &name) const { return dir_ + "/" + name; }
    std::string dir_;

private:
    std::string oldCwd_;
};

// Flushes the log first, so a test can read what was logged so far.
std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &content);
bool fileExists(const std::string &path);
