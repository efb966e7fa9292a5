#include "authoring/HeaderRow.h"

#include <algorithm>
#include <string_view>

#include "authoring/Messages.h"

namespace pp::kqd {
namespace {

enum class Role { None, Genre, Question, Right, Wrong };

// The words by role, lower case, after numbers and spaces around them are taken away.
struct Word {
    std::u16string_view text;
    Role role;
};
constexpr Word kWords[] = {
    {u"ジャンル", Role::Genre},        {u"分野", Role::Genre},           {u"カテゴリ", Role::Genre},
    {u"カテゴリー", Role::Genre},      {u"genre", Role::Genre},          {u"category", Role::Genre},
    {u"問題", Role::Question},         {u"問題文", Role::Question},      {u"設問", Role::Question},
    {u"質問", Role::Question},         {u"question", Role::Question},    {u"正解", Role::Right},
    {u"正答", Role::Right},            {u"答え", Role::Right},           {u"答", Role::Right},
    {u"解答", Role::Right},            {u"こたえ", Role::Right},         {u"answer", Role::Right},
    {u"right answer", Role::Right},    {u"correct answer", Role::Right}, {u"correct", Role::Right},
    {u"不正解", Role::Wrong},          {u"誤答", Role::Wrong},           {u"誤り", Role::Wrong},
    {u"はずれ", Role::Wrong},          {u"ハズレ", Role::Wrong},         {u"ダミー", Role::Wrong},
    {u"選択肢", Role::Wrong},          {u"wrong", Role::Wrong},          {u"wrong answer", Role::Wrong},
    {u"incorrect", Role::Wrong},       {u"distractor", Role::Wrong},     {u"incorrect answer", Role::Wrong},
};

bool isNoise(char16_t c) {
    return c == u' ' || c == u'\u3000' || c == u'_' || c == u'-' || c == u'#' || c == u'(' || c == u')' ||
           c == u'（' || c == u'）' || (c >= u'0' && c <= u'9') || (c >= u'０' && c <= u'９') ||
           (c >= u'①' && c <= u'⑳');
}

// "不正解 1", "Wrong answer (2)", "誤答③" -> "不正解", "wrong answer", "誤答".
std::u16string normalized(std::u16string_view cell) {
    while (!cell.empty() && isNoise(cell.front())) {
        cell.remove_prefix(1);
    }
    while (!cell.empty() && isNoise(cell.back())) {
        cell.remove_suffix(1);
    }
    std::u16string text(cell);
    for (char16_t& c : text) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return text;
}

Role roleOf(const std::u16string& cell) {
    const std::u16string word = normalized(cell);
    for (const Word& known : kWords) {
        if (known.text == word) {
            return known.role;
        }
    }
    return Role::None;
}

}  // namespace

std::optional<HeaderRow> recognizeHeader(const std::vector<std::u16string>& cells) {
    std::vector<int> genre;
    std::vector<int> question;
    std::vector<int> right;
    std::vector<int> wrong;
    HeaderRow header;
    for (int c = 0; c < static_cast<int>(cells.size()); ++c) {
        switch (roleOf(cells[static_cast<std::size_t>(c)])) {
            case Role::Genre: genre.push_back(c); break;
            case Role::Question: question.push_back(c); break;
            case Role::Right: right.push_back(c); break;
            case Role::Wrong: wrong.push_back(c); break;
            case Role::None:
                if (!cells[static_cast<std::size_t>(c)].empty()) {
                    header.ignored.push_back(c);
                }
        }
    }
    // A question row may well have 正解 as its right answer: a header names more than that.
    if (question.empty() || right.empty() || genre.size() + question.size() + right.size() + wrong.size() < 3) {
        return std::nullopt;
    }
    if (genre.size() != 1 || question.size() != 1 || right.size() != 1 || wrong.size() != 4) {
        header.problem = fill(msg("this row names the columns, but not one genre, one question, one right answer "
                                  "and four wrong answers (it names %1, %2, %3 and %4)"),
                              {std::to_string(genre.size()), std::to_string(question.size()),
                               std::to_string(right.size()), std::to_string(wrong.size())});
        return header;
    }
    header.columns = {genre[0], question[0], right[0], wrong[0], wrong[1], wrong[2], wrong[3]};
    return header;
}

}  // namespace pp::kqd
