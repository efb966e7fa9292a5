#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pp {

// Reads at most `limit` bytes from the start of the regular file at `path`; nothing when it
// cannot be opened or is not a regular file (a folder, or a pipe that would block the game).
std::optional<std::string> readFileHead(const std::filesystem::path& path, std::size_t limit);

// Runs when the new content sits complete and flushed in its temporary file, just before it
// replaces the real file. Returning false abandons the save there; tests use it to stand in for
// a crash or a full disk at the worst moment.
using BeforeReplace = std::function<bool(const std::filesystem::path& temporaryFile)>;

// The temporary file a replacement of `target` writes first; it sits in the same folder, since a
// rename is atomic only within one file system.
std::filesystem::path temporaryPathFor(const std::filesystem::path& target);

// Makes `target` hold exactly `bytes`: writes them to a temporary file beside it, flushes that to
// the disk and renames it over `target`. Whatever fails, `target` keeps either its old content or
// all of the new one, and no temporary file is left behind. Returns whether `target` was replaced.
bool replaceFileContents(const std::filesystem::path& target, std::string_view bytes,
                         const BeforeReplace& beforeReplace = {});

}  // namespace pp
