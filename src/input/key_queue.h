// Key queue: the ring of 32 keystrokes (and their releases) between the event
// loop, which queues them, and the refresh cycle, which delivers them to the
// objects; the translation of key values into characters and function-key
// names.
#pragma once
#include <cstdint>

#define KEY_QUEUE_SIZE 32
#define KEY_NAME_SIZE 32
#define KEY_STATE_PRESSED 1u
#define KEY_STATE_RELEASED 2u

int SetPressedFKey(uint32_t state, signed char character, const char *name);
int SetPressedKey(uint32_t state, signed char character);
int SetKeyEvent(uint32_t state, const char *name);
// Takes the oldest entry: answers 1 and fills the outputs (name points into a
// buffer of the queue, valid until the next call; empty for a plain
// character; madeMs the time the key was given, CMD_madeMs when queued), or 0
// when the queue is empty.
int GetPressedKey(signed char *character, const char **name, uint32_t *state, int64_t *madeMs = nullptr);
// Empties the queue, the name of the last key taken and the modifiers.
void ResetKeyQueue();
void MH_clearKeyEvents();
int IsKeyQueueEmpty();

// Name of a non-character key value, or null.
const char *KB_isFunctionKey(uint32_t code);
// Queues a named key with the modifier prefixes "SHIFT-", "CTRL-", "ALT-".
int VIEW_setFunctionKey(uint32_t state, const char *name);
// Translates a key value with its modifier bits and queues it with state.
void KB_queueKey(uint32_t key, uint32_t modifiers, uint32_t state);
// The same for a pressed key and for a released one. Releases reach only the
// object that a bound key pressed (MH_entry), so that it is let go again.
void KB_queueKeyPress(uint32_t key, uint32_t modifiers);
void KB_queueKeyRelease(uint32_t key, uint32_t modifiers);
