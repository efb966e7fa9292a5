#include "persistence/HistoryDb.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdio>
#include <sstream>
#include <string>
#include <utility>

namespace pp {
namespace {

// Another copy writing holds the file this long at most before a call gives up on it.
constexpr int kBusyMilliseconds = 250;

// Each step takes the file from the version before it to its own; a new file runs them all.
constexpr const char* kMigrations[] = {
    // 1: quiz files, answers, games and review cards.
    "CREATE TABLE quiz(id INTEGER PRIMARY KEY, path BLOB NOT NULL, size INTEGER NOT NULL,"
    " modified INTEGER NOT NULL, hash INTEGER NOT NULL, UNIQUE(path, size, modified, hash));"
    "CREATE TABLE answer(id INTEGER PRIMARY KEY, quiz INTEGER NOT NULL REFERENCES quiz(id), day INTEGER NOT NULL,"
    " question INTEGER NOT NULL, genre INTEGER NOT NULL, choice INTEGER NOT NULL, correct INTEGER NOT NULL,"
    " time_left INTEGER NOT NULL);"
    "CREATE INDEX answer_question ON answer(quiz, question);"
    "CREATE TABLE game(id INTEGER PRIMARY KEY, quiz INTEGER NOT NULL REFERENCES quiz(id), day INTEGER NOT NULL,"
    " mode TEXT NOT NULL, score INTEGER NOT NULL, genre_correct TEXT NOT NULL, genre_answered TEXT NOT NULL);"
    "CREATE TABLE card(quiz INTEGER NOT NULL, question INTEGER NOT NULL, stability REAL NOT NULL,"
    " difficulty REAL NOT NULL, last_day INTEGER NOT NULL, due_day INTEGER NOT NULL, reps INTEGER NOT NULL,"
    " lapses INTEGER NOT NULL, PRIMARY KEY(quiz, question)) WITHOUT ROWID;",
    // 2: the progress window reads answers day by day.
    "CREATE INDEX answer_day ON answer(quiz, day);",
    // 3: the indexes cover the progress window's sums, so they never sort the whole table.
    "DROP INDEX answer_question; CREATE INDEX answer_question ON answer(quiz, question, correct);"
    "DROP INDEX answer_day; CREATE INDEX answer_day ON answer(quiz, day, genre, correct);",
    // 4: the missed list of each quiz file's last finished game, in the order asked.
    "CREATE TABLE missed(quiz INTEGER NOT NULL REFERENCES quiz(id), position INTEGER NOT NULL,"
    " question INTEGER NOT NULL, choice INTEGER NOT NULL, PRIMARY KEY(quiz, position)) WITHOUT ROWID;",
};
// The version whose step brings the old list file's lists in.
constexpr int kMissedListsVersion = 4;
static_assert(std::size(kMigrations) == HistoryDb::kSchemaVersion);

// One prepared statement, finalized on every path.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (db != nullptr) {
            code_ = sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(statement_); }

    // Prepared: binding and stepping can go ahead.
    [[nodiscard]] bool ok() const { return statement_ != nullptr; }
    [[nodiscard]] int code() const { return code_; }
    Statement& bind(int index, long long value) {
        if (ok()) {
            sqlite3_bind_int64(statement_, index, value);
        }
        return *this;
    }
    Statement& bind(int index, double value) {
        if (ok()) {
            sqlite3_bind_double(statement_, index, value);
        }
        return *this;
    }
    Statement& bind(int index, const std::string& value) {
        if (ok()) {
            sqlite3_bind_blob(statement_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        }
        return *this;
    }
    Statement& bindText(int index, const std::string& value) {
        if (ok()) {
            sqlite3_bind_text(statement_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        }
        return *this;
    }
    // SQLITE_ROW while there are rows, then SQLITE_DONE, or the error.
    int step() {
        if (ok()) {
            code_ = sqlite3_step(statement_);
        } else if (code_ == SQLITE_OK) {
            code_ = SQLITE_MISUSE;  // an empty statement
        }
        return code_;
    }
    // Ready to be bound and stepped again.
    void reset() {
        if (ok()) {
            sqlite3_reset(statement_);
        }
    }
    [[nodiscard]] long long integer(int column) const { return sqlite3_column_int64(statement_, column); }
    [[nodiscard]] double real(int column) const { return sqlite3_column_double(statement_, column); }
    [[nodiscard]] std::string text(int column) const {
        const auto* bytes = sqlite3_column_text(statement_, column);
        return bytes != nullptr ? std::string(reinterpret_cast<const char*>(bytes)) : std::string();
    }

private:
    sqlite3_stmt* statement_ = nullptr;
    int code_ = SQLITE_MISUSE;
};

std::string joinCounts(const std::array<std::int32_t, kGenreCount>& counts) {
    std::string text;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        text += (i == 0 ? "" : ",") + std::to_string(counts[i]);
    }
    return text;
}

std::array<std::int32_t, kGenreCount> splitCounts(const std::string& text) {
    std::array<std::int32_t, kGenreCount> counts{};
    std::istringstream in(text);
    std::string item;
    for (std::size_t i = 0; i < counts.size() && std::getline(in, item, ','); ++i) {
        try {
            counts[i] = std::stoi(item);
        } catch (...) {
            counts[i] = 0;  // a hand-edited row reads as no answers rather than stopping the window
        }
    }
    return counts;
}

}  // namespace

