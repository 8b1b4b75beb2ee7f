// Hostile and broken share pages on loopback: every request ends within the
// transport's time-outs with a clear outcome, and memory stays bounded. The
// same tests run over libcurl (Linux) and WinINet (Windows, under Wine).
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "app/short_link.h"
#include "http/fetch.h"
#include "http/transport.h"
#include "tests/app/share_env.h"
#include "tests/fixtures/test_server.h"

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

namespace quoril {
namespace {

using test::Act;
using test::Reply;

constexpr int kConnectMs = 2000;
constexpr int kReceiveMs = 2000;
// What a loaded machine (or Wine) may add to a time-out before we call the
// wait unbounded.
constexpr double kSlackS = 4.0;
constexpr double kTimeoutBoundS = kReceiveMs / 1000.0 + kSlackS;
// Megabytes that keep coming are work, not waiting, and take what the
// platform needs: WinINet under Wine reads a body at about 1 MB/s and takes
// time quadratic in a head's size to take it in (2 MiB: 15 to 35 s).
constexpr double kWorkBoundS = 90.0;

const std::string kShare = "/share/share.php";
const std::string kMarked = "scope.short_url = \"http://t.cn/abc\";";

// How much the resident size may grow while a 100 MiB page is refused at the
// 16 MiB cap. Under AddressSanitizer freed blocks stay resident in its
// quarantine, so growth counts every allocation instead of the live peak.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kCapGrowthBound = std::size_t{160} << 20;
#else
constexpr std::size_t kCapGrowthBound = std::size_t{80} << 20;
#endif

// The most memory this process has held resident, in bytes.
std::size_t peak_resident() {
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS pmc{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc)) return 0;
  return pmc.PeakWorkingSetSize;
#else
  rusage u{};
  if (getrusage(RUSAGE_SELF, &u) != 0) return 0;
  return static_cast<std::size_t>(u.ru_maxrss) * 1024;
#endif
}

class Stopwatch {
 public:
  double seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Runs `act` after `seconds` unless destroyed first: a peer that would keep
// a broken client busy for ever is taken away, so the test ends and fails
// instead of hanging.
class Watchdog {
 public:
  Watchdog(double seconds, std::function<void()> act)
      : thread_([this, seconds, act = std::move(act)] {
          std::unique_lock lock(mu_);
          if (!cv_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return done_; }))
            act();
        }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mu_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

class HostileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.ok());
    set_transport_timeouts({kConnectMs, kReceiveMs});
    test::set_share_host("127.0.0.1:" + std::to_string(server_.port()));
  }
  void TearDown() override {
    set_transport_timeouts({});
    test::set_share_host("");
    server_.stop();
  }

  // request_short_link against the loopback share page, timed.
  ShortLinkReply ask(double* seconds) {
    Stopwatch watch;
    ShortLinkReply reply = request_short_link("http://example.com/a-long-address");
    *seconds = watch.seconds();
    return reply;
  }

  test::TestServer server_;
};

TEST_F(HostileTest, PagePastTheCapIsAFailureAndMemoryStaysBounded) {
  // The marker comes first: a page cut at the cap and searched anyway would
  // still give a link.
  constexpr std::size_t kPage = std::size_t{100} << 20;
  std::string page = kMarked;
  page.resize(kPage, 'x');
  server_.set(kShare, Reply::ok(std::move(page)));
  const std::size_t before = peak_resident();

  double s = 0;
  const ShortLinkReply reply = ask(&s);
  const std::size_t grown = peak_resident() - before;

  EXPECT_TRUE(reply.link.empty());
  EXPECT_TRUE(reply.answered);
  EXPECT_EQ(reply.status_line, "HTTP/1.1 200 OK");
  EXPECT_LT(s, kWorkBoundS);
  // The page is cut off at 16 MiB; its text and the conversion buffers of
  // that much may coexist, the other 84 MiB never arrive in memory.
  EXPECT_LT(grown, kCapGrowthBound);
  std::printf("100 MiB page: %.2f s, peak resident %.1f MiB (grew by %.1f MiB)\n", s,
              static_cast<double>(peak_resident()) / (1 << 20),
              static_cast<double>(grown) / (1 << 20));
  RecordProperty("peak_resident_growth_bytes", std::to_string(grown));
}

