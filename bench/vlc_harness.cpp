// The floor for the player: bare libVLC with the viewer's options and video callbacks (RV32 into
// aligned buffers, a swap and a notification per displayed picture), nothing painted.
//
//   vlc_harness URL [SECONDS]
//
// Prints "instance <ms>" (libVLC instance and player made), "first-display <ms>" (URL handed over
// -> first display callback), then plays on for SECONDS (default 0) and prints "frames <n>" before
// it ends. VELMORA_AUDIO_OUTPUT picks the audio output, as for the viewer.
#include "app/Config.h"
#include "playback/VlcMedia.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include <vlc/vlc.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Buffer {
    Buffer(unsigned w, unsigned h, unsigned pitchBytes, unsigned rows)
        : width(w), height(h), pitch(pitchBytes),
          data(static_cast<unsigned char*>(std::aligned_alloc(64, size_t(pitchBytes) * rows))) {
        if (data)
            std::memset(data, 0, size_t(pitchBytes) * rows);
    }
    ~Buffer() { std::free(data); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    unsigned width;
    unsigned height;
    unsigned pitch;
    unsigned char* data;
};

// The same buffer rotation the viewer's engine does: libVLC draws into back, display makes it
// the ready one.
struct Sink {
    std::mutex mutex;
    std::unique_ptr<Buffer> back;
    std::unique_ptr<Buffer> ready;
    std::condition_variable painted;
    long frames = 0;
    Clock::time_point first{};
};

unsigned onFormat(void** opaque, char* chroma, unsigned* width, unsigned* height, unsigned* pitches,
                  unsigned* lines) {
    auto* sink = static_cast<Sink*>(*opaque);
    if (*width == 0 || *height == 0 || *width > 8192 || *height > 8192)
        return 0;
    std::memcpy(chroma, "RV32", 4);
    pitches[0] = (*width * 4 + 31) & ~31u;
    lines[0] = (*height + 31) & ~31u;
    std::lock_guard lock(sink->mutex);
    sink->back = std::make_unique<Buffer>(*width, *height, pitches[0], lines[0]);
    sink->ready = std::make_unique<Buffer>(*width, *height, pitches[0], lines[0]);
    return sink->back->data && sink->ready->data ? 1 : 0;
}

void* onLock(void* opaque, void** planes) {
    auto* sink = static_cast<Sink*>(opaque);
    std::lock_guard lock(sink->mutex);
    planes[0] = sink->back->data;
    return sink->back.get();
}

void onDisplay(void* opaque, void* picture) {
    auto* sink = static_cast<Sink*>(opaque);
    {
        std::lock_guard lock(sink->mutex);
        if (picture != sink->back.get())
            return;
        std::swap(sink->back, sink->ready);
        if (sink->frames++ == 0)
            sink->first = Clock::now();
    }
    sink->painted.notify_all();
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vlc_harness URL [SECONDS]\n");
        return 2;
    }
    const std::string url = argv[1];
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 0;

    // The viewer's own options, so the two differ only in what the viewer does with frames.
    const EngineOptions options = Config::fromEnvironment().engine;
    const std::vector<QByteArray> args = vlcInstanceArguments(options);
    std::vector<const char*> argvVlc;
    for (const QByteArray& arg : args)
        argvVlc.push_back(arg.constData());

    const Clock::time_point created = Clock::now();
    std::unique_ptr<libvlc_instance_t, void (*)(libvlc_instance_t*)> instance(
        libvlc_new(int(argvVlc.size()), argvVlc.data()), libvlc_release);
    if (!instance)
        return 1;
    std::unique_ptr<libvlc_media_player_t, void (*)(libvlc_media_player_t*)> player(
        libvlc_media_player_new(instance.get()), libvlc_media_player_release);
    if (!player)
        return 1;
    if (!options.audioOutput.isEmpty())
        libvlc_audio_output_set(player.get(), options.audioOutput.constData());
    libvlc_audio_set_volume(player.get(), 50);
    std::printf("instance %.1f\n",
                std::chrono::duration<double, std::milli>(Clock::now() - created).count());
    Sink sink;
    libvlc_video_set_callbacks(player.get(), onLock, nullptr, onDisplay, &sink);
    libvlc_video_set_format_callbacks(player.get(), onFormat, nullptr);

    const Clock::time_point start = Clock::now();
    std::unique_ptr<libvlc_media_t, void (*)(libvlc_media_t*)> media(
        libvlc_media_new_location(instance.get(), url.c_str()), libvlc_media_release);
    if (!media)
        return 1;
    libvlc_media_player_set_media(player.get(), media.get());
    if (libvlc_media_player_play(player.get()) != 0)
        return 1;

    bool shown = false;
    {
        std::unique_lock lock(sink.mutex);
        shown =
            sink.painted.wait_for(lock, std::chrono::seconds(30), [&] { return sink.frames > 0; });
    }
    if (!shown) {
        std::printf("first-display none\n");
        std::fflush(stdout);
        libvlc_media_player_stop(player.get());
        return 1;
    }
    const double ms = std::chrono::duration<double, std::milli>(sink.first - start).count();
    std::printf("first-display %.1f\n", ms);
    std::fflush(stdout);

    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    libvlc_media_player_stop(player.get());
    std::lock_guard lock(sink.mutex);
    std::printf("frames %ld\n", sink.frames);
    std::fflush(stdout);
    return 0;
}
