#include "authoring/ZipWriter.h"

#include <array>
#include <cstdint>
#include <limits>

namespace pp::kqd {
namespace {

constexpr std::uint16_t kVersionNeeded = 20;  // 2.0: stored entries in folders
constexpr std::uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;  // 1980-01-01, the earliest a zip can say

void put16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void put32(std::string& out, std::uint32_t value) {
    put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

constexpr std::array<std::uint32_t, 256> makeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}

constexpr auto kCrcTable = makeCrcTable();

}  // namespace

std::uint32_t crc32(std::string_view data) {
    std::uint32_t c = 0xFFFFFFFFU;
    for (const char byte : data) {
        c = kCrcTable[(c ^ static_cast<unsigned char>(byte)) & 0xFF] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFU;
}

void ZipWriter::add(std::string_view name, std::string_view data) {
    constexpr std::uint64_t kLimit = std::numeric_limits<std::uint32_t>::max();
    if (tooLarge_ || body_.size() + 30 + name.size() + data.size() > kLimit) {
        tooLarge_ = true;
        return;
    }
    Entry entry{std::string(name), crc32(data), static_cast<std::uint32_t>(data.size()),
                static_cast<std::uint32_t>(body_.size())};
    put32(body_, 0x04034B50);
    put16(body_, kVersionNeeded);
    put16(body_, 0);  // flags: names are plain ASCII
    put16(body_, 0);  // stored
    put16(body_, 0);  // time
    put16(body_, kDosDate);
    put32(body_, entry.crc);
    put32(body_, entry.size);
    put32(body_, entry.size);
    put16(body_, static_cast<std::uint16_t>(name.size()));
    put16(body_, 0);
    body_ += name;
    body_ += data;
    entries_.push_back(std::move(entry));
}

std::string ZipWriter::finish() const {
    if (tooLarge_) {
        return {};
    }
    std::string directory;
    for (const Entry& entry : entries_) {
        put32(directory, 0x02014B50);
        put16(directory, kVersionNeeded);  // made by: MS-DOS attributes
        put16(directory, kVersionNeeded);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, kDosDate);
        put32(directory, entry.crc);
        put32(directory, entry.size);
        put32(directory, entry.size);
        put16(directory, static_cast<std::uint16_t>(entry.name.size()));
        put16(directory, 0);  // extra
        put16(directory, 0);  // comment
        put16(directory, 0);  // disk
        put16(directory, 0);  // internal attributes
        put32(directory, 0);  // external attributes
        put32(directory, entry.offset);
        directory += entry.name;
    }
    std::string out = body_ + directory;
    put32(out, 0x06054B50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<std::uint16_t>(entries_.size()));
    put16(out, static_cast<std::uint16_t>(entries_.size()));
    put32(out, static_cast<std::uint32_t>(directory.size()));
    put32(out, static_cast<std::uint32_t>(body_.size()));
    put16(out, 0);
    return out;
}

}  // namespace pp::kqd