HistoryDb::HistoryDb(const std::filesystem::path& path, std::filesystem::path oldMissedLists)
    : path_(path), oldMissedLists_(std::move(oldMissedLists)) {
    std::error_code ignored;
    // With no file and no old lists to take in, there is nothing to read yet.
    unmade_ = path != ":memory:" && !std::filesystem::exists(path, ignored) &&
              (oldMissedLists_.empty() || !std::filesystem::exists(oldMissedLists_, ignored));
    if (!unmade_) {
        openOrCreate();
    }
}

void HistoryDb::openOrCreate() {
    if (path_ != ":memory:" && path_.has_parent_path()) {
        // The data folder is made on first use, as the missed lists' save does.
        std::error_code ignored;
        std::filesystem::create_directories(path_.parent_path(), ignored);
    }
    if (!open(path_) && db_ != nullptr) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

bool HistoryDb::openWhenMade(bool forWrite) {
    if (unmade_) {
        std::error_code ignored;
        if (!forWrite && !std::filesystem::exists(path_, ignored)) {
            return false;
        }
        unmade_ = false;
        openOrCreate();
        if (selected_) {
            selectQuiz(*selected_);
        }
    }
    return db_ != nullptr;
}

HistoryDb::~HistoryDb() { sqlite3_close_v2(db_); }

bool HistoryDb::open(const std::filesystem::path& path) {
    const int code = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (code != SQLITE_OK || sqlite3_db_readonly(db_, "main") == 1) {
        return openReadOnly(path);
    }
    sqlite3_busy_timeout(db_, kBusyMilliseconds);
    // Reading the version is the first look at the file: a damaged one shows here.
    if (!readVersion()) {
        return false;
    }
    if (foundVersion_ > kSchemaVersion) {
        readOnly_ = true;  // a later build's file: read what we know, write nothing
        problem_ = HistoryProblem::ReadOnly;
        return true;
    }
    if (sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr) != SQLITE_OK) {
        // A writable file in a folder that takes no journal beside it is as good as read-only.
        const int why = sqlite3_errcode(db_) & 0xff;
        if (why == SQLITE_READONLY || why == SQLITE_CANTOPEN || why == SQLITE_PERM) {
            return openReadOnly(path);
        }
        fail(why);
        return false;
    }
    return exec("PRAGMA synchronous=NORMAL") && migrate();
}

bool HistoryDb::openReadOnly(const std::filesystem::path& path) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
    readOnly_ = true;
    problem_ = HistoryProblem::ReadOnly;
    // Immutable: nothing is locked or created beside the file, which a read-only folder forbids.
    std::string uri = "file:";
    for (const unsigned char c : path.string()) {
        if (std::isalnum(c) != 0 || c == '/' || c == '.' || c == '-' || c == '_') {
            uri += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            uri += escaped;
        }
    }
    uri += "?immutable=1";
    if (sqlite3_open_v2(uri.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) != SQLITE_OK) {
        problem_ = HistoryProblem::Unavailable;
        return false;
    }
    return readVersion() && foundVersion_ > 0;
}

bool HistoryDb::readVersion() {
    Statement version(db_, "PRAGMA user_version");
    if (version.step() != SQLITE_ROW) {
        fail(version.code());
        return false;
    }
    foundVersion_ = static_cast<int>(version.integer(0));
    return true;
}

