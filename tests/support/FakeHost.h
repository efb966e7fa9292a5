#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "engine/GameState.h"
#include "engine/Host.h"

namespace pp::test {

// Records what the game asked of the platform.
class FakeHost final : public Host {
public:
    struct Message {
        std::u16string text;
        std::u16string caption;
    };

    void requestRepaint() override { ++repaints; }
    void playSound(int id) override { sounds.push_back(id); }
    void showMessage(std::u16string_view text, std::u16string_view caption) override {
        messages.push_back({std::u16string(text), std::u16string(caption)});
    }
    std::u16string askPlayerName() override {
        ++nameRequests;
        if (names.empty()) {
            return {};
        }
        std::u16string name = names.front();
        names.pop_front();
        return name;
    }

    int repaints = 0;
    std::vector<int> sounds;
    std::vector<Message> messages;
    std::deque<std::u16string> names;  // what the name dialog returns, one per request
    int nameRequests = 0;
};

// Returns a fixed sequence of values, then repeats it.
class ScriptedRandom final : public RandomSource {
public:
    explicit ScriptedRandom(std::vector<std::uint32_t> values) : values_(std::move(values)) {}
    std::uint32_t next() override {
        if (values_.empty()) {
            return 0;
        }
        const std::uint32_t value = values_[position_ % values_.size()];
        ++position_;
        return value;
    }
    std::size_t drawsTaken() const { return position_; }

private:
    std::vector<std::uint32_t> values_;
    std::size_t position_ = 0;
};

// A game record with its fakes, wired into one Context.
struct TestGame {
    explicit TestGame(std::vector<std::uint32_t> randomValues = {0})
        : random(std::move(randomValues)) {}

    GameState state;
    FakeHost host;
    ScriptedRandom random;
    Context context{state, host, random, {}};
};

}  // namespace pp::test
