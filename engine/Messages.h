#pragma once

#include <string_view>

namespace pp {

// The message box of a quiz file that cannot be read.
inline constexpr std::u16string_view kLoadErrorText = u"データの読み込みに失敗しました。";
inline constexpr std::u16string_view kLoadErrorCaption = u"ファイルの読み込みエラー";

}  // namespace pp
