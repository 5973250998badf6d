#include "version_label.h"

#include "text_fields.h"

namespace vexilo {

std::string get_juist_version_info(std::string_view version_text) {
    // The prefix ends at the third dot; with one-digit parts that is the first five
    // characters and the build number starts at the seventh.
    std::size_t dot = std::string_view::npos;
    for (int i = 0; i < 3; ++i) {
        dot = version_text.find('.', dot == std::string_view::npos ? 0 : dot + 1);
        if (dot == std::string_view::npos) return std::string(version_text);
    }
    const std::string_view prefix = version_text.substr(0, dot);
    const std::string_view build_text = version_text.substr(dot + 1);
    if (build_text.empty()) return std::string(version_text);
    long build = 0;
    for (const char c : build_text) {
        if (c < '0' || c > '9') return std::string(version_text);
        if (build < 1000) build = build * 10 + (c - '0');  // every larger build is a release
    }
    if (build >= 1000) return std::string(prefix);
    if (build >= 201) return std::string(prefix) + " (Beta " + decimal(build) + ")";
    if (build >= 2) return std::string(prefix) + " (Alpha " + decimal(build) + ")";
    return {};
}

}  // namespace vexilo
