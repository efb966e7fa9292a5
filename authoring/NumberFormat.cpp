#include "authoring/NumberFormat.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <tuple>
#include <vector>

#include "authoring/Messages.h"

namespace pp::kqd {
namespace {

// A number as spreadsheets keep it: 15 significant decimal digits, so that 2.675 rounds to
// 2.68 as the program shows it, not to the 2.67 its binary neighbour would give.
struct Decimal {
    std::string digits;  // without leading zeros; empty for zero
    int point = 1;       // how many of `digits` stand before the decimal point
};

Decimal decimalOf(double magnitude) {
    Decimal d;
    if (magnitude == 0 || !std::isfinite(magnitude)) {
        return d;
    }
    char text[40];
    std::snprintf(text, sizeof text, "%.14e", magnitude);
    const std::string s = text;
    const std::size_t e = s.find('e');
    d.digits = s.substr(0, 1) + s.substr(2, e - 2);
    d.point = std::atoi(s.c_str() + e + 1) + 1;
    while (!d.digits.empty() && d.digits.back() == '0') {
        d.digits.pop_back();
    }
    return d;
}

// The integer digits (empty for zero) and exactly `fraction` digits after the point.
std::pair<std::string, std::string> toFixed(const Decimal& d, int fraction) {
    std::string digits = d.digits;
    int point = d.point;
    if (point <= 0) {
        digits.insert(0, static_cast<std::size_t>(1 - point), '0');
        point = 1;
    }
    const std::size_t cut = static_cast<std::size_t>(point + fraction);
    if (digits.size() <= cut) {
        digits.append(cut + 1 - digits.size(), '0');
    }
    const bool up = digits[cut] >= '5';
    digits.resize(cut);
    for (std::size_t i = cut; up; --i) {
        if (i == 0) {
            digits.insert(digits.begin(), '1');
            ++point;
            break;
        }
        if (digits[i - 1] == '9') {
            digits[i - 1] = '0';
        } else {
            ++digits[i - 1];
            break;
        }
    }
    std::string whole = digits.substr(0, static_cast<std::size_t>(point));
    const std::size_t first = whole.find_first_not_of('0');
    whole = first == std::string::npos ? std::string() : whole.substr(first);
    return {whole, digits.substr(static_cast<std::size_t>(point))};
}

std::u16string widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string twoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

// ---- the format code ------------------------------------------------------------------------

enum class Kind { Literal, Zero, Hash, Question, Point, Comma, Percent, Exponent, Date, Elapsed, AmPm, General, At };

struct Token {
    Kind kind;
    std::u16string text;  // a literal's text, a date token's letters ("yyyy"), "E+", "AM/PM"
};

struct Section {
    std::vector<Token> tokens;
    std::optional<std::string> unrenderable;
    bool slash = false;  // a '/' outside quotes: a fraction in a number section
};

char16_t lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool startsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (lower(text[i]) != lower(prefix[i])) {
            return false;
        }
    }
    return true;
}

// A bracketed part: a colour (ignored), a currency and locale, elapsed time, or what we refuse.
void bracket(std::u16string_view inside, Section& section) {
    if (!inside.empty() && inside[0] == u'$') {
        const std::size_t dash = inside.find(u'-');
        section.tokens.push_back({Kind::Literal, std::u16string(inside.substr(1, dash == std::u16string_view::npos
                                                                                      ? std::u16string_view::npos
                                                                                      : dash - 1))});
        if (dash != std::u16string_view::npos) {
            const std::u16string_view locale = inside.substr(dash + 1);
            const std::string ascii(locale.begin(), locale.end());
            const unsigned long code = std::strtoul(ascii.c_str(), nullptr, 16);
            // Above the language id an LCID names a calendar or numerals; F800 and F400 are the
            // viewer's own system formats. None has one fixed text.
            if (locale.find(u'x') != std::u16string_view::npos || code > 0xFFFF || code == 0xF800 || code == 0xF400) {
                section.unrenderable = untranslated("an era date or a system format");
            }
        }
        return;
    }
    const char16_t first = inside.empty() ? u' ' : lower(inside[0]);
    if ((first == u'h' || first == u'm' || first == u's') &&
        inside.find_first_not_of(inside[0]) == std::u16string_view::npos) {
        section.tokens.push_back({Kind::Elapsed, std::u16string(1, first)});
    } else if (first == u'<' || first == u'>' || first == u'=') {
        section.unrenderable = untranslated("a condition");
    } else if (startsWithNoCase(inside, u"dbnum") || startsWithNoCase(inside, u"natnum")) {
        section.unrenderable = untranslated("Japanese numerals");
    }
}

