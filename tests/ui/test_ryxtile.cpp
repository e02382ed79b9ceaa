#include "ui/app/Artwork.h"
#include "ui/widgets/TColor.h"
#include "ui/widgets/ryxTile.h"

#include <QGroupBox>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QRgb kParent = qRgb(30, 60, 200);
const QRgb kKey = qRgb(248, 248, 248);

// Every pixel differs from the others, so a grab can be traced to tile positions.
QImage gradientTile(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 90));
    return img;
}

// A gradient with key-coloured pixels in every third column.
QImage keyedTile(int w, int h) {
    QImage img = gradientTile(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; x += 3)
            img.setPixel(x, y, kKey);
    return img;
}

struct Scene {
    std::unique_ptr<QWidget> parent;
    TryxTile* tile;
};

Scene makeScene(int w, int h) {
    Scene s{std::make_unique<QWidget>(), nullptr};
    QPalette pal = s.parent->palette();
    pal.setColor(QPalette::Window, QColor(kParent));
    s.parent->setPalette(pal);
    s.parent->setAutoFillBackground(true);
    s.parent->resize(w, h);
    s.tile = new TryxTile(s.parent.get());
    return s;
}

QImage grab(QWidget* w) {
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Each pixel must be the tile's pixel at (x mod W, y mod H), or `seeThrough`
// where the tile has the key colour.
void expectTiled(const QImage& shot, const QImage& tile, QRgb seeThrough = 0) {
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            QRgb want = tile.pixel(x % tile.width(), y % tile.height());
            if (seeThrough && want == kKey)
                want = seeThrough;
            ASSERT_EQ(shot.pixel(x, y), want) << "at " << x << "," << y;
        }
}

int countPixels(const QImage& img, QRgb colour) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixel(x, y) == colour;
    return n;
}

class RyxTileTest : public ::testing::Test {
protected:
    void SetUp() override {
        TryxTile::setMessageHook([this](const QString&, const QString&) { ++m_boxes; });
    }
    void TearDown() override { TryxTile::setMessageHook(nullptr); }
    int m_boxes = 0;
};

// The main window's two sizes, an exact multiple of the tile, and less than one.
TEST_F(RyxTileTest, TilesFromTopLeftAndCutsOffAtTheEdges) {
    const QImage tile = gradientTile(96, 96);
    for (const QSize size : {QSize(321, 189), QSize(301, 88), QSize(192, 60), QSize(50, 40)}) {
        SCOPED_TRACE(size.width());
        Scene s = makeScene(size.width(), size.height());
        s.tile->setImage(tile);
        s.tile->setTileMode(tmNormal);
        ASSERT_EQ(s.tile->geometry(), QRect(QPoint(0, 0), size));
        expectTiled(grab(s.parent.get()), tile); // every pixel: a tile's from the top left
    }
}

TEST_F(RyxTileTest, ClientAlignmentFollowsTheParentsContents) {
    QGroupBox box(" Statistics ");
    box.resize(305, 105);
    box.setContentsMargins(2, 15, 2, 2);
    TryxTile inBox(&box, Artwork::backgroundTile(), 0x02F8F8F8, tmNormal);
    EXPECT_EQ(inBox.geometry(), QRect(2, 15, 301, 88));
    box.resize(400, 200); // hidden: Qt delivers the resize when the box is shown
    box.show();
    EXPECT_EQ(inBox.geometry(), QRect(2, 15, 396, 183));
    box.resize(500, 300);
    EXPECT_EQ(inBox.geometry(), QRect(2, 15, 496, 283));
    box.setContentsMargins(3, 19, 2, 2); // as a style may, for its caption's font
    EXPECT_EQ(inBox.geometry(), QRect(3, 19, 495, 279));
    inBox.setAlign(TryxTile::alNone);
    box.resize(305, 105);
    EXPECT_EQ(inBox.geometry().size(), QSize(495, 279));
}

