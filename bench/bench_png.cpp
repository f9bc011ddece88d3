// PNG pictures of the screen: the display layer's band encoder against stb's
// PNG writer (its default level and level 1) on the demo's start page and the
// 1000-painter picture, a frame with one changed band, an unchanged frame; and
// the remote view's frame.png over a real socket of 127.0.0.1, unchanged
// (the cached picture, and a 304 for a browser that has it) and after a change.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <pthread.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "bench_temp_dir.h"
#include "httpd/remote_view.h"
#include "httpd/web_server.h"
#include "nanox/nano-X.h"
#include "nanox/nx_png.h"
#include "nanox/nx_remote.h"
#include "runtime/platform.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"

namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // as the screen holds them
    std::vector<unsigned char> rgb;
};

const Picture &picture(int which)
{
    static Picture pictures[2];
    Picture &p = pictures[which];
    if (!p.pixels.empty()) return p;
    std::string file =
        std::string(PANTERM_SOURCE_DIR) + "/tests/draw/golden/" + (which ? "sample1000" : "Plant1") + ".png";
    int n = 0;
    unsigned char *rgba = stbi_load(file.c_str(), &p.width, &p.height, &n, 4);
    if (!rgba) return p;
    size_t count = static_cast<size_t>(p.width) * p.height;
    p.pixels.resize(count);
    p.rgb.resize(count * 3);
    for (size_t i = 0; i < count; i++) {
        p.pixels[i] = 0xFF000000u | rgba[i * 4] | rgba[i * 4 + 1] << 8 | rgba[i * 4 + 2] << 16;
        for (int k = 0; k < 3; k++) p.rgb[i * 3 + k] = rgba[i * 4 + k];
    }
    stbi_image_free(rgba);
    return p;
}

void BM_PngStb(benchmark::State &state)
{
    const Picture &p = picture(static_cast<int>(state.range(0)));
    int saved = stbi_write_png_compression_level;
    stbi_write_png_compression_level = static_cast<int>(state.range(1));
    std::string png;
    auto append = [](void *context, void *data, int size) {
        static_cast<std::string *>(context)->append(static_cast<const char *>(data), size);
    };
    for (auto _ : state) {
        png.clear();
        stbi_write_png_to_func(append, &png, p.width, p.height, 3, p.rgb.data(), p.width * 3);
    }
    stbi_write_png_compression_level = saved;
    state.counters["bytes"] = static_cast<double>(png.size());
}
BENCHMARK(BM_PngStb)->ArgsProduct({{0, 1}, {8, 1}})->ArgNames({"picture", "level"})->Unit(benchmark::kMillisecond);

// Every band deflated: a first frame, or one that changed everywhere.
void BM_PngBandsWhole(benchmark::State &state)
{
    const Picture &p = picture(static_cast<int>(state.range(0)));
    size_t length = 0;
    for (auto _ : state) {
        NX_pngReset();
        NX_PngBytes png = NX_pngEncode(p.pixels.data(), p.width, p.height, 0, p.height - 1);
        length = png ? png->size() : 0;
    }
    NX_pngReset();
    state.counters["bytes"] = static_cast<double>(length);
}
BENCHMARK(BM_PngBandsWhole)->Arg(0)->Arg(1)->ArgName("picture")->Unit(benchmark::kMillisecond);

// A value field changed: one band deflated (every band hashed), or the
// damaged rows alone hashed as well.
void BM_PngBandsOneChange(benchmark::State &state)
{
    Picture p = picture(static_cast<int>(state.range(0)));
    bool damageOnly = state.range(1) != 0;
    NX_pngReset();
    NX_pngEncode(p.pixels.data(), p.width, p.height, 0, p.height - 1);
    int row = p.height / 2;
    for (auto _ : state) {
        p.pixels[static_cast<size_t>(row) * p.width + 10] ^= 0x00FFFFFF;
        NX_pngEncode(p.pixels.data(), p.width, p.height, damageOnly ? row : 0, damageOnly ? row : p.height - 1);
    }
    NX_pngReset();
}
BENCHMARK(BM_PngBandsOneChange)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"picture", "damage"})
    ->Unit(benchmark::kMicrosecond);

void BM_PngBandsUnchanged(benchmark::State &state)
{
    const Picture &p = picture(static_cast<int>(state.range(0)));
    NX_pngReset();
    NX_pngEncode(p.pixels.data(), p.width, p.height, 0, p.height - 1);
    for (auto _ : state) benchmark::DoNotOptimize(NX_pngEncode(p.pixels.data(), p.width, p.height, 0, p.height - 1));
    NX_pngReset();
}
BENCHMARK(BM_PngBandsUnchanged)->Arg(0)->Arg(1)->ArgName("picture")->Unit(benchmark::kMicrosecond);

