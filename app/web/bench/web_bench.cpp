// Cost of a screenshot request: encoding a full-HD window picture, and the whole request
// over loopback with a ready picture.
#include "app/web/jpegencoder.h"
#include "app/web/screenshotserver.h"

#include <QLinearGradient>
#include <QPainter>

#include <httplib.h>

#include <benchmark/benchmark.h>

namespace {
QImage windowLikePicture()
{
    QImage img(1920, 1080, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 1920, 1080);
    g.setColorAt(0, QColor(0x4a, 0x55, 0x66));
    g.setColorAt(1, QColor(0xd0, 0xd0, 0xd0));
    p.fillRect(img.rect(), g);
    for (int i = 0; i < 12; ++i)
        p.fillRect(40 + (i % 4) * 460, 60 + (i / 4) * 330, 420, 300, QColor(0xf0, 0xf0, 0xf0));
    return img;
}
} // namespace

static void BM_EncodeFullHd(benchmark::State& state)
{
    const QImage img = windowLikePicture();
    size_t bytes = 0;
    for (auto _ : state) {
        const QByteArray jpeg = EncodeJpeg(img);
        bytes = size_t(jpeg.size());
        benchmark::DoNotOptimize(jpeg.constData());
    }
    state.counters["jpeg_bytes"] = double(bytes);
}
BENCHMARK(BM_EncodeFullHd)->Unit(benchmark::kMillisecond);

static void BM_ScreenshotRequestLoopback(benchmark::State& state)
{
    const QImage img = windowLikePicture();
    ScreenshotServer server([&] { return img; }, QStringLiteral("Relaydeck bench"));
    if (!server.start(0, nullptr, QStringLiteral("127.0.0.1"))) {
        state.SkipWithError("cannot listen");
        return;
    }
    httplib::Client cli("127.0.0.1", server.port());
    for (auto _ : state) {
        auto res = cli.Get("/screen.jpg");
        if (!res || res->status != 200) {
            state.SkipWithError("request failed");
            break;
        }
    }
    server.stop();
}
BENCHMARK(BM_ScreenshotRequestLoopback)->Unit(benchmark::kMillisecond);
