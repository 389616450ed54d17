#pragma once
// A stand-in for the file-hosting service on loopback: the web console (its
// disk page, sign-in page and form, file operations), the upload endpoint and
// the public share links. It keeps accounts, sessions and uploaded files, can
// be told to misbehave, and records every request so tests can assert the
// exact sequence a client sent.
//
// One instance listens on three ports, one per origin, so a client built with
// three distinct origins reaches each endpoint where the real service has it.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qp::emulator {

// Where a request arrived.
enum class Origin { kAccount, kUpload, kShare };
const char* OriginName(Origin origin);

// The endpoints a fault can be aimed at.
enum class Endpoint { kProbe, kLoginPage, kLogin, kUpload, kShareData, kDownload };
// "probe", "login-page", "login", "upload", "share-data", "download".
const char* EndpointName(Endpoint endpoint);
bool ParseEndpoint(const std::string& name, Endpoint* endpoint);

struct Faults {
  bool rejectSessions = false;  // every session cookie reads as expired
  bool failUpload = false;      // the upload answers zt 0
  bool failShare = false;       // the share data lacks info.f_id
  bool numericId = false;       // text[0].id and info.f_id are JSON numbers
  bool pretty = false;          // JSON answers are pretty-printed (LF line breaks)
  bool unescaped = false;       // JSON answers carry raw UTF-8 instead of \u escapes
  bool gbkConsole = false;      // console pages are served as GBK
  // Endpoints that accept the request and then never answer (until
  // stallSeconds pass or the emulator stops), and endpoints whose connection
  // is cut without a byte of answer.
  std::vector<Endpoint> stall = {};
  std::vector<Endpoint> drop = {};
  int stallSeconds = 3600;
};

struct Options {
  std::string host = "127.0.0.1";
  int accountPort = 0;  // 0: any free port
  int uploadPort = 0;
  int sharePort = 0;
  // username -> password, as UTF-8 bytes.
  std::map<std::string, std::string> accounts;
  // Cookie items ("name=value") accepted as signed-in sessions from the start,
  // as if a browser had signed in earlier.
  std::vector<std::string> sessions;
  // Uploaded files are kept here, one file per share identifier; empty keeps
  // them in memory.
  std::string storeDir;
  // Bodies longer than this are recorded by size only (large uploads).
  std::size_t recordBodyLimit = 64u << 20;
  Faults faults;
};

struct RecordedRequest {
  Origin origin = Origin::kAccount;
  std::string method;
  std::string target;  // path and query as sent
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;  // empty when bodySize passed the record limit
  std::uint64_t bodySize = 0;

  // The first header value with this name (any letter case); "" if none.
  std::string Header(const std::string& name) const;
  // "GET /mydisk.php" style summary, origin first: "account GET /mydisk.php".
  std::string Summary() const;
  // One JSON object on one line.
  std::string ToJsonLine() const;
};

struct StoredFile {
  std::string fileId;   // the upload answer's text[0].id
  std::string shareId;  // f_id
  std::string name;     // the form's name field
  std::string content;
};

class Emulator {
 public:
  explicit Emulator(Options options);
  ~Emulator();  // stops
  Emulator(const Emulator&) = delete;
  Emulator& operator=(const Emulator&) = delete;

  // Binds the three ports and starts serving; false (with the reason in
  // error()) when a port can't be bound.
  bool Start();
  // Wakes stalled answers and stops serving. Idempotent.
  void Stop();
  const std::string& error() const;

  int port(Origin origin) const;
  std::string origin(Origin origin) const;  // "http://127.0.0.1:PORT"

  std::vector<RecordedRequest> Requests() const;
  void ClearRequests();
  std::vector<StoredFile> Files() const;
  // Session cookie items issued or seeded and still valid.
  std::vector<std::string> Sessions() const;

  // Changes the faults while serving.
  void SetFaults(const Faults& faults);
  // Records go to this file as JSON lines as well ("" stops that).
  void SetRequestLog(const std::string& path);

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace qp::emulator