TEST_F(RyxTileTest, TransparentModeShowsParentAndSiblingsBeneathThroughKeyPixels) {
    Scene s = makeScene(200, 100);
    auto* sibling = new QWidget(s.parent.get());
    sibling->lower();
    sibling->setGeometry(100, 0, 100, 100);
    QPalette pal;
    pal.setColor(QPalette::Window, Qt::yellow);
    sibling->setPalette(pal);
    sibling->setAutoFillBackground(true);
    const QImage img = keyedTile(50, 50);
    s.tile->setImage(img);
    s.tile->setTileMode(tmTransparent);

    const QImage shot = grab(s.parent.get());
    expectTiled(shot.copy(0, 0, 100, 100), img, kParent);
    expectTiled(shot.copy(100, 0, 100, 100), img, qRgb(255, 255, 0));

    // Without key pixels it is the normal tiling; with nothing else, all parent.
    const QImage plain = gradientTile(40, 30); // bottom-left is the key, nowhere else
    s.tile->setImage(plain);
    s.tile->setTranColor(0x02123456);
    s.tile->setTileMode(tmNormal);
    const QImage normal = grab(s.parent.get());
    s.tile->setTileMode(tmTransparent);
    EXPECT_EQ(grab(s.parent.get()), normal);
    QImage allKey(40, 30, QImage::Format_RGB32);
    allKey.fill(kKey);
    s.tile->setImage(allKey);
    EXPECT_EQ(countPixels(grab(s.parent.get()).copy(0, 0, 100, 100), kParent), 100 * 100);

    // The key matches at the image's own depth: 5-5-5 white is the key.
    QImage shallow(40, 40, QImage::Format_RGB555);
    shallow.fill(QColor(255, 0, 0));
    for (int y = 20; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            shallow.setPixelColor(x, y, QColor(248, 248, 248));
    s.tile->setImage(shallow);
    s.tile->setTranColor(0x02F8F8F8);
    const QImage shot555 = grab(s.parent.get());
    EXPECT_EQ(shot555.pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(shot555.pixel(5, 30), kParent);
}

TEST_F(RyxTileTest, FadedModeIsATwoColourSilhouette) {
    Scene s = makeScene(120, 90);
    const QImage img = keyedTile(50, 50);
    s.tile->setImage(img); // stays tmFaded
    s.tile->setFadeColor(clBlue);
    QImage shot = grab(s.parent.get());
    const QRgb blue = qRgb(0, 0, 255);
    QImage silhouette = img;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x)
            silhouette.setPixel(x, y, img.pixel(x, y) == kKey ? kParent : blue);
    expectTiled(shot, silhouette);

    // A white fade colour stays apart from the see-through pixels.
    s.tile->setFadeColor(clWhite);
    shot = grab(s.parent.get());
    EXPECT_EQ(shot.pixel(1, 0), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(0, 0), kParent);

    // System colours resolve through the palette; the parent's colour is followed.
    s.tile->setFadeColor(clBtnHighlight);
    QPalette pal = s.parent->palette();
    pal.setColor(QPalette::Light, QColor(10, 200, 10));
    pal.setColor(QPalette::Window, QColor(90, 90, 90));
    s.parent->setPalette(pal);
    shot = grab(s.parent.get());
    EXPECT_EQ(shot.pixel(1, 0), qRgb(10, 200, 10));
    EXPECT_EQ(shot.pixel(0, 0), qRgb(90, 90, 90));
}

TEST_F(RyxTileTest, PropertyWrites) {
    Scene s = makeScene(100, 100);
    s.tile->setImage(gradientTile(20, 20));
    // Faded and Transparent are views of TileMode; Faded false leaves other modes alone.
    s.tile->setFaded(true);
    EXPECT_TRUE(s.tile->Faded() && !s.tile->Transparent());
    s.tile->setFaded(false);
    EXPECT_TRUE(s.tile->Transparent() && !s.tile->Faded());
    s.tile->setFaded(false);
    EXPECT_EQ(s.tile->TileMode(), tmTransparent);
    s.tile->setTransparent(false);
    s.tile->setFaded(false);
    EXPECT_EQ(s.tile->TileMode(), tmNormal);
    s.tile->setTransparent(true);
    EXPECT_EQ(s.tile->TileMode(), tmTransparent);
    EXPECT_EQ(m_boxes, 0); // the running program never warns

    // A null image blanks the tile until the next rebuild brings the old one back.
    const QImage img = gradientTile(30, 30);
    s.tile->setImage(img);
    s.tile->setTileMode(tmNormal);
    s.tile->setImage(QImage());
    EXPECT_EQ(s.tile->Image(), img);
    EXPECT_EQ(countPixels(grab(s.parent.get()), kParent), 100 * 100);
    s.tile->setTileMode(tmTransparent);
    s.tile->setTileMode(tmNormal);
    expectTiled(grab(s.parent.get()), img);
    s.tile->setImage(QImage());
    s.tile->setTranColor(0);
    expectTiled(grab(s.parent.get()), img);
}

TEST_F(RyxTileTest, ImageTakesItsSeeThroughColour) {
    Scene s = makeScene(64, 64);
    QImage img = gradientTile(10, 10);
    img.setPixel(0, 9, qRgb(0x12, 0x34, 0x56));
    s.tile->setTranColor(0x00000000);
    s.tile->setImage(img);
    EXPECT_EQ(s.tile->TranColor(), 0x02563412u);
    s.tile->setTranColor(0x02F8F8F8);
    EXPECT_EQ(s.tile->TranColor(), 0x02F8F8F8u);

    QImage mono(8, 8, QImage::Format_Mono);
    mono.fill(0);
    s.tile->setImage(mono);
    EXPECT_EQ(s.tile->TranColor(), 0x02FFFFFFu);

    s.tile->setImage(Artwork::backgroundTile());
    EXPECT_EQ(s.tile->TranColor(), 0x02F8F8F8u);
}

TEST(TColorTest, ResolvesRgbAndSystemColours) {
    QPalette pal;
    pal.setColor(QPalette::Button, QColor(1, 2, 3));
    EXPECT_EQ(colorFromTColor(0x00FDFDFD, pal), QColor(253, 253, 253));
    EXPECT_EQ(colorFromTColor(0x02F8F0E8, pal), QColor(0xE8, 0xF0, 0xF8));
    EXPECT_EQ(colorFromTColor(clBtnFace, pal), QColor(1, 2, 3));
    EXPECT_EQ(colorFromTColor(clGray, pal), QColor(128, 128, 128));
    EXPECT_EQ(colorFromTColor(0x800000FF, pal), QColor(Qt::black));
}

TEST(ArtworkTest, PicturesLoadAndKeyTheirCorner) {
    EXPECT_TRUE(Artwork::windowIcon().availableSizes().contains(QSize(16, 16)));
    EXPECT_FALSE(Artwork::reminderIcon().isNull());
    const QImage keyed = Artwork::keyedByBottomLeft(Artwork::picture()).toImage();
    EXPECT_EQ(qAlpha(keyed.pixel(0, 31)), 0);
    EXPECT_EQ(qAlpha(keyed.pixel(13, 13)), 255); // the clock's centre
}

} // namespace
