// A small HTTP server for the internet stream tests: it listens on 127.0.0.1
// (a port of the system's choosing), answers each connection as the test's
// handler says, and stops by itself after its time limit, its connection
// count, or when destroyed. The default limit only ends a server a test
// forgot: a test that needs its server to stop at a time says so.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct HttpReply {
  std::string head;  // sent verbatim first (status line, headers, blank line)
  std::string body;  // then sent in pieces of `piece` bytes
  int piece = 4096;
  int pauseAt = -1;  // body byte before which the server pauses once
  int pauseMs = 0;
  // When set, the pause at pauseAt lasts until this answers true (asked every
  // 5 ms) instead of pauseMs: a stall that ends at a step of the test.
  std::function<bool()> gate;
  int dripMs = 0;          // pause after every piece
  bool holdOpen = false;   // after the body, keep the connection until the server stops
};

// The ICY form of an audio body: after every `interval` audio bytes a
// metadata block (length byte x 16, zero padded) taken in turn from blocks;
// an empty block is the single length byte 0.
std::string IcyBody(const std::string &audio, int interval, const std::vector<std::string> &blocks);
// The head of a 200 answer with the given header lines.
std::string OkHead(const std::vector<std::string> &headers, const std::string &status = "HTTP/1.1 200 OK");

class HttpTestServer {
 public:
  using Handler = std::function<HttpReply(const std::string &request)>;
  explicit HttpTestServer(Handler handler, int maxConnections = 64, int lifetimeMs = 600000);
  ~HttpTestServer();
  HttpTestServer(const HttpTestServer &) = delete;
  HttpTestServer &operator=(const HttpTestServer &) = delete;

  int Port() const { return m_Port; }
  std::string Url(const std::string &path) const;
  // Every request received so far (up to its blank line).
  std::vector<std::string> Requests();
  void Stop();

 private:
  void Run(int maxConnections, int lifetimeMs);
  void Serve(int fd);

  Handler m_Handler;
  int m_Listen = -1;
  int m_Port = 0;
  std::atomic<bool> m_Stop{false};
  std::mutex m_Lock;
  std::vector<std::string> m_Requests;
  std::vector<std::thread> m_Connections;
  std::thread m_Thread;
};
