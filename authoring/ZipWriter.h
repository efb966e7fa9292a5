#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pp::kqd {

// A zip archive built in memory with its entries stored, not compressed: plain C++, so that the
// page writes spreadsheets with the desktop's code, and the bytes depend on the entries alone
// (every entry is dated 1980-01-01), so the same quiz always gives the same file.
class ZipWriter {
public:
    // Adds an entry; the first one of an OpenDocument file must be its "mimetype".
    void add(std::string_view name, std::string_view data);
    // The archive with its central directory; empty when it would pass the 4 GiB a plain zip holds.
    [[nodiscard]] std::string finish() const;

private:
    struct Entry {
        std::string name;
        std::uint32_t crc = 0;
        std::uint32_t size = 0;
        std::uint32_t offset = 0;
    };
    std::string body_;
    std::vector<Entry> entries_;
    bool tooLarge_ = false;
};

// The CRC-32 that zip archives check their entries with.
std::uint32_t crc32(std::string_view data);

}  // namespace pp::kqd
