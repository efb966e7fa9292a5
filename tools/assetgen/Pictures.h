#pragma once

#include <QImage>
#include <QString>

namespace pp::assetgen {

// Each function draws one picture of the catalogue in full colour, at its catalogue size;
// the palette mapping comes afterwards.

QImage drawDecorativeBar();                              // 106
QImage drawChoiceButton(int digit, bool highlighted);    // 107..116
enum class SlotMark { Open, Wrong, Right };
QImage drawSlot(SlotMark mark);                          // 118, 119, 120
QImage drawQuotaMarker();                                // 133
QImage drawPlaceNumber(int place);                       // 146..155

QImage drawAllClearBanner(const QString& fontFamily);    // 117
QImage drawGameOverBanner(const QString& fontFamily);    // 121
QImage drawRankingBanner(const QString& fontFamily);     // 156
QImage drawTitleBanner(const QString& fontFamily);       // 134
QImage drawLogo(const QString& fontFamily);              // 132

QImage drawCreature(int id);                             // 123..131
// The program icon at 32 or 16 pixels, on a transparent background.
QImage drawProgramIcon(int size);

// Any picture of the catalogue by its id.
QImage drawCatalogueBitmap(int id, const QString& fontFamily);

}  // namespace pp::assetgen
