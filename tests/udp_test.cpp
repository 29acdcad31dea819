// UDP on loopback: own-address drop, truncation, the 1 s wait, failures, broadcast pause.
#include "routers/UDP.h"

#include <arpa/inet.h>
#include <poll.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/FakeClock.h"

namespace {

using Bytes = std::vector<unsigned char>;
using namespace testing::internal;

// A UDP socket bound to |address| on a free port: another host, or a port's holder.
struct Peer {
  explicit Peer(const char* address) : fd(socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in at = {AF_INET, 0, {inet_addr(address)}, {}};
    socklen_t size = sizeof(at);
    bind(fd, reinterpret_cast<sockaddr*>(&at), size);
    getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size);
    port = ntohs(at.sin_port);
  }
  ~Peer() { close(fd); }
  bool SendTo(int toPort, const Bytes& bytes) {  // to 127.0.0.1
    sockaddr_in to = {AF_INET, htons(static_cast<uint16_t>(toPort)), {htonl(INADDR_LOOPBACK)}, {}};
    return sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to),
                  sizeof(to)) == static_cast<ssize_t>(bytes.size());
  }
  Bytes Receive(int timeoutMs = 2000) {  // one datagram, or nothing after |timeoutMs|
    pollfd readable = {fd, POLLIN, 0};
    Bytes bytes(65536);
    ssize_t n = poll(&readable, 1, timeoutMs) == 1 ? recv(fd, bytes.data(), bytes.size(), 0) : 0;
    bytes.resize(n > 0 ? n : 0);
    return bytes;
  }
  int fd, port;
};

class UDPTest : public testing::Test {
 protected:
  ~UDPTest() override {
    udp.disconnect();
    udp.disconnect_broadcast();
  }

  FakeClock fake;
  UDP udp{fake.clock};
  unsigned char buf[1024] = {0xE1, 0x01, 0x02, 0x03};
};

TEST_F(UDPTest, ReceivesFromOthersOnlyCutToCapacityWithoutWaiting) {
  Peer own("127.0.0.1"), other("127.0.0.2");  // 127.0.0.2 is not an own address
  const int port = Peer("127.0.0.1").port;
  CaptureStdout();
  ASSERT_EQ(0, udp.connect("127.0.0.1", port));
  EXPECT_EQ("Connected\n", GetCapturedStdout());
  udp.refresh_local_addresses();
  ASSERT_TRUE(own.SendTo(port, {1, 2, 3}));
  EXPECT_EQ(0, udp.receive_data(buf, 1024));
  Bytes big(1500);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<unsigned char>(i);
  ASSERT_TRUE(other.SendTo(port, big));
  EXPECT_EQ(1024, udp.receive_data(buf, 1024));
  EXPECT_EQ(Bytes(big.begin(), big.begin() + 1024), Bytes(buf, buf + 1024));
  EXPECT_EQ(0, udp.send_data(buf + 1, 2));  // to the last sender
  EXPECT_EQ(Bytes({1, 2}), other.Receive());
  EXPECT_EQ(0, udp.receive_data(buf, 1024));  // nothing to read: the owner waits, not this
}

TEST_F(UDPTest, FailuresPrintTheirLinesAndLeaveTheSocketClosed) {
  Peer holder("127.0.0.1");
  CaptureStdout();
  CaptureStderr();
  EXPECT_EQ(-1, udp.receive_data(buf, 1024));
  EXPECT_EQ(-1, udp.send_data(buf, 1));
  EXPECT_EQ(-1, udp.connect(std::string(513, '1').c_str(), 45454));
  EXPECT_EQ(-1, udp.connect(std::string(512, '1').c_str(), 45454));  // fits; not an address
  EXPECT_EQ(-1, udp.connect("127.0.0.1", holder.port));
  EXPECT_EQ("\nSelect Failed : Bad file descriptor\nSend failed : \naddress larger than buffer\n",
            GetCapturedStdout());
  const std::string errors = GetCapturedStderr();
  EXPECT_THAT(errors, testing::StartsWith("inet_aton() failed\n: "));
  EXPECT_THAT(errors, testing::EndsWith("\nconnect failed. Error: Address already in use\n"));
  EXPECT_FALSE(udp.connected());
  EXPECT_EQ(0, udp.disconnect());  // and again in the destructor
}

// A stop during the pause ends it: tests/e2e/test_stop.py.
TEST_F(UDPTest, FailedBroadcastPausesFiveSecondsAndReopens) {
  Peer peer("127.0.0.1");
  ASSERT_EQ(0, udp.connect_broadcast("127.0.0.1", peer.port));
  Bytes tooLong(70000, 0x55);  // beyond any UDP datagram
  CaptureStderr();
  EXPECT_EQ(-1, udp.send_data_broadcast(tooLong.data(), static_cast<int>(tooLong.size())));
  EXPECT_EQ("broadcast error", GetCapturedStderr());
  EXPECT_EQ(5000000, fake.micros);
  EXPECT_TRUE(peer.Receive(100).empty());  // not sent again
  EXPECT_EQ(0, udp.send_data_broadcast(buf, 3));  // reopened, to the same destination
  EXPECT_EQ(Bytes(buf, buf + 3), peer.Receive());
}

}  // namespace
