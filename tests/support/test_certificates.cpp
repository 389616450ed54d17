#include "test_certificates.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace qp::testing {
namespace {

bool Run(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

class CertificateFolder {
 public:
  CertificateFolder() {
    char pattern[] = "/tmp/quillpost-certs-XXXXXX";
    if (!mkdtemp(pattern))
      return;
    dir_ = pattern;
    const std::string d = dir_ + "/";
    const std::string newKey = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    std::ofstream(d + "server.ext")
        << "subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\n"
           "extendedKeyUsage=serverAuth\n";
    std::ofstream(d + "wrong.ext")
        << "subjectAltName=DNS:wrong.invalid\nbasicConstraints=CA:FALSE\n"
           "extendedKeyUsage=serverAuth\n";
    auto issue = [&](const std::string& name, const std::string& subject) {
      return Run("openssl req " + newKey + " -keyout " + d + name + ".key -out " + d + name +
                 ".csr -subj " + subject) &&
             Run("openssl x509 -req -in " + d + name + ".csr -CA " + d + "ca.pem -CAkey " + d +
                 "ca.key -CAcreateserial -days 2 -out " + d + name + ".pem -extfile " + d + name +
                 ".ext");
    };
    certs_.ok =
        Run("openssl req -x509 " + newKey + " -keyout " + d + "ca.key -out " + d +
            "ca.pem -days 2 -subj /CN=Quillpost-Test-CA"
            " -addext basicConstraints=critical,CA:TRUE"
            " -addext keyUsage=critical,keyCertSign,cRLSign") &&
        issue("server", "/CN=127.0.0.1") && issue("wrong", "/CN=wrong.invalid") &&
        Run("openssl req -x509 " + newKey + " -keyout " + d + "untrusted.key -out " + d +
            "untrusted.pem -days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1");
    certs_.caFile = d + "ca.pem";
    certs_.serverCert = d + "server.pem";
    certs_.serverKey = d + "server.key";
    certs_.wrongHostCert = d + "wrong.pem";
    certs_.wrongHostKey = d + "wrong.key";
    certs_.untrustedCert = d + "untrusted.pem";
    certs_.untrustedKey = d + "untrusted.key";
  }
  ~CertificateFolder() {
    std::error_code ignored;
    if (!dir_.empty())
      std::filesystem::remove_all(dir_, ignored);
  }
  const TestCertificates& certs() const { return certs_; }

 private:
  std::string dir_;
  TestCertificates certs_;
};

}  // namespace

const TestCertificates& Certificates() {
  static CertificateFolder folder;
  return folder.certs();
}

}  // namespace qp::testing
