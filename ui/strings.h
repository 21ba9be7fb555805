// The window's texts, in one table.
#pragma once

namespace orvane::windowstrings {

inline constexpr char16_t caption[] = u"Orvane (V1.0)";
inline constexpr char16_t mainClass[] = u"CN_Orvane";
inline constexpr char16_t viewClass[] = u"CN_disp";
inline constexpr char16_t uiFontName[] = u"Meiryo UI";

// Captions of the controls 1000..1012, in id order.
inline constexpr const char16_t* controlCaptions[13] = {
    u"", u"↓FIX\u3000", u"", u"↑AUTO\u3000", u"", u"地図生成", u"",
    u"着色（逐次）", u"着色（一括）", u"着色クリア", u"EXPORT", u"", u"バッチ実行",
};

// Status texts.
inline constexpr char16_t successText[] = u"成功＼(^o^)／";
inline constexpr char16_t failureText[] = u"失敗（´Д`）";
inline constexpr char16_t runLogNotCreated[] = u"ログ作成失敗";   // the run log could not be created
inline constexpr char16_t runLogNotWritten[] = u"ログ書込失敗";   // a write to the run log failed
inline constexpr char16_t exportFailed[] = u"EXPORT失敗";
inline constexpr char16_t batchStopped[] = u"バッチ中断";        // the batch run was stopped before its last map

// Batch page labels and the fixed label of the blank and batch pages.
inline constexpr char16_t successesLabel[] = u"成功 :";
inline constexpr char16_t failuresLabel[] = u"失敗 :";
inline constexpr char16_t viewLabel[] = u"Orvane: 四色塗り分け";

}  // namespace orvane::windowstrings
