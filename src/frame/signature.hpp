// Text signatures as template arguments: "adam_step(params, grads, lr=0.001)"
// gives the name, the parameter names and how many are required, at compile time.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace mosswick::frame {

// A string literal usable as a template argument.
template <std::size_t N>
struct Literal {
    char text[N]{};
    constexpr Literal(const char (&s)[N]) {
        for (std::size_t i = 0; i < N; ++i) {
            text[i] = s[i];
        }
    }
    constexpr std::string_view view() const { return {text, N - 1}; }
};

namespace detail {

constexpr std::string_view trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    return s;
}

// Calls f(name, has_default) for each parameter; "$self" and "$cls" are skipped.
template <class F>
constexpr void for_each_parameter(std::string_view signature, F&& f) {
    const auto open = signature.find('(');
    const auto close = signature.rfind(')');
    std::string_view list = signature.substr(open + 1, close - open - 1);
    while (!list.empty()) {
        const auto comma = list.find(',');
        const std::string_view item = trim(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
        if (item.starts_with('$')) {
            continue;
        }
        const auto equals = item.find('=');
        f(trim(item.substr(0, equals)), equals != std::string_view::npos);
    }
}

}  // namespace detail

template <Literal Text>
struct Signature {
    static constexpr std::string_view text = Text.view();
    static constexpr std::string_view name = text.substr(0, text.find('('));

    static constexpr std::size_t arity = [] {
        std::size_t n = 0;
        detail::for_each_parameter(text, [&](std::string_view, bool) { ++n; });
        return n;
    }();

    static constexpr std::size_t required = [] {
        std::size_t n = 0;
        detail::for_each_parameter(text, [&](std::string_view, bool optional) { n += optional ? 0 : 1; });
        return n;
    }();

    static constexpr std::array<std::string_view, arity> names = [] {
        std::array<std::string_view, arity> out{};
        std::size_t i = 0;
        detail::for_each_parameter(text, [&](std::string_view n, bool) { out[i++] = n; });
        return out;
    }();

    // The name as a NUL-terminated string, for method tables.
    static constexpr auto c_name = [] {
        std::array<char, name.size() + 1> out{};
        for (std::size_t i = 0; i < name.size(); ++i) {
            out[i] = name[i];
        }
        return out;
    }();
};

}  // namespace mosswick::frame
