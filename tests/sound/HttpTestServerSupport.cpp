#include "HttpTestServerSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

// Sends all bytes unless the server stops or the peer goes away.
bool SendAll(int fd, const char *data, size_t size, const std::atomic<bool> &stop) {
  while (size > 0 && !stop) {
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    size -= size_t(sent);
  }
  return size == 0;
}

void SleepUnlessStopped(int ms, const std::atomic<bool> &stop) {
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  while (!stop && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void WaitForGate(const std::function<bool()> &gate, const std::atomic<bool> &stop) {
  while (!stop && !gate()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace

std::string IcyBody(const std::string &audio, int interval, const std::vector<std::string> &blocks) {
  std::string out;
  size_t next = 0;
  for (size_t at = 0; at < audio.size(); at += size_t(interval)) {
    out += audio.substr(at, size_t(interval));
    if (at + size_t(interval) > audio.size()) break;
    const std::string &text = blocks.empty() ? std::string() : blocks[next++ % blocks.size()];
    const size_t units = (text.size() + 15) / 16;
    out += char(units);
    out += text;
    out.append(units * 16 - text.size(), '\0');
  }
  return out;
}

std::string OkHead(const std::vector<std::string> &headers, const std::string &status) {
  std::string head = status + "\r\n";
  for (const std::string &h : headers) head += h + "\r\n";
  return head + "\r\n";
}

HttpTestServer::HttpTestServer(Handler handler, int maxConnections, int lifetimeMs) : m_Handler(std::move(handler)) {
  m_Listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t size = sizeof(address);
  if (m_Listen < 0 || bind(m_Listen, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0 ||
      listen(m_Listen, 16) != 0 || getsockname(m_Listen, reinterpret_cast<sockaddr *>(&address), &size) != 0) {
    if (m_Listen >= 0) close(m_Listen);
    m_Listen = -1;
    return;
  }
  m_Port = ntohs(address.sin_port);
  m_Thread = std::thread(&HttpTestServer::Run, this, maxConnections, lifetimeMs);
}

HttpTestServer::~HttpTestServer() { Stop(); }

void HttpTestServer::Stop() {
  m_Stop = true;
  if (m_Thread.joinable()) m_Thread.join();
  for (std::thread &t : m_Connections)
    if (t.joinable()) t.join();
  m_Connections.clear();
  if (m_Listen >= 0) close(m_Listen);
  m_Listen = -1;
}

std::string HttpTestServer::Url(const std::string &path) const {
  return "http://127.0.0.1:" + std::to_string(m_Port) + path;
}

std::vector<std::string> HttpTestServer::Requests() {
  std::lock_guard<std::mutex> guard(m_Lock);
  return m_Requests;
}

void HttpTestServer::Run(int maxConnections, int lifetimeMs) {
  const auto until = Clock::now() + std::chrono::milliseconds(lifetimeMs);
  int served = 0;
  while (!m_Stop && served < maxConnections && Clock::now() < until) {
    pollfd p{m_Listen, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    const int fd = accept4(m_Listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++served;
    m_Connections.emplace_back(&HttpTestServer::Serve, this, fd);
  }
  // Connections still running end at their own pace or when stopped.
  if (Clock::now() >= until) m_Stop = true;
}

void HttpTestServer::Serve(int fd) {
  std::string request;
  // A client that never finishes its request is given up on; a loaded
  // machine's client finishes long before.
  const auto until = Clock::now() + std::chrono::seconds(30);
  while (!m_Stop && request.find("\r\n\r\n") == std::string::npos && request.size() < 65536 &&
         Clock::now() < until) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    char buffer[1024];
    const ssize_t got = recv(fd, buffer, sizeof(buffer), 0);
    if (got <= 0) break;
    request.append(buffer, size_t(got));
  }
  {
    std::lock_guard<std::mutex> guard(m_Lock);
    m_Requests.push_back(request);
  }
  const HttpReply reply = m_Handler(request);
  bool ok = SendAll(fd, reply.head.data(), reply.head.size(), m_Stop);
  for (size_t at = 0; ok && at < reply.body.size();) {
    size_t piece = std::min(reply.body.size() - at, size_t(std::max(reply.piece, 1)));
    if (reply.pauseAt >= 0 && at < size_t(reply.pauseAt)) piece = std::min(piece, size_t(reply.pauseAt) - at);
    ok = SendAll(fd, reply.body.data() + at, piece, m_Stop);
    at += piece;
    if (reply.pauseAt >= 0 && at == size_t(reply.pauseAt)) {
      if (reply.gate)
        WaitForGate(reply.gate, m_Stop);
      else
        SleepUnlessStopped(reply.pauseMs, m_Stop);
    }
    if (reply.dripMs > 0) SleepUnlessStopped(reply.dripMs, m_Stop);
  }
  if (reply.holdOpen) SleepUnlessStopped(60000, m_Stop);
  close(fd);
}
