// Event messages: the binary header that names the router and the XML body,
// read with libxml2, whose "sts"/"inf" elements carry numbered values.
// Tested by tests/event_message_test.cpp.
//
// The body comes from the network, so libxml2 runs with its defaults apart
// from error recovery: no entity substitution, no DTD loading, no network,
// and its built-in depth and size limits. Entity references are not walked
// into, so a document cannot make the walk expand its entities.
#include "routers/EventMessage.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <libxml/parser.h>
#include <libxml/xmlversion.h>

#include "core/base/Globals.h"

namespace {

void IgnoreXmlError(void*, xmlErrorPtr) {}

const unsigned char kMarker = 0xE1;
const int kIdTypeOffset = 8;
const uint8_t kRelayedBit = 0x80;  // in the id type
const uint8_t kPhoneForm = 0x00, kImeiForm = 0x01, kRelayedImeiForm = 0x81,
              kRelayedPhoneForm = 0x80;

// Element ids of the values this daemon keeps.
enum ElementId {
  kPhoneNumber = 17,
  kRoaming = 259,
  kRssi = 261,
  kNetworkType = 264,
  kFloat3 = 266,
  kIpAddress = 301,
  kNetworkText = 770,
  kIoFlag0 = 851,
  kIoFlag3 = 854,
  kFloat0 = 855,
  kFloat2 = 857,
  kIoFlag4 = 859,
  kIoFlag5 = 860,
  kGpsMode = 900,
};

// strtol in base 10, with anything outside int's range read as 0 so that a
// huge id cannot wrap around onto a known one.
int toInt(const char* text) {
  long value = strtol(text, nullptr, 10);
  return value < INT_MIN || value > INT_MAX ? 0 : static_cast<int>(value);
}

bool isValueElement(const xmlNode* node) {
  return node->type == XML_ELEMENT_NODE &&
         (xmlStrEqual(node->name, BAD_CAST "sts") || xmlStrEqual(node->name, BAD_CAST "inf"));
}

std::string ioFlag(const char* value) {
  return std::string(1, strcmp(value, "1") == 0 ? '\1' : '\0');
}

}  // namespace

EventMessage::EventMessage(uint8_t debugLevel) : debugLevel(debugLevel) {
  // Warns when the libxml2 in use is older than 2.9.1 or of another major
  // version. It also initialises the parser, which must happen on the main
  // thread before the listener uses it.
  xmlCheckVersion(20901);
}

EventMessage::~EventMessage() = default;

int EventMessage::parse(unsigned char* buf, int len) {
  std::lock_guard<std::mutex> hold(mutex);
  buffer = buf;
  length = len;
  int result = parseHeader() && parseBody();
  buffer = nullptr;
  return result;
}

void EventMessage::MarkRelayed(unsigned char* datagram) {
  datagram[kIdTypeOffset] |= kRelayedBit;
}

int EventMessage::parseHeader() {
  if (length < kHeaderSize || buffer[0] != kMarker) return 0;
  const uint8_t type = buffer[kIdTypeOffset];
  if (type == kPhoneForm) {
    if (debugLevel > kDebugReceived) {
      unsigned int high = buffer[5] | buffer[6] << 8 | buffer[7] << 16;
      uint32_t low = static_cast<uint32_t>(buffer[1]) << 24 | buffer[2] << 16 |
                     buffer[3] << 8 | buffer[4];
      printf("This looks like a phone number\n");
      printf("Phone number is %d %d\n", high, static_cast<int32_t>(low));
    }
    return 1;
  }
  if (type == kImeiForm || type == kRelayedImeiForm) {
    if (debugLevel > kDebugDumps) printf("This looks like a IMEI/ESN\n");
    uint64_t id = 0;
    char hex[15];
    for (int i = 7; i >= 1; --i) {
      id = id << 8 | buffer[i];
      snprintf(hex + 2 * (7 - i), 3, "%02x", buffer[i]);
    }
    if (debugLevel > kDebugReceived) printf("LTE device id is: %s\n", hex);
    char decimal[24];
    snprintf(decimal, sizeof decimal, "%015lld", static_cast<long long>(id));
    deviceId = decimal;
    relayed = type == kRelayedImeiForm;
    return 1;
  }
  if (debugLevel > kDebugReceived) {
    printf(type == kRelayedPhoneForm ? "This looks like a static IP address\n"
                                     : "Unknown type\n");
  }
  return 0;
}

int EventMessage::parseBody() {
  const char* body = reinterpret_cast<const char*>(buffer) + kHeaderSize;
  const int size = length - kHeaderSize;
  if (debugLevel > kDebugDumps) printf("XML: %.*s\n", size, body);
  // Routers' XML is often sloppy and recovered from; libxml2's own complaints
  // would otherwise fill the gateway's console for every datagram.
  xmlSetStructuredErrorFunc(nullptr, IgnoreXmlError);
  xmlDoc* doc = xmlReadMemory(body, size, "PN2.xml", nullptr, XML_PARSE_RECOVER);
  if (doc == nullptr) {
    fprintf(stderr, "Failed to parse document\n");
    return 0;
  }
  parse_tree(xmlDocGetRootElement(doc));
  xmlFreeDoc(doc);
  return 1;
}

void EventMessage::parse_tree(xmlNode* node) {
  for (; node != nullptr; node = node->next) {
    if (isValueElement(node)) decodeNode(node);
    // An entity reference's children are the entity's own nodes, shared by
    // every reference: walking them would let a few bytes of XML cost
    // exponential time.
    if (node->type != XML_ENTITY_REF_NODE) parse_tree(node->children);
  }
}

void EventMessage::decodeNode(xmlNode* node) {
  xmlChar* id = xmlGetProp(node, BAD_CAST "id");
  if (id == nullptr) return;
  xmlChar* content = xmlNodeGetContent(node);
  const char* value = content ? reinterpret_cast<const char*>(content) : "";
  const int elementId = toInt(reinterpret_cast<const char*>(id));
  if (debugLevel > kDebugDumps) printf("id: %d value: %s\n", elementId, value);
  decodeElement(elementId, value);
  xmlFree(content);
  xmlFree(id);
}

int EventMessage::decodeElement(int id, const char* value) {
  switch (id) {
    case kPhoneNumber: phoneNumber = value; break;
    case kRoaming:
      roaming = strcmp(value, "Network Link Down") == 0 || strstr(value, "Roaming") != nullptr;
      break;
    case kRssi: rssi = toInt(value); break;
    case kNetworkType:
      if (strcmp(value, "LTE") == 0) {
        networkType = "4G LTE";
      } else if (strstr(value, "EV-DO") != nullptr) {
        networkType = "3G EVDO";
      } else {
        networkType = value;
      }
      break;
    case kFloat3: floatValues[3] = static_cast<float>(strtod(value, nullptr)); break;
    case kIpAddress: ipAddress = value; break;
    case kNetworkText: networkText = value; break;
    case kGpsMode: gpsMode = toInt(value); break;
    case kIoFlag4: ioFlags[4] = ioFlag(value); break;
    case kIoFlag5: ioFlags[5] = ioFlag(value); break;
    default:
      if (id >= kIoFlag0 && id <= kIoFlag3) {
        ioFlags[id - kIoFlag0] = ioFlag(value);
      } else if (id >= kFloat0 && id <= kFloat2) {
        floatValues[id - kFloat0] = static_cast<float>(strtod(value, nullptr));
      }
      break;
  }
  return 1;
}