Section parseSection(std::u16string_view code) {
    Section section;
    auto literal = [&](std::u16string text) { section.tokens.push_back({Kind::Literal, std::move(text)}); };
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char16_t c = code[i];
        const char16_t l = lower(c);
        const char16_t next = i + 1 < code.size() ? code[i + 1] : u'\0';
        if (c == u'"') {
            const std::size_t end = code.find(u'"', i + 1);
            literal(std::u16string(code.substr(i + 1, end == std::u16string_view::npos ? end : end - i - 1)));
            i = end == std::u16string_view::npos ? code.size() : end;
        } else if (c == u'\\' || c == u'_') {
            if (i + 1 < code.size()) {
                literal(c == u'\\' ? std::u16string(1, next) : std::u16string(u" "));
            }
            ++i;
        } else if (c == u'*') {
            ++i;  // a fill to the cell's width: the width is the viewer's, the text has none
        } else if (c == u'[') {
            const std::size_t end = code.find(u']', i + 1);
            bracket(code.substr(i + 1, end == std::u16string_view::npos ? end : end - i - 1), section);
            i = end == std::u16string_view::npos ? code.size() : end;
        } else if (c == u'0' || c == u'#' || c == u'?' || c == u'.' || c == u',' || c == u'%' || c == u'@') {
            static constexpr std::array<std::pair<char16_t, Kind>, 7> kKinds{{{u'0', Kind::Zero},
                                                                             {u'#', Kind::Hash},
                                                                             {u'?', Kind::Question},
                                                                             {u'.', Kind::Point},
                                                                             {u',', Kind::Comma},
                                                                             {u'%', Kind::Percent},
                                                                             {u'@', Kind::At}}};
            for (const auto& [ch, kind] : kKinds) {
                if (ch == c) {
                    section.tokens.push_back({kind, std::u16string(1, c)});
                }
            }
        } else if (l == u'e' && (next == u'+' || next == u'-')) {
            section.tokens.push_back({Kind::Exponent, std::u16string{u'E', next}});
            ++i;
        } else if (startsWithNoCase(code.substr(i), u"am/pm") || startsWithNoCase(code.substr(i), u"a/p")) {
            const std::size_t length = startsWithNoCase(code.substr(i), u"am/pm") ? 5 : 3;
            section.tokens.push_back({Kind::AmPm, std::u16string(code.substr(i, length))});
            i += length - 1;
        } else if (startsWithNoCase(code.substr(i), u"general")) {
            section.tokens.push_back({Kind::General, {}});
            i += 6;
        } else if (l == u'y' || l == u'm' || l == u'd' || l == u'h' || l == u's' || (l == u'a' && lower(next) == u'a')) {
            std::size_t run = 1;
            while (i + run < code.size() && lower(code[i + run]) == l) {
                ++run;
            }
            section.tokens.push_back({Kind::Date, std::u16string(run, l)});
            i += run - 1;
        } else if (l == u'g' || l == u'e' || l == u'b') {
            section.unrenderable = untranslated("an era date");
        } else {
            section.slash = section.slash || c == u'/';
            literal(std::u16string(1, c));
        }
    }
    return section;
}

