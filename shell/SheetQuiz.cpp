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
#include "persistence/SafeFile.h"
#include "shell/LazyParts.h"
#include "shell/SheetReading.h"

namespace pp {
namespace {

// The quiz makers' messages come in English from the readers; the game speaks Japanese whatever
// the desktop's language, through the catalogue kqd uses, compiled for Qt into the program.
const kqd::MessageCatalogue& japanese() {
    static const kqd::MessageCatalogue catalogue = [] {
        static QTranslator translator;
        if (!translator.load(QStringLiteral(":/i18n/kqd_ja.qm"))) {
            return kqd::MessageCatalogue([](const char* english) { return std::string(english); });
        }
        return kqd::MessageCatalogue([](const char* english) {
            const QString text = translator.translate("", english);
            return text.isEmpty() ? std::string(english) : text.toStdString();
        });
    }();
    return catalogue;
}

void speakJapanese() {
    static std::once_flag once;
    std::call_once(once, [] { kqd::setMessageCatalogue(japanese()); });
}

// A table past this size is no class's quiz: the game would hold it all while building it.
constexpr std::uintmax_t kMaxTableBytes = std::uintmax_t{64} << 20;

}  // namespace

bool isQuestionTable(const std::filesystem::path& path) { return kqd::tableFormatOf(path).has_value(); }

SheetBuild buildSheetQuiz(const std::filesystem::path& path, const char* readerModule) {
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
        QString error;
        const char* module = readerModule != nullptr ? readerModule : lazy::kSheetModule;
        auto* read = reinterpret_cast<lazy::SheetReaderEntry*>(lazy::resolve(module, lazy::kSheetEntry, error));
        if (read == nullptr) {
            result.problems.push_back({{}, error.toStdString(), true});
            return result;
        }
        sheetName.emplace();
        rows = [&, read](const kqd::RowSink& sink) {
            std::optional<kqd::SourceError> problem;
            read(path, *format, sink, &*sheetName, japanese(), problem);
            return problem;
        };
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
    std::string quiz;
    const kqd::BuildReport report = kqd::buildQuizInMemory(rows, options, quiz);
    const kqd::Problems& problems = report.problems;
    for (const kqd::SourceError& problem : problems.sorted()) {
        result.problems.push_back(
            {kqd::spreadsheetPlace(problem, sheetName), problem.message, !kqd::isWarningOrNote(problem.message)});
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
