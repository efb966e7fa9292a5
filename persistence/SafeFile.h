#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pp {

// How an attempt to keep a file fared, for the game to tell the player why nothing was saved.
enum class FileStatus {
    Ok,
    Unreadable,  // the file is there but could not be read, so it must not be written over
    NoFolder,    // the folder is missing, or is not a folder
    ReadOnly,    // no permission to write there, or a read-only file system
    NoSpace,     // the disk or the user's quota is full
    NotAFile,    // a folder, device, pipe or socket stands at the path: it is never replaced
    Failed,      // any other failure
};

// What reading the start of a file found.
struct FileHead {
    std::optional<std::string> bytes;  // nothing when the file could not be read
    bool missing = false;              // true when there is no file at all (nor a folder to hold it)
};

// Reads at most `limit` bytes from the start of the regular file at `path`; no bytes when it
// cannot be opened or is not a regular file (a folder, or a pipe that would block the game).
FileHead readFileHead(const std::filesystem::path& path, std::size_t limit);

// Runs when the new content sits complete and flushed in its temporary file, just before it
// replaces the real file. Returning false abandons the save there; tests use it to stand in for
// a crash or a full disk at the worst moment.
using BeforeReplace = std::function<bool(const std::filesystem::path& temporaryFile)>;

// The file that a replacement of `target` really replaces: the end of its chain of symbolic
// links, so that a link stays a link and its target gets the new content.
std::filesystem::path replacedFileFor(const std::filesystem::path& target);

// Makes `target` hold exactly `bytes`, where the path (after its links) is missing or a regular
// file; anything else there is left alone with FileStatus::NotAFile. Writes them to a temporary file of a unique name beside the
// file really replaced, flushes that to the disk and renames it over. Whatever fails, the file keeps
// either its old content or all of the new one, and no temporary file is left behind. A save that
// succeeds also removes the temporary files of saves killed an hour or more ago. This is the one
// place that writes the settings file.
FileStatus replaceFileContents(const std::filesystem::path& target, std::string_view bytes,
                               const BeforeReplace& beforeReplace = {});

// Removes every temporary file that a save of `target` may have left, whatever its age. Only for
// a caller that knows no save of `target` runs (it holds the folder's lock): a killed save's
// file would otherwise stay for an hour.
void removeLeftoverTemporaries(const std::filesystem::path& target);

}  // namespace pp