std::vector<std::u16string_view> splitSections(std::u16string_view code) {
    std::vector<std::u16string_view> sections;
    std::size_t start = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (code[i] == u'"') {
            quoted = !quoted;
        } else if (!quoted && (code[i] == u'\\' || code[i] == u'_' || code[i] == u'*')) {
            ++i;
        } else if (!quoted && code[i] == u';') {
            sections.push_back(code.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(code.substr(start));
    return sections;
}

bool has(const Section& section, Kind kind) {
    for (const Token& token : section.tokens) {
        if (token.kind == kind) {
            return true;
        }
    }
    return false;
}

// ---- dates and times -------------------------------------------------------------------------

struct CivilDate {
    std::int64_t year;
    int month;
    int day;
    int weekday;  // 0 Sunday
};

// The proleptic Gregorian date `days` after 1970-01-01 (after H. Hinnant's civil_from_days).
CivilDate civilFromDays(std::int64_t days) {
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int weekday = static_cast<int>(((days % 7) + 7 + 4) % 7);
    return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day, weekday};
}

// Excel counts 1900 as a leap year: day 60 is its 29 February and day 0 its "1900/1/0". Days
// before 0, which only LibreOffice writes, count back from its own day 0, 1899-12-30.
CivilDate dateOfSerial(std::int64_t day, DateSystem system) {
    constexpr std::int64_t k18991230 = -25569;  // days from 1970-01-01
    if (system == DateSystem::From1904) {
        return civilFromDays(k18991230 + 1462 + day);
    }
    if (day == 60) {
        return {1900, 2, 29, 3};
    }
    if (day == 0) {
        return {1900, 1, 0, 6};
    }
    return civilFromDays(k18991230 + day + (day > 0 && day < 60 ? 1 : 0));
}

constexpr std::array<const char*, 12> kMonths{"January", "February", "March",     "April",   "May",      "June",
                                              "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<const char*, 7> kWeekdays{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                               "Thursday", "Friday", "Saturday"};
constexpr std::array<std::u16string_view, 7> kJapaneseWeekdays{u"日", u"月", u"火", u"水", u"木", u"金", u"土"};

// Whether the 'm' at `index` means minutes: right after an hour or right before seconds.
bool isMinute(const Section& section, std::size_t index) {
    for (std::size_t i = index; i-- > 0;) {
        const Token& t = section.tokens[i];
        if (t.kind == Kind::Date || t.kind == Kind::Elapsed) {
            if (t.text[0] == u'h') {
                return true;
            }
            break;
        }
    }
    for (std::size_t i = index + 1; i < section.tokens.size(); ++i) {
        const Token& t = section.tokens[i];
        if (t.kind == Kind::Date || t.kind == Kind::Elapsed) {
            return t.text[0] == u's';
        }
    }
    return false;
}

std::u16string renderDate(double serial, const Section& section, DateSystem system) {
    // Fractional seconds: zeros after the point that follows the seconds.
    int secondDigits = 0;
    for (std::size_t i = 1; i + 1 < section.tokens.size(); ++i) {
        if (section.tokens[i].kind == Kind::Point && section.tokens[i - 1].text[0] == u's') {
            for (std::size_t j = i + 1; j < section.tokens.size() && section.tokens[j].kind == Kind::Zero; ++j) {
                ++secondDigits;
            }
        }
    }
    const std::int64_t perSecond = secondDigits == 0 ? 1 : secondDigits == 1 ? 10 : secondDigits == 2 ? 100 : 1000;
    const std::int64_t units = std::llround(serial * 86400.0 * static_cast<double>(perSecond));
    const std::int64_t perDay = 86400 * perSecond;
    const std::int64_t day = units >= 0 ? units / perDay : -((-units + perDay - 1) / perDay);
    const std::int64_t inDay = units - day * perDay;
    const std::int64_t seconds = inDay / perSecond;
    const CivilDate date = dateOfSerial(day, system);
    const int hour = static_cast<int>(seconds / 3600);
    const int minute = static_cast<int>(seconds / 60 % 60);
    const int second = static_cast<int>(seconds % 60);
    const bool twelveHours = has(section, Kind::AmPm);
    std::u16string out;
    for (std::size_t i = 0; i < section.tokens.size(); ++i) {
        const Token& t = section.tokens[i];
        const std::size_t n = t.text.size();
        switch (t.kind) {
            case Kind::Date:
                if (t.text[0] == u'y') {
                    out += widen(n <= 2 ? twoDigits(static_cast<int>(((date.year % 100) + 100) % 100))
                                        : std::to_string(date.year));
                } else if (t.text[0] == u'm' && n <= 2 && isMinute(section, i)) {
                    out += widen(n == 1 ? std::to_string(minute) : twoDigits(minute));
                } else if (t.text[0] == u'm') {
                    const std::string name = kMonths[static_cast<std::size_t>(date.month - 1)];
                    out += widen(n == 1   ? std::to_string(date.month)
                                 : n == 2 ? twoDigits(date.month)
                                 : n == 3 ? name.substr(0, 3)
                                 : n == 4 ? name
                                          : name.substr(0, 1));
                } else if (t.text[0] == u'd') {
                    const std::string name = kWeekdays[static_cast<std::size_t>(date.weekday)];
                    out += widen(n == 1   ? std::to_string(date.day)
                                 : n == 2 ? twoDigits(date.day)
                                 : n == 3 ? name.substr(0, 3)
                                          : name);
                } else if (t.text[0] == u'a') {
                    out += kJapaneseWeekdays[static_cast<std::size_t>(date.weekday)];
                    out += n >= 4 ? u"曜日" : u"";
                } else if (t.text[0] == u'h') {
                    const int shown = twelveHours ? (hour % 12 == 0 ? 12 : hour % 12) : hour;
                    out += widen(n == 1 ? std::to_string(shown) : twoDigits(shown));
                } else {
                    out += widen(n == 1 ? std::to_string(second) : twoDigits(second));
                }
                break;
            case Kind::Elapsed: {
                const std::int64_t total = units / perSecond;
                const std::int64_t value = t.text[0] == u'h' ? total / 3600 : t.text[0] == u'm' ? total / 60 : total;
                out += widen(std::to_string(value));
                break;
            }
            case Kind::AmPm: {
                const bool pm = hour >= 12;
                if (t.text.size() == 5) {
                    out += t.text[0] == u'a' ? (pm ? u"pm" : u"am") : (pm ? u"PM" : u"AM");
                } else {
                    out += pm ? t.text.substr(2, 1) : t.text.substr(0, 1);
                }
                break;
            }
            case Kind::Point:
                out += u'.';
                if (i > 0 && section.tokens[i - 1].text[0] == u's' && secondDigits > 0) {
                    std::string fraction = std::to_string(perSecond + inDay % perSecond).substr(1);
                    out += widen(fraction);
                    while (i + 1 < section.tokens.size() && section.tokens[i + 1].kind == Kind::Zero) {
                        ++i;
                    }
                }
                break;
            default:
                out += t.text;
        }
    }
    return out;
}

// ---- numbers ---------------------------------------------------------------------------------

bool isDigitPlace(Kind kind) { return kind == Kind::Zero || kind == Kind::Hash || kind == Kind::Question; }

// What a placeholder shows where there is no digit for it.
std::u16string emptyPlace(Kind kind) {
    return kind == Kind::Zero ? u"0" : kind == Kind::Question ? u" " : u"";
}

std::u16string renderNumber(double magnitude, bool negative, const Section& section) {
    const std::vector<Token>& tokens = section.tokens;
    std::size_t point = tokens.size();
    std::size_t exponent = tokens.size();
    std::size_t lastInteger = tokens.size();
    bool grouping = false;
    int percents = 0;
    int fractionPlaces = 0;
    int integerPlaces = 0;
    int exponentPlaces = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Kind kind = tokens[i].kind;
        if (kind == Kind::Exponent && exponent == tokens.size()) {
            exponent = i;
        } else if (kind == Kind::Point && point == tokens.size() && exponent == tokens.size()) {
            point = i;
        } else if (kind == Kind::Percent) {
            ++percents;
        } else if (isDigitPlace(kind)) {
            if (exponent < i) {
                ++exponentPlaces;
            } else if (point < i) {
                ++fractionPlaces;
            } else {
                ++integerPlaces;
                lastInteger = i;
            }
        }
    }
    // A comma between integer places groups thousands; commas right after the last one scale.
    int scaling = 0;
    for (std::size_t i = 0; i < tokens.size() && i < point && i < exponent; ++i) {
        if (tokens[i].kind != Kind::Comma) {
            continue;
        }
        if (lastInteger != tokens.size() && i < lastInteger) {
            grouping = grouping || integerPlaces > 0;
        } else if (lastInteger != tokens.size()) {
            ++scaling;
        }
    }
    double value = magnitude * std::pow(100.0, percents) / std::pow(1000.0, scaling);
    std::string integer;
    std::string fraction;
    std::string exponentDigits;
    bool exponentNegative = false;
    if (exponent != tokens.size()) {
        const int places = std::max(integerPlaces, 1);
        Decimal d = decimalOf(value);
        int power = d.digits.empty() ? 0 : d.point - 1;
        const bool engineering = places > 1 && tokens[0].kind == Kind::Hash;
        const auto shift = [&](int p) { return engineering ? p - (((p % places) + places) % places) : p - (places - 1); };
        int shifted = shift(power);
        d.point -= shifted;
        std::tie(integer, fraction) = toFixed(d, fractionPlaces);
        if (static_cast<int>(integer.size()) > places && !engineering) {  // 9.99 rounded up to 10.0
            d.point -= 1;
            shifted += 1;
            std::tie(integer, fraction) = toFixed(d, fractionPlaces);
        }
        exponentNegative = shifted < 0;
        exponentDigits = std::to_string(std::abs(shifted));
        if (static_cast<int>(exponentDigits.size()) < exponentPlaces) {
            exponentDigits.insert(0, static_cast<std::size_t>(exponentPlaces) - exponentDigits.size(), '0');
        }
    } else {
        std::tie(integer, fraction) = toFixed(decimalOf(value), fractionPlaces);
    }
    const std::size_t significant = fraction.find_last_not_of('0');
    const std::size_t shownFraction = significant == std::string::npos ? 0 : significant + 1;

    std::u16string out;
    if (negative) {
        out += u'-';
    }
    const int totalDigits = static_cast<int>(integer.size());
    int emitted = 0;
    const auto emitDigits = [&](std::string_view digits) {
        for (const char c : digits) {
            out += static_cast<char16_t>(c);
            ++emitted;
            if (grouping && emitted < totalDigits && (totalDigits - emitted) % 3 == 0) {
                out += u',';
            }
        }
    };
    int integerSeen = 0;
    int fractionSeen = 0;
    int exponentSeen = 0;
    bool integerDone = integerPlaces == 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (isDigitPlace(t.kind) && i < point && i < exponent) {
            // Placeholders take digits from the right; the first one takes all that are left.
            const int fromRight = integerPlaces - integerSeen++;
            const int available = static_cast<int>(integer.size());
            if (integerSeen == 1 && available > fromRight) {
                emitDigits(std::string_view(integer).substr(0, static_cast<std::size_t>(available - fromRight + 1)));
            } else if (available >= fromRight) {
                emitDigits(std::string_view(integer).substr(static_cast<std::size_t>(available - fromRight), 1));
            } else {
                out += emptyPlace(t.kind);
            }
            integerDone = integerSeen == integerPlaces;
        } else if (isDigitPlace(t.kind) && i > exponent) {
            if (exponentSeen++ == 0) {
                out += widen(exponentDigits);  // already padded to the places there are
            }
        } else if (isDigitPlace(t.kind)) {
            const std::size_t at = static_cast<std::size_t>(fractionSeen++);
            out += at < shownFraction ? std::u16string(1, static_cast<char16_t>(fraction[at])) : emptyPlace(t.kind);
        } else if (t.kind == Kind::Point && i == point) {
            if (!integerDone) {
                emitDigits(integer);
                integerDone = true;
            }
            out += u'.';
        } else if (t.kind == Kind::Exponent) {
            out += exponentNegative ? u"E-" : t.text[1] == u'+' ? u"E+" : u"E";
        } else if (t.kind != Kind::Comma) {
            out += t.text;
        }
    }
    return out;
}

}  // namespace

