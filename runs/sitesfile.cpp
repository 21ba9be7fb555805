// Reading sites files: the text's rules, bounded reading of the file, and the
// map's name from the file's.
#include "runs/sitesfile.h"
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include "platform/platform.h"

namespace orvane {

namespace {
constexpr size_t mostDigits = 9;  // 999999999 fits in 32 bits
constexpr size_t shownLineBytes = 40;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

// A line as a message shows it: printable ASCII as it is, other bytes as
// \xNN, cut after a few dozen bytes.
std::string shownLine(std::string_view line)
{
    std::string out;
    for (size_t i = 0; i < line.size() && i < shownLineBytes; ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    if (line.size() > shownLineBytes) out += "...";
    return out;
}

std::string lineProblem(int line, const std::string& what) { return "line " + std::to_string(line) + ": " + what; }

// The site on one line (comment and line end already cut off); "" or what is wrong.
std::string readSiteLine(std::string_view text, int line, Point& site)
{
    size_t i = 0;
    int32_t values[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
        if (k == 1) {
            const size_t gap = i;
            while (i < text.size() && isBlank(text[i])) ++i;
            if (i < text.size() && text[i] == ',') {
                ++i;
                while (i < text.size() && isBlank(text[i])) ++i;
            } else if (i == gap) {
                break;  // no separator: found below
            }
        }
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            return lineProblem(line, "coordinates are whole numbers from 0 to 32767, without a sign: '" +
                                         shownLine(text) + "'");
        const size_t start = i;
        while (i < text.size() && isDigit(text[i])) ++i;
        if (i == start) break;
        if (i - start > mostDigits)
            return lineProblem(line, "a number of " + std::to_string(i - start) +
                                         " digits; coordinates run from 0 to 32767: '" + shownLine(text) + "'");
        int32_t v = 0;
        for (size_t d = start; d < i; ++d) v = v * 10 + (text[d] - '0');
        values[k] = v;
        if (k == 1 && i == text.size()) {
            site = {values[0], values[1]};
            return {};
        }
    }
    return lineProblem(line, "expected two whole numbers 'x y', found '" + shownLine(text) + "'");
}

// UTF-16LE text of ASCII characters as bytes; false when a unit is not ASCII
// (or a byte is left over).
bool asciiFromUtf16(std::string_view bytes, std::string& out)
{
    if (bytes.size() % 2) return false;
    out.reserve(bytes.size() / 2);
    for (size_t i = 0; i < bytes.size(); i += 2) {
        if (bytes[i + 1] != 0 || static_cast<unsigned char>(bytes[i]) >= 0x80) return false;
        out += bytes[i];
    }
    return true;
}

bool forbiddenInName(char16_t c)
{
    return c < 0x20 || c == 0x7F || c == u'/' || c == u'\\' || c == u':' || c == u'*' || c == u'?' || c == u'"' ||
           c == u'<' || c == u'>' || c == u'|';
}
}  // namespace

std::string sitesFileTooLargeText()
{
    return "it is larger than " + std::to_string(mostSitesFileBytes >> 20) +
           " MiB; the sites of a map (at most 10000) take far less";
}

std::string readSitesText(std::string_view bytes, SitesFile& out)
{
    out = {};
    std::string decoded;
    if (bytes.substr(0, 2) == "\xFF\xFE") {
        if (!asciiFromUtf16(bytes.substr(2), decoded))
            return "the file is UTF-16 with characters other than digits, blanks, commas, '#' comments of plain "
                   "ASCII and line ends";
        bytes = decoded;
    } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    int line = 0;
    for (size_t from = 0; from < bytes.size() || line == 0;) {
        ++line;
        const size_t end = std::min(bytes.find('\n', from), bytes.size());
        std::string_view text = bytes.substr(from, end - from);
        from = end + 1;
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        const size_t hash = text.find('#');
        if (hash != std::string_view::npos) text = text.substr(0, hash);
        while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
        while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
        if (text.empty()) continue;
        Point site;
        const std::string problem = readSiteLine(text, line, site);
        if (!problem.empty()) {
            out = {};
            return problem;
        }
        out.sites.push_back(site);
        out.lines.push_back(line);
    }
    return {};
}

std::string readSitesFile(const std::u16string& path, SitesFile& out, int& error)
{
    out = {};
    error = 0;
    switch (fileKind(path)) {
    case FileKind::regular: break;
    case FileKind::folder: return "it is a folder, not a sites file";
    case FileKind::other: return "it is not a regular file (a device, a pipe or a socket); give a file, or - for standard input";
    case FileKind::none: error = ENOENT; return "it does not exist";
    }
    errno = 0;
    FILE* file = openFile(path, "rb");
    if (!file) {
        error = errno ? errno : EIO;
        return errorText(error);
    }
    std::string bytes;
    char buffer[65536];
    size_t n;
    while (bytes.size() <= mostSitesFileBytes && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, n);
    const bool failed = std::ferror(file) != 0;
    const int readError = errno ? errno : EIO;
    closeFile(file);
    if (failed) {
        error = readError;
        return errorText(error);
    }
    if (bytes.size() > mostSitesFileBytes) return sitesFileTooLargeText();
    return readSitesText(bytes, out);
}

std::u16string sitesMapName(const std::u16string& path)
{
    if (path == u"-") return u"stdin";
    std::u16string name = path;
    const size_t slash = name.find_last_of(u"/\\");
    if (slash != std::u16string::npos) name.erase(0, slash + 1);
    const size_t dot = name.find_last_of(u'.');
    if (dot != std::u16string::npos && dot > 0) name.erase(dot);
    for (char16_t& c : name)
        if (forbiddenInName(c)) c = u'_';
    if (name.size() > 64) name.resize(64);
    // A name of dots alone would name a folder.
    if (name.find_first_not_of(u'.') == std::u16string::npos) return u"sites";
    return name;
}

}  // namespace orvane
