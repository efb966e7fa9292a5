#pragma once

// Small spreadsheet files that unpack to a hostile part of a hundred megabytes or more: one
// comment, CDATA section or processing instruction as long as a whole part may be, tens of
// millions of nested elements, tens of millions of empty shared texts, a value attribute of
// 100 MB. The unit tests check that kqd refuses each; bench/KqdBench.cpp measures how fast and
// in how much memory. The archives are laid out here byte by byte: a part's repeated middle is
// deflated once as a piece that stands alone and then repeated, so that making a file of 127 MiB
// takes milliseconds and never holds it in memory.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace pp::test {

// A part made of a head, one unit repeated, and a tail.
struct PatternPart {
    std::string name;
    std::string head;
    std::string unit;
    std::uint64_t repeats = 0;
    std::string tail;
    bool stored = false;     // kept uncompressed, as a test that changes its bytes wants
    bool encrypted = false;  // marked as encrypted, as a password-protected entry is

    [[nodiscard]] std::uint64_t size() const { return head.size() + unit.size() * repeats + tail.size(); }
};

namespace detail {

inline void putLittle(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// Raw deflate of `text` on `stream`, ending with a full flush (so what follows never looks back
// into it) or, at the end, the final block.
inline std::string deflatePiece(z_stream& stream, const std::string& text, int flush) {
    std::string out;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    char buffer[1 << 16];
    do {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        deflate(&stream, flush);
        out.append(buffer, sizeof buffer - stream.avail_out);
    } while (stream.avail_out == 0);
    return out;
}

struct PackedPart {
    std::string data;
    std::uint32_t crc = 0;
};

inline PackedPart packPart(const PatternPart& part) {
    constexpr std::size_t kChunk = 1 << 20;
    const std::uint64_t perChunk = part.unit.empty() ? 0 : std::max<std::uint64_t>(1, kChunk / part.unit.size());
    const std::uint64_t chunks = perChunk == 0 ? 0 : part.repeats / perChunk;
    std::string chunk;
    for (std::uint64_t i = 0; i < perChunk && chunks > 0; ++i) {
        chunk += part.unit;
    }
    std::string rest;
    for (std::uint64_t i = chunks * perChunk; i < part.repeats; ++i) {
        rest += part.unit;
    }
    const auto crcOf = [](std::uint32_t crc, const std::string& text) {
        return static_cast<std::uint32_t>(crc32(crc, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
    };
    PackedPart packed;
    const std::uint32_t chunkCrc = crcOf(0, chunk);
    packed.crc = crcOf(0, part.head);
    for (std::uint64_t i = 0; i < chunks; ++i) {
        packed.crc = static_cast<std::uint32_t>(crc32_combine(packed.crc, chunkCrc, static_cast<z_off_t>(chunk.size())));
    }
    packed.crc = crcOf(crcOf(packed.crc, rest), part.tail);
    if (part.stored) {
        packed.data = part.head;
        for (std::uint64_t i = 0; i < chunks; ++i) {
            packed.data += chunk;
        }
        packed.data += rest + part.tail;
        return packed;
    }
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    packed.data = deflatePiece(stream, part.head, Z_FULL_FLUSH);
    const std::string packedChunk = chunks > 0 ? deflatePiece(stream, chunk, Z_FULL_FLUSH) : std::string();
    for (std::uint64_t i = 0; i < chunks; ++i) {
        packed.data += packedChunk;
    }
    packed.data += deflatePiece(stream, rest, Z_FULL_FLUSH);
    packed.data += deflatePiece(stream, part.tail, Z_FINISH);
    deflateEnd(&stream);
    return packed;
}

}  // namespace detail

// The bytes of a zip archive of the parts.
inline std::string patternZip(const std::vector<PatternPart>& parts) {
    std::string archive;
    std::string directory;
    for (const PatternPart& part : parts) {
        const detail::PackedPart packed = detail::packPart(part);
        const auto header = [&](std::string& out, bool central) {
            detail::putLittle(out, central ? 0x02014b50 : 0x04034b50, 4);
            if (central) {
                detail::putLittle(out, 20, 2);  // made by
            }
            detail::putLittle(out, 20, 2);                        // needed to extract
            detail::putLittle(out, part.encrypted ? 1 : 0, 2);    // flags
            detail::putLittle(out, part.stored ? 0 : 8, 2);       // method
            detail::putLittle(out, 0, 2);                         // time
            detail::putLittle(out, 0x21, 2);                      // date: 1 January 1980
            detail::putLittle(out, packed.crc, 4);
            detail::putLittle(out, packed.data.size(), 4);
            detail::putLittle(out, part.size(), 4);
            detail::putLittle(out, part.name.size(), 2);
            detail::putLittle(out, 0, 2);  // extra field
            if (central) {
                detail::putLittle(out, 0, 2);  // comment
                detail::putLittle(out, 0, 2);  // disk
                detail::putLittle(out, 0, 2);  // internal attributes
                detail::putLittle(out, 0, 4);  // external attributes
                detail::putLittle(out, archive.size(), 4);
            }
            out += part.name;
        };
        header(directory, true);
        header(archive, false);
        archive += packed.data;
    }
    const std::size_t directoryAt = archive.size();
    archive += directory;
    detail::putLittle(archive, 0x06054b50, 4);
    detail::putLittle(archive, 0, 4);  // this disk, the directory's disk
    detail::putLittle(archive, parts.size(), 2);
    detail::putLittle(archive, parts.size(), 2);
    detail::putLittle(archive, directory.size(), 4);
    detail::putLittle(archive, directoryAt, 4);
    detail::putLittle(archive, 0, 2);  // comment
    return archive;
}

inline void writePatternZip(const std::filesystem::path& path, const std::vector<PatternPart>& parts) {
    std::ofstream(path, std::ios::binary) << patternZip(parts);
}

// One hostile file: its name (with the extension kqd reads it by), its parts, the part whose
// name the refusal must give, and what the refusal says of it.
struct HostileSheet {
    std::string file;
    std::vector<PatternPart> parts;
    std::string badPart;
    std::string says;
};

inline PatternPart plainPart(std::string name, std::string text) { return {std::move(name), std::move(text), "", 0, ""}; }

// An Excel workbook whose parts are sound but for `bad`, which replaces the part of its name.
inline std::vector<PatternPart> xlsxWith(const PatternPart& bad) {
    const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    std::vector<PatternPart> parts{
        plainPart("xl/workbook.xml",
                  "<workbook xmlns=\"" + main +
                      "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
                      "<sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"),
        plainPart("xl/_rels/workbook.xml.rels",
                  "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                  "<Relationship Id=\"rId1\" Type=\"worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>"),
        plainPart("xl/sharedStrings.xml", "<sst xmlns=\"" + main + "\"><si><t>x</t></si></sst>"),
        plainPart("xl/worksheets/sheet1.xml", "<worksheet xmlns=\"" + main +
                                                  "\"><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>"
                                                  "</sheetData></worksheet>"),
    };
    for (PatternPart& part : parts) {
        if (part.name == bad.name) {
            part = bad;
        }
    }
    return parts;
}

// A LibreOffice spreadsheet whose content.xml holds `inTable` inside its first table.
inline std::vector<PatternPart> odsWith(std::string inTableHead, std::string unit, std::uint64_t repeats,
                                        std::string inTableTail) {
    const std::string head =
        "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:spreadsheet>"
        "<table:table table:name=\"Sheet1\">";
    const std::string tail = "</table:table></office:spreadsheet></office:body></office:document-content>";
    return {plainPart("mimetype", "application/vnd.oasis.opendocument.spreadsheet"),
            {"content.xml", head + inTableHead, std::move(unit), repeats, std::move(inTableTail) + tail}};
}

// The hostile files: each small once packed, each refused by a reader that keeps its bounds.
inline std::vector<HostileSheet> hostileSheets() {
    constexpr std::uint64_t kMiB = 1 << 20;
    const std::string sheetHead =
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData><row r=\"1\">"
        "<c r=\"A1\" t=\"inlineStr\"><is><t>";
    const std::string sheetTail = "</t></is></c></row></sheetData></worksheet>";
    const std::string sheet = "xl/worksheets/sheet1.xml";
    const std::string row = "<table:table-row><table:table-cell office:value-type=\"string\"><text:p>x";
    const std::string rowEnd = "</text:p></table:table-cell></table:table-row>";
    const std::string tooLong = "longer than 1 MiB";
    const std::string tooDeep = "nested more than 256 deep";
    return {
        {"comment.xlsx", xlsxWith({sheet, sheetHead + "<!--", "x", 127 * kMiB, "-->x" + sheetTail}), sheet, tooLong},
        {"cdata.xlsx", xlsxWith({sheet, sheetHead + "<![CDATA[", "x", 127 * kMiB, "]]>" + sheetTail}), sheet, tooLong},
        {"instruction.xlsx", xlsxWith({sheet, sheetHead + "<?pi ", "x", 127 * kMiB, "?>x" + sheetTail}), sheet,
         tooLong},
        {"split-text.xlsx", xlsxWith({sheet, sheetHead, "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx<!---->", 2'500'000,
                                      sheetTail}),
         sheet, "a text longer than 1 Mi characters"},
        {"nested.xlsx", xlsxWith({"xl/workbook.xml", "<workbook>", "<a>", 40'000'000, "</workbook>"}),
         "xl/workbook.xml", tooDeep},
        {"shared.xlsx", xlsxWith({"xl/sharedStrings.xml", "<sst>", "<si/>", 26'000'000, "</sst>"}),
         "xl/sharedStrings.xml", "more than 1600000 shared texts"},
        {"attribute.xlsx",
         xlsxWith({sheet, "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v a=\"", "1", 100'000'000,
                   "\">1</v></c></row></sheetData></worksheet>"}),
         sheet, tooLong},
        {"comment.ods", odsWith(row + "<!--", "x", 127 * kMiB, "-->" + rowEnd), "content.xml", tooLong},
        {"nested.ods", odsWith(row, "<text:span>", 40'000'000, rowEnd), "content.xml", tooDeep},
        {"attribute.ods",
         odsWith("<table:table-row><table:table-cell office:value-type=\"float\" office:value=\"", "1", 100'000'000,
                 "\"><text:p>1</text:p></table:table-cell></table:table-row>"),
         "content.xml", tooLong},
    };
}

}  // namespace pp::test
