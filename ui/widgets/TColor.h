#pragma once
// Colour values as the forms store them: 32 bits, red in the lowest byte, then
// green and blue. The high byte says how to read the rest: 0x00 plain RGB,
// 0x02 palette-relative RGB (same bytes, compared as RGB), 0x80 a system colour
// whose index is the low byte.

#include <QColor>
#include <QPalette>

#include <cstdint>

using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clGray = 0x808080;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clGreen = 0x008000;
constexpr TColor clPurple = 0x800080;

constexpr TColor tcSystemFlag = 0x80000000;
constexpr TColor tcPaletteRgbFlag = 0x02000000;

constexpr TColor clWindow = tcSystemFlag | 5;
constexpr TColor clWindowText = tcSystemFlag | 8;
constexpr TColor clBtnFace = tcSystemFlag | 15;
constexpr TColor clBtnHighlight = tcSystemFlag | 20;

constexpr bool isSystemColor(TColor c) {
    return (c & 0xFF000000u) == tcSystemFlag;
}

// The RGB bytes alone, as a QRgb (opaque); meaningless for system colours.
constexpr QRgb rgbOfTColor(TColor c) {
    return 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

// An RGB colour in TColor form, with the given high byte (0x00 or 0x02).
constexpr TColor tcolorFromRgb(QRgb rgb, std::uint8_t highByte = 0) {
    return (TColor(highByte) << 24) | TColor(qRed(rgb)) | (TColor(qGreen(rgb)) << 8) |
           (TColor(qBlue(rgb)) << 16);
}

// Resolves a TColor against a palette: system colours map onto the palette's
// roles (clBtnFace -> Button, clBtnHighlight -> Light, ...); RGB and
// palette-relative values give their RGB bytes.
QColor colorFromTColor(TColor c, const QPalette& palette);
