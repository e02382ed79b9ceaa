#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

// The windows' 8-point font (11 pixels at 96 dpi), falling back to the
// platform's nearest sans-serif where the family is missing.
inline QFont programFont(const QString& family) {
    QFont font(family);
    QStringList families{family};
    // Tahoma is the narrow sibling of Verdana, whose stand-in DejaVu Sans is:
    // the condensed cut keeps texts within the places made for them.
    if (family == QLatin1String("Tahoma"))
        families << QStringLiteral("DejaVu Sans Condensed");
    families << QStringLiteral("DejaVu Sans") << QStringLiteral("Sans Serif");
    font.setFamilies(families);
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    return font;
}
