#include "platform/arguments.h"
#include "text/utf.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace orvane {

std::vector<std::string> programArguments(int argc, char** argv)
{
    std::vector<std::string> arguments;
#ifdef _WIN32
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            arguments.push_back(utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide[i]))));
        LocalFree(wide);
        return arguments;
    }
#endif
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    return arguments;
}

}  // namespace orvane
