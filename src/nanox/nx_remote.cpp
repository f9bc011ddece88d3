// Remote view of the display. Owns the published frame, the spare copy that a
// frame is encoded from, the remote input queue, their locks and the wake-up
// of the headless wait (the window's wait looks for remote input every few
// milliseconds while it is on). The main thread publishes frames and delivers the
// queued input; any thread reads frames and posts input.
#include "nanox/nx_remote.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include <stb/stb_image_write.h>

#include "nanox/nx_core.h"

namespace {

struct RemoteInput {
    bool isKey;
    bool down;
    int x, y;
    GR_KEY key;
};

struct Frame {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    uint32_t number = 0;
};

std::atomic<bool> enabled{false};
std::atomic<bool> frameWanted{false};

std::mutex frameLock; // the published frame
Frame published;
std::mutex encodeLock; // the spare copy and its encoding
Frame spare;
std::vector<unsigned char> rgba;

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

} // namespace

void NX_remoteEnable(int on) { enabled = on != 0; }
int NX_remoteEnabled() { return enabled ? 1 : 0; }

uint32_t NX_remoteFrameNumber()
{
    std::lock_guard<std::mutex> hold(frameLock);
    return published.number;
}

void NX_remoteRequestFrame()
{
    frameWanted = true;
    NX_remoteWake();
}

uint32_t NX_remoteWritePng(void (*write)(void *context, void *data, int size), void *context)
{
    if (!write) return 0;
    std::lock_guard<std::mutex> encoding(encodeLock);
    {
        std::lock_guard<std::mutex> hold(frameLock);
        if (published.number == 0) return 0;
        spare.pixels.assign(published.pixels.begin(), published.pixels.end());
        spare.width = published.width;
        spare.height = published.height;
        spare.number = published.number;
    }
    size_t n = static_cast<size_t>(spare.width) * spare.height;
    rgba.resize(n * 3);
    for (size_t i = 0; i < n; i++) {
        uint32_t p = spare.pixels[i];
        rgba[i * 3] = static_cast<unsigned char>(p);
        rgba[i * 3 + 1] = static_cast<unsigned char>(p >> 8);
        rgba[i * 3 + 2] = static_cast<unsigned char>(p >> 16);
    }
    if (!stbi_write_png_to_func(write, context, spare.width, spare.height, 3, rgba.data(), spare.width * 3)) return 0;
    return spare.number;
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

void NX_remotePublish()
{
    if (!enabled) return;
    const uint32_t *screen = NX_screenPixels();
    int width = NX_screenWidth(), height = NX_screenHeight();
    if (!screen || width <= 0 || height <= 0) return;
    frameWanted = false;
    std::lock_guard<std::mutex> hold(frameLock);
    published.pixels.assign(screen, screen + static_cast<size_t>(width) * height);
    published.width = width;
    published.height = height;
    published.number++;
    if (published.number == 0) published.number = 1;
}

void NX_remoteDeliver()
{
    if (!enabled) return;
    RemoteInput input;
    while (takeInput(&input)) {
        if (input.isKey) NX_inputKey(input.key, 0, input.down);
        else NX_inputButton(input.x, input.y, input.down);
    }
    if (frameWanted) NX_remotePublish();
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
    std::lock_guard<std::mutex> encoding(encodeLock);
    std::lock_guard<std::mutex> hold(frameLock);
    published = Frame{};
    spare = Frame{};
    rgba.clear();
    frameWanted = false;
}
