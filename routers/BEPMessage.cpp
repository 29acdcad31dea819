// BEP reports: parsing a datagram into the members, building a report from
// them, and the identity texts derived from the QID and the model id.
// Tested by tests/bep_message_test.cpp.
//
// Every read goes through read8/read16/read32/readBytes/readText, which check
// the datagram's length first, so no input can make the parser read past it.
// Traces go to standard output and are gated by debugLevel before anything is
// formatted, so they cost nothing at level 0.
#include "routers/BEPMessage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/base/Globals.h"

namespace {

// Element codes and the element map's bit positions.
const int kCodeAbsent = 0;
const unsigned kGoShift = 14, kIpShift = 12, kMiShift = 6, kRfShift = 4,
               kIoShift = 2, kGpShift = 0;
const unsigned kAuShift = 6, kAcShift = 4;  // in flags byte A

const unsigned kFlagsBOffset = 9;
const uint8_t kAckFlag = 0x01;  // in flags byte B

const unsigned kIoElementSize = 21;  // the length byte included
const unsigned kDigestSize = 16;

struct ModelName {
  unsigned int id;
  const char* name;
};

// The ids do not follow the names (0x6410 is the BT-6401): that is how the
// routers number their models.
const ModelName kModelNames[] = {
    {0x4200, "BT-4200"},   {0x4400, "BT-4400"},   {0x4600, "BT-4600"},
    {0x4601, "BT-4600A"},  {0x5200, "BT-5200"},   {0x5400, "BT-5400"},
    {0x5600, "BT-5600"},   {0x5601, "BT-5600A"},  {0x6410, "BT-6401"},
    {0x6430, "BT-6421"},   {0x6450, "BT-6401EB"}, {0x6601, "BT-6600"},
    {0x6611, "BT-6601"},   {0x6631, "BT-6621"},   {0x6651, "BT-6601EB"},
    {0x6800, "BT-6800"},   {0x6810, "BT-6801"},   {0x6830, "BT-6821"},
    {0x6850, "BT-6801EB"}, {0x7601, "BT-5600v2"}, {0x7800, "BT-4800v2"},
};

// The texts of a full MI element (layout 3), in wire order, with the names
// its trace prints.
const struct {
  const char* name;
  std::string BEPMessage::*text;
} kMIFullTexts[] = {
    {"Model", &BEPMessage::Model}, {"Phone", &BEPMessage::Phone},
    {"serialNumber", &BEPMessage::serialNumber}, {"m_ModemName", &BEPMessage::m_ModemName},
    {"firmwareVersion", &BEPMessage::firmwareVersion},
    {"configVersion", &BEPMessage::configVersion}, {"prlVersion", &BEPMessage::prlVersion},
    {"gpsVersion", &BEPMessage::gpsVersion}, {"rfVersion", &BEPMessage::rfVersion},
    {"hwVersion", &BEPMessage::hwVersion}, {"osVersion", &BEPMessage::osVersion},
    {"bootVersion", &BEPMessage::bootVersion}, {"simCardNumber", &BEPMessage::simCardNumber},
};

int code(uint32_t map, unsigned shift) { return (map >> shift) & 0x3; }

void put8(std::vector<unsigned char>* out, uint8_t value) {
  out->push_back(value);
}

void put16(std::vector<unsigned char>* out, uint16_t value) {
  out->push_back(value & 0xff);
  out->push_back(value >> 8);
}

void put32(std::vector<unsigned char>* out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back((value >> shift) & 0xff);
}

void putText(std::vector<unsigned char>* out, const std::string& text) {
  out->insert(out->end(), text.begin(), text.end());
  out->push_back(0);
}

// The NMEA field at |index| of a sentence, as strtol reads it. Only text
// followed by a ',' counts as a field. Returns false when there is none.
bool nmeaField(const std::string& sentence, int index, long* value) {
  size_t start = 0;
  for (int i = 0; i < index; ++i) {
    size_t comma = sentence.find(',', start);
    if (comma == std::string::npos) return false;
    start = comma + 1;
  }
  size_t end = sentence.find(',', start);
  if (end == std::string::npos) return false;
  *value = strtol(sentence.substr(start, end - start).c_str(), nullptr, 10);
  return true;
}

}  // namespace

