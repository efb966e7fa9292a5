#pragma once

#include <string_view>

namespace pp {

// The message box of a quiz file that cannot be read.
inline constexpr std::u16string_view kLoadErrorText = u"データの読み込みに失敗しました。";
inline constexpr std::u16string_view kLoadErrorCaption = u"ファイルの読み込みエラー";
// A file far larger than any quiz, refused before it is read.
inline constexpr std::u16string_view kQuizTooLargeText = u"ファイルが大きすぎるため、クイズ問題ファイルとして開けません。";
// Below the text: the file's name, then one of these reasons.
inline constexpr std::u16string_view kLoadNotFoundText = u"ファイルが見つかりません";
inline constexpr std::u16string_view kLoadFolderText = u"フォルダです";
inline constexpr std::u16string_view kLoadNotAFileText = u"ふつうのファイルではありません";
inline constexpr std::u16string_view kLoadCannotOpenText = u"ファイルを開けません（読み取りの権限がありません）";
inline constexpr std::u16string_view kLoadBadHeadersText = u"問題ファイルではありません（見出しが壊れています）";
inline constexpr std::u16string_view kLoadNoQuestionsText = u"問題ファイルではありません（問題がひとつもありません）";
inline constexpr std::u16string_view kLoadShortText = u"問題ファイルが途中で切れています";

// The settings file was there at start but could not be read; the file's path follows the text.
inline constexpr std::u16string_view kSettingsUnreadableText =
    u"設定ファイルを読み込めませんでした。ファイルの内容を守るため、ランキングと設定は保存しません。";
inline constexpr std::u16string_view kSettingsUnreadableCaption = u"設定ファイルの読み込みエラー";

// A save that failed: the text, one sentence for the cause when it is known, then the file's path.
inline constexpr std::u16string_view kSaveErrorText = u"ランキングと設定を保存できませんでした。";
inline constexpr std::u16string_view kSaveErrorCaption = u"設定ファイルの保存エラー";
inline constexpr std::u16string_view kSaveNoFolderText = u"保存先のフォルダがありません。";
inline constexpr std::u16string_view kSaveReadOnlyText = u"保存先に書き込む権限がありません。";
inline constexpr std::u16string_view kSaveNoSpaceText = u"ディスクの空き容量が足りません。";
inline constexpr std::u16string_view kSaveNotAFileText = u"保存先がファイルではない（フォルダやデバイスなど）ため、書き換えません。";

// The missed-question lists' file: kept aside under another name (that name follows), or no
// file can be kept at its path (the path follows).
inline constexpr std::u16string_view kMissedStoreCaption = u"間違えた問題の記録";
inline constexpr std::u16string_view kMissedStoreKeptAsideText =
    u"間違えた問題の記録ファイルを読み込めなかったため、上書きせずに次の名前で残しました。";
inline constexpr std::u16string_view kMissedStoreBlockedText =
    u"間違えた問題の記録ファイルの場所にフォルダなどがあるか、読めないファイルを残せないため、記録は保存しません。";
// The quiz file changed since its missed questions were kept: they name other questions now.
inline constexpr std::u16string_view kMissedStaleText =
    u"問題ファイルが変更されたため、前回の間違えた問題は表示できません。";

// The history of answers and games could not be kept or read; each cause is told once.
inline constexpr std::u16string_view kHistoryCaption = u"学習の記録";
inline constexpr std::u16string_view kHistoryDamagedText =
    u"学習の記録ファイルが壊れているため読み込めませんでした。ファイルは消さずに残し、この回の記録は保存しません。";
inline constexpr std::u16string_view kHistoryLockedText =
    u"ほかのポケットペルナが学習の記録ファイルを使っているため、記録を保存できませんでした。";
inline constexpr std::u16string_view kHistoryReadOnlyText =
    u"学習の記録ファイルに書き込む権限がないため、記録は保存しません。";
inline constexpr std::u16string_view kHistoryFullText =
    u"ディスクの空き容量が足りないため、学習の記録を保存できませんでした。";
inline constexpr std::u16string_view kHistoryUnavailableText = u"学習の記録ファイルを開けないため、記録は保存しません。";

}  // namespace pp
