// Text signatures as template arguments: "adam_step(params, grads, lr=0.001)"
// gives the name, the parameter names, how many are required and the value of
// each default, at compile time. The text is the one place a default is stated.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <type_traits>

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

// Calls f(name, default_text) for each parameter, the text empty when it has no
// default; "$self" and "$cls" are skipped.
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
        f(trim(item.substr(0, equals)), equals == std::string_view::npos ? "" : trim(item.substr(equals + 1)));
    }
}

}  // namespace detail

template <Literal Text>
struct Signature {
    static constexpr std::string_view text = Text.view();
    static constexpr std::string_view name = text.substr(0, detail::find(text, '('));

    static constexpr std::size_t arity = [] {
        std::size_t n = 0;
        detail::for_each_parameter(text, [&](std::string_view, std::string_view) { ++n; });
        return n;
    }();

    static constexpr std::size_t required = [] {
        std::size_t n = 0;
        detail::for_each_parameter(text, [&](std::string_view, std::string_view d) { n += d.empty() ? 1 : 0; });
        return n;
    }();

    static constexpr std::array<std::string_view, arity> names = [] {
        std::array<std::string_view, arity> out{};
        std::size_t i = 0;
        detail::for_each_parameter(text, [&](std::string_view n, std::string_view) { out[i++] = n; });
        return out;
    }();

    // The text after "=" of each parameter; empty for required ones.
    static constexpr std::array<std::string_view, arity> defaults = [] {
        std::array<std::string_view, arity> out{};
        std::size_t i = 0;
        detail::for_each_parameter(text, [&](std::string_view, std::string_view d) { out[i++] = d; });
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

// The value a default's text stands for, as a parameter of type T: True or False for
// bool, None for an optional, a decimal integer, or a decimal number whose digits
// and power of ten are exact doubles (so one multiplication or division rounds it
// correctly). Any other text fails to compile.
template <class T>
consteval T default_value(std::string_view text) {
    if constexpr (std::is_same_v<T, bool>) {
        if (text == "True" || text == "False") {
            return text == "True";
        }
    } else if constexpr (std::is_same_v<T, std::optional<std::uint64_t>>) {
        if (text == "None") {
            return std::nullopt;
        }
    } else if constexpr (std::is_arithmetic_v<T>) {
        const bool negative = !text.empty() && text[0] == '-';
        std::size_t i = negative ? 1 : 0;
        std::uint64_t digits = 0;
        int exponent = 0;
        bool point = false;
        bool any = false;
        for (; i < text.size() && text[i] != 'e'; ++i) {
            if (text[i] == '.' && !point) {
                point = true;
                continue;
            }
            if (text[i] < '0' || text[i] > '9' || digits >= (std::uint64_t{1} << 49)) {
                throw "a default must be a short decimal literal";
            }
            digits = digits * 10 + static_cast<std::uint64_t>(text[i] - '0');
            exponent -= point ? 1 : 0;
            any = true;
        }
        if (i < text.size()) {
            const bool down = i + 1 < text.size() && text[i + 1] == '-';
            int e = 0;
            for (i += down ? 2 : 1; i < text.size(); ++i) {
                e = e * 10 + (text[i] - '0');
            }
            exponent += down ? -e : e;
        }
        if (!any || (std::is_integral_v<T> && (point || exponent != 0)) || exponent < -22 || exponent > 22) {
            throw "a default must be a short decimal literal";
        }
        if constexpr (std::is_integral_v<T>) {
            return static_cast<T>(negative ? -static_cast<std::int64_t>(digits) : static_cast<std::int64_t>(digits));
        } else {
            double power = 1.0;
            for (int k = 0; k < (exponent < 0 ? -exponent : exponent); ++k) {
                power *= 10.0;
            }
            const double magnitude = exponent < 0 ? static_cast<double>(digits) / power
                                                  : static_cast<double>(digits) * power;
            return static_cast<T>(negative ? -magnitude : magnitude);
        }
    }
    throw "no default of this text for this parameter type";
}

static_assert(default_value<double>("0.001") == 0.001 && default_value<double>("0.999") == 0.999 &&
              default_value<double>("1e-8") == 1e-8 && default_value<double>("-2.5e3") == -2.5e3 &&
              default_value<std::int32_t>("-7") == -7 && !default_value<bool>("False"));

}  // namespace mosswick::frame