std::optional<std::u16string_view> builtinNumberFormat(int id) {
    // The ids ECMA-376 fixes, with the short date and the locale-dependent ones (27-36, 50-58)
    // as Japanese Excel shows them.
    static constexpr std::array<std::pair<int, std::u16string_view>, 51> kBuiltins{{
        {0, u"General"},
        {1, u"0"},
        {2, u"0.00"},
        {3, u"#,##0"},
        {4, u"#,##0.00"},
        {5, u"\"¥\"#,##0;\"¥\"\\-#,##0"},
        {6, u"\"¥\"#,##0;[Red]\"¥\"\\-#,##0"},
        {7, u"\"¥\"#,##0.00;\"¥\"\\-#,##0.00"},
        {8, u"\"¥\"#,##0.00;[Red]\"¥\"\\-#,##0.00"},
        {9, u"0%"},
        {10, u"0.00%"},
        {11, u"0.00E+00"},
        {12, u"# ?/?"},
        {13, u"# ?\?/?\?"},
        {14, u"yyyy/m/d"},
        {15, u"d-mmm-yy"},
        {16, u"d-mmm"},
        {17, u"mmm-yy"},
        {18, u"h:mm AM/PM"},
        {19, u"h:mm:ss AM/PM"},
        {20, u"h:mm"},
        {21, u"h:mm:ss"},
        {22, u"yyyy/m/d h:mm"},
        {27, u"[$-411]ge.m.d"},
        {28, u"[$-411]ggge\"年\"m\"月\"d\"日\""},
        {29, u"[$-411]ggge\"年\"m\"月\"d\"日\""},
        {30, u"m/d/yy"},
        {31, u"yyyy\"年\"m\"月\"d\"日\""},
        {32, u"h\"時\"mm\"分\""},
        {33, u"h\"時\"mm\"分\"ss\"秒\""},
        {34, u"yyyy\"年\"m\"月\""},
        {35, u"m\"月\"d\"日\""},
        {36, u"[$-411]ge.m.d"},
        {37, u"#,##0 ;(#,##0)"},
        {38, u"#,##0 ;[Red](#,##0)"},
        {39, u"#,##0.00;(#,##0.00)"},
        {40, u"#,##0.00;[Red](#,##0.00)"},
        {45, u"mm:ss"},
        {46, u"[h]:mm:ss"},
        {47, u"mmss.0"},
        {48, u"##0.0E+0"},
        {49, u"@"},
        {50, u"[$-411]ge.m.d"},
        {51, u"[$-411]ggge\"年\"m\"月\"d\"日\""},
        {52, u"yyyy\"年\"m\"月\""},
        {53, u"m\"月\"d\"日\""},
        {54, u"[$-411]ggge\"年\"m\"月\"d\"日\""},
        {55, u"yyyy\"年\"m\"月\""},
        {56, u"m\"月\"d\"日\""},
        {57, u"[$-411]ge.m.d"},
        {58, u"[$-411]ggge\"年\"m\"月\"d\"日\""},
    }};
    for (const auto& [builtin, code] : kBuiltins) {
        if (builtin == id) {
            return code;
        }
    }
    return std::nullopt;
}