BEPMessage::BEPMessage(int debugLevel) : debugLevel(debugLevel) { reset(); }

BEPMessage::~BEPMessage() = default;

void BEPMessage::reset() {
  auCode = acCode = 0;
  flag3 = flag2 = flag1 = ack = 0;
  length = 0;
  qidLow = qidHigh = 0;
  seq = 0;
  pktLen = evtId = 0;
  elementMap = 0;
  goCode = ipCode = miCode = rfCode = ioCode = gpCode = 0;
  rssi = 0;
  roaming = 0;
  gpsFixQuality = 0;
  ipAddress = 0;
  modelId = 0;
  app = ver = 1;
  esnDecimal.clear();
  esnHex.clear();
  network.clear();
  provider.clear();
}

int BEPMessage::parse(unsigned char* buf, int len) {
  std::lock_guard<std::mutex> hold(mutex);
  reset();
  if (debugLevel > kDebugStatus) traceBytes("Message", buf, len);
  buffer = buf;
  length = len;
  position = 0;
  int result = parseHeader() ? parseBody() : 0;
  buffer = nullptr;
  return result;
}

int BEPMessage::parseHeader() {
  uint8_t flagsA = 0, flagsB = 0;
  uint32_t mapBigEndian = 0;
  if (length < kHeaderSize) return 0;
  read32(&qidLow);
  read32(&qidHigh);
  read8(&flagsA);
  read8(&flagsB);
  read8(&app);
  read8(&ver);
  read32(&seq);
  read16(&pktLen);
  read16(&evtId);
  read32(&mapBigEndian);
  elementMap = __builtin_bswap32(mapBigEndian);  // the one big-endian field

  GenerateDeviceID();
  if (debugLevel > kDebugDecode) {
    printf("QID %x:%x \n", qidLow, qidHigh);
    printf("DEVID %s\n", deviceId.c_str());
    printf("APP %x VER %x SEQ %x PKTLEN %x EVTID %x\n", app, ver, seq, pktLen, evtId);
  }
  auCode = (flagsA >> kAuShift) & 0x3;
  acCode = (flagsA >> kAcShift) & 0x3;
  flag3 = (flagsB >> 3) & 1;
  flag2 = (flagsB >> 2) & 1;
  flag1 = (flagsB >> 1) & 1;
  ack = flagsB & kAckFlag;
  if (debugLevel > kDebugDecode) printf("ACK %d\n", ack);

  goCode = code(elementMap, kGoShift);
  ipCode = code(elementMap, kIpShift);
  miCode = code(elementMap, kMiShift);
  rfCode = code(elementMap, kRfShift);
  ioCode = code(elementMap, kIoShift);
  gpCode = code(elementMap, kGpShift);
  return ver == 1 && length == pktLen;
}

int BEPMessage::parseBody() {
  static const struct {
    int (BEPMessage::*parser)();
    const char* name;
  } kElements[] = {
      {&BEPMessage::parseMI, "MI"}, {&BEPMessage::parseRF, "RF"},
      {&BEPMessage::parseIO, "IO"}, {&BEPMessage::parseGP, "GP"},
      {&BEPMessage::parseGO, "GO"}, {&BEPMessage::parseIP, "IP"},
      {&BEPMessage::parseAU, "AU"}, {&BEPMessage::parseAC, "AC"},
  };
  for (const auto& element : kElements) {
    if (!(this->*element.parser)()) {
      printf("BepMessage parse body failed : %s\r\n", element.name);
      return 0;
    }
  }
  return 1;
}

