// Code page 932 both ways: decoding never fails and yields valid UTF-16; bytes whose every
// character is mapped come back from an encode as they were, except where two byte sequences
// stand for one character; a text that encodes decodes back to itself.

#include "FuzzCheck.h"
#include "record/Cp932.h"

namespace {

using namespace pp;

bool isLead(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool isTrail(std::uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// Sequences that decode to a character whose own code is another sequence, as Windows has
// them: NEC row 13 symbols that JIS X 0208 also holds, the NEC-selected copies of the IBM
// extensions, and the IBM extensions' copies of NEC row 13 and JIS symbols.
bool isDuplicate(std::string_view sequence) {
    if (sequence.size() != 2) {
        return false;
    }
    const auto lead = static_cast<std::uint8_t>(sequence[0]);
    const auto trail = static_cast<std::uint8_t>(sequence[1]);
    return (lead == 0x87 && trail >= 0x90 && trail <= 0x9C) || lead == 0xED || lead == 0xEE ||
           (lead == 0xFA && trail >= 0x4A && trail <= 0x5B);
}

// The input cut into the sequences a decoder takes as one character each.
std::vector<std::string_view> sequences(std::string_view bytes) {
    std::vector<std::string_view> found;
    for (std::size_t i = 0; i < bytes.size();) {
        const bool pair = isLead(static_cast<std::uint8_t>(bytes[i])) && i + 1 < bytes.size() &&
                          isTrail(static_cast<std::uint8_t>(bytes[i + 1]));
        const std::size_t length = pair ? 2 : 1;
        found.push_back(bytes.substr(i, length));
        i += length;
    }
    return found;
}

void checkDecode(std::string_view bytes) {
    const std::u16string text = decodeCp932(bytes);
    FUZZ_CHECK(text.size() <= bytes.size());
    FUZZ_CHECK(fuzz::isValidUtf16(text));
    if (text.find(u'\uFFFD') != std::u16string::npos || text.find(u'\0') != std::u16string::npos) {
        return;  // something unmapped, or a zero byte, which the encoder refuses by design
    }
    // Every character mapped: it must encode, and come back as the same text.
    const std::optional<std::string> encoded = encodeCp932(text);
    FUZZ_CHECK(encoded.has_value());
    FUZZ_CHECK(decodeCp932(*encoded) == text);
    FUZZ_CHECK(encodeCp932Lossy(text) == *encoded);
    // Byte for byte, each sequence comes back as it was unless it is a duplicate.
    for (const std::string_view sequence : sequences(bytes)) {
        const std::u16string character = decodeCp932(sequence);
        FUZZ_CHECK(character.size() == 1);
        const std::optional<std::string> back = encodeCp932(character);
        FUZZ_CHECK(back.has_value());
        FUZZ_CHECK(*back == sequence || isDuplicate(sequence));
        FUZZ_CHECK(decodeCp932(*back) == character);
    }
}

void checkEncode(std::u16string_view text) {
    const std::optional<std::string> encoded = encodeCp932(text);
    const std::string lossy = encodeCp932Lossy(text);
    if (!encoded) {
        FUZZ_CHECK(lossy.find('?') != std::string::npos);
        return;
    }
    FUZZ_CHECK(lossy == *encoded);
    FUZZ_CHECK(encoded->find('\0') == std::string::npos);
    FUZZ_CHECK(decodeCp932(*encoded) == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    checkDecode(input.rest());
    checkEncode(input.restAsUtf16());
    return 0;
}
