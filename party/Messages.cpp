#include "party/Messages.h"

#include <algorithm>
#include <array>

#include <nlohmann/json.hpp>

#include "encoding/Utf8.h"

namespace pp::party {
namespace {

using nlohmann::json;

// True when `object` has exactly the keys `keys`.
bool hasExactly(const json& object, std::initializer_list<std::string_view> keys) {
    if (object.size() != keys.size()) {
        return false;
    }
    return std::all_of(keys.begin(), keys.end(), [&](std::string_view key) { return object.contains(key); });
}

std::optional<std::string> stringField(const json& object, const char* key, std::size_t largest) {
    const json& value = object.at(key);
    if (!value.is_string()) {
        return std::nullopt;
    }
    const auto& text = value.get_ref<const std::string&>();
    if (text.size() > largest) {
        return std::nullopt;
    }
    return text;
}

std::optional<int> intField(const json& object, const char* key, int lowest, int highest) {
    const json& value = object.at(key);
    if (!value.is_number_integer()) {
        return std::nullopt;
    }
    const auto number = value.get<std::int64_t>();
    if (number < lowest || number > highest) {
        return std::nullopt;
    }
    return static_cast<int>(number);
}

bool isHexToken(std::string_view token) {
    return token.size() == kTokenChars &&
           std::all_of(token.begin(), token.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::optional<ClientMessage> parseJoin(const json& object) {
    if (!hasExactly(object, {"type", "pin", "name"})) {
        return std::nullopt;
    }
    const auto pin = stringField(object, "pin", 6);
    const auto name = stringField(object, "name", kLargestNameBytes);
    if (!pin || !name || !Session::validPin(*pin)) {
        return std::nullopt;
    }
    auto utf16 = utf16FromUtf8(*name);
    if (!utf16) {
        return std::nullopt;
    }
    return JoinMessage{*pin, std::move(*utf16)};
}

std::optional<ClientMessage> parseRejoin(const json& object) {
    if (!hasExactly(object, {"type", "token"})) {
        return std::nullopt;
    }
    const auto token = stringField(object, "token", kTokenChars);
    if (!token || !isHexToken(*token)) {
        return std::nullopt;
    }
    return RejoinMessage{*token};
}

std::optional<ClientMessage> parseAnswer(const json& object) {
    if (!hasExactly(object, {"type", "question", "choice"})) {
        return std::nullopt;
    }
    const auto question = intField(object, "question", 1, kMostQuestions);
    const auto choice = intField(object, "choice", 1, kChoiceCount);
    if (!question || !choice) {
        return std::nullopt;
    }
    return AnswerMessage{*question, *choice};
}

constexpr std::array<std::pair<std::string_view, HostAction>, 8> kHostActions{{
    {"watch", HostAction::Watch},
    {"start", HostAction::Start},
    {"next", HostAction::Next},
    {"skip", HostAction::Skip},
    {"pause", HostAction::Pause},
    {"resume", HostAction::Resume},
    {"remove", HostAction::Remove},
    {"end", HostAction::End},
}};

std::optional<ClientMessage> parseHost(const json& object) {
    const bool withPlayer = object.contains("player");
    if (!hasExactly(object, withPlayer ? std::initializer_list<std::string_view>{"type", "key", "action", "player"}
                                       : std::initializer_list<std::string_view>{"type", "key", "action"})) {
        return std::nullopt;
    }
    const auto key = stringField(object, "key", kTokenChars);
    const auto action = stringField(object, "action", 8);
    if (!key || !isHexToken(*key) || !action) {
        return std::nullopt;
    }
    const auto known = std::find_if(kHostActions.begin(), kHostActions.end(),
                                    [&](const auto& entry) { return entry.first == *action; });
    if (known == kHostActions.end() || withPlayer != (known->second == HostAction::Remove)) {
        return std::nullopt;
    }
    HostMessage message{*key, known->second, 0};
    if (withPlayer) {
        const auto player = intField(object, "player", 1, 1'000'000'000);
        if (!player) {
            return std::nullopt;
        }
        message.player = static_cast<PlayerId>(*player);
    }
    return message;
}

json nameJson(std::u16string_view name) { return utf8FromUtf16(name); }

json topJson(const Session& session) {
    json top = json::array();
    for (const Standing& row : session.standings()) {
        if (static_cast<int>(top.size()) == kTopCount) {
            break;
        }
        top.push_back({{"place", row.place}, {"name", nameJson(row.name)}, {"score", row.score}});
    }
    return top;
}

// The player's own score and place.
void addStanding(json& message, const Session& session, const Player* player) {
    if (player == nullptr) {
        return;
    }
    for (const Standing& row : session.standings()) {
        if (row.id == player->id) {
            message["score"] = row.score;
            message["place"] = row.place;
            message["players"] = session.players().size();
        }
    }
}

}  // namespace

std::optional<ClientMessage> parseClientMessage(std::string_view bytes) {
    if (bytes.size() > kLargestMessage) {
        return std::nullopt;
    }
    const json object = json::parse(bytes, nullptr, false);
    if (!object.is_object() || !object.contains("type") || !object.at("type").is_string()) {
        return std::nullopt;
    }
    const auto& type = object.at("type").get_ref<const std::string&>();
    if (type == "join") {
        return parseJoin(object);
    }
    if (type == "rejoin") {
        return parseRejoin(object);
    }
    if (type == "answer") {
        return parseAnswer(object);
    }
    if (type == "host") {
        return parseHost(object);
    }
    return std::nullopt;
}

std::string joinedMessage(const Player& player, int questionNumber) {
    return json{{"type", "joined"},  {"token", player.token}, {"name", nameJson(player.name)},
                {"score", player.score}, {"question", questionNumber}}
        .dump();
}

std::string refusedMessage(std::string_view reason) { return json{{"type", "refused"}, {"reason", reason}}.dump(); }

std::string lobbyMessage(const Session& session) {
    json names = json::array();
    for (const Player* p : session.players()) {
        names.push_back({{"id", p->id}, {"name", nameJson(p->name)}, {"score", p->score}});
    }
    return json{{"type", "lobby"}, {"players", names}}.dump();
}

std::string questionMessage(const Session& session, std::int64_t nowMs, bool mayAnswer) {
    const QuestionView view = session.question();
    json choices = json::array();
    for (const std::u16string& choice : view.choices) {
        choices.push_back(nameJson(choice));
    }
    return json{{"type", "question"},        {"number", view.number},
                {"total", view.total},       {"genre", nameJson(view.genre)},
                {"text", nameJson(view.text)}, {"choices", choices},
                {"timeLeftMs", session.timeLeftMs(nowMs)}, {"paused", session.paused()},
                {"mayAnswer", mayAnswer}}
        .dump();
}

std::string ackMessage(int questionNumber, int choice) {
    return json{{"type", "ack"}, {"question", questionNumber}, {"choice", choice}}.dump();
}

std::string answerRefusedMessage(AnswerRefusal refusal) {
    return json{{"type", "answerRefused"}, {"reason", answerRefusalName(refusal)}}.dump();
}

std::string pausedMessage(const Session& session, std::int64_t nowMs) {
    return json{{"type", "paused"}, {"paused", session.paused()}, {"timeLeftMs", session.timeLeftMs(nowMs)}}.dump();
}

std::string resultMessage(const Session& session, const Player* player) {
    json message{{"type", "result"}, {"question", session.questionNumber()}, {"right", session.rightPosition()},
                 {"top", topJson(session)}};
    if (player != nullptr) {
        message["yours"] = player->answer;
        message["correct"] = player->answer != 0 && player->answer == session.rightPosition();
        message["points"] = message["correct"].get<bool>() ? player->answerPoints : 0;
    }
    addStanding(message, session, player);
    return message.dump();
}

std::string finalMessage(const Session& session, const Player* player) {
    json standings = json::array();
    for (const Standing& row : session.standings()) {
        standings.push_back({{"place", row.place}, {"name", nameJson(row.name)}, {"score", row.score}});
    }
    json message{{"type", "final"}, {"standings", standings}};
    addStanding(message, session, player);
    return message.dump();
}

std::string removedMessage() { return json{{"type", "removed"}}.dump(); }

std::string hostWelcomeMessage(std::string_view pin, std::string_view joinUrl) {
    return json{{"type", "welcome"}, {"pin", pin}, {"address", joinUrl}}.dump();
}

std::string_view joinRefusalName(JoinRefusal refusal) {
    switch (refusal) {
        case JoinRefusal::None: return "none";
        case JoinRefusal::WrongPin: return "pin";
        case JoinRefusal::BadName: return "name";
        case JoinRefusal::NameTaken: return "taken";
        case JoinRefusal::Full: return "full";
        case JoinRefusal::Finished: return "finished";
    }
    return "none";
}

std::string_view answerRefusalName(AnswerRefusal refusal) {
    switch (refusal) {
        case AnswerRefusal::None: return "none";
        case AnswerRefusal::UnknownPlayer: return "player";
        case AnswerRefusal::NotOpen: return "closed";
        case AnswerRefusal::WrongQuestion: return "question";
        case AnswerRefusal::TooLate: return "late";
        case AnswerRefusal::AlreadyAnswered: return "twice";
        case AnswerRefusal::JoinedLate: return "next";
        case AnswerRefusal::BadChoice: return "choice";
    }
    return "none";
}

}  // namespace pp::party
