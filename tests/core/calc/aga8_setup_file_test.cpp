#include "calc/aga8_setup_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

#include "calc/aga8_units.h"
#include "test_context.h"

using namespace tarnlux;
using tarnlux::test::readWholeFile;
using tarnlux::test::TempDir;
using tarnlux::test::writeWholeFile;

namespace {

using Bytes = std::vector<std::uint8_t>;

Aga8SetupFile sampleSetup() {
  Aga8SetupFile setup;
  setup.values[5] = 0.9;  // methane
  setup.values[2] = 0.1;  // nitrogen
  setup.values[kAga8BasePressureEntry] = 101325.0;
  setup.values[kAga8PressureEntry] = 5e6;
  setup.values[kAga8MaxPressureEntry] = 8e6;
  setup.values[kAga8BaseTemperatureEntry] = 288.15;
  setup.values[kAga8TemperatureEntry] = 290.0;
  setup.values[kAga8MaxTemperatureEntry] = 320.0;
  setup.units = {kAga8Bara, kAga8Celsius, kAga8MetresPerSecond, kAga8KilogramsPerCubicMetre,
                 kAga8KilojoulesPerKilogram};
  setup.tableFlag = 1;
  return setup;
}

Bytes encoded(const Aga8SetupFile& setup) {
  const auto bytes = encodeAga8SetupFile(setup);
  return Bytes(bytes.begin(), bytes.end());
}

void fixChecksum(Bytes& bytes) {
  std::uint16_t sum = 0;
  for (std::size_t i = 32; i <= 253; ++i) sum = static_cast<std::uint16_t>(sum + bytes[i]);
  bytes[254] = static_cast<std::uint8_t>(sum & 0xFF);
  bytes[255] = static_cast<std::uint8_t>(sum >> 8);
}

void putDouble(Bytes& bytes, int entry, double value) {
  std::memcpy(&bytes[32 + 8 * static_cast<std::size_t>(entry)], &value,
              8);  // the test host is little-endian
}

int check(const Bytes& bytes) {
  Aga8SetupFile out;
  return decodeAga8SetupFile(bytes, out);
}

Aga8Session validSession() {
  Aga8Session session;
  aga8ApplySetupFile(sampleSetup(), session);
  session.results.valid = true;
  return session;
}

}  // namespace

TEST(Aga8SetupFile, ByteLayout) {
  const Bytes bytes = encoded(sampleSetup());
  ASSERT_EQ(bytes.size(), 256u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), 31),
            std::string("norvane aga8 calculation setup\0", 31));
  EXPECT_EQ(bytes[30], 0);
  EXPECT_EQ(bytes[31], 0);
  // Methane 0.9 at 32 + 8 * 5, little-endian: 3FECCCCCCCCCCCCD.
  const Bytes methane(bytes.begin() + 72, bytes.begin() + 80);
  EXPECT_EQ(methane, (Bytes{0xCD, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xEC, 0x3F}));
  // Base pressure 101325 = 40F8BCD000000000 at 32 + 8 * 21.
  EXPECT_EQ(bytes[32 + 168 + 7], 0x40);
  EXPECT_EQ(bytes[32 + 168 + 6], 0xF8);
  EXPECT_EQ(bytes[32 + 168 + 5], 0xBC);
  EXPECT_EQ(bytes[32 + 168 + 4], 0xD0);
  EXPECT_EQ((Bytes(bytes.begin() + 248, bytes.begin() + 254)), (Bytes{3, 1, 1, 1, 1, 1}));
  std::uint32_t sum = 0;
  for (std::size_t i = 32; i <= 253; ++i) sum += bytes[i];
  EXPECT_EQ(bytes[254] | bytes[255] << 8, static_cast<int>(sum & 0xFFFF));
  EXPECT_EQ(check(bytes), 0);
}