int BEPMessage::parseMI() {
  if (debugLevel > kDebugDecode) printf("MI payload: 0x%08x\r\n", miCode);
  switch (miCode) {
    case 1: return parseMIModemName();
    case 2: return parseMIVersions();
    case 3: return parseMIFull();
    default: return 1;
  }
}

int BEPMessage::parseMIModemName() {
  const unsigned char* skipped;
  if (!readBytes(1, &skipped)) return 0;
  return readText(&m_ModemName);
}

int BEPMessage::parseMIVersions() {
  uint16_t declared;
  if (!read16(&declared) || !read32(&modelId)) return 0;
  if (!readText(&firmwareVersion) || !readText(&configVersion) ||
      !readText(&prlVersion)) {
    return 0;
  }
  getModelNameFromModelId(modelId, &m_ModemName);
  // The routers count three bytes more than follow the length field here.
  return declared ==
         firmwareVersion.size() + configVersion.size() + prlVersion.size() + 10;
}

int BEPMessage::parseMIFull() {
  uint16_t declared;
  if (!read16(&declared) || !read32(&modelId)) return 0;
  size_t expected = 4;
  for (const auto& mi : kMIFullTexts) {
    std::string& text = this->*mi.text;
    if (!readText(&text)) return 0;
    expected += text.size() + 1;
  }
  if (debugLevel > kDebugDecode) traceMIFull();
  return declared == expected;
}

void BEPMessage::traceMIFull() const {
  printf("ModelID %x\n", modelId);
  for (const auto& mi : kMIFullTexts) printf("%s %s\n", mi.name, (this->*mi.text).c_str());
}

int BEPMessage::parseRF() {
  if (debugLevel > kDebugDecode) printf("RF payload: 0x%08x\r\n", rfCode);
  switch (rfCode) {
    case 1: return parseRFShort();
    case 2: return parseRFFull();
    case 3: return 0;
    default: return 1;
  }
}

int BEPMessage::parseRFShort() {
  uint8_t declared, value;
  if (!read8(&declared) || !read8(&value)) return 0;
  rssi = static_cast<int8_t>(value);
  if (debugLevel > kDebugDecode) {
    printf("payload length is: %d\r\n", declared);
    printf("rssi is: %d\r\n", rssi);
  }
  return declared == 1;
}

int BEPMessage::parseRFFull() {
  uint8_t declared, magnitude;
  if (!read8(&declared) || !read8(&magnitude) || !read8(&roaming)) return 0;
  rssi = static_cast<int8_t>(-static_cast<int>(magnitude));
  if (!readText(&network) || !readText(&provider)) return 0;
  if (debugLevel > kDebugDecode) {
    printf("rssi is: %d\r\n", rssi);
    printf("roaming is: %d\r\n", roaming);
    printf("network: %s\r\n", network.c_str());
    printf("provider: %s\r\n", provider.c_str());
  }
  return declared == network.size() + provider.size() + 4;
}

int BEPMessage::parseIO() {
  if (debugLevel > kDebugDecode) printf("found IO: 0x%08x\r\n", ioCode);
  if (ioCode == kCodeAbsent) return 1;
  if (ioCode != 1) return 0;
  // The element is always 21 bytes, whatever its length byte says.
  const unsigned char* io;
  if (!readBytes(kIoElementSize, &io)) return 0;
  for (int i = 0; i < 4; ++i) ioInputs[i] = (io[1] >> i) & 1;
  for (int i = 0; i < 3; ++i) ioOutputs[i] = (io[3] >> i) & 1;
  for (int i = 0; i < 4; ++i) {
    const unsigned char* v = io + 5 + 4 * i;
    ioValues[i] = v[0] | v[1] << 8 | v[2] << 16 | static_cast<uint32_t>(v[3]) << 24;
  }
  return io[0] == kIoElementSize - 1;
}

