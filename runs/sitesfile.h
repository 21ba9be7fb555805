// The sites file: a map's sites as text, one site a line as two whole numbers
// "x y" (0..32767; a comma may stand between them), in the order of their
// numbers. '#' starts a comment that runs to the end of its line; blank lines
// are skipped. UTF-8 (a byte-order mark is skipped) or, as the program's own
// files are, UTF-16LE with a byte-order mark; CR LF or LF line ends.
//
//     # a triangle and its centre
//     1000 1000
//     31000 1000
//     16000 30000
//     16000 11000    # country 4
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>
#include "map/map.h"

namespace orvane {

struct SitesFile {
    std::vector<Point> sites;
    std::vector<int> lines;  // the line each site stands on, from 1
};

// Far more than 10000 sites need, even with comments on every line.
inline constexpr size_t mostSitesFileBytes = size_t{4} << 20;

// Why a sites file over mostSitesFileBytes is refused.
std::string sitesFileTooLargeText();

// Reads a sites file's bytes into `out`; "" or the problem, which names the
// line. Coordinates of up to nine digits are read as they are (checkSites
// then names those outside the square); a sign or anything else is refused.
std::string readSitesText(std::string_view bytes, SitesFile& out);

// Reads the sites file at `path`: only a regular file, at most
// mostSitesFileBytes. "" or the problem; `error` is the error number when the
// file could not be opened or read (0 otherwise).
std::string readSitesFile(const std::u16string& path, SitesFile& out, int& error);

// The name a map built from a sites file goes by (its export file is named
// after it): the file's name without folder and extension, with characters
// that no file name may hold replaced by '_', at most 64 units; "stdin" for
// "-", "sites" when nothing is left.
std::u16string sitesMapName(const std::u16string& path);

}  // namespace orvane
