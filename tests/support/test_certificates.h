#pragma once
// A certificate authority and server certificates made with the openssl
// command line at test time, in a temporary folder removed at exit.

#include <string>

namespace qp::testing {

struct TestCertificates {
  bool ok = false;
  std::string caFile;                       // the CA to trust
  std::string serverCert, serverKey;        // for 127.0.0.1 and localhost, from the CA
  std::string wrongHostCert, wrongHostKey;  // from the CA, for another host name
  std::string untrustedCert, untrustedKey;  // self-signed for 127.0.0.1
};

// Made once per process.
const TestCertificates& Certificates();

}  // namespace qp::testing
