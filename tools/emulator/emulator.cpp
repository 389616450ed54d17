#include "emulator/emulator.h"

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "emulator/service.h"
#include "platform/codepage.h"

namespace qp::emulator {

const char* OriginName(Origin origin) {
  switch (origin) {
    case Origin::kAccount:
      return "account";
    case Origin::kUpload:
      return "upload";
    case Origin::kShare:
      return "share";
  }
  return "?";
}

static const struct {
  Endpoint endpoint;
  const char* name;
} kEndpointNames[] = {
    {Endpoint::kProbe, "probe"},          {Endpoint::kLoginPage, "login-page"},
    {Endpoint::kLogin, "login"},          {Endpoint::kUpload, "upload"},
    {Endpoint::kShareData, "share-data"}, {Endpoint::kDownload, "download"},
};

const char* EndpointName(Endpoint endpoint) {
  for (const auto& e : kEndpointNames)
    if (e.endpoint == endpoint)
      return e.name;
  return "?";
}

bool ParseEndpoint(const std::string& name, Endpoint* endpoint) {
  for (const auto& e : kEndpointNames) {
    if (name == e.name) {
      *endpoint = e.endpoint;
      return true;
    }
  }
  return false;
}

std::string RecordedRequest::Header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (key.size() == name.size() &&
        std::equal(key.begin(), key.end(), name.begin(),
                   [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
      return value;
  }
  return {};
}

std::string RecordedRequest::Summary() const {
  return std::string(OriginName(origin)) + " " + method + " " + target;
}

std::string RecordedRequest::ToJsonLine() const {
  std::vector<std::pair<std::string, Json>> headerMembers;
  std::vector<Json> headerItems;
  for (const auto& [key, value] : headers)
    headerItems.push_back(Json::Array({Json::String(key), Json::String(value)}));
  return RenderJson(Json::Object({
                        {"origin", Json::String(OriginName(origin))},
                        {"method", Json::String(method)},
                        {"target", Json::String(target)},
                        {"headers", Json::Array(std::move(headerItems))},
                        {"body_size", Json::Number(static_cast<std::int64_t>(bodySize))},
                        {"body", Json::String(body)},
                    }),
                    JsonStyle{false, true});
}

struct Emulator::State {
  Options options;
  std::string error;
  std::unique_ptr<httplib::Server> servers[3];
  std::thread threads[3];
  int ports[3] = {0, 0, 0};

  mutable std::mutex mutex;
  std::condition_variable wake;  // stalled answers wait here
  bool stopping = false;
  std::vector<RecordedRequest> requests;
  std::vector<StoredFile> files;
  std::set<std::string> sessions;    // valid cookie items
  std::set<std::string> formhashes;  // issued, not yet used
  std::ofstream log;
  std::mt19937_64 random{0x5eed};
  int uploads = 0;

  std::string OriginUrl(emulator::Origin o) const {
    return "http://" + options.host + ":" + std::to_string(ports[static_cast<int>(o)]);
  }
  std::string RandomText(size_t length, const char* alphabet) {
    std::string out;
    size_t n = std::strlen(alphabet);
    for (size_t i = 0; i < length; ++i)
      out.push_back(alphabet[random() % n]);
    return out;
  }
  bool SignedIn(const httplib::Request& req) {
    if (options.faults.rejectSessions)
      return false;
    for (const auto& item : CookieItems(req.get_header_value("Cookie")))
      if (sessions.count(item))
        return true;
    return false;
  }
  bool Has(const std::vector<Endpoint>& list, Endpoint e) const {
    return std::find(list.begin(), list.end(), e) != list.end();
  }
};

namespace {

using State = Emulator::State;

// httplib parses multipart bodies itself and hands a content reader only the
// parts; the emulator needs the exact bytes the client sent. The type is
// parked under this name before routing and read back from it.
const char kParkedContentType[] = "X-Emulator-Parked-Content-Type";

std::string ContentType(const httplib::Request& req) {
  if (req.has_header(kParkedContentType))
    return req.get_header_value(kParkedContentType);
  return req.get_header_value("Content-Type");
}

void Record(State& s, emulator::Origin origin, const httplib::Request& req,
            const std::string& body) {
  RecordedRequest r;
  r.origin = origin;
  r.method = req.method;
  r.target = req.target;
  for (const auto& [key, value] : req.headers) {
    // httplib adds these itself; they were not sent.
    if (key == "REMOTE_ADDR" || key == "REMOTE_PORT" || key == "LOCAL_ADDR" ||
        key == "LOCAL_PORT" || key == kParkedContentType)
      continue;
    r.headers.emplace_back(key, key == "Content-Type" ? ContentType(req) : value);
  }
  r.bodySize = body.size();
  if (body.size() <= s.options.recordBodyLimit)
    r.body = body;
  if (s.log.is_open())
    s.log << r.ToJsonLine() << '\n' << std::flush;
  s.requests.push_back(std::move(r));
}

// Cuts the connection the request came on without answering: the socket is
// found by its two addresses, as httplib does not hand it to handlers.
void DropConnection(const httplib::Request& req) {
  for (int fd = 3; fd < 4096; ++fd) {
    sockaddr_storage local{}, peer{};
    socklen_t localLen = sizeof local, peerLen = sizeof peer;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLen) != 0 ||
        getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLen) != 0)
      continue;
    auto port = [](const sockaddr_storage& a) {
      if (a.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in&>(a).sin_port);
      if (a.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(a).sin6_port);
      return static_cast<uint16_t>(0);
    };
    if (port(local) == req.local_port && port(peer) == req.remote_port) {
      ::shutdown(fd, SHUT_RDWR);
      return;
    }
  }
}

