#pragma once
// Formatting of the program's fixed texts. Only the conversions the texts use are known:
// %s, %d, %u, %04d-style zero padding and %%; %1 in the file-error messages. The result
// is never taken as a format again, so a percent sign in an argument is kept as it is.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

using FormatArg = std::variant<std::string, const char*, std::int64_t, std::uint64_t>;

std::string FormatText(const std::string& format, const std::vector<FormatArg>& args);

// Replaces each "%1" in `format` with `arg`.
std::string FormatString1(const std::string& format, const std::string& arg);

template <typename... Args> std::string Format(const std::string& format, Args&&... args) {
    std::vector<FormatArg> list;
    auto add = [&list](auto&& a) {
        using T = std::decay_t<decltype(a)>;
        if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, const char*> ||
                      std::is_same_v<T, char*>)
            list.emplace_back(std::string(a));
        else if constexpr (std::is_signed_v<T>)
            list.emplace_back(static_cast<std::int64_t>(a));
        else
            list.emplace_back(static_cast<std::uint64_t>(a));
    };
    (add(std::forward<Args>(args)), ...);
    return FormatText(format, list);
}
