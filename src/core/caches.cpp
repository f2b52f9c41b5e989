#include "core/caches.hpp"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

namespace mosswick {

namespace {

constexpr CacheSizes kFallback{std::size_t{32} << 10, std::size_t{1} << 20, std::size_t{2} << 20};

// "32K", "1024K", "32M" as bytes; 0 when unreadable.
std::size_t parse_size(const std::string& text) {
    std::size_t value = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<std::size_t>(text[i] - '0');
    }
    const char unit = i < text.size() ? text[i] : ' ';
    return unit == 'K' ? value << 10 : unit == 'M' ? value << 20 : value;
}

// The number of processors in a list such as "0-3,8".
std::size_t count_processors(const std::string& list) {
    std::size_t count = 0;
    unsigned first = 0;
    unsigned last = 0;
    for (std::size_t start = 0; start < list.size();) {
        std::size_t end = list.find(',', start);
        end = end == std::string::npos ? list.size() : end;
        const std::string item = list.substr(start, end - start);
        if (std::sscanf(item.c_str(), "%u-%u", &first, &last) == 2 && last >= first) {
            count += last - first + 1;
        } else if (!item.empty()) {
            ++count;
        }
        start = end + 1;
    }
    return std::max<std::size_t>(count, 1);
}

std::string read_line(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

CacheSizes read_cache_sizes(const std::string& directory) {
    CacheSizes sizes{};
    for (int index = 0; index < 8; ++index) {
        const std::string dir = directory + "/index" + std::to_string(index) + "/";
        const std::string level = read_line(dir + "level");
        if (level.empty()) {
            break;
        }
        const std::string type = read_line(dir + "type");
        const std::size_t size = parse_size(read_line(dir + "size"));
        if (level == "1" && type == "Data") {
            sizes.l1d = size;
        } else if (level == "2" && type != "Instruction") {
            sizes.l2 = size;
        } else if (level == "3" && type != "Instruction") {
            sizes.l3_per_core = size / count_processors(read_line(dir + "shared_cpu_list"));
        }
    }
    sizes.l1d = sizes.l1d != 0 ? sizes.l1d : kFallback.l1d;
    sizes.l2 = sizes.l2 != 0 ? sizes.l2 : kFallback.l2;
    sizes.l3_per_core = sizes.l3_per_core != 0 ? sizes.l3_per_core : kFallback.l3_per_core;
    return sizes;
}

const CacheSizes& cache_sizes() {
    static const CacheSizes sizes = read_cache_sizes("/sys/devices/system/cpu/cpu0/cache");
    return sizes;
}

}  // namespace mosswick
