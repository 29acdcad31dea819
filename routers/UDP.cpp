// The router links' endpoint: plain socket calls with the daemon's fixed
// messages. Tested by tests/udp_test.cpp on loopback.
#include "routers/UDP.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <sys/select.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/base/Globals.h"
#include "core/base/Schedules.h"

UDP::UDP(Clock& clock, const Wake* exitWake)
    : m_Clock(clock),
      m_pExitWake(exitWake),
      sock(-1),
      port(0),
      serverLength(sizeof(server)),
      broadcastSock(-1),
      broadcastPort(0) {
  memset(address, 0, sizeof(address));
  memset(&server, 0, sizeof(server));
  memset(&broadcastAddr, 0, sizeof(broadcastAddr));
}

int UDP::connect(const char* addr, int portNumber) {
  memset(&server, 0, sizeof(server));
  if (addr != nullptr) {
    if (strlen(addr) > kAddressSize) {
      printf("address larger than buffer\n");
      return -1;
    }
    strncpy(address, addr, kAddressSize);
    if (inet_aton(addr, &server.sin_addr) == 0) {
      perror("inet_aton() failed\n");
      return -1;
    }
  } else {
    server.sin_addr.s_addr = htonl(INADDR_ANY);
  }
  port = portNumber;
  server.sin_family = AF_INET;
  server.sin_port = htons(static_cast<uint16_t>(port));

  if (sock == -1) {
    sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (sock == -1) {
      perror("Could not create socket");
      return -1;
    }
  }
  if (addr == nullptr) {
    int on = 1;
    setsockopt(sock, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on));
  }
  if (bind(sock, reinterpret_cast<struct sockaddr*>(&server), sizeof(server)) < 0) {
    perror("connect failed. Error");
    close(sock);
    sock = -1;
    return -1;
  }
  printf("Connected\n");
  return 0;
}

int UDP::connect_broadcast(const char* addr, int portNumber) {
  // The retry after a failed send passes our own address text back in.
  std::string destination(addr, strnlen(addr, kAddressSize));
  broadcastPort = portNumber;
  strncpy(address, destination.c_str(), kAddressSize);

  broadcastSock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (broadcastSock == -1) {
    fputs("socket error", stderr);
    return -1;
  }
  struct timeval timeout = {kBroadcastSendTimeoutSeconds, 0};
  if (setsockopt(broadcastSock, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout)) < 0) {
    fputs("setsockopt timeout error", stderr);
    disconnect_broadcast();
    return -1;
  }
  int on = 1;
  if (setsockopt(broadcastSock, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) < 0) {
    fputs("setsockopt error", stderr);
    disconnect_broadcast();
    return -1;
  }
  memset(&broadcastAddr, 0, sizeof(broadcastAddr));
  broadcastAddr.sin_family = AF_INET;
  broadcastAddr.sin_addr.s_addr = inet_addr(destination.c_str());
  broadcastAddr.sin_port = htons(static_cast<uint16_t>(broadcastPort));
  return 0;
}

int UDP::receive_data(unsigned char* buf, int capacity) {
  // select() cannot watch a closed descriptor; report it as select would.
  if (sock < 0) {
    printf("\nSelect Failed : %s\n", strerror(EBADF));
    return -1;
  }
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(sock, &readable);
  struct timeval wait = {0, 0};  // the owner has waited already
  int ready = select(sock + 1, &readable, nullptr, nullptr, &wait);
  if (ready < 0) {
    printf("\nSelect Failed : %s\n", strerror(errno));
    return -1;
  }
  if (ready == 0) return 0;

  serverLength = sizeof(server);
  ssize_t n = recvfrom(sock, buf, capacity, 0,
                       reinterpret_cast<struct sockaddr*>(&server), &serverLength);
  if (n < 0) {
    printf("recv failed");
    return -1;
  }
  if (IsLocalAddress(inet_ntoa(server.sin_addr))) return 0;
  return static_cast<int>(n);
}

int UDP::send_data_broadcast(unsigned char* data, int length) {
  ssize_t sent = sendto(broadcastSock, data, length, 0,
                        reinterpret_cast<struct sockaddr*>(&broadcastAddr),
                        sizeof(broadcastAddr));
  if (sent == length) return 0;

  fputs("broadcast error", stderr);
  disconnect_broadcast();
  if (!bExitApp) {
    m_Clock.Pause(kBroadcastRetryMicroseconds, {m_pExitWake != nullptr ? m_pExitWake->fd() : -1});
  }
  connect_broadcast(address, broadcastPort);
  return -1;
}

int UDP::send_data(unsigned char* data, int length) {
  if (sendto(sock, data, length, 0, reinterpret_cast<struct sockaddr*>(&server),
             serverLength) < 0) {
    printf("Send failed : \n");
    return -1;
  }
  return 0;
}

void UDP::refresh_local_addresses() {
  localAddresses.clear();
  struct ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return;
  for (struct ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    char dotted[INET_ADDRSTRLEN] = {0};
    const struct sockaddr_in* in = reinterpret_cast<struct sockaddr_in*>(entry->ifa_addr);
    if (inet_ntop(AF_INET, &in->sin_addr, dotted, sizeof(dotted)) != nullptr) {
      localAddresses.emplace_back(dotted);
    }
  }
  freeifaddrs(list);
}

int UDP::disconnect() {
  if (sock != -1) {
    close(sock);
    sock = -1;
  }
  return 0;
}

int UDP::disconnect_broadcast() {
  if (broadcastSock != -1) {
    close(broadcastSock);
    broadcastSock = -1;
  }
  return 0;
}

bool UDP::IsLocalAddress(const char* dotted) const {
  for (const std::string& own : localAddresses) {
    if (own == dotted) return true;
  }
  return false;
}
