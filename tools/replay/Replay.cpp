#include "tools/replay/Replay.h"

#include <algorithm>
#include <utility>

#include <nlohmann/json.hpp>

#include "persistence/MissedList.h"
#include "persistence/PlayerRecords.h"
#include "persistence/SettingsFile.h"
#include "screens/Layout.h"
#include "encoding/Utf8.h"

namespace pp::replay {
namespace {

// Keys in the order they are set, so that a line reads as the README shows it.
using Line = nlohmann::ordered_json;

void print(std::ostream& out, const Line& line) {
    // Texts come from UTF-16 through a converter that never leaves a bad sequence.
    out << line.dump(-1, ' ', false, Line::error_handler_t::replace) << '\n';
}

// The history of a replay: the database it keeps, with the cards a recording brought from the
// player's own history standing in for questions the database has none of yet.
class SeededHistory final : public History {
public:
    SeededHistory(std::unique_ptr<History> kept, std::map<std::filesystem::path, std::vector<ReviewCard>> seeded)
        : kept_(std::move(kept)), seeded_(std::move(seeded)) {}

    void selectQuiz(const QuizFingerprint& quiz) override {
        quiz_ = std::filesystem::path(quiz.path);
        kept_->selectQuiz(quiz);
    }
    std::vector<ReviewCard> cards() override {
        std::vector<ReviewCard> cards = kept_->cards();
        const auto seeded = seeded_.find(quiz_);
        if (seeded == seeded_.end()) {
            return cards;
        }
        for (const ReviewCard& card : seeded->second) {
            if (std::none_of(cards.begin(), cards.end(), [&](const ReviewCard& own) { return own.question == card.question; })) {
                cards.push_back(card);
            }
        }
        return cards;
    }
    void recordAnswer(const AnswerRecord& answer, const ReviewCard& card) override { kept_->recordAnswer(answer, card); }
    void recordGame(const GameRecord& game) override { kept_->recordGame(game); }
    std::vector<GameRecord> games() override { return kept_->games(); }
    std::vector<GenreDay> genreDays() override { return kept_->genreDays(); }
    std::vector<MissCount> mostMissed(int count) override { return kept_->mostMissed(count); }
    std::vector<AnswerRecord> answers() override { return kept_->answers(); }
    HistoryProblem takeProblem() override { return kept_->takeProblem(); }

private:
    std::unique_ptr<History> kept_;
    std::map<std::filesystem::path, std::vector<ReviewCard>> seeded_;
    std::filesystem::path quiz_;
};

// What the set-up lines keep for one quiz file.
struct KeptLines {
    std::vector<MissedAnswer> missed;
    std::optional<std::array<RankEntry, kRankingRows>> ranking;
    std::size_t rankingRows = 0;
};

}  // namespace

Replayer::Replayer(std::filesystem::path settingsPath, std::uint32_t seed, FrameSink& frames, std::ostream& out)
    : game_(*this, std::move(settingsPath), std::make_unique<MersenneRandom>(seed)), frames_(frames), out_(out) {}

std::optional<ScriptError> Replayer::setUp(const std::vector<Event>& events) {
    GameState saved;
    bool rewrite = false;
    std::size_t rows = 0;
    std::map<std::filesystem::path, KeptLines> kept;
    std::optional<std::filesystem::path> keptFor;  // the quiz file of the last kept line
    const std::filesystem::path folder = game_.settingsPath().parent_path();
    bool records = false;
    for (const Event& event : events) {
        if (!setsUp(event.kind)) {
            break;
        }
        if (!rewrite && (event.kind == Event::Kind::Rank || event.kind == Event::Kind::Options)) {
            // The file's other contents stay as they are; a missing file starts from the defaults.
            loadSettings(saved, game_.settingsPath());
            saved.ranking = {};
            rewrite = true;
        }
        switch (event.kind) {
            case Event::Kind::Quiz:
                lastQuizFile_ = event.path;
                break;
            case Event::Kind::Rank:
                if (rows == saved.ranking.size()) {
                    return ScriptError{event.line, "the ranking has only " + std::to_string(rows) + " rows"};
                }
                saved.ranking[rows].score = event.score;
                saved.ranking[rows].name = event.name;
                ++rows;
                break;
            case Event::Kind::Records:
                records = true;
                break;
            case Event::Kind::Kept:
                keptFor = event.path;
                kept[*keptFor];
                break;
            case Event::Kind::Missed:
            case Event::Kind::FileRank:
            case Event::Kind::Card: {
                if (!keptFor) {
                    return ScriptError{event.line, "missed, filerank and card lines need a 'kept PATH' line before them"};
                }
                KeptLines& lines = kept[*keptFor];
                if (event.kind == Event::Kind::Missed) {
                    for (const std::int32_t question : event.questions) {
                        lines.missed.push_back(MissedAnswer{question, kNoChoice});
                    }
                } else if (event.kind == Event::Kind::Card) {
                    cards_[*keptFor].push_back(event.card);
                } else {
                    if (!lines.ranking) {
                        lines.ranking.emplace();
                    }
                    if (lines.rankingRows == lines.ranking->size()) {
                        return ScriptError{event.line, "a quiz file's ranking has only " + std::to_string(kRankingRows) + " rows"};
                    }
                    (*lines.ranking)[lines.rankingRows].score = event.score;
                    (*lines.ranking)[lines.rankingRows].name = event.name;
                    ++lines.rankingRows;
                    records = true;  // a quiz file's own ranking is kept only beside the settings
                }
                break;
            }
            case Event::Kind::Resumable: {
                std::optional<ResumePoint> point = decodeResumePoint(event.json);
                if (point && std::filesystem::path(point->quiz.path).is_relative()) {
                    point->quiz.path = (event.path / point->quiz.path).string();
                }
                std::optional<QuizFingerprint> print =
                    point ? fingerprintQuizFile(point->quiz.path) : std::nullopt;
                if (!point || !print) {
                    return ScriptError{event.line, "resumable needs a kept run as JSON whose quiz file is there"};
                }
                // The run's file is the same one it was recorded on; only its time and place differ here.
                point->quiz = std::move(*print);
                (void)saveResumePoint(folder / std::string(kResumeFileName), point);
                records = true;
                break;
            }
            case Event::Kind::Options:
                saved.options = chosenOptions(event, saved.options);
                if (event.noRepeats) {
                    game_.setNoRepeats(*event.noRepeats != 0);
                }
                break;
            default:
                break;
        }
    }
    if (rewrite) {
        // A file that cannot be written is the game's to report, with its own message, when it
        // starts on it.
        (void)saveSettings(saved, game_.settingsPath());
    }
    if (records) {
        // Each quiz file's own ranking and the kept run, beside the settings as the window keeps them.
        game_.keepPlayerRecordsIn(folder);
    }
    const std::filesystem::path missedFile = folder / std::string(kMissedListFileName);
    bool missedKept = false;
    for (const auto& [path, lines] : kept) {
        const std::optional<QuizFingerprint> print = fingerprintQuizFile(path);
        if (!print) {
            continue;  // the game finds no file there either, and keeps nothing for it
        }
        if (!lines.missed.empty()) {
            (void)saveMissedList(missedFile, *print, lines.missed);
            missedKept = true;
        }
        if (lines.ranking) {
            (void)saveFileRanking(folder / std::string(kFileRankingsName), *print, *lines.ranking);
        }
    }
    if (missedKept) {
        game_.keepMissedListsIn(missedFile);
    }
    return std::nullopt;
}

void Replayer::useHistory(std::unique_ptr<History> history) {
    game_.keepHistoryIn(std::make_unique<SeededHistory>(std::move(history), std::move(cards_)));
}

std::optional<ScriptError> Replayer::start() {
    game_.start();
    reportScreen();
    return settle(0);
}

std::optional<ScriptError> Replayer::run(const Event& event) {
    using Kind = Event::Kind;
    switch (event.kind) {
        case Kind::Open:
            game_.open(event.path);
            break;
        case Kind::Tick:
            for (std::uint32_t i = 0; i < event.ticks; ++i) {
                ++ticks_;
                game_.tick();
                if (auto error = settle(event.line)) {
                    return error;
                }
            }
            return std::nullopt;
        case Kind::Tap:
            game_.tap(static_cast<int>(event.x), static_cast<int>(event.y));
            break;
        case Kind::Key:
            game_.key(event.keyCode);
            break;
        case Kind::Answer:
            return answer(event);
        case Kind::Settings:
            if (event.noRepeats) {
                game_.setNoRepeats(*event.noRepeats != 0);
            }
            game_.confirmSettings(chosenOptions(event, game_.state().options));
            break;
        case Kind::Name:
            names_.push_back(event.name);
            break;
        case Kind::Command:
            game_.command(event.commandId);
            break;
        case Kind::Leave:
            game_.answerLeave(event.yes);
            break;
        case Kind::Resume:
            game_.answerResume(event.yes);
            break;
        case Kind::Seed:
        case Kind::Quiz:
        case Kind::Rank:
        case Kind::Records:
        case Kind::Options:
        case Kind::Kept:
        case Kind::Missed:
        case Kind::FileRank:
        case Kind::Card:
        case Kind::Resumable:
            return std::nullopt;  // taken by setUp before the start
        case Kind::Date:
            today_ = event.day;
            return std::nullopt;
    }
    return settle(event.line);
}

std::optional<ScriptError> Replayer::answer(const Event& event) {
    const GameState& state = game_.state();
    if (state.screen != Screen::Answering || state.confirmed != 0) {
        return ScriptError{event.line, "answer: the game is on " + std::string(screenName(state.screen)) +
                                           (state.confirmed != 0 ? " with an answer confirmed" : "") +
                                           ", not waiting for an answer"};
    }
    const int rightRow = state.correctPosition + 1;
    const Point middle = layout::choiceRowMiddle(event.right ? rightRow : (rightRow == 1 ? 2 : 1));
    for (int tap = 0; tap < 2; ++tap) {  // highlight, then confirm
        game_.tap(middle.x, middle.y);
        if (auto error = settle(event.line)) {
            return error;
        }
    }
    return std::nullopt;
}

Options Replayer::chosenOptions(const Event& event, Options chosen) {
    chosen.soundEffects = event.sound.value_or(chosen.soundEffects);
    chosen.showCorrectAnswer = event.correct.value_or(chosen.showCorrectAnswer);
    chosen.timeLimit = event.limit.value_or(chosen.timeLimit);
    chosen.gradualReveal = event.reveal.value_or(chosen.gradualReveal);
    chosen.studyMode = event.study.value_or(chosen.studyMode);
    return chosen;
}

std::optional<ScriptError> Replayer::settle(int line) {
    if (game_.state().screenEntry != reportedEntry_) {
        reportScreen();
    }
    answerRequests();
    if (!game_.takePaintRequest()) {
        return std::nullopt;
    }
    // What the painted picture shows is the screen as it stands when the paint begins.
    const Screen painted = game_.state().screen;
    frames_.beginFrame();
    game_.paint(frames_.surface());
    std::string failure;
    if (!frames_.endFrame(painted, failure)) {
        return ScriptError{line, failure};
    }
    return std::nullopt;
}

void Replayer::reportScreen() {
    const GameState& state = game_.state();
    reportedEntry_ = state.screenEntry;
    Line line{{"t", ticks_},
              {"screen", screenName(state.screen)},
              {"score", state.score},
              {"level", state.level},
              {"questionIndex", state.questionIndex},
              {"levelCorrect", state.levelCorrect},
              {"slotsLeft", state.slotsLeft}};
    if (state.screen == Screen::Answering) {
        line["correctPosition"] = state.correctPosition;
    }
    print(out_, line);
}

void Replayer::screenEntered(const GameState& state) {
    if (state.screenEntry != reportedEntry_) {
        reportScreen();
    }
}

void Replayer::playSound(int id) { print(out_, Line{{"t", ticks_}, {"sound", id}}); }

void Replayer::showMessage(std::u16string_view text, std::u16string_view) {
    ++messagesShown_;
    print(out_, Line{{"t", ticks_}, {"message", utf8FromUtf16(text)}});
}

void Replayer::answerRequests() {
    // An answer can ask again (a refused file's message): go on until nothing waits.
    while (game_.requestPending()) {
        if (messagesShown_ > 0) {
            --messagesShown_;
            game_.dismissMessage();
        } else if (std::exchange(nameAsked_, false)) {
            // An empty name when the script gives none: the player confirmed without typing.
            std::u16string name;
            if (!names_.empty()) {
                name = std::move(names_.front());
                names_.pop_front();
            }
            game_.enterName(name);
        } else if (std::exchange(fileAsked_, false)) {
            game_.cancelFile();
        } else if (std::exchange(settingsAsked_, false)) {
            game_.cancelSettings();
        } else if (std::exchange(aboutAsked_, false)) {
            game_.closeAbout();
        } else if (std::exchange(missedAsked_, false)) {
            game_.closeMissedQuestions(false);
        } else {
            break;
        }
    }
}

void Replayer::finish() {
    const GameState& state = game_.state();
    Line ranking = Line::array();
    for (const RankEntry& row : state.ranking) {
        ranking.push_back(Line{{"name", utf8FromUtf16(row.name.view())}, {"score", row.score}});
    }
    Line end{{"end", true},
              {"screen", screenName(state.screen)},
              {"score", state.score},
              {"genreCorrect", state.genreCorrect},
              {"genreAnswered", state.genreAnswered},
              {"ranking", ranking},
              {"missed", game_.missedQuestions()}};
    if (game_.keepsHistory()) {
        end["due"] = game_.dueToday();
    }
    if (state.fileRankingKept) {
        Line rows = Line::array();
        for (const RankEntry& row : state.fileRanking) {
            rows.push_back(Line{{"name", utf8FromUtf16(row.name.view())}, {"score", row.score}});
        }
        end["fileRanking"] = rows;
    }
    print(out_, end);
    out_.flush();
}

}  // namespace pp::replay
