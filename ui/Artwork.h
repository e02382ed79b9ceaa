#pragma once
// The program's own pictures, compiled in from ui/resources.qrc (drawn by
// tools/artwork/make_artwork.py). Each accessor registers the resources first,
// since they live in a static library that nothing else references.

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace Artwork {

QIcon windowIcon();  // 16 x 16: the windows' and the tray's icon
QIcon programIcon(); // 16 x 16 and 32 x 32
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
