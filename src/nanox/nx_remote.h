// Remote view of the display: the screen as PNG for another thread, encoded
// by the main thread only when it is asked for (a viewer asked within the last
// seconds, or the screen file wants it) and shared with the screen file, and
// a small queue of pointer and key events posted by another thread, which the
// event wait hands to the windows on the main thread as if they came from the
// panel's own pointer and keys. These are the only display calls another
// thread may make.
#pragma once
#include <cstddef>
#include <cstdint>

#include "nanox/nano-X.h"
#include "nanox/nx_png.h"

#define NX_REMOTE_QUEUE_SIZE 64
#define NX_REMOTE_VIEWER_MS 5000 // a viewer that asked this recently gets every new frame encoded at once

// Any thread: switches the frames and the remote input on or off.
void NX_remoteEnable(int on);
int NX_remoteEnabled();

// A shown screen as PNG: its bytes (shared, never changed), its number
// (counted from 1, one more for each picture that differs from the one before)
// and the series of the numbers (another one after each opening of the display).
struct NX_RemoteFrame {
    NX_PngBytes png;
    uint32_t number = 0;
    uint32_t series = 0;
};

// Any thread: the last shown screen. When the screen changed since its last
// encoding (or was never encoded), asks the main thread to encode it and waits
// up to waitMs for that. Answers 1, or 0 when there is no picture.
int NX_remoteFrame(NX_RemoteFrame *frame, int waitMs);

// Any thread: queues a press (down 1) or release (down 0) of the left button
// at screen coordinates x, y, or a key press or release. Answers 1, or 0 when
// remote input is off or the queue is full.
int NX_remotePostButton(int x, int y, int down);
int NX_remotePostKey(GR_KEY ch, int down);
// Any thread: wakes the main thread out of its event wait.
void NX_remoteWake();
