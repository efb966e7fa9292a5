// The shared game's message reader on any bytes: what it accepts keeps every bound, and a name it
// accepts goes through the join and back out in a message that is valid JSON again.

#include <nlohmann/json.hpp>

#include "FuzzCheck.h"
#include "party/Messages.h"
#include "persistence/StoredName.h"

namespace {

using namespace pp;
using namespace pp::party;

class Zeros final : public RandomSource {
public:
    std::uint32_t next() override { return 0; }
};

void checkJoin(const JoinMessage& join) {
    FUZZ_CHECK(Session::validPin(join.pin));
    FUZZ_CHECK(fuzz::isValidUtf16(join.name));
    Zeros zeros;
    Session session("/nonexistent/quiz.kqd", zeros, zeros, join.pin);
    const JoinResult result = session.join(join.pin, join.name);
    if (result.refusal == JoinRefusal::None) {
        FUZZ_CHECK(session.player(result.id)->name.size() <= 2 * kNameChars);
        const auto lobby = nlohmann::json::parse(lobbyMessage(session), nullptr, false);
        FUZZ_CHECK(lobby.is_object() && lobby["players"].size() == 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<ClientMessage> message = parseClientMessage(bytes);
    if (!message) {
        return 0;
    }
    FUZZ_CHECK(size <= kLargestMessage);
    if (const auto* join = std::get_if<JoinMessage>(&*message)) {
        checkJoin(*join);
    } else if (const auto* answer = std::get_if<AnswerMessage>(&*message)) {
        FUZZ_CHECK(answer->choice >= 1 && answer->choice <= kChoiceCount);
        FUZZ_CHECK(answer->question >= 1 && answer->question <= kMostQuestions);
    } else if (const auto* rejoin = std::get_if<RejoinMessage>(&*message)) {
        FUZZ_CHECK(rejoin->token.size() == kTokenChars);
    } else if (const auto* host = std::get_if<HostMessage>(&*message)) {
        FUZZ_CHECK(host->key.size() == kTokenChars);
        FUZZ_CHECK((host->player != 0) == (host->action == HostAction::Remove));
    }
    return 0;
}
