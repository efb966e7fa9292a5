#include "tools/cp932gen/TableSource.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <vector>

#include "record/Cp932Tables.h"
#include "record/Utf16.h"
#include "tools/cp932gen/IcuCp932.h"

namespace pp::cp932gen {
namespace {

using cp932::kEncodeBlockBits;
using cp932::kEncodeBlockSize;
using cp932::kLeadCount;
using cp932::kTrailCount;

std::string byteString(int a) { return std::string(1, static_cast<char>(a)); }
std::string byteString(int a, int b) { return std::string{static_cast<char>(a), static_cast<char>(b)}; }

void require(bool condition, const char* what) {
    if (!condition) {
        throw std::runtime_error(std::string("ICU's windows-31j does not fit the tables: ") + what);
    }
}

// Writes `values` as a braced list, sixteen to a line, in hex of `digits` digits.
template <typename Values>
void appendList(std::string& out, const Values& values, int digits, const char* indent) {
    out += "{\n";
    std::size_t i = 0;
    for (const auto value : values) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%0*X,", digits, static_cast<unsigned>(value));
        out += (i % 16 == 0 ? indent : " ");
        out += text;
        if (i % 16 == 15 || i + 1 == values.size()) {
            out += '\n';
        }
        ++i;
    }
}

struct DecodeTables {
    std::array<char16_t, 256> single{};
    std::array<std::uint8_t, 256> leadRows{};
    std::array<std::uint8_t, 256> trailColumns{};
    std::vector<std::array<char16_t, kTrailCount>> pairs;
};

// A lead byte is one that takes the byte after it into one character; which bytes it takes
// must be the same for every lead byte.
DecodeTables decodeTables() {
    DecodeTables tables;
    for (int b = 0; b < 256; ++b) {
        const std::u16string alone = icuDecode(byteString(b));
        require(alone.size() == 1, "a byte alone is not one character");
        tables.single[static_cast<std::size_t>(b)] = alone[0];
    }
    std::array<bool, 256> trail{};
    bool firstLead = true;
    for (int lead = 0; lead < 256; ++lead) {
        std::array<bool, 256> takes{};
        bool isLead = false;
        for (int t = 0; t < 256; ++t) {
            takes[static_cast<std::size_t>(t)] = icuDecode(byteString(lead, t)).size() == 1;
            isLead = isLead || takes[static_cast<std::size_t>(t)];
        }
        if (!isLead) {
            continue;
        }
        require(tables.single[static_cast<std::size_t>(lead)] == 0xFFFD, "a lead byte is a character alone");
        require(firstLead || takes == trail, "lead bytes take different trail bytes");
        trail = takes;
        firstLead = false;
        tables.pairs.emplace_back();
        tables.leadRows[static_cast<std::size_t>(lead)] = static_cast<std::uint8_t>(tables.pairs.size());
    }
    require(tables.pairs.size() == kLeadCount, "the number of lead bytes");
    std::size_t columns = 0;
    for (int t = 0; t < 256; ++t) {
        if (trail[static_cast<std::size_t>(t)]) {
            tables.trailColumns[static_cast<std::size_t>(t)] = static_cast<std::uint8_t>(++columns);
        }
    }
    require(columns == kTrailCount, "the number of trail bytes");
    for (int lead = 0; lead < 256; ++lead) {
        const int row = tables.leadRows[static_cast<std::size_t>(lead)];
        for (int t = 0; row > 0 && t < 256; ++t) {
            const int column = tables.trailColumns[static_cast<std::size_t>(t)];
            if (column > 0) {
                const std::u16string pair = icuDecode(byteString(lead, t));
                tables.pairs[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(column - 1)] = pair[0];
            }
        }
    }
    return tables;
}

struct EncodeTables {
    std::vector<std::uint16_t> blockOf;
    std::vector<std::array<std::uint16_t, kEncodeBlockSize>> blocks;
};

std::uint16_t encodedEntry(char16_t unit) {
    const std::optional<std::string> bytes = icuEncodeCharacter(std::u16string_view(&unit, 1));
    if (!bytes) {
        return 0;
    }
    require(bytes->size() <= 2, "a character of more than two bytes");
    std::uint16_t entry = 0;
    for (const char byte : *bytes) {
        entry = static_cast<std::uint16_t>(entry << 8 | static_cast<unsigned char>(byte));
    }
    return entry;
}

// Equal blocks are stored once; the empty block comes first.
EncodeTables encodeTables() {
    EncodeTables tables;
    std::map<std::array<std::uint16_t, kEncodeBlockSize>, std::uint16_t> known;
    tables.blocks.emplace_back();
    known[tables.blocks.front()] = 0;
    for (std::uint32_t start = 0; start < 0x10000; start += kEncodeBlockSize) {
        std::array<std::uint16_t, kEncodeBlockSize> block{};
        for (std::size_t i = 0; i < kEncodeBlockSize; ++i) {
            block[i] = encodedEntry(static_cast<char16_t>(start + i));
        }
        auto [found, added] = known.emplace(block, static_cast<std::uint16_t>(tables.blocks.size()));
        if (added) {
            tables.blocks.push_back(block);
        }
        tables.blockOf.push_back(found->second);
    }
    for (std::uint32_t c = 0x10000; c < 0x110000; c += 0x3FF) {
        std::u16string pair(2, u'\0');
        putCodePoint(c, pair.data());
        require(!icuEncodeCharacter(pair), "a character beyond the BMP");
    }
    return tables;
}

}  // namespace

std::string cp932TableSource() {
    const DecodeTables decode = decodeTables();
    const EncodeTables encode = encodeTables();
    std::string out =
        "// Generated by tools/cp932gen from ICU's converter windows-31j; do not edit.\n"
        "// Regenerate with: cp932gen record (see resources/README.md).\n"
        "#include \"record/Cp932Tables.h\"\n\n"
        "namespace pp::cp932 {\n\n";
    // A two-dimensional table: one braced list a row.
    const auto appendRows = [&out](const auto& rows) {
        for (const auto& row : rows) {
            out += "    ";
            appendList(out, row, 4, "        ");
            out += "    },\n";
        }
    };
    out += "const char16_t kSingleBytes[256] = ";
    appendList(out, decode.single, 4, "    ");
    out += "};\n\nconst std::uint8_t kLeadRows[256] = ";
    appendList(out, decode.leadRows, 2, "    ");
    out += "};\n\nconst std::uint8_t kTrailColumns[256] = ";
    appendList(out, decode.trailColumns, 2, "    ");
    out += "};\n\nconst char16_t kPairs[kLeadCount][kTrailCount] = {\n";
    appendRows(decode.pairs);
    out += "};\n\nconst std::uint16_t kEncodeBlockOf[0x10000 >> kEncodeBlockBits] = ";
    appendList(out, encode.blockOf, 3, "    ");
    out += "};\n\nconst std::uint16_t kEncodeBlocks[][kEncodeBlockSize] = {\n";
    appendRows(encode.blocks);
    out += "};\n\n}  // namespace pp::cp932\n";
    return out;
}

}  // namespace pp::cp932gen
