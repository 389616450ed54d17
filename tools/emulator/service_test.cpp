#include "emulator/service.h"

#include <gtest/gtest.h>

namespace qp::emulator {
namespace {

TEST(ServiceForm, DecodesAsPhpDoes) {
  static const struct {
    const char* body;
    const char* name;
    const char* value;
  } cases[] = {
      {"a=1&b=2", "b", "2"},
      {"password=a%26b%2Bc%25d%3De", "password", "a&b+c%d=e"},
      {"u=a+b", "u", "a b"},
      {"u=%E4%B8%AD", "u", "\xE4\xB8\xAD"},
      {"u=100%", "u", "100%"},  // a lone % stays
      {"u=%zz", "u", "%zz"},
      {"password=a&b", "password", "a"},  // an unescaped & splits the field
      {"flag", "flag", ""},
  };
  for (const auto& c : cases) {
    auto form = ParseForm(c.body);
    EXPECT_EQ(form[c.name], c.value) << c.body;
  }
}

TEST(ServiceMultipart, SplitsPartsAndRejectsBrokenBodies) {
  const std::string b = "XyZ";
  const std::string good =
      "--XyZ\r\nContent-Disposition: form-data; name=\"task\"\r\n\r\n1\r\n"
      "--XyZ\r\nContent-Disposition: form-data; name=\"upload_file\"; filename=\"a b.txt\"\r\n"
      "Content-Type: application/octet-stream\r\n\r\n\r\n--Xy\r\n\r\n--XyZ--";
  std::vector<FormPart> parts;
  ASSERT_TRUE(ParseMultipart(good, b, &parts));
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].name, "task");
  EXPECT_EQ(parts[0].content, "1");
  EXPECT_FALSE(parts[0].hasFilename);
  EXPECT_EQ(parts[1].filename, "a b.txt");
  EXPECT_EQ(parts[1].content, "\r\n--Xy\r\n");

  static const char* broken[] = {
      "",
      "--Other\r\n\r\n\r\nx\r\n--XyZ--",
      "--XyZ\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nno close delimiter",
      "--XyZ\r\nContent-Disposition: form-data; name=\"a\"\r\n",
  };
  for (const char* body : broken)
    EXPECT_FALSE(ParseMultipart(body, b, &parts)) << body;
  EXPECT_EQ(BoundaryOf("multipart/form-data; boundary=---81"), "---81");
  EXPECT_EQ(BoundaryOf("multipart/form-data; boundary=\"q r\"; x=1"), "q r");
}

TEST(ServiceJson, EscapesLikeThePhpService) {
  Json v = Json::Object({{"zt", Json::Number(1)},
                         {"info", Json::String("上传成功")},
                         {"u", Json::String("http://h/a\"b\\c")},
                         {"t", Json::Array({Json::Null(), Json::String("😀")})}});
  EXPECT_EQ(
      RenderJson(v, {}),
      "{\"zt\":1,\"info\":\"\\u4e0a\\u4f20\\u6210\\u529f\",\"u\":\"http:\\/\\/h\\/a\\\"b\\\\c\","
      "\"t\":[null,\"\\ud83d\\ude00\"]}");
  EXPECT_EQ(RenderJson(v, {false, true}),
            "{\"zt\":1,\"info\":\"上传成功\",\"u\":\"http://h/a\\\"b\\\\c\",\"t\":[null,\"😀\"]}");
  EXPECT_EQ(RenderJson(Json::Object({{"a", Json::Array({Json::Number(1)})}}), {true, false}),
            "{\n    \"a\": [\n        1\n    ]\n}");
}

TEST(ServicePages, LoginPageCarriesTheTokenBetweenTheMarkers) {
  std::string page = LoginPage("ab12", false);
  EXPECT_NE(page.find("formhash\" value=\"ab12\" />"), std::string::npos);
  EXPECT_NE(DiskPage(false).find("我的文件"), std::string::npos);
  EXPECT_EQ(SignInPrompt(false).find("我的文件"), std::string::npos);
  EXPECT_NE(LoginAnswer(true, "", false).find("登录成功，欢迎您回来"), std::string::npos);
  EXPECT_EQ(LoginAnswer(false, "x", false).find("登录成功"), std::string::npos);
}

}  // namespace
}  // namespace qp::emulator
