// BEPMessage: one BEP status report of a BT-xxxx router. Any thread: parse()
// and build_message() take `mutex` themselves; every other access to a member
// locks `mutex` around that one access.
#ifndef WANVOX_ROUTERS_BEPMESSAGE_H_
#define WANVOX_ROUTERS_BEPMESSAGE_H_

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// Wire layout (integers little-endian unless noted):
//   header, 24 bytes:
//     0 u32 QID low      4 u32 QID high (0: the QID is an ESN, else an IMEI)
//     8 u8 flags A: bits 7-6 AU code, bits 5-4 AC code
//     9 u8 flags B: bits 3-1 three stored flags, bit 0 ACK (forwarded copy)
//    10 u8 APP          11 u8 VER (must be 1)
//    12 u32 SEQ         16 u16 PKTLEN (whole datagram)   18 u16 EVTID
//    20 u32 element map, big-endian: bits 15-14 GO, 13-12 IP, 7-6 MI,
//       5-4 RF, 3-2 IO, 1-0 GP (2-bit element codes, 0 = absent)
//   body: the present elements back to back, in the order
//     MI, RF, IO, GP, GO, IP, AU, AC.
// Texts are NUL-terminated; a text member never holds its terminator.
class BEPMessage {
 public:
  static const int kHeaderSize = 24;

  explicit BEPMessage(int debugLevel);
  virtual ~BEPMessage();

  BEPMessage(const BEPMessage&) = delete;
  BEPMessage& operator=(const BEPMessage&) = delete;

  // Clears the per-message state. The MI texts, ipAddressText, deviceId,
  // gpsSentences, the IO values and outMessage survive. Caller holds mutex.
  virtual void reset();

  // Parses one datagram into the members. Returns 1 when the whole report was
  // accepted, 0 otherwise; the members keep whatever was decoded before the
  // rejection. A rejected element prints "BepMessage parse body failed : XX";
  // a rejected header is silent. Takes mutex.
  int parse(unsigned char* buf, int len);

  // Encodes the members as a report with the ACK flag set (MI layout 3,
  // RF layout 2, IP) into outMessage, then increments seq. The bytes stay
  // valid until the next call; the length is outMessage.size(). Takes mutex.
  unsigned char* build_message();

  // Derives deviceId (and, for an ESN, esnDecimal and esnHex) from the QID.
  // Caller holds mutex.
  void GenerateDeviceID();

  // Marks a received report of at least kHeaderSize bytes as a forwarded
  // copy: sets the ACK flag (flags byte B, bit 0) and leaves every other
  // byte as it was.
  static void MarkForwarded(unsigned char* datagram);

  // Replaces *name with the router model name of |id|. Always returns 0.
  static int getModelNameFromModelId(unsigned int id, std::string* name);

  // The two halves of parse() and one parser per element, each reading from
  // `position` and returning 1 (accepted) or 0 (rejected). Caller holds mutex.
  int parseHeader();
  int parseBody();
  int parseMI();
  int parseRF();
  int parseIO();
  int parseGP();
  int parseGO();
  int parseIP();
  int parseAU();
  int parseAC();
  // Takes gpsFixQuality from the last GPGGA sentence of gpsSentences.
  // Always returns 1.
  int ParseNMEA();

  // Members in declaration order; each is guarded by `mutex` as its tail says.
  std::vector<unsigned char> outMessage;  // mutex when written; build_message's
                                          // only caller reads it unlocked
  std::mutex mutex;
  const int debugLevel;                   // set once by the constructor

  const unsigned char* buffer = nullptr;  // mutex; the datagram, during parse only
  unsigned int position = 0;              // mutex; read position in buffer
  int length = 0;                         // mutex; datagram length

  uint8_t auCode = 0, acCode = 0;         // mutex; from flags byte A
  uint32_t qidLow = 0, qidHigh = 0;       // mutex
  uint8_t flag3 = 0, flag2 = 0, flag1 = 0, ack = 0;  // mutex; flags byte B bits 3..0
  uint8_t app = 0, ver = 0;               // mutex
  uint32_t seq = 0;                       // mutex
  uint16_t pktLen = 0, evtId = 0;         // mutex
  uint32_t elementMap = 0;                // mutex; host order
  int goCode = 0, ipCode = 0, miCode = 0, rfCode = 0, ioCode = 0, gpCode = 0;  // mutex
  std::string esnDecimal, esnHex;         // mutex
  int gpsFixQuality = 0;                  // mutex
  uint32_t modelId = 0;                   // mutex
  std::string m_ModemName, configVersion, prlVersion, Phone, serialNumber,
      gpsVersion, rfVersion, hwVersion, osVersion, bootVersion,
      simCardNumber;                      // mutex; MI texts
  std::string network, provider;          // mutex
  std::string firmwareVersion;            // mutex
  std::string deviceId;                   // mutex
  int8_t rssi = 0;                        // mutex; dBm
  uint8_t roaming = 0;                    // mutex; non-zero while roaming
  std::string Model;                      // mutex
  std::string ipAddressText;              // mutex; dotted form of ipAddress
  uint32_t ipAddress = 0;                 // mutex
  uint32_t ioValues[4] = {};              // mutex
  uint8_t ioInputs[4] = {};               // mutex; 0 or 1
  uint8_t ioOutputs[3] = {};              // mutex; 0 or 1
  std::string gpsSentences;               // mutex

 private:
  // Bounded reads from buffer at position. Each returns false, leaving
  // position and the output alone, when the datagram ends too early.
  bool read8(uint8_t* value);
  bool read16(uint16_t* value);
  bool read32(uint32_t* value);
  bool readBytes(unsigned int count, const unsigned char** bytes);
  bool readText(std::string* text);

  int parseMIModemName();
  int parseMIVersions();
  int parseMIFull();
  int parseRFShort();
  int parseRFFull();
  void traceMIFull() const;
  void traceBytes(const char* label, const unsigned char* bytes, int count) const;
};

#endif  // WANVOX_ROUTERS_BEPMESSAGE_H_