void SetPage(State& s, httplib::Response& res, const std::string& utf8) {
  if (s.options.faults.gbkConsole) {
    res.set_content(codepage::Convert(utf8, codepage::kUtf8, codepage::kGbk),
                    "text/html; charset=gbk");
  } else {
    res.set_content(utf8, "text/html; charset=utf-8");
  }
}

void SetJson(State& s, httplib::Response& res, const Json& value) {
  JsonStyle style{s.options.faults.pretty, s.options.faults.unescaped};
  // The console answers its script calls as text/html, as PHP does by default.
  res.set_content(RenderJson(value, style), "text/html; charset=utf-8");
}

// A form field's bytes as UTF-8: the console reads forms in its own charset.
bool SameText(const State& s, const std::string& sent, const std::string& expected) {
  if (sent == expected)
    return true;
  return s.options.faults.gbkConsole &&
         codepage::Convert(sent, codepage::kGbk, codepage::kUtf8) == expected;
}

void Login(State& s, const std::string& body, httplib::Response& res) {
  auto form = ParseForm(body);
  bool tokenOk = s.formhashes.erase(form["formhash"]) > 0;
  std::string reason;
  bool ok = false;
  if (form["action"] != "login" || form["task"] != "login") {
    reason = "参数错误";
  } else if (!tokenOk) {
    reason = "表单已过期，请刷新后重试";
  } else {
    for (const auto& [user, password] : s.options.accounts)
      if (SameText(s, form["username"], user) && SameText(s, form["password"], password))
        ok = true;
    if (!ok)
      reason = "用户名或密码错误";
  }
  if (ok) {
    std::string token = s.RandomText(32, "0123456789abcdef");
    s.sessions.insert("phpdisk_info=" + token);
    res.set_header("Set-Cookie", "phpdisk_info=" + token + "; path=/; HttpOnly");
    res.set_header("Set-Cookie", "ylogin=" + std::to_string(1000 + s.sessions.size()) + "; path=/");
  }
  SetPage(s, res, LoginAnswer(ok, reason, s.options.faults.gbkConsole));
}

