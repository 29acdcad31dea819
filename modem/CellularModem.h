// CellularModem: the manager of the gateway's internal modem.
// run() and the refreshes: modem thread only (it alone runs the Glib `loop`).
// SetPath/RemovePath: udev thread. Published status: any thread, under
// m_InfoLock. m_State, m_bModemFound, m_bStopRequest: any thread, lock-free.
// RequestStop: any thread.
#ifndef WANVOX_MODEM_CELLULARMODEM_H_
#define WANVOX_MODEM_CELLULARMODEM_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/base/Clock.h"
#include "core/base/Wake.h"
#include "modem/CellularConfig.h"
#include "modem/ModemRunState.h"
#include "routers/BEPMessage.h"

class ModemBus;

class CellularModem {
 public:
  // The run loop's calls out to ModemManager and the operating system. They
  // default to GetdBusModemInfo, GetdBusDynamicInfo and GetIPAddressPosix;
  // tests swap them to drive the state machine without a bus.
  struct Probes {
    std::function<int()> identity;
    std::function<int()> radio;
    std::function<int()> addresses;
  };

  // Sets the process locale from the environment, initialises giomm and
  // (re)creates the process-wide main loop `loop`. Main thread, before any
  // worker starts. |clock| must outlive the object.
  explicit CellularModem(Clock& clock = Clock::System());
  // Only after the modem thread has ended.
  virtual ~CellularModem();

  CellularModem(const CellularModem&) = delete;
  CellularModem& operator=(const CellularModem&) = delete;

  // The modem thread's body: the run-state machine. Returns 0 once a stop
  // request has been honoured.
  int run();
  // Sets m_bStopRequest, wakes run() from any wait and cancels the D-Bus
  // query in flight, if any: it fails at once instead of waiting out the
  // library's time-out on a frozen ModemManager, and so do the queries after
  // it. run() ends by its usual rules.
  void RequestStop();

  // Udev thread: the modem's port appeared (m_ModemType already stored).
  // Wakes run() from a wait for its next refresh or a modem.
  void SetPath(const char* path);
  // Udev thread: a tty node disappeared. 0 when it was the modem's port (the
  // modem goes Offline and its status is cleared), else the non-zero result
  // of comparing the paths (-1 for a null path); nothing changes then.
  int RemovePath(const char* path);
  // Clears the published status and the BEP mirror after a loss. Returns 0.
  // Takes m_InfoLock, releases it, then takes the BEP lock; the caller
  // holds neither.
  int ResetInfo();

  // Identity refresh: 0 when a modem with a model (and, when it has a SIM
  // path, a SIM identifier) was read; -1 otherwise. Modem thread.
  int GetdBusModemInfo();
  // Radio refresh: -1 when the system bus cannot be reached, else 0.
  int GetdBusDynamicInfo();

  // Loads cellular.conf into |cfg|: 0, or -1 when the file is missing, not
  // JSON, or has no numeric "version" (apn then holds kDefaultAPN). Stores
  // into |cfg| under m_InfoLock; the caller must not hold it.
  int LoadConfigFromDisk(__cellular_cfg* cfg);
  // Parses |len| bytes of JSON and writes them to cellular.conf: 0, or -1
  // (logged) when the text does not parse. The directory must exist.
  int WriteConfigToDisk(char* json, unsigned int len);
  // Bring the IMEI / SIMID (SIMID_B in slot "B") file in line with m_sIMEI /
  // m_sSimId: 0 when equal or rewritten, or when the value is empty (the
  // file is kept), -1 when it cannot be written. A file that cannot be read
  // (ReadSmallFile: not a regular file, over 64 KiB) counts as different;
  // one that is not a regular file is left as it is (ReplaceSmallFile).
  int WriteIMEIToDisk();
  int WriteSIMIDToDisk();

  // "<network type>[:<band>,<band>...]". Takes m_InfoLock itself.
  void GetCurrentBands(std::string& out);
  // "4G LTE", "3G", "2G" or "N/A" from m_CurrentBands. Takes m_InfoLock.
  void GetCurrentBandType(std::string& out);
  // Refreshes the ppp0/wwan0 addresses: 0 when one was found, else -1.
  int GetIPAddressPosix();

  BEPMessage* m_pBEPMessage;               // owned; its own mutex guards it
  std::atomic<ModemRunState> m_State;      // modem + udev threads write
  std::atomic<bool> m_bModemFound;         // modem thread writes
  std::mutex m_InfoLock;                   // guards the status and m_Config
  std::string m_sDevPath;                  // udev thread only
  std::atomic<bool> m_bStopped;            // modem thread writes
  std::atomic<bool> m_bStopRequest;        // main thread writes (RequestStop)
  std::atomic<int> m_ModemType;            // udev thread writes (ModemType)
  __cellular_cfg m_Config;                 // guarded by m_InfoLock

  // Published modem status, all guarded by m_InfoLock. Written by the modem
  // thread (cleared by the udev thread too); read by the publisher.
  std::string m_sModel;
  std::string m_sRevision;
  std::string m_sIMEI;
  std::string m_sSimId;
  std::string m_sPhoneNumber;
  std::vector<uint32_t> m_CurrentBands;    // ModemManager band codes
  std::string m_sRSSI;                     // dBm as decimal text
  int32_t m_OperatorCode;                  // MCC and MNC digits as a number
  int32_t m_ModemState;                    // ModemManager modem state
  int32_t m_RegState;                      // 3GPP registration state
  int32_t m_SimSubState;                   // 3GPP subscription state
  std::string m_sModemError;               // kept by ResetInfo
  std::string m_sRegState;
  bool m_bRegistered;                      // kept by ResetInfo
  bool m_bRoaming;
  std::string m_sNetworkType;              // kept by ResetInfo
  std::string m_sIPAddress;
  std::string m_sIPv6Address;              // kept by ResetInfo
  uint32_t m_IPAddress;                    // network-order bytes as a word

  Probes m_Probes;                         // modem thread; set before run()

 private:
  // One pass of run() per state; each returns when its pass is over.
  void HandleAttached();
  void HandleQuerying(int32_t now);
  void HandleRunning(int32_t* now);
  void HandleShutdown();
  void HandleError();
  void HandleIdle();
  // The run loop's waits. Until the next refresh deadline (kNoDeadline: a
  // modem), a stop request, SetPath or RemovePath:
  void WaitForWork(int32_t deadline);
  // |microseconds|, cut short by a stop request only:
  void PauseUnlessStopped(unsigned int microseconds);
  void LoadOrCreateConfig();
  void LogModemType();
  // After a successful identity query: the BEP mirror and identity files.
  void RecordIdentity();

  // BEP mirror writes. Each copies what it needs under m_InfoLock, releases
  // it, then writes the copies under the BEP message's lock.
  void MirrorImei(const std::string& imei);
  void MirrorRadio(bool haveAddress);
  void MirrorRssi();
  void MirrorModel();
  void ClearMirror();

  int WriteIdentityFile(const char* name, const std::string& value);

  Clock& m_Clock;
  Wake m_StopWake;                         // rung by RequestStop
  Wake m_PathWake;                         // rung by SetPath and RemovePath
  std::unique_ptr<ModemBus> m_pBus;        // modem thread (Cancel: any thread)
  int32_t m_RadioDeadline;                 // modem thread only
  int32_t m_IdentityDeadline;              // modem thread only
};

#endif  // WANVOX_MODEM_CELLULARMODEM_H_
