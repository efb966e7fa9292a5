#include "authoring/Spreadsheet.h"

#include "authoring/Messages.h"
#include "authoring/SheetXml.h"

namespace pp::kqd {
namespace {

using sheet::Archive;
using sheet::fileError;

using ArchiveReader = std::optional<SourceError> (*)(zip_t*, const RowSink&, std::string*, std::uint64_t,
                                                    const SheetChoice&, std::vector<SourceError>*);

std::optional<SourceError> readArchiveInMemory(std::string_view bytes, ArchiveReader reader, const RowSink& sink,
                                               std::string* sheetName, std::uint64_t maxBytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source == nullptr) {
        zip_error_fini(&error);
        return fileError(msg("cannot read the spreadsheet"));
    }
    Archive archive(zip_open_from_source(source, ZIP_RDONLY, &error));
    if (!archive) {
        zip_source_free(source);
        const std::string reason = zip_error_strerror(&error);
        zip_error_fini(&error);
        return fileError(fill(msg("not a spreadsheet file (%1)"), {reason}));
    }
    zip_error_fini(&error);
    return reader(archive.get(), sink, sheetName, maxBytes, {}, nullptr);
}

}  // namespace

std::optional<SourceError> readXlsx(std::string_view bytes, const RowSink& sink, std::string* sheetName,
                                    std::uint64_t maxPartBytes) {
    return readArchiveInMemory(bytes, sheet::readXlsxArchive, sink, sheetName, maxPartBytes);
}

std::optional<SourceError> readOds(std::string_view bytes, const RowSink& sink, std::string* sheetName,
                                   std::uint64_t maxPartBytes) {
    return readArchiveInMemory(bytes, sheet::readOdsArchive, sink, sheetName, maxPartBytes);
}

std::optional<SourceError> readSpreadsheetFile(const std::filesystem::path& path, TableFormat format,
                                               const RowSink& sink, std::string* sheetName,
                                               const SheetChoice& choice, std::vector<SourceError>* notes) {
    int code = 0;
    Archive archive(zip_open(path.c_str(), ZIP_RDONLY, &code));
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const std::string reason = zip_error_strerror(&error);
        zip_error_fini(&error);
        return fileError(code == ZIP_ER_NOENT || code == ZIP_ER_OPEN
                             ? msg("cannot read the file")
                             : fill(msg("not a spreadsheet file (%1)"), {reason}));
    }
    const ArchiveReader reader = format == TableFormat::Xlsx ? sheet::readXlsxArchive : sheet::readOdsArchive;
    return reader(archive.get(), sink, sheetName, kMaxPartBytes, choice, notes);
}

}  // namespace pp::kqd
