// The file of recorded digests that the cross-platform tests share: a line a
// map, "seed nodes map coloured trace picture steps verify".
#pragma once
#include <cstddef>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace digest_testing {

inline constexpr char digestFile[] = ORVANE_TEST_DATA "/crossplatform_digests.txt";
inline constexpr size_t fieldCount = 8, colouredField = 3, pictureField = 5;

// The file's lines without their line ends; the '#' lines only when asked for.
// Empty when the file cannot be read.
inline std::vector<std::string> digestLines(bool withComments)
{
    std::vector<std::string> lines;
    FILE* f = std::fopen(digestFile, "rb");
    if (!f) return lines;
    char buf[256];
    while (std::fgets(buf, sizeof buf, f)) {
        std::string s(buf);
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        if (withComments || (!s.empty() && s[0] != '#')) lines.push_back(s);
    }
    std::fclose(f);
    return lines;
}

inline std::vector<std::string> fieldsOf(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> fields;
    for (std::string f; in >> f;) fields.push_back(f);
    return fields;
}

}  // namespace digest_testing
