#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

#include "record/GameState.h"
#include "persistence/SafeFile.h"

namespace pp {

// The settings file's name inside the documents folder.
inline constexpr std::u16string_view kSettingsFileName = u"ポケットペルナ.txt";

// The path of the settings file in `documentsFolder`.
std::filesystem::path settingsPathIn(const std::filesystem::path& documentsFolder);

// The options and ranking as the file's bytes: code page 932, CR LF, 11 lines.
std::string encodeSettings(const GameState& state);

// Sets the options and ranking from the file's bytes; damaged content never reads past a field.
void decodeSettings(std::string_view bytes, GameState& state);

// Rewrites the file with the options and ranking, without ever leaving a half-written file, and
// tells how that went. The state is only read: whatever happens to the file, the game plays on
// with what the player chose.
FileStatus saveSettings(const GameState& state, const std::filesystem::path& path);

// The same save, calling `beforeReplace` when the new file is ready to replace the old one.
FileStatus saveSettings(const GameState& state, const std::filesystem::path& path,
                        const BeforeReplace& beforeReplace);

// The ranking rows of both, each entry (a name and a score) once, highest score first; at equal
// scores `mine` comes before `theirs`. Rows with no name and no score are empty places.
std::array<RankEntry, kRankingRows> mergeRankings(const std::array<RankEntry, kRankingRows>& mine,
                                                  const std::array<RankEntry, kRankingRows>& theirs);

// A save that loses no one's entries: reads the file again first and merges its ranking rows into
// the state's, then saves the options and the merged ranking. A file that is there but cannot be
// read is left alone (FileStatus::Unreadable).
FileStatus saveSettingsMerging(GameState& state, const std::filesystem::path& path);

// Reads the options and ranking. When the file is missing, the options become the defaults and
// the file is created with them (the result then tells whether that worked). When the file is
// there but cannot be read, the defaults and an empty ranking stand in memory and the result is
// FileStatus::Unreadable: the file must then never be saved over.
// With `createWhenMissing` false a missing file is only reported (FileStatus::NoFolder).
FileStatus loadSettings(GameState& state, const std::filesystem::path& path, bool createWhenMissing = true);

}  // namespace pp