TEST_F(HostileTest, SilentClosingAndDrippingServersEndWithinTheTimeouts) {
  Reply silent = Reply::ok(kMarked);
  silent.act = Act::kSilent;
  Reply closing = Reply::ok(kMarked);
  closing.act = Act::kCloseAtOnce;
  // The head at once, then one byte every 3 s: a gap longer than the
  // receive time-out. Sent whole it would take two minutes.
  Reply drip = Reply::ok(kMarked);
  drip.act = Act::kDrip;
  drip.drip_ms = 3000;
  const struct {
    const char* name;
    Reply reply;
    bool answered;  // a status line arrived before the failure
  } cases[] = {
      {"accepts and never answers", silent, false},
      {"closes at once", closing, false},
      {"drips one byte every few seconds", drip, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server_.set(kShare, c.reply);
    double s = 0;
    const ShortLinkReply reply = ask(&s);
    EXPECT_TRUE(reply.link.empty());
    EXPECT_EQ(reply.answered, c.answered);
    EXPECT_LT(s, kTimeoutBoundS);
    std::printf("%s: %.2f s\n", c.name, s);
  }
}

// A byte every 0.5 s never lets the receive time-out run out; the total
// time-out of the request ends it.
TEST_F(HostileTest, SteadyDripEndsByTheTotalTimeout) {
  constexpr int kTotalMs = 3000;
  set_transport_timeouts({kConnectMs, kReceiveMs, kTotalMs});
  Reply drip = Reply::ok(kMarked);
  drip.act = Act::kDrip;
  drip.drip_ms = 500;
  server_.set(kShare, drip);
  double s = 0;
  const ShortLinkReply reply = ask(&s);
  EXPECT_TRUE(reply.link.empty());
  EXPECT_GT(s, kTotalMs / 1000.0 - 0.5);
  EXPECT_LT(s, kTotalMs / 1000.0 + kSlackS);
  std::printf("steady drip: %.2f s\n", s);
}

TEST_F(HostileTest, RedirectLoopEnds) {
  server_.set(kShare, Reply::redirect("302 Found", server_.url("/loop")));
  server_.set("/loop", Reply::redirect("302 Found", server_.url("/loop")));
  double s = 0;
  ShortLinkReply reply;
  {
    Watchdog stop_serving(2 * kTimeoutBoundS, [this] { server_.stop(); });
    reply = ask(&s);
  }
  EXPECT_TRUE(reply.link.empty());
  EXPECT_LT(s, kTimeoutBoundS);
  // A handful of hops, not an endless chase.
  EXPECT_LE(server_.requests().size(), 100u);
  std::printf("redirect loop: %.2f s, %zu requests\n", s, server_.requests().size());
}

TEST_F(HostileTest, HeaderBlockOfTwoMebibytes) {
  // 2048 header lines of 1 KiB each before an ordinary page.
  std::vector<std::string> headers;
  for (int i = 0; i < 2048; ++i)
    headers.push_back("X-Filler-" + std::to_string(i) + ": " + std::string(1000, 'h'));
  headers.push_back("Set-Cookie: last=1; path=/");
  server_.set("/big-head", Reply::ok(kMarked, headers));

  Stopwatch watch;
  Text raw, cookies;
  const Bytes body = http_fetch(server_.url("/big-head"), 0, {}, &cookies, nullptr, nullptr,
                                nullptr, false, nullptr, std::nullopt, &raw);
  const double s = watch.seconds();
  EXPECT_LT(s, kWorkBoundS);
  // Either the whole answer arrives, the last header line included, or the
  // transport refuses it as a whole; never a part passed off as the whole.
  if (!body.empty()) {
    EXPECT_EQ(std::string(body.begin(), body.end()), kMarked);
    EXPECT_GT(raw.size(), std::size_t{2048} * 1000);
    EXPECT_EQ(cookies, "last=1");
  } else {
    EXPECT_TRUE(cookies.empty());
  }
  std::printf("2 MiB header block: %.2f s, body %zu bytes, header text %zu bytes\n", s,
              body.size(), raw.size());
}

TEST_F(HostileTest, InvalidUtf8AndZeroBytesBeforeTheMarker) {
  const struct {
    const char* name;
    std::string page;
    const char* link;  // empty: no link, but an answer
  } cases[] = {
      {"invalid UTF-8 before the marker",
       std::string("\xFF\xFE\xC0\xAF\xED\xA0\x80\xE4\xB8 \xF8\x88\x80\x80\x80") + kMarked,
       "http://t.cn/abc"},
      {"a zero byte after the marker", kMarked + std::string("\0\0tail", 6), "http://t.cn/abc"},
      // The page's text ends at its first zero byte, so a marker behind one
      // is never seen: the service answered, without a link.
      {"zero bytes before the marker", std::string("<html>\0\0\xFF", 9) + kMarked, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server_.set(kShare, Reply::ok(c.page));
    double s = 0;
    const ShortLinkReply reply = ask(&s);
    EXPECT_EQ(reply.link, c.link);
    EXPECT_TRUE(reply.answered);
    EXPECT_LT(s, kTimeoutBoundS);
  }
}

}  // namespace
}  // namespace quoril
