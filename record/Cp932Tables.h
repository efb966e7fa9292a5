#pragma once

#include <cstddef>
#include <cstdint>

// The code page 932 tables behind record/Cp932.h, generated from ICU by tools/cp932gen into
// Cp932Tables.cpp, so that the game needs no converter library at run time.
namespace pp::cp932 {

// Lead bytes 0x81-0x9F and 0xE0-0xFC; trail bytes 0x40-0x7E and 0x80-0xFC.
inline constexpr std::size_t kLeadCount = 60;
inline constexpr std::size_t kTrailCount = 188;

// The character of each byte taken alone; U+FFFD for a byte that is no character alone
// (a lead byte too, when no trail byte follows it).
extern const char16_t kSingleBytes[256];

// For each byte, 1 + its row in kPairs when it is a lead byte, else 0.
extern const std::uint8_t kLeadRows[256];

// For each byte, 1 + its column in kPairs when it is a trail byte, else 0. A lead byte
// followed by any other byte is invalid alone, and the other byte starts afresh.
extern const std::uint8_t kTrailColumns[256];

// The character of each lead and trail pair; U+FFFD for an unmapped pair.
extern const char16_t kPairs[kLeadCount][kTrailCount];

// Encoding: the BMP in blocks of 64 code points; kEncodeBlockOf names each one's block in
// kEncodeBlocks, where block 0 maps nothing. An entry is the byte (below 0x100) or the lead
// and trail bytes (lead * 0x100 + trail) of the character, or 0 when it has no form.
inline constexpr unsigned kEncodeBlockBits = 6;
inline constexpr std::size_t kEncodeBlockSize = std::size_t{1} << kEncodeBlockBits;
extern const std::uint16_t kEncodeBlockOf[0x10000 >> kEncodeBlockBits];
extern const std::uint16_t kEncodeBlocks[][kEncodeBlockSize];

}  // namespace pp::cp932
