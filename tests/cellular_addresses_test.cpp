// Picking ppp0/wwan0 addresses out of an interface list built by the test.
#include "modem/CellularAddresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <deque>
#include <string>

#include <gtest/gtest.h>

#include "core/Globals.h"
#include "tests/log_capture.h"

namespace {

// An ifaddrs list in the order the entries are added.
class InterfaceList {
 public:
  InterfaceList& IPv4(const char* name, const char* address) {
    sockaddr_storage& storage = NextStorage();
    auto* in = reinterpret_cast<sockaddr_in*>(&storage);
    in->sin_family = AF_INET;
    inet_pton(AF_INET, address, &in->sin_addr);
    return Add(name, reinterpret_cast<sockaddr*>(in));
  }
  InterfaceList& IPv6(const char* name, const char* address) {
    sockaddr_storage& storage = NextStorage();
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
    in6->sin6_family = AF_INET6;
    inet_pton(AF_INET6, address, &in6->sin6_addr);
    return Add(name, reinterpret_cast<sockaddr*>(in6));
  }
  InterfaceList& Packet(const char* name) {
    sockaddr_storage& storage = NextStorage();
    storage.ss_family = AF_PACKET;
    return Add(name, reinterpret_cast<sockaddr*>(&storage));
  }
  InterfaceList& NoAddress(const char* name) { return Add(name, nullptr); }

  const ifaddrs* Head() const { return m_Entries.empty() ? nullptr : &m_Entries.front(); }

 private:
  sockaddr_storage& NextStorage() {
    m_Storage.emplace_back();
    memset(&m_Storage.back(), 0, sizeof(sockaddr_storage));
    return m_Storage.back();
  }
  InterfaceList& Add(const char* name, sockaddr* address) {
    m_Names.emplace_back(name);
    ifaddrs entry = {};
    entry.ifa_name = &m_Names.back()[0];
    entry.ifa_addr = address;
    m_Entries.push_back(entry);
    for (size_t i = 0; i + 1 < m_Entries.size(); ++i) m_Entries[i].ifa_next = &m_Entries[i + 1];
    return *this;
  }

  std::deque<sockaddr_storage> m_Storage;  // deques keep addresses stable
  std::deque<std::string> m_Names;
  std::deque<ifaddrs> m_Entries;
};

class CellularAddressesTest : public ::testing::Test {
 protected:
  LogCapture log{&lgr};
};

TEST_F(CellularAddressesTest, Ppp0IPv4KeepsNetworkByteOrder) {
  InterfaceList list;
  list.IPv4("lo", "127.0.0.1").IPv4("ppp0", "10.1.2.3");
  const CellularAddresses found = FindCellularAddresses(list.Head());
  EXPECT_EQ(0, found.result);
  EXPECT_EQ("10.1.2.3", found.ipv4);
  EXPECT_EQ("", found.ipv6);
  const unsigned char bytes[4] = {10, 1, 2, 3};
  uint32_t expected = 0;
  memcpy(&expected, bytes, sizeof(expected));
  EXPECT_EQ(expected, found.number);
  char line[64];
  snprintf(line, sizeof(line), "    ppp0 IP Address 10.1.2.3 [0x%08x]\n", expected);
  EXPECT_EQ(line, log.Text());
}

TEST_F(CellularAddressesTest, OtherInterfacesAreNeverTaken) {
  InterfaceList list;
  list.IPv4("lo", "127.0.0.1").IPv4("eth0", "10.0.0.5").IPv6("eth0", "fe80::1").NoAddress("wwan0");
  const CellularAddresses found = FindCellularAddresses(list.Head());
  EXPECT_EQ(-1, found.result);
  EXPECT_EQ("", found.ipv4);
  EXPECT_EQ("", found.ipv6);
  EXPECT_EQ(0u, found.number);
  EXPECT_EQ("", log.Text());
}

TEST_F(CellularAddressesTest, EachFamilyKeepsTheLaterEntry) {
  InterfaceList list;
  list.IPv4("ppp0", "10.1.2.3")
      .Packet("wwan0")
      .IPv6("wwan0", "fe80::1234")
      .IPv4("wwan0", "100.64.0.9")
      .IPv6("ppp0", "2001:db8::7");
  const CellularAddresses found = FindCellularAddresses(list.Head());
  EXPECT_EQ(0, found.result);
  EXPECT_EQ("100.64.0.9", found.ipv4);
  EXPECT_EQ("2001:db8::7", found.ipv6);
  EXPECT_EQ(1, log.Count("    wwan0 IPv6 Address fe80::1234\n"));
  EXPECT_EQ(1, log.Count("    ppp0 IPv6 Address 2001:db8::7\n"));
}

TEST_F(CellularAddressesTest, LinkLocalIPv6AloneCounts) {
  InterfaceList list;
  list.IPv6("wwan0", "fe80::1");
  const CellularAddresses found = FindCellularAddresses(list.Head());
  EXPECT_EQ(0, found.result);
  EXPECT_EQ("fe80::1", found.ipv6);
  EXPECT_EQ("", found.ipv4);
}

TEST_F(CellularAddressesTest, NoListGivesNothing) {
  const CellularAddresses found = FindCellularAddresses(nullptr);
  EXPECT_EQ(-1, found.result);
  EXPECT_EQ(0u, found.number);
}

}  // namespace
