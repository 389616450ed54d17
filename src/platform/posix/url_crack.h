#pragma once
// WinHttpCrackUrl's splitting of an absolute HTTP or HTTPS URL.

#include <cstdint>
#include <string_view>

#include "platform/winhttp.h"

namespace qp::winhttp {

// Fills the parts `components` asks for with pointers into `url`; 0 or a
// WinHTTP error code.
std::uint32_t CrackUrl(std::u16string_view url, UrlComponents& components);

}  // namespace qp::winhttp
