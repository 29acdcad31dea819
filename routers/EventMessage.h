// EventMessage: the latest values reported by a GX450 event router. parse()
// runs on the event listener thread and takes `mutex`; other threads lock
// `mutex` around each member they read.
#ifndef WANVOX_ROUTERS_EVENTMESSAGE_H_
#define WANVOX_ROUTERS_EVENTMESSAGE_H_

#include <cstdint>
#include <mutex>
#include <string>

#include <libxml/tree.h>

// Wire layout: a 15-byte header, then an XML document up to the end of the
// datagram (not NUL-terminated).
//    0 u8 marker 0xE1
//    1 7 bytes router id, unsigned, least significant byte first
//    8 u8 id type: bit 7 relayed (forwarded by a gateway); bits 6-0:
//       0 phone-number form, 1 IMEI/ESN form
//    9 6 bytes not read
// Each "sts" or "inf" element, at any depth, carries one value: attribute
// "id" is the element id in decimal, the text content is the value.
// Nothing is cleared between messages: a member keeps its value until a
// later message carries it again.
class EventMessage {
 public:
  static const int kHeaderSize = 15;

  explicit EventMessage(uint8_t debugLevel);
  virtual ~EventMessage();

  EventMessage(const EventMessage&) = delete;
  EventMessage& operator=(const EventMessage&) = delete;

  // Returns 1 when the header and the XML body were accepted, 0 otherwise.
  // A body libxml2 cannot read prints "Failed to parse document" on standard
  // error. Takes mutex.
  virtual int parse(unsigned char* buf, int len);

  // Marks a received message of at least kHeaderSize bytes as relayed by a
  // gateway: sets bit 7 of the id type (byte 8) and leaves every other byte
  // as it was.
  static void MarkRelayed(unsigned char* datagram);

  // The two halves of parse(). Caller holds mutex.
  int parseHeader();
  int parseBody();
  // Decodes every "sts"/"inf" element of a sibling list and its descendants.
  void parse_tree(xmlNode* node);
  // Stores one value by its element id; unknown ids are ignored. Returns 1.
  int decodeElement(int id, const char* value);

  // Members in declaration order; each is guarded by `mutex` as its tail says.
  std::mutex mutex;
  const unsigned char* buffer = nullptr;  // mutex; the datagram, during parse only
  int length = 0;               // mutex
  bool relayed = false;         // mutex; of the last IMEI-form header
  const uint8_t debugLevel;     // set once by the constructor
  std::string deviceId;         // mutex; of the last IMEI-form header
  std::string phoneNumber;      // mutex; element 17
  int rssi = 0;                 // mutex; element 261
  std::string networkType;      // mutex; element 264, converted
  std::string ipAddress;        // mutex; element 301
  std::string networkText;      // mutex; element 770
  int roaming = 0;              // mutex; element 259, 0 or 1
  int gpsMode = 0;              // mutex; element 900
  std::string ioFlags[6];       // mutex; elements 851-854, 859, 860: "\1" or "\0"
  float floatValues[4] = {};    // mutex; elements 855, 856, 857, 266
  std::string firmware = "N/A";  // never changes

 private:
  void decodeNode(xmlNode* node);
};

#endif  // WANVOX_ROUTERS_EVENTMESSAGE_H_
