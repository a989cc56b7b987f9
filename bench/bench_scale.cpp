// What showing one decoded 640 x 480 picture costs, by way of doing it: libVLC's conversion to
// RGB32 at the decoded size (swscale, no scaling) followed by the painter scaling it smoothly into
// the view's RGB32 backing store (what the viewer did) and PictureScaler doing the same on one
// thread (what it does), against swscale converting and scaling
// to the shown size in one pass, in each of its modes, followed by the painter's plain copy.
// Targets: the picture in the declared window (533 x 400) and at full screen on 1280 x 1024
// (1280 x 960), into an ARGB32 premultiplied image as Qt's X11 backing store is. CPU time of the
// whole process: the painter scales on several threads.
//
//   bench_scale [REPEATS (200)]
// Prints the median CPU time per picture of each way, and how far each mode's picture is from a
// reference (the smooth reduction of a 4 x bicubic scale), as mean absolute error.
#include "playback/PictureScaler.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>
extern "C" {
#include <libswscale/swscale.h>
}

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// The process's CPU time; glibc counts it in microseconds.
double cpuMs() {
    return double(std::clock()) * 1000 / CLOCKS_PER_SEC;
}

// The median CPU time of one call.
double timeIt(int repeats, const std::function<void()>& work) {
    work();
    std::vector<double> samples;
    for (int i = 0; i < repeats; ++i) {
        const double start = cpuMs();
        work();
        samples.push_back(cpuMs() - start);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// A picture with edges, gradients and fine detail, as I420.
struct Yuv {
    std::vector<uint8_t> y = std::vector<uint8_t>(kWidth * kHeight);
    std::vector<uint8_t> u = std::vector<uint8_t>(kWidth * kHeight / 4);
    std::vector<uint8_t> v = std::vector<uint8_t>(kWidth * kHeight / 4);
    Yuv() {
        for (int row = 0; row < kHeight; ++row)
            for (int col = 0; col < kWidth; ++col)
                y[size_t(row * kWidth + col)] =
                    uint8_t(row < kHeight / 2 ? (col * 255 / kWidth)
                                              : ((col / 3 + row / 3) % 2) * 200 + 28);
        for (int row = 0; row < kHeight / 2; ++row)
            for (int col = 0; col < kWidth / 2; ++col) {
                u[size_t(row * kWidth / 2 + col)] = uint8_t((col / 40) % 2 ? 60 : 200);
                v[size_t(row * kWidth / 2 + col)] = uint8_t((row / 30) % 2 ? 90 : 170);
            }
    }
};

QImage convert(const Yuv& in, int w, int h, int mode) {
    QImage out(w, h, QImage::Format_RGB32);
    SwsContext* scaler = sws_getContext(kWidth, kHeight, AV_PIX_FMT_YUV420P, w, h, AV_PIX_FMT_RGB32,
                                        mode, nullptr, nullptr, nullptr);
    const uint8_t* const src[3] = {in.y.data(), in.u.data(), in.v.data()};
    const int srcPitch[3] = {kWidth, kWidth / 2, kWidth / 2};
    uint8_t* const dst[1] = {out.bits()};
    const int dstPitch[1] = {int(out.bytesPerLine())};
    sws_scale(scaler, src, srcPitch, 0, kHeight, dst, dstPitch);
    sws_freeContext(scaler);
    return out;
}

double meanError(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int row = 0; row < a.height(); ++row) {
        const auto* p = reinterpret_cast<const uchar*>(a.constScanLine(row));
        const auto* q = reinterpret_cast<const uchar*>(b.constScanLine(row));
        for (int i = 0; i < a.width() * 4; ++i)
            if (i % 4 != 3)
                sum += std::abs(int(p[i]) - int(q[i]));
    }
    return sum / (double(a.width()) * a.height() * 3);
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
    const Yuv yuv;
    const QImage decoded = convert(yuv, kWidth, kHeight, SWS_BICUBIC); // the old RV32 picture

    struct Mode {
        const char* name;
        int flags;
    };
    const Mode modes[] = {{"fast bilinear (0)", SWS_FAST_BILINEAR},
                          {"bilinear (1)", SWS_BILINEAR},
                          {"bicubic (2, default)", SWS_BICUBIC}};
    for (const Mode& mode : modes) {
        SwsContext* scaler =
            sws_getContext(kWidth, kHeight, AV_PIX_FMT_YUV420P, kWidth, kHeight, AV_PIX_FMT_RGB32,
                           mode.flags, nullptr, nullptr, nullptr);
        QImage out(kWidth, kHeight, QImage::Format_RGB32);
        const uint8_t* const src[3] = {yuv.y.data(), yuv.u.data(), yuv.v.data()};
        const int srcPitch[3] = {kWidth, kWidth / 2, kWidth / 2};
        uint8_t* const dst[1] = {out.bits()};
        const int dstPitch[1] = {int(out.bytesPerLine())};
        std::printf("640 x 480, conversion only, %-22s %6.2f ms\n", mode.name, timeIt(repeats, [&] {
                        sws_scale(scaler, src, srcPitch, 0, kHeight, dst, dstPitch);
                    }));
        sws_freeContext(scaler);
    }
    for (const QSize size : {QSize(533, 400), QSize(1280, 960)}) {
        // What Qt paints into on a 24-bit X display.
        QImage store(size, QImage::Format_ARGB32_Premultiplied);
        const QImage reference = convert(yuv, size.width() * 4, size.height() * 4, SWS_BICUBIC)
                                     .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        std::printf("%d x %d:\n", size.width(), size.height());
        const double painter = timeIt(repeats, [&] {
            QPainter p(&store);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(QRect(QPoint(0, 0), size), decoded);
        });
        {
            QPainter p(&store);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(QRect(QPoint(0, 0), size), decoded);
        }
        std::printf("  %-34s %6.2f ms  error %.2f\n", "painter, smooth, from 640 x 480", painter,
                    meanError(store, reference));
        // What the viewer does now: bilinear straight into the store, on this thread.
        PictureScaler scaler;
        const QRect whole(QPoint(0, 0), size);
        const double direct =
            timeIt(repeats, [&] { scaler.scale(decoded, store, whole, QRegion(whole)); });
        scaler.scale(decoded, store, whole, QRegion(whole));
        std::printf("  %-34s %6.2f ms  error %.2f\n", "PictureScaler, from 640 x 480", direct,
                    meanError(store, reference));
        PictureScaler narrow;
        narrow.useWideVectors(false);
        std::printf("  %-34s %6.2f ms\n", "the same, 128-bit vectors only",
                    timeIt(repeats, [&] { narrow.scale(decoded, store, whole, QRegion(whole)); }));
        // The same bytes declared as having alpha: the painter must blend them.
        const QImage premultiplied = decoded.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        std::printf("  %-34s %6.2f ms\n", "the same from ARGB32 premultiplied",
                    timeIt(repeats, [&] {
                        QPainter p(&store);
                        p.setRenderHint(QPainter::SmoothPixmapTransform);
                        p.drawImage(QRect(QPoint(0, 0), size), premultiplied);
                    }));
        for (const Mode& mode : modes) {
            SwsContext* scaler =
                sws_getContext(kWidth, kHeight, AV_PIX_FMT_YUV420P, size.width(), size.height(),
                               AV_PIX_FMT_RGB32, mode.flags, nullptr, nullptr, nullptr);
            QImage out(size, QImage::Format_RGB32);
            const uint8_t* const src[3] = {yuv.y.data(), yuv.u.data(), yuv.v.data()};
            const int srcPitch[3] = {kWidth, kWidth / 2, kWidth / 2};
            uint8_t* const dst[1] = {out.bits()};
            const int dstPitch[1] = {int(out.bytesPerLine())};
            const double scale = timeIt(
                repeats, [&] { sws_scale(scaler, src, srcPitch, 0, kHeight, dst, dstPitch); });
            sws_freeContext(scaler);
            const double copy = timeIt(repeats, [&] {
                QPainter p(&store);
                p.drawImage(QPoint(0, 0), out);
            });
            std::printf("  swscale %-26s %6.2f ms  + copy %.2f ms  error %.2f\n", mode.name, scale,
                        copy, meanError(out, reference));
        }
    }
    return 0;
}
