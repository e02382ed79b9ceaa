// Paint and rebuild cost of TryxTile. A paint should cost one blit per tile,
// whatever the bitmap's own pixel count: compare the 96 x 96 background with an
// 8 x 8 tile over the same area (more blits) and a 1000 x 1000 bitmap (one blit,
// clipped).

#include "ui/app/Artwork.h"
#include "ui/widgets/ryxTile.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace {

QImage patternImage(int size) {
    QImage img = Artwork::backgroundTile().scaled(size, size);
    img.setPixel(0, size - 1, qRgb(248, 248, 248));
    return img;
}

void paintTile(benchmark::State& state, const QImage& image, TryxTileMode mode) {
    QWidget parent;
    parent.resize(321, 189);
    TryxTile tile(&parent, image, 0x02F8F8F8, mode);
    QImage target(321, 189, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::white);
    for (auto _ : state) {
        // No background, no children: only the control's own paint.
        tile.render(&target, QPoint(), QRegion(), QWidget::RenderFlags());
        benchmark::DoNotOptimize(target.constBits());
    }
    const int tiles =
        ((321 + image.width() - 1) / image.width()) * ((189 + image.height() - 1) / image.height());
    state.counters["tiles"] = tiles;
    state.counters["bitmap_px"] = double(image.width()) * image.height();
}

void BM_PaintNormal_Tile96(benchmark::State& state) {
    paintTile(state, Artwork::backgroundTile(), tmNormal);
}
void BM_PaintTransparent_Tile96(benchmark::State& state) {
    paintTile(state, Artwork::backgroundTile(), tmTransparent);
}
void BM_PaintFaded_Tile96(benchmark::State& state) {
    paintTile(state, Artwork::backgroundTile(), tmFaded);
}
void BM_PaintNormal_Tile8(benchmark::State& state) {
    paintTile(state, patternImage(8), tmNormal);
}
void BM_PaintTransparent_Tile8(benchmark::State& state) {
    paintTile(state, patternImage(8), tmTransparent);
}
void BM_PaintNormal_Bitmap1000(benchmark::State& state) {
    paintTile(state, patternImage(1000), tmNormal);
}
void BM_PaintTransparent_Bitmap1000(benchmark::State& state) {
    paintTile(state, patternImage(1000), tmTransparent);
}

// The once-per-change work, for scale.
void BM_Rebuild_Tile96(benchmark::State& state) {
    QWidget parent;
    parent.resize(321, 189);
    TryxTile tile(&parent, Artwork::backgroundTile(), 0x02F8F8F8, TryxTileMode(state.range(0)));
    for (auto _ : state)
        tile.setTranColor(0x02F8F8F8);
}

} // namespace

BENCHMARK(BM_PaintNormal_Tile96);
BENCHMARK(BM_PaintTransparent_Tile96);
BENCHMARK(BM_PaintFaded_Tile96);
BENCHMARK(BM_PaintNormal_Tile8);
BENCHMARK(BM_PaintTransparent_Tile8);
BENCHMARK(BM_PaintNormal_Bitmap1000);
BENCHMARK(BM_PaintTransparent_Bitmap1000);
BENCHMARK(BM_Rebuild_Tile96)->Arg(tmFaded)->Arg(tmTransparent)->Arg(tmNormal);

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
