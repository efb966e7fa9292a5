#pragma once

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

// Reads the options and ranking. When the file is missing, the options become the defaults and
// the file is created with them (the result then tells whether that worked). When the file is
// there but cannot be read, the defaults and an empty ranking stand in memory and the result is
// FileStatus::Unreadable: the file must then never be saved over.
FileStatus loadSettings(GameState& state, const std::filesystem::path& path);

}  // namespace pp
