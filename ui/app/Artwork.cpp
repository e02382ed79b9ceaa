#include "ui/app/Artwork.h"

#include <QBitmap>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>

void initArtwork() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace Artwork {

namespace {

QImage load(const QString& path) {
    initArtwork();
    // The format named and no guessing: otherwise every image plugin is
    // loaded (and stays in memory) before the built-in PNG reader is tried.
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QImage load(const char* path) {
    return load(QString::fromLatin1(path));
}

// The sizes are named: a wildcard listing would load the regular-expression
// library for good, at a cost in memory of its own.
QIcon compiledInIcon() {
    QIcon icon;
    for (const QImage& image : trayIconImages())
        icon.addPixmap(QPixmap::fromImage(image));
    return icon;
}

} // namespace

QString installedIconThemePath() {
    const QString path =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/icons"));
    const QString probe =
        path + QStringLiteral("/hicolor/48x48/apps/") + iconName() + QStringLiteral(".png");
    return QFileInfo::exists(probe) ? path : QString();
}

QIcon windowIcon() {
    const QString themePath = installedIconThemePath();
    if (themePath.isEmpty())
        return compiledInIcon();
    // Installed under a prefix the desktop may not search, e.g. /usr/local.
    QStringList paths = QIcon::themeSearchPaths();
    if (!paths.contains(themePath)) {
        paths << themePath;
        QIcon::setThemeSearchPaths(paths);
    }
    return QIcon::fromTheme(iconName(), compiledInIcon());
}

QList<QImage> trayIconImages() {
    QList<QImage> images;
    for (const char* path : {":/img/icon16.png", ":/img/icon22.png", ":/img/icon24.png",
                             ":/img/icon32.png", ":/img/icon48.png", ":/img/icon64.png"})
        images.append(load(path));
    return images;
}

QIcon trayIcon() {
    return compiledInIcon();
}

QImage picture() {
    return load(":/img/picture32.png");
}

QImage overtimeWarning() {
    return load(":/img/warning32.png");
}

QIcon reminderIcon() {
    return QIcon(QPixmap::fromImage(load(":/img/reminder32.png")));
}

QImage backgroundTile() {
    return load(":/img/tile96.png");
}

QPixmap keyedByBottomLeft(const QImage& image) {
    if (image.isNull())
        return QPixmap();
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QPixmap pixmap = QPixmap::fromImage(rgb);
    // Set bits are the opaque pixels; they must read as color1 (black).
    QImage mask = rgb.createMaskFromColor(rgb.pixel(0, rgb.height() - 1), Qt::MaskOutColor);
    mask.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    pixmap.setMask(QBitmap::fromImage(mask));
    return pixmap;
}

} // namespace Artwork
