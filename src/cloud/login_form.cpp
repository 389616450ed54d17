#include "cloud/login_form.h"

#include "http/headers.h"

namespace qp::cloud {

Text PercentEncode(const Text& text) {
  static const char kHex[] = "0123456789ABCDEF";
  Text out;
  out.reserve(text.size() * 3);
  for (unsigned char c : text) {
    bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '.' || c == '_' || c == '~';
    if (unreserved) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

Text FormTokenOf(const Text& page) {
  return http::TextBetween(page, "formhash\" value=\"", "\" />");
}

Text LoginFormBody(const Text& formhash, const Text& username, const Text& password) {
  return "action=login&task=login&ref=%2Fmydisk.php&formhash=" + formhash +
         "&username=" + PercentEncode(username) + "&password=" + PercentEncode(password);
}

}  // namespace qp::cloud
