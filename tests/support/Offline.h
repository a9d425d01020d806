// Test programs never reach beyond this machine, not even for a name lookup,
// whatever a test gets wrong: an address that would leave goes to a port on
// 127.0.0.1 where nothing answers instead.
#pragma once

#include <string>

namespace kelvor::test {

// A port on 127.0.0.1 where nothing listens. It stays bound (never
// listening) for the life of the process, so a connection is refused at once
// and no other program can take the port meanwhile.
int closedPort();

// "http://127.0.0.1:" + closedPort() + path: a web address that fails fast
// without any traffic, for tests that need a channel which cannot download.
std::string unreachableUrl(const std::string& path);

// Chromium switches that send everything but 127.0.0.1 to the closed port
// and resolve no other name. QtWebEngine splits QTWEBENGINE_CHROMIUM_FLAGS
// at spaces outside double quotes, so the resolver rules are quoted.
std::string offlineChromiumFlags();

} // namespace kelvor::test
