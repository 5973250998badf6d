#pragma once
// The version label of the about box, made from a file version "major.minor.release.build".

#include <string>
#include <string_view>

namespace vexilo {

// Builds 1000 and up are releases and show "major.minor.release" alone; builds 2 to 200 add
// " (Alpha N)", builds 201 to 999 " (Beta N)"; build 1 or less gives the empty label.
// A text that is not four dot-separated parts with a decimal build number cannot be labelled
// and comes back unchanged, so the about box always shows something true.
std::string get_juist_version_info(std::string_view version_text);

}  // namespace vexilo
