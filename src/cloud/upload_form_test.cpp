#include "cloud/upload_form.h"

#include <gtest/gtest.h>

#include <fstream>

#include "scratch_files.h"

namespace qp::cloud {
namespace {

const std::string kBoundary = "---------------------------81971010215309";

// The body the browser uploader posts, spelt out line by line.
std::string Expected(const std::string& folder, const std::string& name, const std::string& time,
                     const std::string& size, const std::string& data,
                     const std::string& boundary = kBoundary) {
  const std::string D = "--" + boundary;
  return D + "\r\nContent-Disposition: form-data; name=\"task\"\r\n\r\n1\r\n" + D +
         "\r\nContent-Disposition: form-data; name=\"folder_id\"\r\n\r\n" + folder + "\r\n" + D +
         "\r\nContent-Disposition: form-data; name=\"id\"\r\n\r\nWU_FILE_0\r\n" + D +
         "\r\nContent-Disposition: form-data; name=\"name\"\r\n\r\n" + name + "\r\n" + D +
         "\r\nContent-Disposition: form-data; name=\"type\"\r\n\r\napplication/octet-stream\r\n" +
         D + "\r\nContent-Disposition: form-data; name=\"lastModifiedDate\"\r\n\r\n" + time +
         "\r\n" + D + "\r\nContent-Disposition: form-data; name=\"size\"\r\n\r\n" + size + "\r\n" +
         D + "\r\nContent-Disposition: form-data; name=\"upload_file\"; filename=\"" + name +
         "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + data + "\r\n" + D + "--";
}

class UploadFormTest : public ::testing::Test {
 protected:
  // Writes the file and sets its last-write time to 2020-02-02 09:05:03 local.
  Text Write(const std::string& name, const std::string& content) {
    Text path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    const qp::testing::LocalClock time = {2020, 2, 2, 9, 5, 3};
    EXPECT_TRUE(qp::testing::SetFileTimes(path, time, time)) << name;
    return path;
  }
  qp::testing::ScratchFolder scratch_;
  const Text dir_ = scratch_.path();
};

TEST_F(UploadFormTest, BodyIsTheBrowserFormByteForByte) {
  const std::string kilo(1025, 'k');
  const std::string D = "--" + kBoundary;
  const struct {
    std::string name, content, size;
  } cases[] = {
      {"a.txt", kilo, "2"},
      {"中 文.txt", "hello", "1"},
      {"empty", "", "0"},
      // Placeholder bytes in the content or the name are sent as they are.
      {"p.bin", "[文件名][数据][目录ID]", "1"},
      {"[数据] [文件名].txt", "x", "1"},
      // A NUL, a non-UTF-8 byte, and the boundary where it starts no line.
      {"bin", std::string("\0\xff x", 4) + D + "--", "1"},
  };
  for (const auto& c : cases) {
    Bytes body;
    Text boundary;
    ASSERT_TRUE(BuildUploadBody(Write(c.name, c.content), "-1", &body, &boundary)) << c.name;
    EXPECT_EQ(ToText(body), Expected("-1", c.name, "2020-02-02 09:05:03", c.size, c.content))
        << c.name;
    EXPECT_EQ(boundary, kBoundary) << c.name;
  }
  EXPECT_EQ(UploadRequestHeaders(),
            "Content-Type: multipart/form-data; boundary=---------------------------81971010215309"
            "\r\nUser-Agent: Mozilla/5.0 (Windows NT 6.1; Win64; x64; rv:70.0) Gecko/20100101 "
            "Firefox/70.0");
}

TEST_F(UploadFormTest, QuotesAndLineBreaksInANameCannotBreakItsHeader) {
  static const struct {
    const char* name;
    const char* sent;
  } cases[] = {
      {"say \"hi\".txt", "say %22hi%22.txt"},
      {"two\nlines", "two%0Alines"},
      {"cr\rhere", "cr%0Dhere"},
      {"100%.txt", "100%.txt"},
  };
  for (const auto& c : cases) {
    Bytes body;
    Text boundary;
    ASSERT_TRUE(BuildUploadBody(Write(c.name, "x"), "-1", &body, &boundary)) << c.name;
    EXPECT_EQ(ToText(body), Expected("-1", c.sent, "2020-02-02 09:05:03", "1", "x")) << c.name;
  }
}

TEST_F(UploadFormTest, ContentHoldingADelimiterLineGetsAnotherBoundary) {
  const std::string D = "--" + kBoundary;
  const struct {
    std::string name, content, boundary;
  } cases[] = {
      {"line", "a\r\n" + D + "--\r\nb", kBoundary + "0"},
      {"first", D + "\r\n", kBoundary + "0"},
      {"both", "\r\n" + D + "\r\n" + D + "0", kBoundary + "1"},
      {D + ".txt", "x", kBoundary + "0"},  // a name that starts a line of the name part
  };
  for (const auto& c : cases) {
    Bytes body;
    Text boundary;
    ASSERT_TRUE(BuildUploadBody(Write(c.name, c.content), "-1", &body, &boundary)) << c.content;
    EXPECT_EQ(boundary, c.boundary) << c.content;
    EXPECT_EQ(ToText(body),
              Expected("-1", c.name, "2020-02-02 09:05:03", "1", c.content, c.boundary))
        << c.content;
  }
  EXPECT_TRUE(
      UploadRequestHeaders(kBoundary + "0")
          .starts_with("Content-Type: multipart/form-data; boundary=" + kBoundary + "0\r\n"));
}

TEST_F(UploadFormTest, AnUnreadableFileGivesNoBody) {
  Text locked = Write("locked", "secret");
  const bool unreadable = qp::testing::MakeUnreadable(locked);  // root reads it regardless
  for (const Text& path : {dir_ + "/missing", dir_, locked}) {
    if (path == locked && !unreadable)
      continue;
    Bytes body = {'x'};
    Text boundary;
    EXPECT_FALSE(BuildUploadBody(path, "-1", &body, &boundary)) << path;
    EXPECT_TRUE(body.empty()) << path;
  }
}

TEST_F(UploadFormTest, ABodyPastWhatARequestCarriesIsNotBuilt) {
  // Sparse: no disk and no reading for the body that would not fit.
  Text big = dir_ + "/big";
  ASSERT_TRUE(qp::testing::MakeSparseFile(big, kMaxBodySize));
  Bytes body;
  Text boundary;
  EXPECT_FALSE(BuildUploadBody(big, "-1", &body, &boundary));
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(body.capacity(), 0u);
}

}  // namespace
}  // namespace qp::cloud
