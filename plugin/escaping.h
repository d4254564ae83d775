// Escaping of link values for the plugin, built on Boost String Algorithms.
#pragma once
#include <string>
#include <string_view>

namespace rdplugin {

// Replaces, row by row in the table order, blank | CR LF TAB VT \ / FF BS BEL = by
// ^s ^p ^r ^n ^t ^v ^b ^c ^f ^d ^a ^g. The caret itself is not escaped.
std::string string_escape(std::string_view text);
// The reverse, in the same row order (blank first, "=" last).
std::string string_unescape(std::string_view text);

} // namespace rdplugin
