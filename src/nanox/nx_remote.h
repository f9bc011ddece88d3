// Remote view of the display: a copy of the screen that the main thread takes
// each time a finished frame is shown, and a small queue of pointer and key
// events posted by another thread, which the event wait hands to the windows
// on the main thread as if they came from the panel's own pointer and keys.
// These are the only display calls another thread may make.
#pragma once
#include <cstddef>
#include <cstdint>

#include "nanox/nano-X.h"

#define NX_REMOTE_QUEUE_SIZE 64

// Any thread: switches the frame copies and the remote input on or off.
void NX_remoteEnable(int on);
int NX_remoteEnabled();

// Any thread: number of the last finished frame (0: none yet).
uint32_t NX_remoteFrameNumber();
// Any thread: asks the main thread for a copy of the screen as it is now (for
// a first frame or a screen that has not changed since the copies were
// switched on) and wakes it.
void NX_remoteRequestFrame();
// Any thread: the last finished frame as PNG, handed to write in one piece.
// Answers the frame's number, 0 when there is no frame yet or it cannot be
// encoded.
uint32_t NX_remoteWritePng(void (*write)(void *context, void *data, int size), void *context);

// Any thread: queues a press (down 1) or release (down 0) of the left button
// at screen coordinates x, y, or a key press or release. Answers 1, or 0 when
// remote input is off or the queue is full.
int NX_remotePostButton(int x, int y, int down);
int NX_remotePostKey(GR_KEY ch, int down);
// Any thread: wakes the main thread out of its event wait.
void NX_remoteWake();
