// Remote view of the display. Owns the published picture of the screen (a
// shared PNG buffer, swapped under its lock: no copy of the pixels), whether
// the screen was shown changed since it was encoded, when a viewer last asked,
// the remote input queue, their locks and the wake-up of the headless wait (the
// window's wait looks for remote input every few milliseconds while it is on).
// The main thread encodes and publishes pictures and delivers the queued
// input; any thread reads pictures and posts input.
#include "nanox/nx_remote.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "nanox/nx_core.h"

namespace {

struct RemoteInput {
    bool isKey;
    bool down;
    int x, y;
    GR_KEY key;
};

std::atomic<bool> enabled{false};
std::atomic<bool> frameWanted{false};
std::atomic<int64_t> viewerAskedMs{-NX_REMOTE_VIEWER_MS}; // steady clock

std::mutex frameLock; // the published picture and stale
std::condition_variable framePublished;
NX_RemoteFrame published;
bool stale = true; // the screen was shown changed since its last encoding

std::mutex inputLock; // the queue and the wake-up
std::condition_variable woken;
bool wakePending;
RemoteInput queue[NX_REMOTE_QUEUE_SIZE];
int queueHead, queueCount;

bool post(const RemoteInput &input)
{
    if (!enabled) return false;
    {
        std::lock_guard<std::mutex> hold(inputLock);
        if (queueCount == NX_REMOTE_QUEUE_SIZE) return false;
        queue[(queueHead + queueCount) % NX_REMOTE_QUEUE_SIZE] = input;
        queueCount++;
    }
    NX_remoteWake();
    return true;
}

bool takeInput(RemoteInput *input)
{
    std::lock_guard<std::mutex> hold(inputLock);
    if (queueCount == 0) return false;
    *input = queue[queueHead];
    queueHead = (queueHead + 1) % NX_REMOTE_QUEUE_SIZE;
    queueCount--;
    return true;
}

int64_t steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Tells the numbers of one opening of the display from those of another (and
// of another run of the program).
uint32_t seriesStamp()
{
    auto ns = std::chrono::system_clock::now().time_since_epoch().count();
    return static_cast<uint32_t>(ns ^ (ns >> 32));
}

bool viewerActive() { return steadyMs() - viewerAskedMs < NX_REMOTE_VIEWER_MS; }

} // namespace

void NX_remoteEnable(int on) { enabled = on != 0; }
int NX_remoteEnabled() { return enabled ? 1 : 0; }

int NX_remoteFrame(NX_RemoteFrame *frame, int waitMs)
{
    if (!frame) return 0;
    viewerAskedMs = steadyMs();
    std::unique_lock<std::mutex> hold(frameLock);
    if ((stale || !published.png) && enabled) {
        frameWanted = true;
        NX_remoteWake();
        framePublished.wait_for(hold, std::chrono::milliseconds(waitMs), [] { return !stale && published.png; });
    }
    *frame = published;
    return frame->png ? 1 : 0;
}

int NX_remotePostButton(int x, int y, int down) { return post({false, down != 0, x, y, 0}) ? 1 : 0; }

int NX_remotePostKey(GR_KEY ch, int down) { return post({true, down != 0, 0, 0, ch}) ? 1 : 0; }

void NX_remoteWake()
{
    {
        std::lock_guard<std::mutex> hold(inputLock);
        wakePending = true;
    }
    woken.notify_all();
}

// ---- main thread ----

NX_PngBytes NX_screenPng()
{
    GR_RECT damage;
    NX_takeScreenDamage(&damage);
    NX_PngBytes png =
        NX_pngEncode(NX_screenPixels(), NX_screenWidth(), NX_screenHeight(), damage.y, damage.y + damage.height - 1);
    frameWanted = false;
    {
        std::lock_guard<std::mutex> hold(frameLock);
        if (png && png != published.png) {
            if (published.number == 0) published.series = seriesStamp();
            published.png = png;
            if (++published.number == 0) published.number = 1;
        }
        stale = !png;
    }
    framePublished.notify_all();
    return png;
}

void NX_remotePublish()
{
    if (enabled && viewerActive()) {
        NX_screenPng();
        return;
    }
    std::lock_guard<std::mutex> hold(frameLock);
    stale = true;
}

void NX_remoteDeliver()
{
    if (!enabled) return;
    RemoteInput input;
    while (takeInput(&input)) {
        if (input.isKey) NX_inputKey(input.key, 0, input.down);
        else NX_inputButton(input.x, input.y, input.down);
    }
    if (frameWanted) NX_screenPng();
}

void NX_remoteSleep(int ms)
{
    std::unique_lock<std::mutex> hold(inputLock);
    woken.wait_for(hold, std::chrono::milliseconds(ms), [] { return wakePending; });
    wakePending = false;
}

void NX_remoteReset()
{
    {
        std::lock_guard<std::mutex> hold(inputLock);
        queueHead = queueCount = 0;
        wakePending = false;
    }
    {
        std::lock_guard<std::mutex> hold(frameLock);
        published = NX_RemoteFrame{};
        stale = true;
    }
    frameWanted = false;
    viewerAskedMs = -NX_REMOTE_VIEWER_MS;
    NX_pngReset();
}