std::string SizeText(size_t bytes) {
  char buffer[32];
  if (bytes < 1024 * 1024)
    std::snprintf(buffer, sizeof buffer, "%.1f K", bytes / 1024.0);
  else
    std::snprintf(buffer, sizeof buffer, "%.1f M", bytes / (1024.0 * 1024.0));
  return buffer;
}

Json Failure(const std::string& info) {
  return Json::Object(
      {{"zt", Json::Number(0)}, {"info", Json::String(info)}, {"text", Json::Null()}});
}

void Upload(State& s, const httplib::Request& req, std::string& body, httplib::Response& res) {
  if (!s.SignedIn(req))
    return SetJson(s, res, Failure("请先登录"));
  std::vector<FormPart> parts;
  if (!ParseMultipart(body, BoundaryOf(ContentType(req)), &parts))
    return SetJson(s, res, Failure("上传失败：表单错误"));
  std::map<std::string, std::string> fields;
  const FormPart* file = nullptr;
  for (const auto& part : parts) {
    if (part.name == "upload_file" && part.hasFilename)
      file = &part;
    else
      fields[part.name] = std::string(part.content);
  }
  if (!file || fields["task"] != "1")
    return SetJson(s, res, Failure("上传失败：没有文件"));
  if (s.options.faults.failUpload)
    return SetJson(s, res, Failure("上传失败，文件格式不支持"));

  StoredFile stored;
  stored.fileId = std::to_string(100001 + s.uploads++);
  stored.shareId = "i" + s.RandomText(9, "abcdefghijklmnopqrstuvwxyz0123456789");
  stored.name = fields.count("name") ? fields["name"] : file->filename;
  size_t size = file->content.size();
  if (!s.options.storeDir.empty()) {
    std::ofstream out(s.options.storeDir + "/" + stored.shareId, std::ios::binary);
    out.write(file->content.data(), static_cast<std::streamsize>(size));
  } else {
    stored.content = std::string(file->content);
  }
  body.clear();
  body.shrink_to_fit();

  std::string ext = stored.name.substr(std::min(stored.name.rfind('.') + 1, stored.name.size()));
  bool number = s.options.faults.numericId;
  Json id = number ? Json::Number(std::stoll(stored.fileId)) : Json::String(stored.fileId);
  Json entry = Json::Object({
      {"icon", Json::String(ext)},
      {"id", id},
      {"f_id", Json::String(stored.shareId)},
      {"name_all", Json::String(stored.name)},
      {"name", Json::String(stored.name)},
      {"size", Json::String(SizeText(size))},
      {"time", Json::String("0 秒前")},
      {"onof", Json::String("0")},
      {"downs", Json::String("0")},
      {"is_newd", Json::String(s.OriginUrl(Origin::kShare))},
  });
  s.files.push_back(std::move(stored));
  SetJson(s, res,
          Json::Object({{"zt", Json::Number(1)},
                        {"info", Json::String("上传成功")},
                        {"text", Json::Array({std::move(entry)})}}));
}

void ShareData(State& s, const httplib::Request& req, const std::string& body,
               httplib::Response& res) {
  if (!s.SignedIn(req))
    return SetJson(s, res, Failure("请先登录"));
  auto form = ParseForm(body);
  if (form["task"] != "22")
    return SetJson(s, res, Failure("未知操作"));
  auto it = std::find_if(s.files.begin(), s.files.end(),
                         [&](const StoredFile& f) { return f.fileId == form["file_id"]; });
  if (it == s.files.end() || s.options.faults.failShare)
    return SetJson(s, res, Failure("文件不存在或已删除"));
  Json shareId =
      s.options.faults.numericId ? Json::Number(std::stoll(it->fileId)) : Json::String(it->shareId);
  SetJson(s, res,
          Json::Object(
              {{"zt", Json::Number(1)},
               {"info", Json::Object({{"pwd", Json::String("8x2b")},
                                      {"onof", Json::String("0")},
                                      {"f_id", shareId},
                                      {"taoc", Json::String("")},
                                      {"is_newd", Json::String(s.OriginUrl(Origin::kShare))}})},
               {"text", Json::Null()}}));
}

