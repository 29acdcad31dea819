// Walking ModemManager's replies, fed as GVariant text.
#include "modem/ModemManagerVariants.h"

#include <string>

#include <glib.h>
#include <gtest/gtest.h>

#include "core/Globals.h"
#include "tests/log_capture.h"

namespace {

Glib::VariantBase Parse(const char* type, const std::string& text) {
  GError* error = nullptr;
  GVariant* value = g_variant_parse(G_VARIANT_TYPE(type), text.c_str(), nullptr, nullptr, &error);
  if (value == nullptr) {
    ADD_FAILURE() << error->message << " in " << text;
    g_error_free(error);
    return Glib::VariantBase();
  }
  return Glib::VariantBase(value);  // takes the floating reference
}

// One managed object with the Modem interface's |properties| ("'Name': <v>").
std::string Entry(const std::string& path, const std::string& properties) {
  return "'" + path + "': {'org.freedesktop.ModemManager1.Modem': {" + properties +
         "}, 'org.freedesktop.ModemManager1.Modem.Signal': {'Model': <'not me'>}}";
}

ModemObject Pick(const std::string& entries) {
  return PickModemObject(Parse("a{oa{sa{sv}}}", "{" + entries + "}"));
}

class ModemObjectWalkTest : public ::testing::Test {
 protected:
  LogCapture log{&lgr};
};

TEST_F(ModemObjectWalkTest, FullModemAndItsLogLines) {
  const ModemObject modem = Pick(Entry(
      "/org/freedesktop/ModemManager1/Modem/0",
      "'Manufacturer': <'Sierra'>, 'Model': <'EM7565'>, "
      "'Revision': <'SWI9X50C_01.08.04.00 dbc1 2019/03/25'>, "
      "'DeviceIdentifier': <'a1b2'>, 'EquipmentIdentifier': <'359225050123456'>, "
      "'OwnNumbers': <['15551234567', '15550000000']>, "
      "'Sim': <objectpath '/org/freedesktop/ModemManager1/SIM/0'>, "
      "'SignalQuality': <(uint32 70, true)>, 'AccessTechnologies': <uint32 16384>, "
      "'State': <int32 -1>, 'StateFailedReason': <uint32 2>, "
      "'CurrentBands': <[uint32 43, 34]>"));
  EXPECT_EQ("/org/freedesktop/ModemManager1/Modem/0", modem.path);
  EXPECT_EQ("EM7565", modem.model);
  EXPECT_EQ("SWI9X50C_01.08.04.00", modem.revision);
  EXPECT_EQ("a1b2", modem.deviceId);
  EXPECT_EQ("359225050123456", modem.imei);
  EXPECT_EQ("15551234567", modem.phoneNumber);
  EXPECT_EQ("/org/freedesktop/ModemManager1/SIM/0", modem.simPath);
  EXPECT_EQ(70u, modem.signalQuality);
  EXPECT_TRUE(modem.signalRecent);
  EXPECT_EQ(0x4000u, modem.accessTechnologies);
  EXPECT_EQ(-1, modem.state);
  EXPECT_EQ(2u, modem.failedReason);
  EXPECT_EQ((std::vector<uint32_t>{43, 34}), modem.bands);
  EXPECT_EQ(
      "    Path: /org/freedesktop/ModemManager1/Modem/0\r\n"
      "\t\tModel:EM7565\r\n"
      "\t\tRevision:SWI9X50C_01.08.04.00\r\n"
      "\t\tDeviceIdentifier:a1b2\r\n"
      "\t\tEquipmentIdentifier:359225050123456\r\n"
      "\t\tOwnNumbers:15551234567\r\n"
      "\t\tSim:/org/freedesktop/ModemManager1/SIM/0\r\n"
      "\t\tSignalQuality:70:1\r\n"
      "\t\tAccessTechnologies:0x4000\r\n"
      "\t\tState:-1\r\n"
      "\t\tStateFailedReason:0x2\r\n"
      "\t\tCurrentBands:43,34\r\n",
      log.Text());
}

TEST_F(ModemObjectWalkTest, KnownModelIsPreferred) {
  const struct {
    const char* first;
    const char* second;
    const char* picked;
  } kRows[] = {
      {"EM7511", "MC7455", "EM7511"},  {"MC7455", "LE910-EU V2", "LE910-EU V2"},
      {"MC7455", "Other", "Other"},    {"HE910", "EM7565", "HE910"},
      {"LE910-SVG", "x", "LE910-SVG"}, {"LE910-EUG", "x", "LE910-EUG"},
      {"em7565", "Other", "Other"},
  };
  for (const auto& row : kRows) {
    const ModemObject modem =
        Pick(Entry("/m/0", std::string("'Model': <'") + row.first + "'>") + ", " +
             Entry("/m/1", std::string("'Model': <'") + row.second + "'>"));
    EXPECT_EQ(row.picked, modem.model) << row.first << " / " << row.second;
  }
}

TEST_F(ModemObjectWalkTest, WalkStopsAtTheKnownModem) {
  Pick(Entry("/m/0", "'Model': <'EM7511'>") + ", " + Entry("/m/1", "'Model': <'x'>"));
  EXPECT_EQ(0, log.Count("    Path: /m/1\r\n"));
}

TEST_F(ModemObjectWalkTest, LastEntryStartsAfresh) {
  const ModemObject modem = Pick(
      Entry("/m/0", "'Model': <'A'>, 'EquipmentIdentifier': <'1'>, 'CurrentBands': <[uint32 5]>") +
      ", " + Entry("/m/1", "'Model': <'B'>"));
  EXPECT_EQ("/m/1", modem.path);
  EXPECT_EQ("", modem.imei);
  EXPECT_TRUE(modem.bands.empty());
}

TEST_F(ModemObjectWalkTest, RevisionIsCutAtTheFirstBreak) {
  const struct {
    const char* text;
    const char* stored;
  } kRows[] = {
      {"R1 extra", "R1"}, {"R2\\textra", "R2"}, {"R3\\rextra", "R3"},
      {"R4\\nextra", "R4"}, {"R5", "R5"}, {" R6", ""},
  };
  for (const auto& row : kRows) {
    const ModemObject modem = Pick(Entry("/m/0", std::string("'Revision': <'") + row.text + "'>"));
    EXPECT_EQ(row.stored, modem.revision) << row.text;
  }
}

TEST_F(ModemObjectWalkTest, MissingAndEmptyValues) {
  const ModemObject modem = Pick(Entry("/m/0", "'Model': <'EM7565'>, 'OwnNumbers': <@as []>"));
  EXPECT_EQ("", modem.phoneNumber);
  EXPECT_EQ(0u, modem.signalQuality);
  EXPECT_FALSE(modem.signalRecent);
  EXPECT_EQ("", modem.simPath);
  EXPECT_EQ(1, log.Count("\t\tOwnNumbers:\r\n"));
}

TEST_F(ModemObjectWalkTest, ValuesOfAnotherTypeAreIgnored) {
  const ModemObject modem = Pick(Entry(
      "/m/0",
      "'Model': <int32 7>, 'EquipmentIdentifier': <uint64 359225050123456>, "
      "'Sim': <'/not/an/object/path/type'>, 'SignalQuality': <uint32 70>, "
      "'State': <uint32 8>, 'AccessTechnologies': <int32 2>, 'CurrentBands': <[int32 43]>, "
      "'OwnNumbers': <'15551234567'>"));
  EXPECT_EQ("", modem.model);
  EXPECT_EQ("", modem.imei);
  EXPECT_EQ("", modem.simPath);
  EXPECT_EQ(0u, modem.signalQuality);
  EXPECT_EQ(0, modem.state);
  EXPECT_EQ(0u, modem.accessTechnologies);
  EXPECT_TRUE(modem.bands.empty());
  EXPECT_EQ("", modem.phoneNumber);
  EXPECT_EQ("    Path: /m/0\r\n", log.Text());
}

TEST_F(ModemObjectWalkTest, NoEntriesOrWrongShapeGiveAnEmptyObject) {
  EXPECT_EQ("", Pick("").path);
  EXPECT_EQ("", PickModemObject(Glib::VariantBase()).model);
  EXPECT_EQ("", PickModemObject(Parse("a{sv}", "{'Model': <'EM7565'>}")).model);
}

TEST(LteSignalTest, KeysMissingOrOfAnotherTypeStayZero) {
  LteSignal signal = ReadLteSignal(Parse(
      "a{sv}", "{'rssi': <-71.0>, 'rsrq': <-9.5>, 'rsrp': <-101.0>, 'snr': <12.25>, 'x': <1.0>}"));
  EXPECT_EQ(-71.0, signal.rssi);
  EXPECT_EQ(-9.5, signal.rsrq);
  EXPECT_EQ(-101.0, signal.rsrp);
  EXPECT_EQ(12.25, signal.snr);
  signal = ReadLteSignal(Parse("a{sv}", "{'rssi': <int32 -71>, 'snr': <3.0>}"));
  EXPECT_EQ(0.0, signal.rssi);
  EXPECT_EQ(0.0, signal.rsrq);
  EXPECT_EQ(3.0, signal.snr);
  signal = ReadLteSignal(Parse("as", "['rssi']"));
  EXPECT_EQ(0.0, signal.rssi);
}

TEST(VariantReaderTest, TypesMustMatch) {
  std::string text = "kept";
  uint32_t number = 9;
  EXPECT_FALSE(ReadString(Parse("o", "'/a'"), &text));
  EXPECT_FALSE(ReadUint32(Parse("i", "5"), &number));
  EXPECT_FALSE(ReadString(Glib::VariantBase(), &text));
  EXPECT_EQ("kept", text);
  EXPECT_EQ(9u, number);
  EXPECT_TRUE(ReadString(Parse("s", "'311480'"), &text));
  EXPECT_TRUE(ReadUint32(Parse("u", "5"), &number));
  EXPECT_EQ("311480", text);
  EXPECT_EQ(5u, number);
}

}  // namespace
