// fwinspect serve against a running fwservice and the sample configuration:
// its answers against golden ones, its refusals, its event stream.
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "Support/RawClients.h"
#include "Support/ServeSupport.h"
#include "Support/TestSupport.h"

namespace {

using namespace FaultwrightTest;
using Json = nlohmann::ordered_json;

const char kAntenna[] = "GPS:L1 L2 Antenna:Voltage:4";
const std::string kGolden = std::string(FAULTWRIGHT_SOURCE_DIR) + "/tests/data/";

// The times of an answer, which differ from run to run, as "T".
Json WithoutTimes(Json value) {
  for (auto& member : value.items()) {
    static const std::vector<std::string> times = {"now", "nowAt", "raised", "raisedAt", "cleared", "clearedAt"};
    const bool isTime = std::find(times.begin(), times.end(), member.key()) != times.end();
    if (value.is_object() && isTime && !member.value().is_null() && member.value() != 0) {
      member.value() = "T";
    } else if (member.value().is_structured()) {
      member.value() = WithoutTimes(member.value());
    }
  }
  return value;
}

// /metrics with what differs from run to run, raise times and counts of
// looks, as "T" and "N".
std::string WithoutVaryingValues(const std::string& metrics) {
  std::istringstream lines(metrics);
  std::string out;
  for (std::string line; std::getline(lines, line);) {
    const size_t value = line.rfind(' ') + 1;
    if (line[0] != '#' && line.find("_seconds{") != std::string::npos && line.substr(value) != "0") {
      line.replace(value, std::string::npos, "T");
    } else if (line[0] != '#' &&
               (line.find("_polls_total ") != std::string::npos || line.find("_changes_total ") != std::string::npos)) {
      line.replace(value, std::string::npos, "N");
    }
    out += line + "\n";
  }
  return out;
}

// A client of /api/events. Each event comes in one chunk of the stream.
class EventStream {
 public:
  EventStream() : socket_(ConnectRaw(kServePort)) {
    const std::string request = "GET /api/events HTTP/1.1\r\nHost: test\r\n\r\n";
    EXPECT_EQ(write(socket_, request.data(), request.size()), ssize_t(request.size()));
  }
  ~EventStream() {
    if (socket_ != -1) close(socket_);
  }

  // The data of the next event; empty when none comes within three seconds.
  std::string Next() {
    for (;;) {
      const size_t at = buffer_.find("data: ");
      const size_t end = at == std::string::npos ? at : buffer_.find("\n\n", at);
      if (end != std::string::npos) {
        const std::string data = buffer_.substr(at + 6, end - at - 6);
        buffer_.erase(0, end + 2);
        return data;
      }
      pollfd readable = {socket_, POLLIN, 0};
      char chunk[65536];
      const ssize_t count = poll(&readable, 1, 3000) == 1 ? read(socket_, chunk, sizeof chunk) : -1;
      if (count <= 0) return std::string();
      buffer_.append(chunk, static_cast<size_t>(count));
    }
  }

 private:
  int socket_;
  std::string buffer_;
};

class ServePortTest : public ::testing::Test, public ServedDirectory {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(Start()); }

  Json Get(const std::string& path, int status = 200) {
    httplib::Result result = client_.Get(path.c_str());
    EXPECT_TRUE(result) << path;
    if (!result) return Json();
    EXPECT_EQ(result->status, status) << path << ": " << result->body;
    return Json::parse(result->body, nullptr, false);
  }
  // The top-level errors, once the server shows count of them.
  Json TopLevelErrors(size_t count) {
    Json errors;
    for (int attempt = 0; attempt < 100; ++attempt, usleep(20000)) {
      errors = Get("/api/active")["topLevelErrors"];
      if (errors.size() == count) break;
    }
    return errors;
  }

  httplib::Client client_{"127.0.0.1", kServePort};
};

TEST_F(ServePortTest, ApiAndMetricsAnswerAsTheGoldenFilesSay) {
  ASSERT_EQ(Tool(true, kAntenna), 0);
  const Json active = TopLevelErrors(1);
  ASSERT_EQ(active.size(), 1u);
  EXPECT_EQ(WithoutTimes(Get("/api/active")).dump(1), ReadFile(kGolden + "ServeActive.json"));
  EXPECT_EQ(WithoutTimes(Get("/api/decode/" + active[0]["stateCode"].get<std::string>())).dump(1),
            ReadFile(kGolden + "ServeDecode.json"));
  // Each error that the antenna raised, latest first.
  const Json history = Get("/api/history");
  ASSERT_EQ(history.size(), 3u);
  const Json catalogue = Get("/api/catalogue");
  ASSERT_EQ(catalogue.size(), 34u);
  EXPECT_EQ(catalogue[0]["error"], kAntenna);
  EXPECT_FALSE(catalogue[0].contains("raised"));

  httplib::Result metrics = client_.Get("/metrics");
  ASSERT_TRUE(metrics);
  EXPECT_EQ(WithoutVaryingValues(metrics->body), ReadFile(kGolden + "ServeMetrics.txt"));
  // Where the Prometheus tools are at hand (the CI's browser step), promtool must accept them too.
  if (const char* promtool = std::getenv("FAULTWRIGHT_PROMTOOL")) {
    TempDirectory scratch;
    const std::string file = scratch.Write("metrics", metrics->body);
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
  for (int i = 0; i < 100; ++i) {
    const int idle = ConnectRaw(kServePort);
    ASSERT_NE(idle, -1);
    close(idle);
  }
  std::vector<std::unique_ptr<EventStream>> streams;
  for (int i = 0; i < 16; ++i) {
    streams.push_back(std::make_unique<EventStream>());
    ASSERT_FALSE(streams.back()->Next().empty());
  }
  Get("/api/events", 503);

  // A hundred clients at once are all answered, none of them made to try
  // its connection again.
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> clients;
  std::atomic<int> answered(0);
  for (int i = 0; i < 100; ++i) {
    clients.emplace_back([&] {
      httplib::Client client("127.0.0.1", kServePort);
      client.set_read_timeout(20, 0);
      httplib::Result result = client.Get("/api/active");
      if (result && result->status == 200) ++answered;
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(answered, 100);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed.count(), 3.0);

  // Without the service, the live answers say why.
  EXPECT_EQ(service_->Stop(SIGTERM, 5000), 0);
  EXPECT_NE(Get("/api/active", 503)["problem"].get<std::string>().find("cannot be locked"), std::string::npos);
  Get("/api/decode/0000", 503);
  EXPECT_EQ(client_.Get("/")->status, 200);
}

TEST_F(ServePortTest, AnEventFollowsEachRaiseAndClearWithin200Ms) {
  EventStream stream;
  EXPECT_EQ(Json::parse(stream.Next())["topLevelErrors"].size(), 0u);
  for (int change = 0; change < 4; ++change) {
    const bool raise = change % 2 == 0;
    ASSERT_EQ(Tool(raise, kAntenna), 0);
    const auto sent = std::chrono::steady_clock::now();
    std::string event = stream.Next();
    const std::chrono::duration<double, std::milli> delay = std::chrono::steady_clock::now() - sent;
    EXPECT_LT(delay.count(), 200);
    // The service may show the raise and the triggers it causes in more than one step.
    while (!event.empty() && Json::parse(event)["topLevelErrors"].size() != (raise ? 1u : 0u)) event = stream.Next();
    EXPECT_FALSE(event.empty());
  }
}

}  // namespace
