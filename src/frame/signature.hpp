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

// Plain loops rather than std::string_view::find, which sanitizer builds cannot
// evaluate at compile time on a template argument.
constexpr std::size_t find(std::string_view s, char c, std::size_t from = 0) {
    for (std::size_t i = from; i < s.size(); ++i) {
        if (s[i] == c) {
            return i;
        }
    }
    return std::string_view::npos;
}

constexpr std::string_view trim(std::string_view s) {
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && s[begin] == ' ') {
        ++begin;
    }
    while (end > begin && s[end - 1] == ' ') {
        --end;
    }
    return s.substr(begin, end - begin);
}

// Calls f(name, has_default) for each parameter; "$self" and "$cls" are skipped.
template <class F>
constexpr void for_each_parameter(std::string_view signature, F&& f) {
    const std::size_t open = find(signature, '(');
    std::size_t start = open + 1;
    while (start < signature.size()) {
        std::size_t stop = find(signature, ',', start);
        if (stop == std::string_view::npos) {
            stop = find(signature, ')', start);
        }
        const std::string_view item = trim(signature.substr(start, stop - start));
        start = stop + 1;
        if (item.empty() || item[0] == '$') {
            continue;
        }
        const std::size_t equals = find(item, '=');
        f(trim(item.substr(0, equals)), equals != std::string_view::npos);
    }
}

}  // namespace detail

template <Literal Text>
struct Signature {
    static constexpr std::string_view text = Text.view();
    static constexpr std::string_view name = text.substr(0, detail::find(text, '('));

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
