// UDP on loopback: own-address drop, truncation, the 1 s wait, the exact
// failure messages and the pause-and-reopen after a failed broadcast.
#include "routers/UDP.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Clock.h"
#include "tests/loopback_socket.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

class UDPTest : public testing::Test {
 protected:
  UDPTest()
      : clock([](int32_t* now) { *now = 1000; return true; },
              [this](unsigned int us) { sleeps.push_back(us); }),
        udp(clock) {}
  ~UDPTest() override {
    udp.disconnect();
    udp.disconnect_broadcast();
  }

  // Binds the receiving socket on 127.0.0.1 and returns its port.
  int Bind() {
    int port = LoopbackSocket::FreePort();
    CaptureStdout();
    int result = udp.connect("127.0.0.1", port);
    EXPECT_EQ("Connected\n", GetCapturedStdout());
    EXPECT_EQ(0, result);
    return port;
  }

  std::vector<unsigned int> sleeps;
  Clock clock;
  UDP udp;
  unsigned char buf[1024];
};

TEST_F(UDPTest, DatagramFromOwnAddressIsDropped) {
  int port = Bind();
  udp.refresh_local_addresses();
  ASSERT_NE(udp.localAddresses.end(),
            std::find(udp.localAddresses.begin(), udp.localAddresses.end(), "127.0.0.1"));

  LoopbackSocket own("127.0.0.1");
  ASSERT_TRUE(own.SendTo("127.0.0.1", port, {1, 2, 3}));
  EXPECT_EQ(0, udp.receive_data(buf, sizeof(buf)));

  // 127.0.0.2 is reachable on lo but not one of the listed addresses.
  LoopbackSocket other("127.0.0.2");
  ASSERT_TRUE(other.SendTo("127.0.0.1", port, {4, 5, 6}));
  EXPECT_EQ(3, udp.receive_data(buf, sizeof(buf)));
  EXPECT_EQ(4, buf[0]);
}

TEST_F(UDPTest, LongDatagramIsCutToCapacity) {
  int port = Bind();
  udp.refresh_local_addresses();
  std::vector<unsigned char> big(1500);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<unsigned char>(i);
  LoopbackSocket other("127.0.0.2");
  ASSERT_TRUE(other.SendTo("127.0.0.1", port, big));
  EXPECT_EQ(1024, udp.receive_data(buf, 1024));
  EXPECT_EQ(0, memcmp(big.data(), buf, 1024));
}

TEST_F(UDPTest, NothingToReadReturnsZeroAfterAboutOneSecond) {
  Bind();
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(0, udp.receive_data(buf, sizeof(buf)));
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(950));
  EXPECT_LT(waited, std::chrono::milliseconds(1900));
}

TEST_F(UDPTest, ReceiveOnClosedSocketFailsAsSelectWould) {
  CaptureStdout();
  EXPECT_EQ(-1, udp.receive_data(buf, sizeof(buf)));
  EXPECT_EQ("\nSelect Failed : Bad file descriptor\n", GetCapturedStdout());
}

TEST_F(UDPTest, AddressLongerThanBufferIsRefusedWithoutSocket) {
  CaptureStdout();
  EXPECT_EQ(-1, udp.connect(std::string(513, '1').c_str(), 45454));
  EXPECT_EQ("address larger than buffer\n", GetCapturedStdout());
  EXPECT_FALSE(udp.connected());

  // 512 characters fit the buffer and fail only as an address.
  CaptureStderr();
  EXPECT_EQ(-1, udp.connect(std::string(512, '1').c_str(), 45454));
  EXPECT_EQ(0u, GetCapturedStderr().rfind("inet_aton() failed\n: ", 0));
  EXPECT_FALSE(udp.connected());
}

TEST_F(UDPTest, PortHeldElsewhereFailsAndLeavesSocketClosed) {
  LoopbackSocket holder("127.0.0.1");
  CaptureStderr();
  EXPECT_EQ(-1, udp.connect("127.0.0.1", holder.port()));
  EXPECT_EQ("connect failed. Error: Address already in use\n", GetCapturedStderr());
  EXPECT_FALSE(udp.connected());
}

TEST_F(UDPTest, DisconnectTwiceDoesNothingTheSecondTime) {
  Bind();
  ASSERT_EQ(0, udp.connect_broadcast("127.0.0.1", 9));
  EXPECT_EQ(0, udp.disconnect());
  EXPECT_EQ(0, udp.disconnect());
  EXPECT_EQ(0, udp.disconnect_broadcast());
  EXPECT_EQ(0, udp.disconnect_broadcast());
  EXPECT_FALSE(udp.connected());
  EXPECT_FALSE(udp.broadcast_connected());
}

TEST_F(UDPTest, BroadcastGoesToTheDestination) {
  LoopbackSocket peer("127.0.0.1");
  ASSERT_EQ(0, udp.connect_broadcast("127.0.0.1", peer.port()));
  unsigned char data[] = {0xE1, 0x01, 0x02};
  EXPECT_EQ(0, udp.send_data_broadcast(data, sizeof(data)));
  EXPECT_EQ(std::vector<unsigned char>(data, data + 3), peer.Receive());
  EXPECT_TRUE(sleeps.empty());
}

TEST_F(UDPTest, FailedBroadcastPausesFiveSecondsAndReopens) {
  LoopbackSocket peer("127.0.0.1");
  ASSERT_EQ(0, udp.connect_broadcast("127.0.0.1", peer.port()));
  std::vector<unsigned char> tooLong(70000, 0x55);  // beyond any UDP datagram
  CaptureStderr();
  EXPECT_EQ(-1, udp.send_data_broadcast(tooLong.data(), static_cast<int>(tooLong.size())));
  EXPECT_EQ("broadcast error", GetCapturedStderr());
  EXPECT_EQ(std::vector<unsigned int>{5000000}, sleeps);
  EXPECT_TRUE(udp.broadcast_connected());
  EXPECT_TRUE(peer.Receive(100).empty());  // not sent again

  // The reopened socket keeps the destination.
  unsigned char data[] = {7};
  EXPECT_EQ(0, udp.send_data_broadcast(data, 1));
  EXPECT_EQ(std::vector<unsigned char>{7}, peer.Receive());
}

TEST_F(UDPTest, SendDataAnswersTheLastSender) {
  int port = Bind();
  LoopbackSocket other("127.0.0.2");
  ASSERT_TRUE(other.SendTo("127.0.0.1", port, {1}));
  ASSERT_EQ(1, udp.receive_data(buf, sizeof(buf)));
  unsigned char reply[] = {9, 8};
  EXPECT_EQ(0, udp.send_data(reply, 2));
  EXPECT_EQ((std::vector<unsigned char>{9, 8}), other.Receive());
}

TEST_F(UDPTest, SendDataWithoutSocketFails) {
  unsigned char reply[] = {9};
  CaptureStdout();
  EXPECT_EQ(-1, udp.send_data(reply, 1));
  EXPECT_EQ("Send failed : \n", GetCapturedStdout());
}

}  // namespace
