#pragma once

#include <filesystem>

namespace pp {

// The player's documents folder, where quiz files and the settings file are kept; created when
// it does not exist yet.
std::filesystem::path documentsFolder();

}  // namespace pp
