// Text in the user's locale encoding: on Windows the ANSI code page of the
// user's default locale, the one the program selects at start-up (932 on a
// Japanese system), for the window and the companion alike; UTF-8 elsewhere.
#include "platform/platform.h"
#include "text/utf.h"
#ifdef _WIN32
#include <windows.h>
#endif

namespace orvane {

#ifdef _WIN32
std::string toLocaleEncoding(const std::u16string& text)
{
    if (text.empty()) return {};
    DWORD codePage = CP_ACP;
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                   reinterpret_cast<wchar_t*>(&codePage), sizeof codePage / sizeof(wchar_t));
    const std::wstring w(text.begin(), text.end());
    const int n = WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}
#else
std::string toLocaleEncoding(const std::u16string& text) { return utf16ToUtf8(text); }
#endif

}  // namespace orvane
