#pragma once
// COM apartment initialisation, counted per thread. The automation objects of
// the script layer initialise COM around their own use; tests check that every
// operation leaves the count where it found it.

namespace qp::com {

// CoInitialize: true on success (also when this thread already had COM).
bool Initialize();
// CoUninitialize: balances one successful Initialize.
void Uninitialize();
// How many Initialize calls on this thread are not yet balanced.
int InitializeCount();

// Initialize for one scope.
class ScopedInitialize {
 public:
  ScopedInitialize() : ok_(Initialize()) {}
  ~ScopedInitialize() {
    if (ok_)
      Uninitialize();
  }
  ScopedInitialize(const ScopedInitialize&) = delete;
  ScopedInitialize& operator=(const ScopedInitialize&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

}  // namespace qp::com
