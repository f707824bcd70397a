// Conversions between the launcher's narrow strings (the active code page: UTF-8 where the
// manifest's code page is honoured) and the wide strings of the functions that take only those.
#pragma once

#include <windows.h>

#include <string>

inline std::wstring widen(const std::string& text)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    (void)MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    wide.resize(wide.find(L'\0'));
    return wide;
}

inline std::string narrow(const wchar_t* text)
{
    if (text == nullptr) {
        return {};
    }
    const int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
    (void)WideCharToMultiByte(CP_ACP, 0, text, -1, result.data(), length, nullptr, nullptr);
    result.resize(result.find('\0'));
    return result;
}
