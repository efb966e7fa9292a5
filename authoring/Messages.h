#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace pp::kqd {

// The texts a quiz maker reads are written in English and looked up in a message catalogue
// (GNU gettext's, compiled from po/LANG.po) when they are shown. The catalogue is chosen by
// each program once at start: kqd by the user's locale, the game always Japanese, and until
// one is set every text stays English.
using MessageCatalogue = std::function<std::string(const char* english)>;
void setMessageCatalogue(MessageCatalogue catalogue);

// `english` in the reader's language. xgettext finds the texts by this name.
std::string msg(const char* english);

// Marks a text for the catalogue where it is only named (a table of names), to be passed to
// msg() where it is used.
constexpr const char* untranslated(const char* english) { return english; }

// `pattern` with %1 to %9 replaced by `args` in order, so that a translation may put them
// where its language wants them, or leave one out.
std::string fill(std::string_view pattern, std::initializer_list<std::string_view> args);

// "warning: " and "note: " open the message of a warning; the build sorts by them.
std::string warning(std::string_view message);
std::string note(std::string_view message);
bool isWarningOrNote(std::string_view message);

}  // namespace pp::kqd
