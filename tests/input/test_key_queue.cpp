// The key queue: the display's key codes as characters and key names, its
// thirty-two places, and the drops when it is full.
#include "test_support.h"

#include <string>

#include "input/key_queue.h"
#include "nanox/nano-X.h"

namespace {

struct Taken {
    int character;
    std::string name;
};

Taken take()
{
    signed char c = -1;
    const char *name = nullptr;
    uint32_t state = 0;
    if (!GetPressedKey(&c, &name, &state)) return {-2, "<empty>"};
    EXPECT_EQ(state, KEY_STATE_PRESSED);
    return {c, name};
}

} // namespace

class KeyQueue : public TempDirTest {};

TEST_F(KeyQueue, TranslatesCharactersControlKeysAndFunctionKeysWithModifiers)
{
    KB_queueKeyPress('a', 0);
    KB_queueKeyPress(MWKEY_ENTER, 0);
    KB_queueKeyPress(MWKEY_TAB, MWKMOD_LSHIFT);
    KB_queueKeyPress(MWKEY_UP, MWKMOD_CTRL | MWKMOD_ALT);
    KB_queueKeyPress(MWKEY_F12, 0);
    KB_queueKeyPress(0xF826, 0);
    KB_queueKeyPress(MWKEY_APP3, 0);
    KB_queueKeyPress(0xE9, 0);
    EXPECT_EQ(take().character, 'a');
    EXPECT_EQ(take().name, "ENTER");
    EXPECT_EQ(take().name, "SHIFT-TAB");
    EXPECT_EQ(take().name, "CTRL-ALT-UP");
    EXPECT_EQ(take().name, "FKEY_12") << "0xF826 has no name and is dropped";
    EXPECT_EQ(take().name, "APPS");
    Taken latin = take();
    EXPECT_EQ(latin.character, static_cast<signed char>(0xE9));
    EXPECT_EQ(latin.name, "");
    EXPECT_TRUE(IsKeyQueueEmpty());
    EXPECT_EQ(take().character, -2);
}

TEST_F(KeyQueue, HoldsThirtyTwoEntriesWrapsAndReportsADropOncePerBurst)
{
    for (int round = 0; round < 3; round++) {
        for (int i = 0; i < 32; i++)
            ASSERT_EQ(SetPressedKey(KEY_STATE_PRESSED, static_cast<signed char>('A' + i % 26)), 0);
        int dropped = 0;
        for (int i = 0; i < 1000; i++) dropped += SetPressedKey(KEY_STATE_PRESSED, 'x') == -1;
        EXPECT_EQ(dropped, 1000) << "from the 33rd event on everything is dropped";
        for (int i = 0; i < 32; i++) EXPECT_EQ(take().character, 'A' + i % 26);
    }
    std::string log = readFile(path("pterm.log"));
    size_t reports = 0;
    for (size_t at = log.find("Key queue full"); at != std::string::npos; at = log.find("Key queue full", at + 1))
        reports++;
    EXPECT_EQ(reports, 3u) << log;
    std::string longName(50, 'K');
    SetKeyEvent(KEY_STATE_PRESSED, longName.c_str());
    EXPECT_EQ(take().name, std::string(31, 'K'));
    SetKeyEvent(KEY_STATE_PRESSED, "ESC");
    ResetKeyQueue();
    EXPECT_TRUE(IsKeyQueueEmpty());
}

TEST_F(KeyQueue, ReleasesTakeNoRoomOfTheThirtyTwoKeystrokes)
{
    for (int i = 0; i < 33; i++) {
        KB_queueKeyPress('0' + i % 10, 0);
        KB_queueKeyRelease('0' + i % 10, 0);
    }
    KB_queueKeyPress(MWKEY_F1, 0);
    std::string pressed;
    int releases = 0;
    signed char c = 0;
    const char *name = nullptr;
    uint32_t state = 0;
    while (GetPressedKey(&c, &name, &state)) {
        if (state == KEY_STATE_PRESSED) pressed += static_cast<char>(c);
        else releases += state == KEY_STATE_RELEASED;
    }
    std::string typed;
    for (int i = 0; i < 32; i++) typed += static_cast<char>('0' + i % 10);
    EXPECT_EQ(pressed, typed) << "32 keystrokes, each with its release, all arrive";
    EXPECT_EQ(releases, 32) << "the release of a dropped press is dropped with it";
    EXPECT_NE(readFile(path("pterm.log")).find("Key queue full: key \"(character)\""), std::string::npos)
        << "the 33rd keystroke is the first one lost";
}
