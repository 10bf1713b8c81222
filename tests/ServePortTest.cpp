// fwinspect serve against a running fwservice and the sample configuration:
// its event stream, its answers against golden ones, its refusals.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <sstream>
#include <string>
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
std::string Steady(const std::string& text) {
  std::istringstream lines(text);
  std::string out;
  for (std::string line; std::getline(lines, line); out += line + "\n") {
    const size_t at = line.rfind(' ') + 1;
    const std::string comma = line.back() == ',' ? "," : "", value = line.substr(at);
    const auto has = [&line](const char* part) { return line.find(part) != std::string::npos; };
    const bool look = has("_polls_total ") || has("_changes_total ");
    const bool time = value != "0" + comma && value != "null" + comma &&
                      (has("\"now") || has("\"raised") || has("\"cleared") || has("_seconds{"));
    if (line[0] != '#' && (look || time))
      line.replace(at, line.size(), look ? "N" : (line[0] == ' ' ? "\"T\"" : "T") + comma);
  }
  return out;
}

// A client of /api/events. Each event comes in one chunk of the stream.
struct EventStream {
  EventStream() {
    const std::string request = "GET /api/events HTTP/1.1\r\nHost: test\r\n\r\n";
    const timeval wait = {3, 0};
    EXPECT_EQ(setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait), 0);
    EXPECT_EQ(write(socket, request.data(), request.size()), ssize_t(request.size()));
  }
  ~EventStream() { close(socket); }

  // The data of the next event; empty when none comes within three seconds.
  std::string Next() {
    size_t at, end;
    while ((at = buffer.find("data: ")) == std::string::npos || (end = buffer.find("\n\n", at)) == std::string::npos) {
      char chunk[65536];
      const ssize_t count = read(socket, chunk, sizeof chunk);
      if (count <= 0) return std::string();
      buffer.append(chunk, static_cast<size_t>(count));
    }
    const std::string data = buffer.substr(at + 6, end - at - 6);
    buffer.erase(0, end + 2);
    return data;
  }

  const int socket = ConnectRaw(kServePort);
  std::string buffer;
};

class ServePortTest : public ::testing::Test, public ServedDirectory {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(Start()); }

  std::string Body(const std::string& path, int status = 200) {
    httplib::Result result = client_.Get(path.c_str());
    EXPECT_EQ(result ? result->status : 0, status) << path << ": " << (result ? result->body : "no answer");
    return result ? result->body : "";
  }
  Json Get(const std::string& path, int status = 200) { return Json::parse(Body(path, status), nullptr, false); }
  // Raises or clears the antenna's error: an event follows within 200 ms, and
  // the top-level errors it shows (the service may take more than one step).
  Json Change(EventStream& stream, bool raise) {
    EXPECT_EQ(Tool(raise, kAntenna), 0);
    const Clock::time_point sent = Clock::now();
    std::string event = stream.Next();
    EXPECT_LT((Clock::now() - sent) / std::chrono::milliseconds(1), 200);
    while (!event.empty() && Json::parse(event)["topLevelErrors"].size() != raise) event = stream.Next();
    return event.empty() ? Json() : Json::parse(event)["topLevelErrors"];
  }

  httplib::Client client_{"127.0.0.1", kServePort};
};

TEST_F(ServePortTest, AnEventFollowsEachChangeAndTheAnswersAreAsTheGoldenFilesSay) {
  EventStream stream;
  EXPECT_EQ(Json::parse(stream.Next())["topLevelErrors"].size(), 0u);
  ASSERT_EQ(Change(stream, true).size(), 1u);
  const std::pair<std::string, std::string> goldens[] = {{"/api/active", "ServeActive.json"},
                                                         {"/api/decode/05E400", "ServeDecode.json"},
                                                         {"/api/history", "ServeHistory.json"},
                                                         {"/api/catalogue", "ServeCatalogue.json"},
                                                         {"/metrics", "ServeMetrics.txt"}};
  for (const auto& [path, file] : goldens) {
    const Json json = Get(path);  // /metrics is no JSON
    EXPECT_EQ(Steady(json.is_discarded() ? Body(path) : json.dump(1) + "\n"), ReadFile(kGolden + file));
  }
  // Where the Prometheus tools are at hand (the CI's browser step), promtool must accept them too.
  if (const char* promtool = std::getenv("FAULTWRIGHT_PROMTOOL")) {
    const std::string file = directory_->Write("metrics", Body("/metrics"));
    const ProcessResult check = RunProcess("/bin/sh", {"sh", "-c", std::string(promtool) + " check metrics < " + file});
    EXPECT_EQ(check.status, 0) << check.out << check.err;
  }
  EXPECT_EQ(Change(stream, false), Json::array());
}

TEST_F(ServePortTest, BadRequestsAreRefusedAndTheServerGoesOn) {
  // Not hexadecimal, too short for an index, no such entry, no such answer, too long.
  const std::pair<std::string, int> refusals[] = {{"/api/decode/0X40", 400},
                                                  {"/api/decode/01", 400},
                                                  {"/api/decode/FFC0", 404},
                                                  {"/api/nothing", 404},
                                                  {"/api/decode/" + std::string(9000, '0'), 414}};
  for (const auto& refusal : refusals) EXPECT_TRUE(Get(refusal.first, refusal.second).contains("problem"));

  // Connections that never send a request, and more clients of the event
  // stream than it takes, cost the others nothing.
  for (int i = 0; i < 100; ++i) close(ConnectRaw(kServePort));
  std::vector<EventStream> streams(16);
  for (EventStream& stream : streams) ASSERT_FALSE(stream.Next().empty());
  Get("/api/events", 503);

  // A hundred clients at once are all answered, none of them made to try
  // its connection again.
  const Clock::time_point start = Clock::now();
  std::vector<std::future<int>> clients;
  for (int i = 0; i < 100; ++i) {
    clients.push_back(std::async(std::launch::async, [] {
      const httplib::Result result = httplib::Client("127.0.0.1", kServePort).Get("/api/active");
      return result ? result->status : 0;
    }));
  }
  for (std::future<int>& client : clients) EXPECT_EQ(client.get(), 200);
  EXPECT_LT((Clock::now() - start) / std::chrono::milliseconds(1), 3000);

  // Without the service, the live answers say why.
  EXPECT_EQ(service_->Stop(SIGTERM, 5000), 0);
  EXPECT_NE(Get("/api/active", 503)["problem"].get<std::string>().find("cannot be locked"), std::string::npos);
  Body("/");
}

}  // namespace
