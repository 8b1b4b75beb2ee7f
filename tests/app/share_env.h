// Setting the share-page host for a test, on either platform.
#pragma once

#include <cstdlib>
#include <string>

namespace quoril::test {

// Sets QUORIL_SHARE_HOST to `host`; an empty `host` removes it.
inline void set_share_host(const std::string& host) {
#ifdef _WIN32
  _putenv_s("QUORIL_SHARE_HOST", host.c_str());
#else
  if (host.empty()) {
    unsetenv("QUORIL_SHARE_HOST");
  } else {
    setenv("QUORIL_SHARE_HOST", host.c_str(), 1);
  }
#endif
}

}  // namespace quoril::test
