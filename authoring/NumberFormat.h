#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pp::kqd {

// The text a spreadsheet program shows for a number under a number format code, so that a quiz
// holds "1947/5/3", "10%", "0123" and "12,614" where the sheet shows them, not the numbers the
// file stores. Plain C++ over UTF-16 codes, so that every build of the game can use it.

// Where serial day 0 lies: Excel's usual 1900 system or the 1904 system of old Mac workbooks.
enum class DateSystem { From1900, From1904 };

struct NumberText {
    std::u16string text;
    // Set when the code asks for what cannot be shown faithfully (an era year, a fraction, a
    // condition): the reason, e.g. "an era date". `text` is then empty.
    std::optional<std::string> unrenderable;
};

// The code of a built-in format id of an .xlsx (an id without its own numFmt), as Japanese
// Excel shows it; nothing for an id no spreadsheet defines.
std::optional<std::u16string_view> builtinNumberFormat(int id);

// `value` shown under `code` ("General", "yyyy/m/d", "#,##0.00", "0%", "\"第\"0\"問\"" ...).
NumberText formatNumber(double value, std::u16string_view code, DateSystem dates = DateSystem::From1900);

// A number in Excel's General format: at most 11 characters, switching to "1.23457E+11" for
// numbers too large or too small to show so.
std::u16string generalNumberText(double value);

// Undoes the _xHHHH_ escapes that Office Open XML uses for characters XML cannot hold
// ("_x000D_" is a carriage return, "_x005F_" a literal underscore).
std::u16string decodeOoxmlEscapes(std::u16string_view text);

}  // namespace pp::kqd
