// Tested end to end by tests/e2e/test_routers.py.
#include "routers/RouterLink.h"

#include "core/base/Globals.h"
#include "core/base/Schedules.h"

RouterLink::RouterLink(Clock& clock, const std::string& quarnHost, int quarnPort)
    : m_Clock(clock), m_Udp(clock, &m_ExitWake), m_Quarn(quarnHost, quarnPort), m_Buffer{} {}

void RouterLink::Open(const char* address, int port, const char* broadcastAddress) {
  m_bAnyAddress = (address == nullptr);
  m_sAddress = m_bAnyAddress ? "" : address;
  m_Port = port;
  m_Udp.connect(address, port);
  m_Udp.connect_broadcast(broadcastAddress, port);
  m_Udp.refresh_local_addresses();
}

int RouterLink::Receive(int32_t deadline) {
  const int woken = m_Clock.WaitUntil(deadline, {m_Udp.fd(), m_ExitWake.fd()});
  if (woken != 0) return 0;  // the deadline or the exit request
  int n = m_Udp.receive_data(m_Buffer, kBufferSize);
  if (n < 0 && !bExitApp) {
    m_Clock.Pause(kListenerIdleMicroseconds, {m_ExitWake.fd()});
  }
  return n;
}

void RouterLink::RefreshAddresses() {
  m_Udp.refresh_local_addresses();
  if (!m_Udp.connected() && m_Port != 0) {
    m_Udp.connect(m_bAnyAddress ? nullptr : m_sAddress.c_str(), m_Port);
  }
}

int RouterLink::Publish(const quarn::stCellularInfo& record, const char* handlerLine) {
  return m_Quarn.SetModemInfo(record, handlerLine);
}

void RouterLink::Forward(int n) {
  m_Udp.send_data_broadcast(m_Buffer, n);
  if (debug <= kDebugReceived) return;
  logger->printf(6, "Forwarding message [%d]: ", n);
  if (debug > kDebugDumps) {
    for (int i = 0; i < n; ++i) logger->printf(6, " %02x", m_Buffer[i]);
  }
  logger->printf(6, "\r\n");
}

void RouterLink::Close() {
  m_Udp.disconnect();
  m_Udp.disconnect_broadcast();
}
