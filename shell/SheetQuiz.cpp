#include "shell/SheetQuiz.h"

#include <QCryptographicHash>
#include <QFile>
#include <QString>
#include <QTranslator>

#include <fstream>
#include <mutex>

#include "authoring/Messages.h"
#include "authoring/ProblemReport.h"
#include "authoring/QuizBuild.h"
#include "authoring/SourceTable.h"
#include "authoring/Spreadsheet.h"
#include "persistence/SafeFile.h"

namespace pp {
namespace {

// The quiz makers' messages come in English from the readers; the game speaks Japanese whatever
// the desktop's language, through the catalogue kqd uses, compiled for Qt into the program.
void speakJapanese() {
    static std::once_flag once;
    std::call_once(once, [] {
        static QTranslator catalogue;
        if (catalogue.load(QStringLiteral(":/i18n/kqd_ja.qm"))) {
            kqd::setMessageCatalogue([](const char* english) {
                const QString japanese = catalogue.translate("", english);
                return japanese.isEmpty() ? std::string(english) : japanese.toStdString();
            });
        }
    });
}

// Checked questions wait here until the whole table has been read: a table a teacher opens in
// the game is small enough to hold.
class MemorySpill final : public kqd::Spill {
public:
    bool append(std::string_view bytes) override {
        held_.append(bytes);
        return true;
    }
    bool replay(const std::function<bool(std::string_view)>& piece) override { return piece(held_); }

private:
    std::string held_;
};

std::string columnLetters(int column) {
    std::string letters;
    for (int c = column; c > 0; c = (c - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    }
    return letters;
}

// Where a problem is, as a spreadsheet names it: a text table opened in one shows its lines as
// rows and its fields as lettered columns.
std::string placeOf(const kqd::SourceError& problem, const std::optional<std::string>& sheet) {
    if (problem.line <= 0) {
        return {};
    }
    if (problem.column <= 0) {
        return (sheet ? *sheet + " " : std::string()) + std::to_string(problem.line) + "行目";
    }
    return sheet ? kqd::cellName(*sheet, problem.line, problem.column)
                 : columnLetters(problem.column) + std::to_string(problem.line);
}

// A table past this size is no class's quiz: the game would hold it all while building it.
constexpr std::uintmax_t kMaxTableBytes = std::uintmax_t{64} << 20;

}  // namespace

bool isQuestionTable(const std::filesystem::path& path) { return kqd::tableFormatOf(path).has_value(); }

SheetBuild buildSheetQuiz(const std::filesystem::path& path) {
    speakJapanese();
    SheetBuild result;
    const std::optional<kqd::TableFormat> format = kqd::tableFormatOf(path);
    if (!format) {
        return result;
    }
    std::error_code sizeError;
    if (const std::uintmax_t size = std::filesystem::file_size(path, sizeError); !sizeError && size > kMaxTableBytes) {
        result.problems.push_back({{}, "表が大きすぎます（64 MB まで）。kqd で問題集にしてください", true});
        return result;
    }
    const bool sheet = *format == kqd::TableFormat::Xlsx || *format == kqd::TableFormat::Ods;
    std::optional<std::string> sheetName;
    kqd::RowSource rows;
    if (sheet) {
        sheetName.emplace();
        rows = [&](const kqd::RowSink& sink) { return kqd::readSpreadsheetFile(path, *format, sink, &*sheetName); };
    } else {
        // As kqd does: UTF-8, or else Shift_JIS as Japanese spreadsheet programs save CSV.
        std::ifstream probe(path, std::ios::binary);
        const kqd::TextEncoding encoding = kqd::detectEncoding(probe).value_or(kqd::TextEncoding::Utf8);
        rows = [&path, format, encoding](const kqd::RowSink& sink) -> std::optional<kqd::SourceError> {
            std::ifstream in(path, std::ios::binary);
            if (!in) {
                return kqd::SourceError{0, 0, kqd::msg("cannot read the file")};
            }
            return kqd::readSourceTable(in, *format, encoding, sink);
        };
    }
    kqd::BuildOptions options;
    options.columnLetters = true;  // the dialog names columns as a spreadsheet does
    MemorySpill spill;
    std::string quiz;
    const kqd::WriteAt write = [&quiz](std::int64_t offset, std::string_view bytes) {
        const auto end = static_cast<std::size_t>(offset) + bytes.size();
        if (quiz.size() < end) {
            quiz.resize(end);
        }
        quiz.replace(static_cast<std::size_t>(offset), bytes.size(), bytes);
        return true;
    };
    const kqd::BuildReport report = kqd::buildQuizStreaming(rows, options, spill, write);
    const kqd::Problems& problems = report.problems;
    for (const kqd::SourceError& problem : problems.sorted()) {
        result.problems.push_back({placeOf(problem, sheetName), problem.message, !kqd::isWarningOrNote(problem.message)});
    }
    result.unlisted = problems.errorCount + problems.warningCount -
                      static_cast<std::int64_t>(problems.errors.size() + problems.warnings.size());
    if (!problems.failed()) {
        result.quiz = std::move(quiz);
        result.questions = report.questions;
        result.genres = report.genres;
    }
    return result;
}

std::filesystem::path builtQuizPath(const std::filesystem::path& folder, const std::filesystem::path& source) {
    // Two tables of one name in different folders are two quizzes.
    const QByteArray where = QFile::encodeName(QString::fromStdU16String(std::filesystem::absolute(source).u16string()));
    const QByteArray hash = QCryptographicHash::hash(where, QCryptographicHash::Sha256).toHex().left(12);
    return folder / (source.stem().string() + "-" + hash.toStdString() + ".kqd");
}

bool keepBuiltQuiz(const std::filesystem::path& path, const std::string& quiz) {
    const FileHead held = readFileHead(path, quiz.size() + 1);
    if (held.bytes && *held.bytes == quiz) {
        return true;
    }
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    return replaceFileContents(path, quiz) == FileStatus::Ok;
}

}  // namespace pp