// ---- frame.png over a socket ----

int freePort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &size);
    close(fd);
    return ntohs(a.sin_port);
}

// One request on a connection of its own; the whole answer.
std::string talk(int port, const std::string &request)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        char buffer[65536];
        for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, n);
    }
    close(fd);
    return answer;
}

std::string readWhole(const std::string &file)
{
    std::string bytes;
    FILE *f = std::fopen(file.c_str(), "rb");
    if (!f) return bytes;
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
}

// The panel's server on its own thread with the remote view on (screen only,
// no credentials file), and the demo's start page on a headless screen.
struct Viewer {
    int port = 0;
    pthread_t thread{};
    GR_WINDOW_ID window = 0;
    GR_GC_ID gc = 0;
    const Picture *p = nullptr;

    bool start()
    {
        p = &picture(0);
        std::string dir = benchTempDir("png");
        safe_strncpy(AppPath, (dir + "/").c_str(), sizeof AppPath);
        setenv("PANTERM_DISPLAY", "headless", 1);
        setenv("PANTERM_SCREEN", (std::to_string(p->width) + "x" + std::to_string(p->height)).c_str(), 1);
        unsetenv("PANTERM_SNAPSHOT");
        if (GrOpen() < 0) return false;
        window = GrNewWindow(GR_ROOT_WINDOW_ID, 0, 0, p->width, p->height, 0, WHITE, BLACK);
        GrMapWindow(window);
        gc = GrNewGC();
        std::string png = readWhole(std::string(PANTERM_SOURCE_DIR) + "/tests/draw/golden/Plant1.png");
        GR_IMAGE_ID image = GrLoadImageFromBuffer(png.data(), static_cast<int>(png.size()), 0);
        GrDrawImagePartToFit(window, gc, 0, 0, p->width, p->height, 0, 0, p->width, p->height, image);
        GrFreeImage(image);
        setenv("PANTERM_HTTPD_BIND", "127.0.0.1", 1);
        pterm.remote_view = RV_SCREEN;
        pterm.httpd_enabled = 1;
        pterm.httpd_port = port = freePort();
        SRV_Initialized = 0;
        if (pthread_create(&thread, nullptr, start_eweb_task, &pterm.httpd_port) != 0) return false;
        for (int i = 0; i < 200 && SRV_Initialized != 1; i++) usleep(10000);
        NX_RemoteFrame frame;
        NX_remoteFrame(&frame, 0); // a viewer: shown frames are encoded at once
        GrFlush();
        return SRV_Initialized == 1;
    }
    void stop()
    {
        SRVC_Shutdown();
        pthread_join(thread, nullptr);
        GrClose();
    }
    // Changes one value field of the screen and shows it.
    void change(int i)
    {
        GrSetGCForeground(gc, static_cast<GR_COLOR>(0xFF000000u | (i * 2654435761u & 0xFFFFFF)));
        GrFillRect(window, gc, 200, 120, 40, 12);
        GrFlush();
    }
};

std::string header(const std::string &answer, const std::string &name)
{
    size_t at = answer.find("\r\n" + name + ": ");
    if (at == std::string::npos) return "";
    at += name.size() + 4;
    return answer.substr(at, answer.find("\r\n", at) - at);
}

// mode 0: unchanged, the whole picture; 1: unchanged, the browser has it (304);
// 2: a change shown before each request.
void BM_FramePng(benchmark::State &state)
{
    Viewer v;
    if (!v.start()) {
        state.SkipWithError("the server or the display did not start");
        return;
    }
    const std::string get = "GET /_panel/frame.png HTTP/1.0\r\n";
    std::string first = talk(v.port, get + "\r\n");
    std::string conditional = get + "If-None-Match: " + header(first, "ETag") + "\r\n\r\n";
    std::string expected = state.range(0) == 1 ? "HTTP/1.0 304" : "HTTP/1.0 200";
    size_t bytes = 0;
    int i = 0;
    for (auto _ : state) {
        if (state.range(0) == 2) v.change(++i);
        std::string answer = talk(v.port, state.range(0) == 1 ? conditional : get + "\r\n");
        if (answer.compare(0, expected.size(), expected) != 0) {
            state.SkipWithError(("unexpected answer: " + answer.substr(0, 40)).c_str());
            break;
        }
        bytes = answer.size();
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    v.stop();
}
BENCHMARK(BM_FramePng)->DenseRange(0, 2)->ArgName("mode")->Unit(benchmark::kMicrosecond);

} // namespace
