// LoopbackSocket: a plain UDP socket on a 127.x.y.z address for the router
// link tests, playing a router or another gateway. Test thread only.
#ifndef WANVOX_TESTS_LOOPBACK_SOCKET_H_
#define WANVOX_TESTS_LOOPBACK_SOCKET_H_

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

class LoopbackSocket {
 public:
  // Binds |address|:|port|; port 0 picks a free one.
  explicit LoopbackSocket(const char* address, int port = 0) {
    m_Fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    struct sockaddr_in at = Address(address, port);
    m_bBound = bind(m_Fd, reinterpret_cast<struct sockaddr*>(&at), sizeof(at)) == 0;
    socklen_t length = sizeof(at);
    getsockname(m_Fd, reinterpret_cast<struct sockaddr*>(&at), &length);
    m_Port = ntohs(at.sin_port);
  }
  ~LoopbackSocket() { close(m_Fd); }

  LoopbackSocket(const LoopbackSocket&) = delete;
  LoopbackSocket& operator=(const LoopbackSocket&) = delete;

  bool bound() const { return m_bBound; }
  int port() const { return m_Port; }

  // A port that nothing holds right now on |address|.
  static int FreePort(const char* address = "127.0.0.1") {
    LoopbackSocket probe(address);
    return probe.port();
  }

  // A TCP port of 127.0.0.1 that nothing listens on right now.
  static int FreeTcpPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in at = Address("127.0.0.1", 0);
    bind(fd, reinterpret_cast<struct sockaddr*>(&at), sizeof(at));
    socklen_t length = sizeof(at);
    getsockname(fd, reinterpret_cast<struct sockaddr*>(&at), &length);
    close(fd);
    return ntohs(at.sin_port);
  }

  bool SendTo(const char* address, int port, const std::vector<unsigned char>& bytes) {
    struct sockaddr_in to = Address(address, port);
    return sendto(m_Fd, bytes.data(), bytes.size(), 0, reinterpret_cast<struct sockaddr*>(&to),
                  sizeof(to)) == static_cast<ssize_t>(bytes.size());
  }

  // One datagram, or an empty vector after |timeoutMs| without one.
  std::vector<unsigned char> Receive(int timeoutMs = 2000) {
    struct pollfd readable = {m_Fd, POLLIN, 0};
    if (poll(&readable, 1, timeoutMs) != 1) return {};
    std::vector<unsigned char> bytes(65536);
    ssize_t n = recv(m_Fd, bytes.data(), bytes.size(), 0);
    bytes.resize(n < 0 ? 0 : n);
    return bytes;
  }

 private:
  static struct sockaddr_in Address(const char* address, int port) {
    struct sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<uint16_t>(port));
    inet_aton(address, &at.sin_addr);
    return at;
  }

  int m_Fd;
  bool m_bBound;
  int m_Port;
};

#endif  // WANVOX_TESTS_LOOPBACK_SOCKET_H_