NumberText formatNumber(double value, std::u16string_view code, DateSystem dates) {
    // Excel takes format codes of up to 255 characters; a longer one only makes work.
    constexpr std::size_t kMaxCodeLength = 255;
    if (!std::isfinite(value)) {
        return {u"", "a number no spreadsheet holds"};
    }
    if (code.size() > kMaxCodeLength) {
        return {u"", "a format code longer than spreadsheets write"};
    }
    const std::vector<std::u16string_view> codes = splitSections(code);
    std::vector<Section> sections;
    for (const std::u16string_view text : codes) {
        sections.push_back(parseSection(text));
    }
    // Which section shows the number: positive;negative;zero;text.
    std::size_t chosen = 0;
    if (value < 0 && sections.size() >= 2 && !has(sections[1], Kind::At)) {
        chosen = 1;
    } else if (value == 0 && sections.size() >= 3) {
        chosen = 2;
    }
    const Section& section = sections[chosen];
    if (section.unrenderable) {
        return {u"", section.unrenderable};
    }
    const bool date = has(section, Kind::Date) || has(section, Kind::Elapsed) || has(section, Kind::AmPm);
    if (date) {
        constexpr double kLastDay = 2958466;  // 10000-01-01: spreadsheets show no later date
        if (std::fabs(value) >= kLastDay) {
            return {u"", "a date after the year 9999"};
        }
        return {renderDate(value, section, dates), std::nullopt};
    }
    if (section.slash && (has(section, Kind::Zero) || has(section, Kind::Hash) || has(section, Kind::Question))) {
        return {u"", "a fraction"};
    }
    const bool negative = value < 0 && chosen == 0;
    const bool anyPlace = has(section, Kind::Zero) || has(section, Kind::Hash) || has(section, Kind::Question);
    if (has(section, Kind::General)) {
        // General among literals: the number as General shows it, sign and all.
        std::u16string out;
        for (const Token& t : section.tokens) {
            out += t.kind == Kind::General ? generalNumberText(chosen == 0 ? value : std::fabs(value)) : t.text;
        }
        return {out, std::nullopt};
    }
    if (!anyPlace) {
        // Only literal text (or "@"): the number itself does not show.
        std::u16string out;
        for (const Token& t : section.tokens) {
            out += t.kind == Kind::At ? generalNumberText(value) : t.kind == Kind::Comma ? u"," : t.text;
        }
        return {out.empty() && codes.size() == 1 ? generalNumberText(value) : out, std::nullopt};
    }
    return {renderNumber(std::fabs(value), negative, section), std::nullopt};
}

