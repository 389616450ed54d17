#include "cloud/login_form.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace qp::cloud {
namespace {

TEST(LoginForm, FieldsArePercentEncodedSoTheServerSeesTheTypedBytes) {
  static const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},
      {"Az09-._~", "Az09-._~"},
      {"a&b+c%d=e", "a%26b%2Bc%25d%3De"},
      {"a b/?#", "a%20b%2F%3F%23"},
      {"中", "%E4%B8%AD"},
      {"\xff\x01", "%FF%01"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PercentEncode(c.in), c.out) << c.in;
  EXPECT_EQ(
      LoginFormBody("ab12", "u&1", "p=2"),
      "action=login&task=login&ref=%2Fmydisk.php&formhash=ab12&username=u%261&password=p%3D2");
}

TEST(LoginForm, TokenIsTheBytesBetweenTheMarkers) {
  static const struct {
    const char* page;
    const char* token;
  } cases[] = {
      {"<input name=\"formhash\" value=\"a1 b%2\" />", "a1 b%2"},
      {"formhash\" value=\"\" />", ""},
      {"formhash\" value=\"x\" /><i formhash\" value=\"y\" />", "x"},
      {"formhash\" value=\"x\">", ""},
      {"no form here", ""},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormTokenOf(c.page), c.token) << c.page;
  // Under GBK, 0x81 0x66 is one character: the "f" after it starts no marker.
  codepage::ScopedTextCodePage gbk(codepage::kGbk);
  EXPECT_EQ(FormTokenOf("\x81"
                        "formhash\" value=\"x\" />"),
            "");
  EXPECT_EQ(FormTokenOf("\x81\x40"
                        "formhash\" value=\"x\" />"),
            "x");
}

}  // namespace
}  // namespace qp::cloud
