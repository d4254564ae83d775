// The link port speaks only to Relaydeck. A web page can make a browser connect to it
// and send an HTTP request whose body holds command lines; such a connection must end
// before any of them is carried out.
#pragma once
#include <string_view>

namespace rdplugin {

// The client log line written when a connection is refused for it.
constexpr const char* kWebRequestRefused = "refused a web request on the link port";

// True for a line that only an HTTP client sends: a request line (a method of HTTP, one
// blank, a target, one blank and "HTTP/") or a header line beginning with "Host:" in any
// case. No command word of the link looks like either.
bool isWebRequestLine(std::string_view line);

} // namespace rdplugin