int BEPMessage::parseGP() {
  if (debugLevel > kDebugDecode) printf("found GP: %08x\r\n", gpCode);
  if (gpCode != 1) return 1;
  uint16_t declared;
  const unsigned char* text;
  if (!read16(&declared) || !readBytes(declared, &text)) return 0;
  const void* nul = memchr(text, 0, declared);
  size_t stored = nul ? static_cast<const unsigned char*>(nul) - text : declared;
  gpsSentences.assign(reinterpret_cast<const char*>(text), stored);
  ParseNMEA();
  return stored == declared;
}

int BEPMessage::ParseNMEA() {
  size_t start = 0;
  for (;;) {
    size_t dollar = gpsSentences.find('$', start);
    size_t end = dollar == std::string::npos ? gpsSentences.size() : dollar;
    std::string piece = gpsSentences.substr(start, end - start);
    long quality;
    if (piece.find("GPGGA") != std::string::npos && nmeaField(piece, 6, &quality)) {
      gpsFixQuality = static_cast<int>(quality);
    }
    if (dollar == std::string::npos) return 1;
    start = dollar + 1;
  }
}

int BEPMessage::parseGO() {
  if (debugLevel > kDebugDecode) printf("found GO: %08x\r\n", goCode);
  if (goCode != 1) return 1;
  uint8_t declared;
  uint32_t odometer;
  if (!read8(&declared) || !read32(&odometer)) return 0;
  if (debugLevel > kDebugDecode) printf("odometer is: %d\r\n", static_cast<int32_t>(odometer));
  return declared == 4;
}

int BEPMessage::parseIP() {
  if (debugLevel > kDebugDecode) printf("Found IP: %08x\r\n", ipCode);
  if (ipCode != 1) return 1;
  uint8_t declared;
  if (!read8(&declared) || !read32(&ipAddress)) return 0;
  char dotted[16];
  snprintf(dotted, sizeof dotted, "%d.%d.%d.%d", ipAddress >> 24,
           (ipAddress >> 16) & 0xff, (ipAddress >> 8) & 0xff, ipAddress & 0xff);
  ipAddressText = dotted;
  if (debugLevel > kDebugDecode) printf("IPAddress: %s\r\n", ipAddressText.c_str());
  return declared == 4;
}

int BEPMessage::parseAU() {
  if (debugLevel > kDebugDecode) printf("Found AU: %08x\r\n", auCode);
  if (auCode != 1) return 1;
  uint16_t declared;
  const unsigned char* digest;
  std::string text;
  if (!read16(&declared) || !readBytes(kDigestSize, &digest) || !readText(&text)) {
    return 0;
  }
  // Nothing verifies the digest; it is only shown.
  if (debugLevel > kDebugDecode) {
    printf("md5 hash: %.16s\r\n", reinterpret_cast<const char*>(digest));
  }
  return declared == kDigestSize + text.size() + 1;
}

int BEPMessage::parseAC() {
  if (debugLevel > kDebugDecode) printf("Found AC: %08x\r\n", acCode);
  if (acCode != 1) return 1;
  uint16_t declared;
  const unsigned char* skipped;
  std::string text;
  if (!read16(&declared) || !readBytes(2, &skipped) || !readText(&text)) return 0;
  return declared == 2 + text.size() + 1;
}

void BEPMessage::GenerateDeviceID() {
  char text[24];
  if (qidHigh != 0) {
    // An IMEI: the 64-bit QID in decimal.
    uint64_t qid = static_cast<uint64_t>(qidHigh) << 32 | qidLow;
    snprintf(text, sizeof text, "%15lld", static_cast<long long>(qid));
    deviceId = text;
    return;
  }
  // An ESN: manufacturer code (top byte) and serial number (low 24 bits).
  snprintf(text, sizeof text, "%03d%08d", static_cast<int>(qidLow >> 24),
           static_cast<int>(qidLow & 0xffffff));
  esnDecimal = text;
  snprintf(text, sizeof text, "%08X", qidLow);
  esnHex = text;
  deviceId = esnDecimal;
}

