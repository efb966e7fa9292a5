#include "screens/Bitmaps.h"
#include "tools/assetgen/Pictures.h"

#include <stdexcept>
#include <string>

namespace pp::assetgen {

QImage drawCatalogueBitmap(int id, const QString& fontFamily) {
    using namespace pp::bitmap;
    if (id >= kButtonFirst && id < kButtonFirst + 5) {
        return drawChoiceButton(id - kButtonFirst + 1, false);
    }
    if (id >= kButtonLitFirst && id < kButtonLitFirst + 5) {
        return drawChoiceButton(id - kButtonLitFirst + 1, true);
    }
    if (id >= kIconFirst && id < kIconFirst + 9) {
        return drawCreature(id);
    }
    if (id >= kPlaceFirst && id < kPlaceFirst + 10) {
        return drawPlaceNumber(id - kPlaceFirst + 1);
    }
    switch (id) {
    case kBar: return drawDecorativeBar();
    case kAllClearBanner: return drawAllClearBanner(fontFamily);
    case kSlotOpen: return drawSlot(SlotMark::Open);
    case kSlotWrong: return drawSlot(SlotMark::Wrong);
    case kSlotRight: return drawSlot(SlotMark::Right);
    case kGameOverBanner: return drawGameOverBanner(fontFamily);
    case kLogo: return drawLogo(fontFamily);
    case kQuotaMarker: return drawQuotaMarker();
    case kTitleBanner: return drawTitleBanner(fontFamily);
    case kRankingBanner: return drawRankingBanner(fontFamily);
    default: throw std::out_of_range("no bitmap with id " + std::to_string(id));
    }
}

}  // namespace pp::assetgen
