// The studio's page: plain HTML, CSS and JavaScript kept in host/studio/web/
// and compiled into the program (no build step, nothing fetched at run time).
#pragma once

#include <string_view>

namespace vask::host::web {

extern const std::string_view kIndexHtml;  // "{{TOKEN}}" stands for the studio's token
extern const std::string_view kStudioJs;
extern const std::string_view kStudioCss;

}  // namespace vask::host::web