std::u16string generalNumberText(double value) {
    if (value == 0 || !std::isfinite(value)) {
        return u"0";
    }
    const bool negative = value < 0;
    const int room = 11 - (negative ? 1 : 0);
    const Decimal d = decimalOf(std::fabs(value));
    const int power = d.point - 1;
    std::string text;
    if (power >= -5 + 1 && power < room) {
        const int whole = std::max(power + 1, 1);
        auto [integer, fraction] = toFixed(d, std::max(room - whole - 1, 0));
        if (static_cast<int>(integer.size()) <= room) {
            while (!fraction.empty() && fraction.back() == '0') {
                fraction.pop_back();
            }
            text = (integer.empty() ? "0" : integer) + (fraction.empty() ? "" : "." + fraction);
        }
    }
    if (text.empty() || text == "0") {
        // Scientific: as many digits as 11 characters leave beside "E+XX".
        Decimal mantissa = d;
        int exponent = power;
        mantissa.point = 1;
        const std::string exponentText = std::to_string(std::abs(exponent));
        const int digits = std::max(room - 2 - 2 - std::max(static_cast<int>(exponentText.size()), 2), 0);
        auto [integer, fraction] = toFixed(mantissa, digits);
        if (integer.size() > 1) {  // 9.99999 rounded up to 10
            integer = "1";
            ++exponent;
        }
        while (!fraction.empty() && fraction.back() == '0') {
            fraction.pop_back();
        }
        std::string e = std::to_string(std::abs(exponent));
        e.insert(0, e.size() < 2 ? 2 - e.size() : 0, '0');
        text = integer + (fraction.empty() ? "" : "." + fraction) + (exponent < 0 ? "E-" : "E+") + e;
    }
    return widen((negative ? "-" : "") + text);
}

