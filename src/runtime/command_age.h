// Operator commands and their age. The main loop tells which operator input
// it handles and when that input was made; a write or an acknowledge sent on
// its behalf goes out only while the input is younger than the setting
// cmd_timeout_ms, and its exchange with the target ends by then. A command
// that comes too late is dropped with a message on the screen, never sent.
// Owns the current input's time (per thread: the server thread never has one).
#pragma once
#include <cstdint>

#define CMD_TIMEOUT_DEFAULT_MS 5000 // cmd_timeout_ms of 0 or less

// The limit in milliseconds: the setting, or the default.
int CMD_timeoutMs();
// The main loop handles an operator input made at madeMs (PUMP_nowMs time).
// Inputs nest (a key delivered while a touch is handled): the answer is what
// CMD_end needs to go back to the outer input, 0 when there is none.
int64_t CMD_begin(int64_t madeMs);
// The input is handled; outer is what its CMD_begin answered.
void CMD_end(int64_t outer = 0);
// When the input being handled was made, or the time now when none is.
int64_t CMD_madeMs();
// Whether a command for the target may go out now: 1 when no input is being
// handled or it is still young enough; else 0, with one message on the screen
// per input naming what was dropped.
int CMD_maySend(const char *what);
// Exchanges between CMD_beginSend and CMD_endSend end when the input expires.
void CMD_beginSend();
void CMD_endSend();
// The deadline of an exchange: deadline, or earlier the expiry of the input
// whose command is being sent.
int64_t CMD_limitDeadline(int64_t deadline);
// No input being handled.
void CMD_reset();
