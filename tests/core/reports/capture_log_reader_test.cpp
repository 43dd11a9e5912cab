// Capture logs read back for the reports, and the trend over a folder of them.

#include "reports/capture_log_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "common/profile_file.h"
#include "reports/report_trend.h"
#include "test_context.h"
#include "test_paths.h"

namespace tarnlux {
namespace {

std::string golden(const std::string& name) {
  return test::testDataDir() + "/capture/" + name;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(CaptureLogReader, ReadsEveryGoldenLogTheCaptureWrites) {
  struct Case {
    const char* file;
    const char* site;
    const char* first;  // date time
    const char* last;
    int samples;
    std::size_t columns;
    unsigned paths;
    const char* label;  // one column's summary
    const char* average;
    int warnings;
    int fails;
  };
  const Case cases[] = {
      {"single_path_liquid.csv", "PLANT__A", "03-14-24 23:59:58", "03-15-24 00:00:07", 4, 15, 0x2,
       "SNR 2 AM", "16", 2, 1},
      {"multipath_gas_extended.csv", "GAS SITE", "02-29-24 10:20:30", "02-29-24 10:20:36", 2, 71,
       0xF, "VitS2(M/SEC)", "411.43", 0, 1},
      {"nulltrack.csv", "TANK0001", "05-06-24 07:08:09", "05-06-24 07:08:15", 3, 21, 0x1,
       "ZeroTD1(nS)", "1.000", 1, 0},
      {"echoflux.csv", "DOP00003", "06-30-24 18:30:00", "06-30-24 18:30:06", 3, 11, 0x4,
       "Freq. doppler 3(Hz)", "933", 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ReportData data;
    std::string message;
    ASSERT_EQ(readCaptureLog(golden(c.file), data, message), 0) << message;
    EXPECT_EQ(data.fileName, c.file);
    EXPECT_EQ(data.site, c.site);
    EXPECT_EQ(data.firstDate + " " + data.firstTime, c.first);
    EXPECT_EQ(data.lastDate + " " + data.lastTime, c.last);
    EXPECT_EQ(data.samples, c.samples);
    EXPECT_EQ(data.columns.size(), c.columns);
    EXPECT_EQ(data.paths(), c.paths);
    for (const ReportColumn& column : data.columns) {
      EXPECT_TRUE(column.quantity.has_value()) << "unknown heading " << column.label;
    }
    const auto it = std::find_if(data.columns.begin(), data.columns.end(),
                                 [&](const ReportColumn& col) { return col.label == c.label; });
    ASSERT_NE(it, data.columns.end());
    EXPECT_EQ(it->average, c.average);
    EXPECT_EQ(it->warnings, c.warnings);
    EXPECT_EQ(it->fails, c.fails);
  }
}

TEST(CaptureLogReader, ReadsTheHeaderAndConfiguration) {
  ReportData data;
  std::string message;
  ASSERT_EQ(readCaptureLog(golden("multipath_gas_extended.csv"), data, message), 0);
  EXPECT_EQ(data.osReference, "7326G-3.04.00M");
  EXPECT_EQ(data.meterSerial, "SN-0042");
  EXPECT_EQ(data.lastReportDate, "02-28-24");
  EXPECT_EQ(data.lastReportTime, "10:15");
  EXPECT_EQ(data.comms, "Adresse IP:192.168.10.20,No port IP:5000");
  ASSERT_TRUE(data.bore && data.kFactor);
  EXPECT_DOUBLE_EQ(*data.bore, 303.225);
  EXPECT_EQ(data.boreUnit, "Millimetres");
  EXPECT_EQ(data.kFactorUnit, "Impuls/CU FT");
  ASSERT_EQ(data.calibrationTables.size(), 3u);
  EXPECT_EQ(data.calibrationTables[0].points.size(), 2u);
  EXPECT_DOUBLE_EQ(data.calibrationTables[0].points[1].negative, -0.25);
  EXPECT_TRUE(data.aga8Table);
  EXPECT_TRUE(data.gasMeter());
  EXPECT_TRUE(data.metric());
  EXPECT_TRUE(data.comparesPaths());
  EXPECT_EQ(data.calibrationType, "Kc");
  ASSERT_TRUE(data.kc);
  EXPECT_DOUBLE_EQ(*data.kc, 100.25);
  EXPECT_EQ(data.tablePaths, 0xFu);
  EXPECT_EQ(data.pathParameters.transducerSize[3], "1 MHZ");
  EXPECT_EQ(data.pathParameters.soundSpeedMax[0], "450.25");
  EXPECT_EQ(data.pathParameters.velocityUnit, "mps");
  EXPECT_EQ(data.pathParameters.lengthUnit, "Millimetres");

  // "N/D" and a last report without time.
  ASSERT_EQ(readCaptureLog(golden("nulltrack.csv"), data, message), 0);
  EXPECT_EQ(data.manufactureDate, "");
  EXPECT_EQ(data.lastReportDate, "04-01-24");
  EXPECT_EQ(data.lastReportTime, "");
  EXPECT_FALSE(data.gasMeter());
}

TEST(CaptureLogReader, AcceptsOlderAndVariantForms) {
  const std::string log = test::readWholeFile(golden("single_path_liquid.csv"));
  struct Case {
    const char* what;
    std::function<std::string(std::string)> change;
  };
  const Case cases[] = {
      {"older first line",
       [](std::string t) {
         return replaced(t, "Journal de capture de donnees Norvane", "Halvorstrand Data Capture Log");
       }},
      {"older version line", [](std::string t) { return replaced(t, "Version Tarnlux", "Version Quillmap"); }},
      {"LF line ends",
       [](std::string t) {
         std::string out;
         for (char ch : t) {
           if (ch != '\r') out += ch;
         }
         return out;
       }},
      {"slashed last report",
       [](std::string t) {
         return replaced(t, "Date/heure dernier rapport, N/D", "Date/heure dernier rapport,02/28/24,10:15");
       }},
      {"no final line end", [](std::string t) { return t.substr(0, t.size() - 2); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReportData data;
    std::string message;
    ASSERT_EQ(readCaptureLogText(c.change(log), data, message), 0) << message;
    EXPECT_EQ(data.samples, 4);
    EXPECT_EQ(data.lastTime, "00:00:07");
  }
  ReportData data;
  std::string message;
  ASSERT_EQ(readCaptureLogText(cases[3].change(log), data, message), 0);
  EXPECT_EQ(data.lastReportDate, "02/28/24");
  EXPECT_EQ(data.lastReportTime, "10:15");

  const auto dashes = parseReportDate("02-28-24");
  const auto slashes = parseReportDate("02/28/24");
  ASSERT_TRUE(dashes && slashes);
  EXPECT_EQ(dashes->month, slashes->month);
  EXPECT_EQ(dashes->day, 28);
  EXPECT_EQ(slashes->year, 24);
  EXPECT_FALSE(parseReportDate(" N/D"));
  EXPECT_FALSE(parseReportDate("13-01-24"));
}

TEST(CaptureLogReader, RefusesAnythingThatIsNotAWholeLog) {
  const std::string log = test::readWholeFile(golden("single_path_liquid.csv"));
  const std::size_t summary = log.find("\r\n\r\nValeur moyenne");
  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"truncated in the rows", log.substr(0, summary - 20)},
      {"truncated in the summary", log.substr(0, log.find("Nbre d'echecs"))},
      {"garbage", std::string("\x01\x02 not a log\r\n\xff\xfe")},
      {"other first line", replaced(log, "Journal de capture", "Journal de captures")},
      {"no version line", replaced(log, "Version Tarnlux,1.01.05", "Version,1.01.05")},
      {"no heading row", replaced(log, "Date,Heure,", "Jour,Heure,")},
      {"unknown line among rows", replaced(log, "03-15-24,00:00:04", "xx-15-24,00:00:04")},
      {"bad count", replaced(log, "Nbre d'echecs,,0", "Nbre d'echecs,,x")},
      {"one endless line", std::string("Journal de capture de donnees Norvane\r\n") +
                               std::string(200000, 'A')},
  };
  for (const auto& [what, text] : cases) {
    SCOPED_TRACE(what);
    ReportData data;
    data.site = "kept?";
    std::string message;
    EXPECT_EQ(readCaptureLogText(text, data, message), -1);
    EXPECT_EQ(message, kBadLogText);
    EXPECT_TRUE(data.columns.empty());
    EXPECT_EQ(data.site, "");
  }
  ReportData data;
  std::string message;
  EXPECT_EQ(readCaptureLog("/nonexistent/LOG.CSV", data, message), -1);
  EXPECT_EQ(message, kBadLogText);
}

TEST(CaptureLogReader, LastReportComesFromTheSettingsFile) {
  test::TempDir dir;
  const std::string ini = dir.file("quillmap.ini");
  EXPECT_EQ(lastReportPath(ini), "");
  ASSERT_EQ(writeProfileString(ini, "LAST_REPORT", "FILENAME", "/data/LOG.CSV"), 0);
  EXPECT_EQ(lastReportPath(ini), "/data/LOG.CSV");
}

// Two logs of different paths: the trend log fills a column a log does not have
// with an empty cell.
constexpr const char* kExpectedTrendLog =
    "Journal tend. Norvane\r\n"
    "Version Tarnlux,1.01.05\r\n"
    "Ref. systeme op debitmetre,7326-3.04.00M\r\n"
    "Nom du site,TANK0001\r\n"
    "Ref. debitmetre,FM-1\r\n"
    "No serie debitmetre,S1\r\n"
    "Ref. tiroir,SP-1\r\n"
    "No serie tiroir,SS-1\r\n"
    "Date de fabrication,N/D\r\n"
    "Date/heure dernier rapport,04-01-24\r\n"
    "Parametres COMS,Baud:19200,Parite:AUCUN,Bits de donnees:8,Bits d'arret:1\r\n"
    "Identificateur de l'emplacement,T1\r\n"
    "ID alesage compteur,4.026,pouces\r\n"
    "\r\n"
    "Donnees de tendance Tarnlux\r\n"
    "\r\n"
    "Date,VF1(PI/SEC),VitS1(PI/SEC),ALC 1,SNR 1,QCor 1,%TampADC 1,%ChgEnv 1,Sps 1,%ACP 1,"
    "ZeroALC1,ZeroTD1(nS),VF2(PI/SEC),VitS2(PI/SEC),ALC 2,SNR 2,%TampADC 2,%ChgEnv 2,Sps 2,"
    "%ACP 2,Temp,Appuyer sur\r\n"
    "03-14-24,,,,,,,,,,,,3.906,4850.81,34,24,47,32,41,73,,\r\n"
    "05-06-24,2.500,4900.50,60,40,0.25,55,5,30,99,32,1.000,,,,,,,,,20.50,101.25\r\n"
    "\r\n"
    "Nbre d'echantillons,2\r\n";

TEST(ReportTrend, WritesTheTrendLogOfAFolderAndSkipsTrendLogsLater) {
  test::TempDir dir;
  // Listed in name order but collected in time order; the extension in any case.
  test::writeWholeFile(dir.file("b.CSV"), test::readWholeFile(golden("single_path_liquid.csv")));
  test::writeWholeFile(dir.file("a.csv"), test::readWholeFile(golden("nulltrack.csv")));
  test::writeWholeFile(dir.file("notes.txt"), "not a log");
  LocalTime now;
  now.year = 2024;
  now.month = 7;
  now.day = 4;
  now.hour = 9;
  now.minute = 5;
  std::vector<ReportData> logs;
  std::string path;
  std::string message;
  ASSERT_EQ(runTrend(dir.path(), now, logs, path, message), 0) << message;
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(logs[0].fileName, "b.CSV");
  EXPECT_EQ(path, dir.file("Rapport_tendance_TANK0001_070424_0905.CSV"));
  EXPECT_EQ(test::readWholeFile(path), kExpectedTrendLog);

  // The trend log is a "*.CSV" in the same folder: the next trend passes over it.
  now.minute = 6;
  ASSERT_EQ(runTrend(dir.path(), now, logs, path, message), 0) << message;
  EXPECT_EQ(logs.size(), 2u);
  EXPECT_EQ(test::readWholeFile(path), kExpectedTrendLog);
}

TEST(ReportTrend, FailuresEndTheTrendWithTheirMessageAndWriteNothing) {
  const std::string good = test::readWholeFile(golden("single_path_liquid.csv"));
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;
    std::string message;
  };
  const Case cases[] = {
      {"no log", {{"notes.txt", "x"}}, kNoFileFoundText},
      {"one log", {{"LOG1.CSV", good}}, kTooFewLogsText},
      {"a bad log",
       {{"LOG1.CSV", good}, {"LOG2.CSV", good}, {"broken.csv", good.substr(0, 900)}},
       "Erreur de collecte donnees\nFichier: broken.csv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    for (const auto& [name, text] : c.files) test::writeWholeFile(dir.file(name), text);
    std::vector<ReportData> logs;
    std::string path;
    std::string message;
    EXPECT_EQ(runTrend(dir.path(), LocalTime{}, logs, path, message), -1);
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(path, "");
    // No trend log was left behind.
    std::vector<std::string> listed;
    std::string ignored;
    listCaptureLogs(dir.path(), listed, ignored);
    for (const std::string& name : listed) EXPECT_EQ(name.find("Rapport_tendance"), std::string::npos);
  }
  std::vector<ReportData> logs;
  std::string path;
  std::string message;
  EXPECT_EQ(runTrend("/nonexistent/folder/", LocalTime{}, logs, path, message), -1);
  EXPECT_EQ(message, kFileSearchText);
}

TEST(ReportTrend, NumbersNoMeterGivesStayHarmless) {
  // A damaged average: infinite, or far beyond any integer column's range.
  const std::string text =
      replaced(test::readWholeFile(golden("single_path_liquid.csv")),
               "Valeur moyenne,,122.750,3.906,4850.81,,26,", "Valeur moyenne,,122.750,inf,4850.81,,1e12,");
  ReportData data;
  std::string message;
  ASSERT_EQ(readCaptureLogText(text, data, message), 0) << message;
  EXPECT_FALSE(data.column(CaptureQuantity::FlowVelocity, 1)->averageValue());
  const std::string trend = trendLogText({data, data});
  EXPECT_NE(trend.find("\r\n03-14-24,,4850.81,500000000021,24,"), std::string::npos) << trend;
}

TEST(ReportTrend, NameKeepsTheTrendLogInItsFolder) {
  LocalTime now;
  now.year = 2031;
  now.month = 12;
  now.day = 31;
  now.hour = 23;
  now.minute = 59;
  EXPECT_EQ(trendLogPath("/logs/", "A/B", now), "/logs/Rapport_tendance_A_B_123131_2359.CSV");
  EXPECT_EQ(folderOf("/logs/LOG.CSV"), "/logs/");
  EXPECT_EQ(folderOf("LOG.CSV"), "./");
}

}  // namespace
}  // namespace tarnlux
