// fwinspect serve against a running fwservice and the sample configuration:
// its answers against golden ones, its refusals, its event stream.
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "Support/RawClients.h"
#include "Support/ServeSupport.h"

namespace {

using namespace FaultwrightTest;
using Json = nlohmann::ordered_json;
using Clock = std::chrono::steady_clock;

const std::string kGolden = std::string(FAULTWRIGHT_SOURCE_DIR) + "/tests/data/";

// An answer with what differs from run to run, times and counts of looks,
// as "T" and "N".
std::string Steady(std::string text) {
  static const std::pair<std::regex, const char*> masks[] = {
      {std::regex("\"(now|raised|cleared)(At)?\": (?!(0|null),?\\n)[^,\\n]+"), "\"$1$2\": \"T\""},
      {std::regex("(_seconds\\{.*\\}) (?!0\\n).+"), "$1 T"},
      {std::regex("(_polls_total|_changes_total) \\d+"), "$1 N"}};
  for (const auto& mask : masks) text = std::regex_replace(text, mask.first, mask.second);
  return text;
}

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A client of /api/events. Each event comes in one chunk of the stream.
class EventStream {
 public:
  EventStream() : socket_(ConnectRaw(kServePort)) {
    const std::string request = "GET /api/events HTTP/1.1\r\nHost: test\r\n\r\n";
    EXPECT_EQ(write(socket_, request.data(), request.size()), ssize_t(request.size()));
  }
  ~EventStream() { close(socket_); }

  // The data of the next event; empty when none comes within three seconds.
  std::string Next() {
    size_t at, end;
    while ((at = buffer_.find("data: ")) == std::string::npos ||
           (end = buffer_.find("\n\n", at)) == std::string::npos) {
      pollfd readable = {socket_, POLLIN, 0};
      char chunk[65536];
      const ssize_t count = poll(&readable, 1, 3000) == 1 ? read(socket_, chunk, sizeof chunk) : -1;
      if (count <= 0) return std::string();
      buffer_.append(chunk, static_cast<size_t>(count));
    }
    const std::string data = buffer_.substr(at + 6, end - at - 6);
    buffer_.erase(0, end + 2);
    return data;
  }

 private:
  int socket_;
  std::string buffer_;
};

class ServePortTest : public ::testing::Test, public ServedDirectory {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(Start()); }

  std::string Body(const std::string& path, int status = 200) {
    httplib::Result result = client_.Get(path.c_str());
    EXPECT_TRUE(result) << path;
    EXPECT_EQ(result ? result->status : 0, status) << path << ": " << (result ? result->body : "");
    return result ? result->body : "";
  }
  Json Get(const std::string& path, int status = 200) { return Json::parse(Body(path, status), nullptr, false); }

  httplib::Client client_{"127.0.0.1", kServePort};
};

TEST_F(ServePortTest, ApiAndMetricsAnswerAsTheGoldenFilesSay) {
  ASSERT_EQ(Tool(true, kAntenna), 0);
  Json active;
  for (int attempt = 0; attempt < 100 && active.size() != 1; ++attempt, usleep(20000)) {
    active = Get("/api/active")["topLevelErrors"];
  }
  ASSERT_EQ(active.size(), 1u);
  EXPECT_EQ(Steady(Get("/api/active").dump(1)), ReadFile(kGolden + "ServeActive.json"));
  EXPECT_EQ(Steady(Get("/api/decode/" + active[0]["stateCode"].get<std::string>()).dump(1)),
            ReadFile(kGolden + "ServeDecode.json"));
  EXPECT_EQ(Get("/api/history").size(), 3u);  // each error that the antenna raised
  const Json catalogue = Get("/api/catalogue");
  ASSERT_EQ(catalogue.size(), 34u);
  EXPECT_EQ(catalogue[0]["error"], kAntenna);
  EXPECT_FALSE(catalogue[0].contains("raised"));

  const std::string metrics = Body("/metrics");
  EXPECT_EQ(Steady(metrics), ReadFile(kGolden + "ServeMetrics.txt"));
  // Where the Prometheus tools are at hand (the CI's browser step), promtool must accept them too.
  if (const char* promtool = std::getenv("FAULTWRIGHT_PROMTOOL")) {
    const std::string file = directory_->Write("metrics", metrics);
    const ProcessResult check = RunProcess("/bin/sh", {"sh", "-c", std::string(promtool) + " check metrics < " + file});
    EXPECT_EQ(check.status, 0) << check.out << check.err;
  }
}

TEST_F(ServePortTest, BadRequestsAreRefusedAndTheServerGoesOn) {
  const struct {
    std::string path;
    int status;
  } refusals[] = {
      {"/api/decode/0X40", 400},  // not hexadecimal
      {"/api/decode/01", 400},    // too short for an index
      {"/api/decode/FFC0", 404},  // no such entry
      {"/api/nothing", 404},     {"/api/decode/" + std::string(9000, '0'), 414},
  };
  for (const auto& refusal : refusals) EXPECT_TRUE(Get(refusal.path, refusal.status).contains("problem"));

  // Connections that never send a request, and more clients of the event
  // stream than it takes, cost the others nothing.
  for (int i = 0; i < 100; ++i) close(ConnectRaw(kServePort));
  std::vector<EventStream> streams(16);
  for (EventStream& stream : streams) ASSERT_FALSE(stream.Next().empty());
  Get("/api/events", 503);

  // A hundred clients at once are all answered, none of them made to try
  // its connection again.
  const Clock::time_point start = Clock::now();
  std::vector<std::thread> clients;
  std::atomic<int> answered(0);
  for (int i = 0; i < 100; ++i) {
    clients.emplace_back([&] {
      httplib::Client client("127.0.0.1", kServePort);
      client.set_read_timeout(20, 0);
      httplib::Result result = client.Get("/api/active");
      answered += result && result->status == 200;
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(answered, 100);
  EXPECT_LT(MillisecondsSince(start), 3000);

  // Without the service, the live answers say why.
  EXPECT_EQ(service_->Stop(SIGTERM, 5000), 0);
  EXPECT_NE(Get("/api/active", 503)["problem"].get<std::string>().find("cannot be locked"), std::string::npos);
  Get("/api/decode/0000", 503);
  Body("/");
}

TEST_F(ServePortTest, AnEventFollowsEachRaiseAndClearWithin200Ms) {
  EventStream stream;
  EXPECT_EQ(Json::parse(stream.Next())["topLevelErrors"].size(), 0u);
  for (size_t raise : {1, 0, 1, 0}) {
    ASSERT_EQ(Tool(raise, kAntenna), 0);
    const Clock::time_point sent = Clock::now();
    std::string event = stream.Next();
    EXPECT_LT(MillisecondsSince(sent), 200);
    // The service may show the raise and the triggers it causes in more than one step.
    while (!event.empty() && Json::parse(event)["topLevelErrors"].size() != raise) event = stream.Next();
    EXPECT_FALSE(event.empty());
  }
}

}  // namespace
