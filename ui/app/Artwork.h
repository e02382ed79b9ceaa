#pragma once
// The program's own pictures, compiled in from ui/resources.qrc (drawn by
// tools/artwork/make_artwork.py). Each accessor registers the resources first,
// since they live in a static library that nothing else references.

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace Artwork {

// The program's icon, for its windows and the tray, in every size there is:
// from the icon theme by name when the program runs installed, the pictures
// compiled in otherwise.
QIcon windowIcon();
// The icon's name in the theme, and the theme folder ("<prefix>/share/icons")
// when the program runs from an installed prefix that holds it, else empty.
inline QString iconName() {
    return QStringLiteral("brantle-vantrel");
}
QString installedIconThemePath();
// The tray icon at 16, 22, 24, 32, 48 and 64 pixels, for panels of any size.
QList<QImage> trayIconImages();
QIcon trayIcon();
QImage picture();         // 32 x 32, main window and about box; keyed by its bottom-left pixel
QImage overtimeWarning(); // 32 x 32, keyed by its bottom-left pixel
QIcon reminderIcon();     // 32 x 32, first-of-month reminder
QImage backgroundTile();  // 96 x 96, the tiled background (see-through colour 248, 248, 248)

// The image with every pixel of its bottom-left pixel's colour see-through, as
// the pictures above are meant to be shown.
QPixmap keyedByBottomLeft(const QImage& image);

} // namespace Artwork

// Registers the pictures under ":/img/"; the accessors call it themselves.
void initArtwork();
