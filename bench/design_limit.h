#pragma once
// Configuration text at the design limits: 32 classes of 24 fields (every kind), 100 value
// lists, 1928 objects whose values fill 40000 bytes almost exactly.

#include <string>
#include <vector>

namespace vexilo::bench {

inline std::vector<std::string> design_limit_lines() {
    std::vector<std::string> lines = {"Benchmark configuration at the design limits", "[LISTS]"};
    for (int n = 0; n < 100; ++n) {
        std::string line = std::to_string(n) + ";" + std::to_string(n % 7);
        for (int e = 0; e < 8; ++e)
            line += ";Entry" + std::to_string(n) + "_" + std::to_string(e);
        lines.push_back(line);
    }
    lines.push_back("[CLASSES]");
    // Class 0 holds 5 Number fields (20 bytes an object) so that 1928 objects fit the store;
    // class 1 has 17 (68 bytes); the other 30 carry 24 fields of all four kinds.
    for (int c = 0; c < 32; ++c) {
        lines.push_back("!Class" + std::to_string(c));
        const int fields = c == 0 ? 5 : c == 1 ? 17 : 24;
        for (int f = 0; f < fields; ++f) {
            const std::string name = "Field" + std::to_string(f);
            if (c < 2 || f % 4 == 0) {
                lines.push_back(name + ";-1000;100000;5;1;mm");
            } else if (f % 4 == 1) {
                lines.push_back("#" + name + ";0;7;1;" + std::to_string((c + f) % 100));
            } else if (f % 4 == 2) {
                lines.push_back("&" + name);
            } else {
                lines.push_back(name + ";Class0;Class" + std::to_string(c));
            }
        }
    }
    lines.push_back("[OBJECTS]");
    for (int o = 0; o < 1928; ++o) {
        const bool medium = o >= 1900;
        std::string line = std::string(medium ? "Class1" : "Class0") + ";Obj" + std::to_string(o);
        for (int f = 0; f < (medium ? 17 : 5); ++f) {
            line += ';';  // appended apart: GCC 12 at -O3 misreads ";" + string (-Wrestrict)
            line += std::to_string((o * 31 + f) % 99999);
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace vexilo::bench