std::u16string decodeOoxmlEscapes(std::u16string_view text) {
    const auto hex = [](char16_t c) -> int {
        if (c >= u'0' && c <= u'9') {
            return c - u'0';
        }
        const char16_t l = lower(c);
        return l >= u'a' && l <= u'f' ? l - u'a' + 10 : -1;
    };
    // The unit an escape at `i` stands for, or -1.
    const auto escapeAt = [&](std::size_t i) -> int {
        if (i + 6 >= text.size() || text[i] != u'_' || lower(text[i + 1]) != u'x' || text[i + 6] != u'_') {
            return -1;
        }
        int code = 0;
        for (std::size_t k = 2; k < 6; ++k) {
            const int digit = hex(text[i + k]);
            if (digit < 0) {
                return -1;
            }
            code = code * 16 + digit;
        }
        return code;
    };
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int code = escapeAt(i);
        const int next = code >= 0xD800 && code <= 0xDBFF ? escapeAt(i + 7) : -1;
        if (next >= 0xDC00 && next <= 0xDFFF) {  // a character beyond the first 65536, as a pair
            out += static_cast<char16_t>(code);
            out += static_cast<char16_t>(next);
            i += 13;
        } else if (code == u'\t' || code == u'\n' || code == u'\r' ||
                   (code >= 0x20 && (code < 0xD800 || code > 0xDFFF))) {
            out += static_cast<char16_t>(code);
            i += 6;
        } else {
            out += text[i];  // a control character or half a pair is no text: left as written
        }
    }
    return out;
}

}  // namespace pp::kqd
