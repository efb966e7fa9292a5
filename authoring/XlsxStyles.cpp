#include "authoring/XlsxStyles.h"

namespace pp::kqd::sheet {

std::optional<SourceError> readXlsxStyles(zip_t* archive, std::uint64_t maxBytes, XlsxFormats& formats) {
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
                formats.addCustom(id, u16(attribute(part, u"formatCode")));
            }
        } else if (isStart(part, token, u"cellXfs")) {
            inCellStyles = true;
        } else if (isEnd(part, token, u"cellXfs")) {
            inCellStyles = false;
        } else if (inCellStyles && isStart(part, token, u"xf")) {
            bool ok = false;
            const int id = attribute(part, u"numFmtId").toInt(&ok);
            formats.addCellStyle(ok ? id : 0);
        }
    }
    return std::nullopt;
}

}  // namespace pp::kqd::sheet
