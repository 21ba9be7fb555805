// The texts of the batch page and the run log, in one table.
#pragma once

namespace orvane::batchstrings {

// Batch page: header and seed range, before the numbers that follow them.
inline constexpr char16_t nodesOpen[] = u"ノード数 (";
inline constexpr char16_t mapsOpen[] = u")   地図数 (";
inline constexpr char16_t close[] = u")";
inline constexpr char16_t seedRangeOpen[] = u"乱数コード ( ";
inline constexpr char16_t seedRangeTo[] = u" ) ～ ( ";
inline constexpr char16_t seedRangeClose[] = u" )";
inline constexpr char16_t totalTime[] = u"総処理時間 :  ";
inline constexpr char16_t minutes[] = u" 分 ";
inline constexpr char16_t seconds[] = u" 秒";
inline constexpr char16_t mapTime[] = u"地図 : ";
inline constexpr char16_t colourTime[] = u"着色 : ";
inline constexpr char16_t milliseconds[] = u" (msec)";

// Run log lines: "%08x(%d)\t;" and then one of these.
inline constexpr char16_t lineMark[] = u")\t;";
inline constexpr char16_t inProgress[] = u"最終地図";
inline constexpr char16_t errorOpen[] = u"Error(";
inline constexpr char16_t firstSeed[] = u"初期地図";
inline constexpr char16_t separator[] = u"--------------------------";
inline constexpr char16_t nodeCount[] = u"ノード数 : ";
inline constexpr char16_t mapCount[] = u"地図数 : ";
inline constexpr char16_t lineEnd[] = u"\r\n";

}  // namespace orvane::batchstrings