TEST(Aga8SetupFile, OpenChecksInOrder) {
  const Bytes good = encoded(sampleSetup());
  EXPECT_EQ(check(Bytes(good.begin(), good.end() - 1)), 1);

  Bytes header = good;
  header[30] = 'x';  // the header's zero
  EXPECT_EQ(check(header), 2);
  header = good;
  header[0] = 'N';
  header[40] ^= 1;  // the header is checked before the sum
  EXPECT_EQ(check(header), 2);

  Bytes changed = good;
  changed[100] ^= 0x10;
  EXPECT_EQ(check(changed), 3);
  // A change that keeps the 16-bit sum goes unnoticed by the checksum.
  Bytes swapped = good;
  swapped[72] += 1;
  swapped[73] -= 1;
  EXPECT_EQ(check(swapped), 0);
  // Byte 31 lies outside the sum.
  Bytes spare = good;
  spare[31] = 0x55;
  EXPECT_EQ(check(spare), 0);

  const int limits[6] = {8, 4, 2, 2, 2, 2};
  for (int i = 0; i < 6; ++i) {
    Bytes bad = good;
    bad[248 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(limits[i]);
    fixChecksum(bad);
    EXPECT_EQ(check(bad), 4 + i) << i;
    bad[248 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(limits[i] - 1);
    fixChecksum(bad);
    EXPECT_EQ(check(bad), 0) << i;
  }
}

TEST(Aga8SetupFile, NegativeValuesAndTheTotal) {
  auto withValue = [](Aga8SetupFile setup, int entry, double value) {
    Bytes bytes = encoded(setup);
    putDouble(bytes, entry, value);
    fixChecksum(bytes);
    return check(bytes);
  };
  Aga8SetupFile setup = sampleSetup();
  EXPECT_EQ(withValue(setup, 0, -0.0001), 10);
  EXPECT_EQ(withValue(setup, kAga8BasePressureEntry, -1.0), 31);  // BARA is absolute
  EXPECT_EQ(withValue(setup, kAga8MaxPressureEntry, -1.0), 33);
  EXPECT_EQ(withValue(setup, kAga8TemperatureEntry, -1.0), 0);  // Celsius may go below zero
  EXPECT_EQ(withValue(setup, 20, std::numeric_limits<double>::quiet_NaN()), 30);

  setup.units.pressure = kAga8Barg;
  setup.units.temperature = kAga8Kelvin;
  EXPECT_EQ(withValue(setup, kAga8BasePressureEntry, -1.0), 0);
  EXPECT_EQ(withValue(setup, kAga8MaxTemperatureEntry, -1.0), 36);
  // Outside table mode the maxima are not checked.
  setup.tableFlag = 0;
  EXPECT_EQ(withValue(setup, kAga8MaxTemperatureEntry, -1.0), 0);

  EXPECT_EQ(withValue(sampleSetup(), 5, 0.9002), 100);
  EXPECT_EQ(withValue(sampleSetup(), 5, 0.90009), 0);
}

TEST(Aga8SetupFile, SaveAndOpenRestoreTheSessionBitForBit) {
  TempDir dir;
  const std::string path = dir.file("gas.cpf");
  Aga8Session saved = validSession();
  saved.entries.values[kAga8PressureEntry] = 0.1 + 0.2;
  ASSERT_FALSE(saveAga8SetupFile(path, saved).failed());
  EXPECT_EQ(saved.setupFilePath, path);
  EXPECT_EQ(readWholeFile(path).size(), 256u);

  Aga8Session opened;
  ASSERT_FALSE(openAga8SetupFile(path, opened).failed());
  EXPECT_EQ(opened.entries.values, saved.entries.values);
  EXPECT_EQ(opened.units.pressure, kAga8Bara);
  EXPECT_EQ(opened.units.temperature, kAga8Celsius);
  EXPECT_TRUE(aga8TableMode(opened));
  EXPECT_TRUE(opened.entries.set[kAga8MaxPressureEntry]);
  EXPECT_EQ(opened.setupFilePath, path);
}

TEST(Aga8SetupFile, MaximaAreSavedButOnlyOpenedInTableMode) {
  TempDir dir;
  const std::string path = dir.file("single.cpf");
  Aga8Session saved = validSession();
  saved.tableFlag = 0;
  ASSERT_FALSE(saveAga8SetupFile(path, saved).failed());
  const std::string bytes = readWholeFile(path);
  double maximum = 0;
  std::memcpy(&maximum, bytes.data() + 32 + 8 * kAga8MaxPressureEntry, 8);
  EXPECT_EQ(maximum, 8e6);

  Aga8Session opened;
  opened.entries.values[kAga8MaxPressureEntry] = 1.0;
  ASSERT_FALSE(openAga8SetupFile(path, opened).failed());
  EXPECT_FALSE(aga8TableMode(opened));
  EXPECT_EQ(opened.entries.values[kAga8MaxPressureEntry], 1.0);
  EXPECT_FALSE(opened.entries.set[kAga8MaxPressureEntry]);
}

TEST(Aga8SetupFile, RefusalsAndTheirMessages) {
  TempDir dir;
  Aga8Session session = validSession();
  session.results.valid = false;
  const SetupFileError noResults = saveAga8SetupFile(dir.file("a.cpf"), session);
  EXPECT_EQ(noResults.message, "Pas de calcul effectue");
  EXPECT_EQ(noResults.code, -1);

  session.results.valid = true;
  const std::string nowhere = dir.file("missing/a.cpf");
  const SetupFileError open = saveAga8SetupFile(nowhere, session);
  EXPECT_EQ(open.message, "Impossible ouvrir fichier: ");
  EXPECT_EQ(open.extra, nowhere);
  EXPECT_EQ(open.code, ENOENT);

  // A bad file changes nothing in the session.
  const std::string path = dir.file("bad.cpf");
  Bytes bytes = encoded(sampleSetup());
  bytes[253] = 2;
  fixChecksum(bytes);
  writeWholeFile(path, std::string(bytes.begin(), bytes.end()));
  Aga8Session untouched;
  untouched.units.pressure = kAga8Psig;
  const SetupFileError corrupt = openAga8SetupFile(path, untouched);
  EXPECT_EQ(corrupt.message, "Fichier incorrect ou corrompu");
  EXPECT_EQ(corrupt.code, 9);
  EXPECT_EQ(untouched.units.pressure, kAga8Psig);
  EXPECT_FALSE(untouched.entries.set[5]);

  const SetupFileError absent = openAga8SetupFile(dir.file("none.cpf"), untouched);
  EXPECT_EQ(absent.message, "Fichier incorrect ou corrompu");
  EXPECT_EQ(absent.code, 1);
}

TEST(Aga8SetupFile, AFailedSaveKeepsThePreviousFileWhole) {
  TempDir dir;
  const std::string path = dir.file("kept.cpf");
  Aga8Session session = validSession();
  ASSERT_FALSE(saveAga8SetupFile(path, session).failed());
  const std::string before = readWholeFile(path);

  // Writes stop after 100 bytes: the new file cannot be written whole.
  struct rlimit saved {};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto* previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  session.entries.values[5] = 0.95;
  session.entries.values[2] = 0.05;
  const SetupFileError failed = saveAga8SetupFile(path, session);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(failed.message, "Erreur d'ecriture de fichier, code d'erreur: ");
  EXPECT_EQ(failed.extra, "28");
  EXPECT_EQ(failed.code, -1);
  EXPECT_EQ(readWholeFile(path), before);
  // No temporary file is left behind.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST(Aga8SetupFile, DefaultExtension) {
  EXPECT_EQ(withDefaultExtension("/tmp/gaz", "cpf"), "/tmp/gaz.cpf");
  EXPECT_EQ(withDefaultExtension("/tmp/gaz.CPF", "cpf"), "/tmp/gaz.CPF");
  EXPECT_EQ(withDefaultExtension("/tmp/v1.2/gaz", "cpf"), "/tmp/v1.2/gaz.cpf");
}