void BEPMessage::MarkForwarded(unsigned char* datagram) {
  datagram[kFlagsBOffset] |= kAckFlag;
}

int BEPMessage::getModelNameFromModelId(unsigned int id, std::string* name) {
  for (const ModelName& model : kModelNames) {
    if (model.id == id) {
      *name = model.name;
      return 0;
    }
  }
  *name = "UNKNOWN MODEM TYPE";
  return 0;
}

unsigned char* BEPMessage::build_message() {
  std::lock_guard<std::mutex> hold(mutex);
  std::vector<unsigned char> mi, rf, ip;
  put32(&mi, modelId);
  for (const auto& text : kMIFullTexts) putText(&mi, this->*text.text);
  put8(&rf, rssi);
  put8(&rf, roaming);
  putText(&rf, network);
  putText(&rf, provider);
  put32(&ip, ipAddress);

  // Header bytes 20-23, big-endian: MI code 3, RF code 2, IP code 1.
  static const unsigned char kElementMap[] = {0x00, 0x00, 0x10, 0xE0};
  outMessage.clear();
  put32(&outMessage, qidLow);
  put32(&outMessage, qidHigh);
  put8(&outMessage, 0x00);  // no AU, no AC
  put8(&outMessage, 0x01);  // ACK: built reports count as forwarded copies
  put8(&outMessage, app);
  put8(&outMessage, ver);
  put32(&outMessage, seq++);
  put16(&outMessage, static_cast<uint16_t>(28 + mi.size() + rf.size() + ip.size()));
  put16(&outMessage, 9);  // EVTID
  outMessage.insert(outMessage.end(), kElementMap, kElementMap + 4);
  put16(&outMessage, static_cast<uint16_t>(mi.size()));
  outMessage.insert(outMessage.end(), mi.begin(), mi.end());
  put8(&outMessage, static_cast<uint8_t>(rf.size()));
  outMessage.insert(outMessage.end(), rf.begin(), rf.end());
  put8(&outMessage, 4);
  outMessage.insert(outMessage.end(), ip.begin(), ip.end());

  if (debugLevel > kDebugReceived) {
    traceBytes("SendingMessage", outMessage.data(), static_cast<int>(outMessage.size()));
  }
  return outMessage.data();
}

void BEPMessage::traceBytes(const char* label, const unsigned char* bytes,
                            int count) const {
  printf("%s [%d]: ", label, count);
  for (int i = 0; i < count; ++i) printf(" %02x", bytes[i]);
  printf("\r\n");
}

bool BEPMessage::readBytes(unsigned int count, const unsigned char** bytes) {
  if (length < 0 || count > static_cast<unsigned int>(length) - position) return false;
  *bytes = buffer + position;
  position += count;
  return true;
}

bool BEPMessage::read8(uint8_t* value) {
  const unsigned char* b;
  if (!readBytes(1, &b)) return false;
  *value = b[0];
  return true;
}

bool BEPMessage::read16(uint16_t* value) {
  const unsigned char* b;
  if (!readBytes(2, &b)) return false;
  *value = static_cast<uint16_t>(b[0] | b[1] << 8);
  return true;
}

bool BEPMessage::read32(uint32_t* value) {
  const unsigned char* b;
  if (!readBytes(4, &b)) return false;
  *value = b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
  return true;
}

bool BEPMessage::readText(std::string* text) {
  if (length < 0 || position >= static_cast<unsigned int>(length)) return false;
  const unsigned char* start = buffer + position;
  const void* nul = memchr(start, 0, length - position);
  if (!nul) return false;
  size_t size = static_cast<const unsigned char*>(nul) - start;
  text->assign(reinterpret_cast<const char*>(start), size);
  position += size + 1;
  return true;
}