void Download(State& s, const std::string& path, httplib::Response& res) {
  std::string shareId = path.substr(1);
  auto it = std::find_if(s.files.begin(), s.files.end(),
                         [&](const StoredFile& f) { return f.shareId == shareId; });
  if (shareId.empty() || it == s.files.end()) {
    res.status = 404;
    res.set_content("文件取消分享了", "text/html; charset=utf-8");
    return;
  }
  if (s.options.storeDir.empty()) {
    res.set_content(it->content, "application/octet-stream");
    return;
  }
  auto in = std::make_shared<std::ifstream>(s.options.storeDir + "/" + shareId, std::ios::binary);
  in->seekg(0, std::ios::end);
  size_t size = static_cast<size_t>(in->tellg());
  in->seekg(0);
  res.set_content_provider(size, "application/octet-stream",
                           [in](size_t offset, size_t length, httplib::DataSink& sink) {
                             std::vector<char> chunk(std::min<size_t>(length, 1 << 20));
                             in->seekg(static_cast<std::streamoff>(offset));
                             in->read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
                             return sink.write(chunk.data(), static_cast<size_t>(in->gcount()));
                           });
}

bool Classify(Origin origin, const httplib::Request& req, Endpoint* endpoint) {
  if (origin == Origin::kShare) {
    *endpoint = Endpoint::kDownload;
    return req.method == "GET";
  }
  static const struct {
    Origin origin;
    const char* method;
    const char* path;
    Endpoint endpoint;
  } routes[] = {
      {Origin::kAccount, "GET", "/mydisk.php", Endpoint::kProbe},
      {Origin::kAccount, "GET", "/account.php", Endpoint::kLoginPage},
      {Origin::kAccount, "POST", "/account.php", Endpoint::kLogin},
      {Origin::kAccount, "POST", "/doupload.php", Endpoint::kShareData},
      {Origin::kUpload, "POST", "/fileup.php", Endpoint::kUpload},
  };
  for (const auto& r : routes) {
    if (r.origin == origin && req.method == r.method && req.path == r.path) {
      *endpoint = r.endpoint;
      return true;
    }
  }
  return false;
}

void Answer(State& s, Origin origin, const httplib::Request& req, std::string& body,
            httplib::Response& res) {
  if (req.path == "/__requests" && req.method == "GET") {
    std::string lines;
    {
      std::lock_guard<std::mutex> lock(s.mutex);
      for (const auto& r : s.requests)
        lines += r.ToJsonLine() + "\n";
    }
    res.set_content(lines, "application/x-ndjson");
    return;
  }

  std::unique_lock<std::mutex> lock(s.mutex);
  Record(s, origin, req, body);
  Endpoint endpoint;
  if (!Classify(origin, req, &endpoint)) {
    res.status = 404;
    res.set_content("<html><body>404 Not Found</body></html>", "text/html");
    return;
  }
  const Faults& faults = s.options.faults;
  if (s.Has(faults.drop, endpoint)) {
    DropConnection(req);
    return;
  }
  if (s.Has(faults.stall, endpoint)) {
    s.wake.wait_for(lock, std::chrono::seconds(faults.stallSeconds), [&] { return s.stopping; });
    if (s.stopping) {
      lock.unlock();
      DropConnection(req);
      return;
    }
  }
  switch (endpoint) {
    case Endpoint::kProbe:
      return SetPage(
          s, res, s.SignedIn(req) ? DiskPage(faults.gbkConsole) : SignInPrompt(faults.gbkConsole));
    case Endpoint::kLoginPage: {
      std::string token = s.RandomText(8, "0123456789abcdef");
      s.formhashes.insert(token);
      return SetPage(s, res, LoginPage(token, faults.gbkConsole));
    }
    case Endpoint::kLogin:
      return Login(s, body, res);
    case Endpoint::kUpload:
      return Upload(s, req, body, res);
    case Endpoint::kShareData:
      return ShareData(s, req, body, res);
    case Endpoint::kDownload:
      return Download(s, req.path, res);
  }
}

}  // namespace

