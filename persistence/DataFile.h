#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace pp {

// What reading one of the game's own data files (the missed lists, the desktop's options) found.
// Such a file is kept like the settings file: what cannot be read is never written over.
enum class DataFileState {
    Missing,          // no file yet: a save may create it
    Read,             // `bytes` holds the whole file, and it reads as the caller's format
    KeptAside,        // unreadable, damaged, newer or too large: renamed to `keptAs`, a save may start afresh
    NotAFile,         // a folder, device, pipe or socket stands at the path: never written
    CannotKeepAside,  // unusable and could not be renamed either: never written
};

struct DataFileRead {
    DataFileState state = DataFileState::Missing;
    std::string bytes;
    std::filesystem::path keptAs;
};

// Says whether the bytes read are the caller's format, in a version it knows.
using DataFileCheck = std::function<bool(std::string_view bytes)>;

// Reads the data file at `path` (through its links). A file larger than `limit` is never read,
// only kept aside; so is one that cannot be read or that `check` refuses.
DataFileRead readDataFile(const std::filesystem::path& path, std::size_t limit, const DataFileCheck& check);

// Looks at the data file at `path` without reading it: Missing, NotAFile, KeptAside when it is
// larger than `limit` (and now renamed), or Read for a regular file of a sane size (`bytes` empty).
DataFileRead checkDataFile(const std::filesystem::path& path, std::size_t limit);

// Renames `path` (the end of its links) to "NAME.damaged-YYYYMMDD-HHMMSS" beside it, with a number
// after when that name is taken; returns the new name, or nothing when the rename failed.
std::filesystem::path keepAside(const std::filesystem::path& path);

}  // namespace pp
