#pragma once

#include "tools/assetgen/Mask.h"

#include <QRect>
#include <QString>

#include <vector>

namespace pp::assetgen {

// Loads the bundled VL Gothic from the resources folder and returns its family name; throws
// when the font cannot be loaded, since no picture with lettering may be made without it.
QString loadLetteringFont(const QString& resourcesDir);

struct LetteringStyle {
    QString family;
    double pixelSize = 24;  // em size before any shrinking to fit
    double boldness = 0;    // width of the pen that thickens every stroke, in pixels
    double gap = 1;         // pixels between the ink of neighbouring characters
    double narrowest = 1;   // how far a line too wide for its box may be condensed before it
                            // shrinks as a whole (1: never condensed)
};

// One separate piece of a character's ink (a stroke, a dakuten, the dot of "!") with its holes.
// Thickening makes pieces touch; painting each with its own outline keeps them apart.
struct LetteringPart {
    int character;  // index in the text
    Mask mask;
};

// The text as hard-edged masks of a width x height picture, set character by character on its
// ink (so katakana and small kana sit evenly), shrunk if it would not fit `box` and centred in it.
std::vector<LetteringPart> lettering(const QString& text, const LetteringStyle& style, QRect box,
                                     int width, int height);

// All the parts together.
Mask united(const std::vector<LetteringPart>& parts, int width, int height);

}  // namespace pp::assetgen
