#include "authoring/XlsxStyles.h"

namespace pp::kqd::sheet {

std::optional<SourceError> XlsxStyles::read(zip_t* archive, std::uint64_t maxBytes) {
    XmlPart part(archive, "xl/styles.xml", maxBytes);
    if (!part.exists()) {
        return std::nullopt;
    }
    // Only the xf entries of cellXfs are the cells' styles; cellStyleXfs holds named styles.
    bool inCellStyles = false;
    for (auto token = part.next(); token != QXmlStreamReader::EndDocument; token = part.next()) {
        if (token == QXmlStreamReader::Invalid) {
            return fileError(part.error());
        }
        if (isStart(part, token, u"numFmt")) {
            bool ok = false;
            const int id = attribute(part, u"numFmtId").toInt(&ok);
            if (ok) {
                custom_.emplace_back(id, u16(attribute(part, u"formatCode")));
            }
        } else if (isStart(part, token, u"cellXfs")) {
            inCellStyles = true;
        } else if (isEnd(part, token, u"cellXfs")) {
            inCellStyles = false;
        } else if (inCellStyles && isStart(part, token, u"xf")) {
            bool ok = false;
            const int id = attribute(part, u"numFmtId").toInt(&ok);
            cellFormats_.push_back(ok ? id : 0);
        }
    }
    return std::nullopt;
}

std::u16string XlsxStyles::formatOf(int style) const {
    if (style < 0 || static_cast<std::size_t>(style) >= cellFormats_.size()) {
        return u"General";
    }
    const int id = cellFormats_[static_cast<std::size_t>(style)];
    for (const auto& [custom, code] : custom_) {
        if (custom == id) {
            return code;
        }
    }
    return std::u16string(builtinNumberFormat(id).value_or(u"General"));
}

}  // namespace pp::kqd::sheet