Emulator::Emulator(Options options) : state_(std::make_unique<State>()) {
  state_->options = std::move(options);
  for (const auto& item : state_->options.sessions)
    state_->sessions.insert(item);
}

Emulator::~Emulator() {
  Stop();
}

bool Emulator::Start() {
  State& s = *state_;
  const int wanted[3] = {s.options.accountPort, s.options.uploadPort, s.options.sharePort};
  for (int i = 0; i < 3; ++i) {
    auto server = std::make_unique<httplib::Server>();
    Origin origin = static_cast<Origin>(i);
    auto handle = [&s, origin](const httplib::Request& req, httplib::Response& res,
                               const httplib::ContentReader& reader) {
      std::string body;
      reader([&](const char* data, size_t length) {
        body.append(data, length);
        return true;
      });
      Answer(s, origin, req, body, res);
    };
    auto handleGet = [&s, origin](const httplib::Request& req, httplib::Response& res) {
      std::string body = req.body;
      Answer(s, origin, req, body, res);
    };
    server->set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
      // The request object is the server's own, not a constant one.
      auto& headers = const_cast<httplib::Request&>(req).headers;
      auto it = headers.find("Content-Type");
      if (it != headers.end() && it->second.rfind("multipart/", 0) == 0) {
        headers.emplace(kParkedContentType, it->second);
        it->second = "application/octet-stream";
      }
      return httplib::Server::HandlerResponse::Unhandled;
    });
    server->Get(".*", handleGet);
    server->Post(".*", handle);
    server->Put(".*", handle);
    server->Delete(".*", handleGet);
    server->set_read_timeout(60);
    server->set_write_timeout(60);
    int port = wanted[i] == 0 ? server->bind_to_any_port(s.options.host)
                              : (server->bind_to_port(s.options.host, wanted[i]) ? wanted[i] : -1);
    if (port <= 0) {
      s.error = std::string("cannot listen on ") + s.options.host + ":" +
                std::to_string(wanted[i]) + " for the " + OriginName(origin) + " origin";
      Stop();
      return false;
    }
    s.ports[i] = port;
    s.servers[i] = std::move(server);
    s.threads[i] = std::thread([srv = s.servers[i].get()] { srv->listen_after_bind(); });
  }
  return true;
}

void Emulator::Stop() {
  State& s = *state_;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.stopping = true;
  }
  s.wake.notify_all();
  for (int i = 0; i < 3; ++i) {
    if (s.servers[i])
      s.servers[i]->stop();
    if (s.threads[i].joinable())
      s.threads[i].join();
    s.servers[i].reset();
  }
}

const std::string& Emulator::error() const {
  return state_->error;
}

int Emulator::port(Origin o) const {
  return state_->ports[static_cast<int>(o)];
}

std::string Emulator::origin(Origin o) const {
  return state_->OriginUrl(o);
}

std::vector<RecordedRequest> Emulator::Requests() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->requests;
}

void Emulator::ClearRequests() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->requests.clear();
}

std::vector<StoredFile> Emulator::Files() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->files;
}

std::vector<std::string> Emulator::Sessions() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return {state_->sessions.begin(), state_->sessions.end()};
}

void Emulator::SetFaults(const Faults& faults) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->options.faults = faults;
}

void Emulator::SetRequestLog(const std::string& path) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->log.close();
  if (!path.empty())
    state_->log.open(path, std::ios::app);
}

}  // namespace qp::emulator
