#pragma once

#include <QFont>
#include <QString>

// The windows' 8-point font (11 pixels at 96 dpi), falling back to the
// platform's nearest sans-serif where the family is missing.
inline QFont programFont(const QString& family) {
    QFont font(family);
    font.setFamilies({family, QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    return font;
}
