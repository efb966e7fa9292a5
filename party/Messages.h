#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "party/Session.h"

namespace pp::party {

// A message larger than this is no message of ours: its connection is closed unread.
inline constexpr std::size_t kLargestMessage = 4096;
// A typed name longer than this is refused before the name rule cuts it to ten characters.
inline constexpr std::size_t kLargestNameBytes = 64;

// What a phone or the host page may send. An answer names no player: it counts for the player
// its connection joined as, so no message can answer for another.
struct JoinMessage {
    std::string pin;
    std::u16string name;
};
struct RejoinMessage {
    std::string token;
};
struct AnswerMessage {
    int question = 0;
    int choice = 0;  // display position 1..5
};
enum class HostAction { Watch, Start, Next, Skip, Pause, Resume, Remove, End };
struct HostMessage {
    std::string key;
    HostAction action = HostAction::Start;
    PlayerId player = 0;  // for Remove
};
using ClientMessage = std::variant<JoinMessage, RejoinMessage, AnswerMessage, HostMessage>;

// Reads one message: a JSON object of a known type with exactly its fields, each of the right
// kind and within its bounds. Anything else, and anything over kLargestMessage bytes, is nothing.
std::optional<ClientMessage> parseClientMessage(std::string_view bytes);

// What the host sends, as JSON text. None of these holds the right answer before it is judged.
std::string joinedMessage(const Player& player, int questionNumber);
std::string refusedMessage(std::string_view reason);
std::string lobbyMessage(const Session& session);
std::string questionMessage(const Session& session, std::int64_t nowMs, bool mayAnswer);
std::string ackMessage(int questionNumber, int choice);
std::string answerRefusedMessage(AnswerRefusal refusal);
std::string pausedMessage(const Session& session, std::int64_t nowMs);
// The judged question for one player (or, with no player, for the host page).
std::string resultMessage(const Session& session, const Player* player);
std::string finalMessage(const Session& session, const Player* player);
std::string removedMessage();
// For the host page alone, once its key is checked: what the lobby shows to let players in.
std::string hostWelcomeMessage(std::string_view pin, std::string_view joinUrl);

std::string_view joinRefusalName(JoinRefusal refusal);
std::string_view answerRefusalName(AnswerRefusal refusal);

}  // namespace pp::party