bool HistoryDb::migrate() {
    if (foundVersion_ == kSchemaVersion) {
        return true;
    }
    if (!exec("BEGIN IMMEDIATE")) {
        return false;
    }
    for (int version = foundVersion_; version < kSchemaVersion; ++version) {
        const bool done = exec(kMigrations[version]) && (version + 1 != kMissedListsVersion || importMissedLists());
        if (!done) {
            if (db_ != nullptr) {
                sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            }
            return false;
        }
    }
    const std::string setVersion = "PRAGMA user_version=" + std::to_string(kSchemaVersion);
    if (!exec(setVersion.c_str()) || !exec("COMMIT")) {
        if (db_ != nullptr) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        return false;
    }
    return true;
}

bool HistoryDb::exec(const char* sql) {
    if (db_ == nullptr) {
        return false;
    }
    const int code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) {
        fail(code);
        return false;
    }
    return true;
}

void HistoryDb::fail(int code) {
    HistoryProblem found = HistoryProblem::Unavailable;
    switch (code & 0xff) {
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB: found = HistoryProblem::Damaged; break;
        case SQLITE_BUSY:
        case SQLITE_LOCKED: found = HistoryProblem::Locked; break;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_CANTOPEN: found = HistoryProblem::ReadOnly; break;
        case SQLITE_FULL: found = HistoryProblem::Full; break;
        default: break;
    }
    if (problem_ == HistoryProblem::None) {
        problem_ = found;
    }
    if (found == HistoryProblem::Damaged && db_ != nullptr) {
        // Closed, never repaired or removed: the player may still save the file by hand. A
        // statement may still be open on it, so the connection goes once that is finalized.
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

bool HistoryDb::importMissedLists() {
    if (oldMissedLists_.empty()) {
        return true;
    }
    for (const MissedListEntry& entry : readMissedLists(oldMissedLists_)) {
        const long long quiz = quizRow(entry.quiz);
        if (quiz < 0 || !writeMissedList(quiz, entry.missed)) {
            return false;
        }
    }
    return true;
}

long long HistoryDb::quizRow(const QuizFingerprint& quiz) {
    Statement add(db_, "INSERT OR IGNORE INTO quiz(path, size, modified, hash) VALUES(?1, ?2, ?3, ?4)");
    add.bind(1, quiz.path)
        .bind(2, static_cast<long long>(quiz.size))
        .bind(3, static_cast<long long>(quiz.modified))
        .bind(4, static_cast<long long>(quiz.hash));
    if (const int code = add.step(); code != SQLITE_DONE) {
        fail(code);
        return -1;
    }
    Statement find(db_, "SELECT id FROM quiz WHERE path=?1 AND size=?2 AND modified=?3 AND hash=?4");
    find.bind(1, quiz.path)
        .bind(2, static_cast<long long>(quiz.size))
        .bind(3, static_cast<long long>(quiz.modified))
        .bind(4, static_cast<long long>(quiz.hash));
    const int code = find.step();
    if (code != SQLITE_ROW) {
        fail(code);
        return -1;
    }
    return find.integer(0);
}

bool HistoryDb::writeMissedList(long long quiz, const std::vector<MissedAnswer>& missed) {
    Statement clear(db_, "DELETE FROM missed WHERE quiz=?1");
    clear.bind(1, quiz);
    if (const int code = clear.step(); code != SQLITE_DONE) {
        fail(code);
        return false;
    }
    Statement add(db_, "INSERT INTO missed(quiz, position, question, choice) VALUES(?1, ?2, ?3, ?4)");
    for (std::size_t i = 0; i < missed.size(); ++i) {
        add.bind(1, quiz)
            .bind(2, static_cast<long long>(i))
            .bind(3, static_cast<long long>(missed[i].question))
            .bind(4, static_cast<long long>(missed[i].choice));
        if (const int code = add.step(); code != SQLITE_DONE) {
            fail(code);
            return false;
        }
        add.reset();
    }
    return true;
}

std::optional<std::vector<MissedAnswer>> HistoryDb::missedList() {
    if (unmade_) {
        return std::vector<MissedAnswer>{};  // no file yet, so no list kept
    }
    if (db_ == nullptr || quizId_ < 0) {
        return std::nullopt;
    }
    Statement query(db_, "SELECT question, choice FROM missed WHERE quiz=?1 ORDER BY position");
    query.bind(1, quizId_);
    std::vector<MissedAnswer> missed;
    int code = SQLITE_DONE;
    while ((code = query.step()) == SQLITE_ROW) {
        const long long choice = query.integer(1);
        // Choice 0 is the right answer and never a miss: anything else out of range reads as a time-out.
        const bool known = choice >= 1 && choice < kChoiceCount;
        missed.push_back(MissedAnswer{static_cast<std::int32_t>(query.integer(0)),
                                      known ? static_cast<std::int16_t>(choice) : kNoChoice});
    }
    if (code != SQLITE_DONE) {
        fail(code);
        return std::nullopt;
    }
    return missed;
}

// True when a row of the open quiz file may be written; a read-only file is told once.
bool HistoryDb::writable() {
    if (!openWhenMade(true) || quizId_ < 0) {
        return false;
    }
    if (readOnly_) {
        problem_ = problem_ == HistoryProblem::None ? HistoryProblem::ReadOnly : problem_;
        return false;
    }
    return true;
}

void HistoryDb::keepMissedList(const std::vector<MissedAnswer>& missed) {
    if (!writable() || !exec("BEGIN IMMEDIATE")) {
        return;
    }
    if (!writeMissedList(quizId_, missed) || !exec("COMMIT")) {
        if (db_ != nullptr) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
}

void HistoryDb::limitPages(int pages) {
    openWhenMade(true);
    const std::string sql = "PRAGMA max_page_count=" + std::to_string(pages);
    Statement limit(db_, sql.c_str());
    limit.step();
}

void HistoryDb::selectQuiz(const QuizFingerprint& quiz) {
    quizId_ = -1;
    selected_ = quiz;
    if (!openWhenMade(false)) {
        return;
    }
    const auto bindPrint = [&](Statement& statement) {
        statement.bind(1, quiz.path)
            .bind(2, static_cast<long long>(quiz.size))
            .bind(3, static_cast<long long>(quiz.modified))
            .bind(4, static_cast<long long>(quiz.hash));
    };
    Statement find(db_, "SELECT id FROM quiz WHERE path=?1 AND size=?2 AND modified=?3 AND hash=?4");
    bindPrint(find);
    const int found = find.step();
    if (found == SQLITE_ROW) {
        quizId_ = find.integer(0);
        return;
    }
    if (found != SQLITE_DONE) {
        fail(found);
        return;
    }
    if (readOnly_) {
        return;
    }
    Statement add(db_, "INSERT INTO quiz(path, size, modified, hash) VALUES(?1, ?2, ?3, ?4)");
    bindPrint(add);
    if (const int code = add.step(); code != SQLITE_DONE) {
        fail(code);
        return;
    }
    quizId_ = sqlite3_last_insert_rowid(db_);
}

std::vector<ReviewCard> HistoryDb::cards() {
    std::vector<ReviewCard> cards;
    Statement query(db_, "SELECT question, stability, difficulty, last_day, due_day, reps, lapses FROM card"
                         " WHERE quiz=?1 ORDER BY question");
    query.bind(1, quizId_);
    int code = SQLITE_DONE;
    while ((code = query.step()) == SQLITE_ROW) {
        ReviewCard card;
        card.question = static_cast<std::int32_t>(query.integer(0));
        card.stability = query.real(1);
        card.difficulty = query.real(2);
        card.lastDay = static_cast<std::int32_t>(query.integer(3));
        card.dueDay = static_cast<std::int32_t>(query.integer(4));
        card.reps = static_cast<std::int32_t>(query.integer(5));
        card.lapses = static_cast<std::int32_t>(query.integer(6));
        cards.push_back(card);
    }
    if (db_ != nullptr && code != SQLITE_DONE) {
        fail(code);
    }
    return cards;
}

void HistoryDb::recordAnswer(const AnswerRecord& answer, const ReviewCard& card) {
    if (!writable() || !exec("BEGIN IMMEDIATE")) {
        return;
    }
    Statement add(db_, "INSERT INTO answer(quiz, day, question, genre, choice, correct, time_left)"
                       " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    add.bind(1, quizId_)
        .bind(2, static_cast<long long>(answer.day))
        .bind(3, static_cast<long long>(answer.question))
        .bind(4, static_cast<long long>(answer.genre))
        .bind(5, static_cast<long long>(answer.choice))
        .bind(6, answer.right ? 1LL : 0LL)
        .bind(7, static_cast<long long>(answer.timeLeftTicks));
    Statement keep(db_, "INSERT OR REPLACE INTO card(quiz, question, stability, difficulty, last_day, due_day,"
                        " reps, lapses) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    keep.bind(1, quizId_)
        .bind(2, static_cast<long long>(card.question))
        .bind(3, card.stability)
        .bind(4, card.difficulty)
        .bind(5, static_cast<long long>(card.lastDay))
        .bind(6, static_cast<long long>(card.dueDay))
        .bind(7, static_cast<long long>(card.reps))
        .bind(8, static_cast<long long>(card.lapses));
    int code = add.step();
    if (code == SQLITE_DONE) {
        code = keep.step();
    }
    if (code != SQLITE_DONE) {
        fail(code);
        if (db_ != nullptr) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        return;
    }
    if (!exec("COMMIT") && db_ != nullptr) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void HistoryDb::recordGame(const GameRecord& game) {
    if (!writable()) {
        return;
    }
    Statement add(db_, "INSERT INTO game(quiz, day, mode, score, genre_correct, genre_answered)"
                       " VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    add.bind(1, quizId_)
        .bind(2, static_cast<long long>(game.day))
        .bindText(3, game.mode)
        .bind(4, static_cast<long long>(game.score))
        .bindText(5, joinCounts(game.genreCorrect))
        .bindText(6, joinCounts(game.genreAnswered));
    if (const int code = add.step(); code != SQLITE_DONE) {
        fail(code);
    }
}

std::vector<GameRecord> HistoryDb::games() {
    std::vector<GameRecord> games;
    Statement query(db_, "SELECT day, mode, score, genre_correct, genre_answered FROM game WHERE quiz=?1 ORDER BY id");
    query.bind(1, quizId_);
    while (query.step() == SQLITE_ROW) {
        GameRecord game;
        game.day = static_cast<std::int32_t>(query.integer(0));
        game.mode = query.text(1);
        game.score = static_cast<std::int32_t>(query.integer(2));
        game.genreCorrect = splitCounts(query.text(3));
        game.genreAnswered = splitCounts(query.text(4));
        games.push_back(std::move(game));
    }
    return games;
}

std::vector<GenreDay> HistoryDb::genreDays() {
    std::vector<GenreDay> days;
    Statement query(db_, "SELECT day, genre, SUM(correct), COUNT(*) FROM answer WHERE quiz=?1"
                         " GROUP BY day, genre ORDER BY day, genre");
    query.bind(1, quizId_);
    while (query.step() == SQLITE_ROW) {
        const auto day = static_cast<std::int32_t>(query.integer(0));
        const long long genre = query.integer(1);
        if (days.empty() || days.back().day != day) {
            days.push_back(GenreDay{day, {}, {}});
        }
        if (genre >= 0 && genre < kGenreCount) {
            days.back().right[static_cast<std::size_t>(genre)] = static_cast<std::int32_t>(query.integer(2));
            days.back().answered[static_cast<std::size_t>(genre)] = static_cast<std::int32_t>(query.integer(3));
        }
    }
    return days;
}

std::vector<MissCount> HistoryDb::mostMissed(int count) {
    std::vector<MissCount> missed;
    Statement query(db_, "SELECT question, COUNT(*) - SUM(correct) AS misses, COUNT(*) FROM answer WHERE quiz=?1"
                         " GROUP BY question HAVING misses > 0 ORDER BY misses DESC, question LIMIT ?2");
    query.bind(1, quizId_).bind(2, static_cast<long long>(count));
    while (query.step() == SQLITE_ROW) {
        missed.push_back(MissCount{static_cast<std::int32_t>(query.integer(0)),
                                   static_cast<std::int32_t>(query.integer(1)),
                                   static_cast<std::int32_t>(query.integer(2))});
    }
    return missed;
}

std::vector<AnswerRecord> HistoryDb::answers() {
    std::vector<AnswerRecord> answers;
    Statement query(db_, "SELECT day, question, genre, choice, correct, time_left FROM answer WHERE quiz=?1 ORDER BY id");
    query.bind(1, quizId_);
    while (query.step() == SQLITE_ROW) {
        AnswerRecord answer;
        answer.day = static_cast<std::int32_t>(query.integer(0));
        answer.question = static_cast<std::int32_t>(query.integer(1));
        answer.genre = static_cast<std::int32_t>(query.integer(2));
        answer.choice = static_cast<std::int16_t>(query.integer(3));
        answer.right = query.integer(4) != 0;
        answer.timeLeftTicks = static_cast<std::int32_t>(query.integer(5));
        answers.push_back(answer);
    }
    return answers;
}

HistoryProblem HistoryDb::takeProblem() { return std::exchange(problem_, HistoryProblem::None); }

}  // namespace pp
