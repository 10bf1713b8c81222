// A stand-in for the diagnostic service: a loopback server that collects what
// its clients send, each message as one line of text, for example
// "notify RaiseError 68664 11 0" or "request_callback cb_error_notify".
#ifndef FAULTWRIGHT_TESTS_SUPPORT_TESTSERVICE_H
#define FAULTWRIGHT_TESTS_SUPPORT_TESTSERVICE_H

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "Platform/MPI/MPICallbackBase.h"
#include "Platform/MPI/MPISocketServerC.h"

namespace FaultwrightTest {

class TestService {
 public:
  // Listens on 127.0.0.1:port (0: a free port); see Listening.
  explicit TestService(unsigned short port);

  bool Listening() const { return listening_; }
  // Why listening failed, worded for a test failure.
  std::string Problem() const;
  unsigned short Port() const { return server_.Port(); }
  MPISocketServerC& Server() { return server_; }

  // Serves the clients until count messages have arrived since the service
  // started, or timeoutMs has passed; returns every message so far.
  std::vector<std::string> Collect(size_t count, int timeoutMs = 3000);
  // Serves the clients for timeoutMs; returns every message so far.
  std::vector<std::string> CollectFor(int timeoutMs) { return Collect(static_cast<size_t>(-1), timeoutMs); }

 private:
  MPISocketServerC server_;
  unsigned short port_;
  bool listening_;
  std::vector<std::string> received_;
};

// A service that listens on 127.0.0.1:port but never accepts, its queue of
// connections full: a connection attempt there is neither taken nor refused.
class StuckService {
 public:
  explicit StuckService(unsigned short port);
  ~StuckService();
  StuckService(const StuckService&) = delete;
  StuckService& operator=(const StuckService&) = delete;

  // False when it could not listen or fill its queue.
  bool Stuck() const { return stuck_; }

 private:
  int listener_;
  std::vector<int> queued_;  // the connections that fill the queue
  bool stuck_ = false;
};

// True when something accepts connections on 127.0.0.1:port.
bool SomethingListensOn(unsigned short port);

// Moves this process, and the programs it starts from then on, into a network
// namespace of its own with its loopback up, so that a test may bind the
// service port without meeting a running service or another test. Returns
// false, changing nothing, where namespaces may not be made (not root); the
// test then shares the machine's network and the test runner's port lock.
bool EnterPrivateNetwork();

// The fixture of the tests that bind the service port: each runs in the
// private network (EnterPrivateNetwork) and only where the port is free.
class PortTest : public ::testing::Test {
 protected:
  void SetUp() override;
};

// A callback that records each call as "<name> <integer arguments>", for
// example "cb_error_notify 68664 11 1", counts its deletions in *deletions
// (when given) and then runs then (when set), as a user's code would.
class RecordingCallback : public MPICallbackBase {
 public:
  explicit RecordingCallback(int* deletions = nullptr) : deletions_(deletions) {}
  ~RecordingCallback() override;
  int Call(const std::string& name, BListC* args) override;

  std::vector<std::string> heard;
  std::function<void()> then;

 private:
  int* deletions_;
};

}  // namespace FaultwrightTest

#endif  // FAULTWRIGHT_TESTS_SUPPORT_TESTSERVICE_H
