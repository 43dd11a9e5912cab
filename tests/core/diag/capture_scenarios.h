#pragma once

// The captures the golden logs under tests/data/capture were written for, by
// hand, from the log's rules.

#include <string>
#include <utility>
#include <vector>

#include "diag/capture_log.h"
#include "link/meter_time.h"

namespace tarnlux::test {

struct CapturePeriod {
  MeasurementStore readings;
  int periods = 1;
};

struct CaptureScenario {
  CaptureHeaderFacts facts;
  CaptureSettings settings;
  std::vector<CapturePeriod> periods;
};

inline void setMeterTime(MeasurementStore& store, const char* date, const char* time) {
  store.site.meterDateText = date;
  store.site.meterTimeText = time;
  parseMeterDateTime(date, time, store.site.meterTime);
}

// Channel 2 of a liquid meter without extended diagnostics; the third period
// is late (two rows).
inline CaptureScenario singlePathLiquid() {
  CaptureScenario s;
  CaptureHeaderFacts& f = s.facts;
  f.osReference = "7326";
  f.osVersion = "2.01.06";
  f.siteIdentifier = "PLANT__A";
  f.location = "PUMP7";
  f.info.flowmeterPartNumber = "FM-100";
  f.info.manufactureDate = "01-15-2020";
  f.link.portName = "/dev/ttyUSB0";
  f.link.baudRate = 9600;
  f.link.dataBits = 7;
  f.link.stopBitsCode = 2;
  f.link.parityCode = 1;
  f.meterFlags = 0x20;
  f.capturedPaths = 0x2;
  f.identity.lengthUnits = 0;
  f.identity.boreInches = 6.065;
  s.settings = {3, 0};

  MeasurementStore r;
  setMeterTime(r, "03.14.24", "23.59.58");
  r.site.flowUnitsText = "GAL/MIN";
  r.site.nanoseconds = true;
  PathReadings& p = r.paths[1];
  p = {};
  p.flow = 120.5;
  p.flowVelocity = 3.25;
  p.soundSpeed = 4850.25;
  p.statusWord = 0x3FF;
  p.alcUp = 45;
  p.alcDown = 44;
  p.deltaTime = 1.25;
  p.snrUp = 35;
  p.snrDown = 34;
  p.adcBuffer = 70;
  p.envelopeChange = 10;
  p.transmitRate = 40;
  p.accepted = 95;
  p.searchStateCode = 6;
  s.periods.push_back({r, 1});

  setMeterTime(r, "03.15.24", "00.00.01");
  p.flow = 121.5;
  p.flowVelocity = 3.5;
  p.soundSpeed = 4850.5;
  p.statusWord = 0x3FD;
  p.alcUp = 25;
  p.deltaTime = 1.5;
  p.snrUp = 15;
  p.adcBuffer = 60;
  p.envelopeChange = 35;
  p.accepted = 92;
  s.periods.push_back({r, 1});

  setMeterTime(r, "03.15.24", "00.00.08");
  p.flow = 125.5;
  p.flowVelocity = 4.75;
  p.soundSpeed = 4851.5;
  p.statusWord = 0x3EF;
  p.alcUp = 15;
  p.alcDown = 40;
  p.deltaTime = 2.75;
  p.snrUp = 5;
  p.snrDown = 28;
  p.adcBuffer = 20;
  p.envelopeChange = 45;
  p.transmitRate = 44;
  p.accepted = 40;
  p.searchStateCode = 2;
  s.periods.push_back({r, 2});
  return s;
}

// A four-path gas meter with extended diagnostics, metric units, every
// configuration table, over TCP.
inline CaptureScenario multipathGasExtended() {
  CaptureScenario s;
  CaptureHeaderFacts& f = s.facts;
  f.osReference = "7326G";
  f.osVersion = "3.04.00M";
  f.siteIdentifier = "GAS SITE";
  f.location = "STN12";
  f.info = {"STN12", "SP-12", "SPS-7", "06-01-2019", "FM-7326G", "SN-0042", "02-28-24", "10:15"};
  f.link.portName = "TCP/IP";
  f.link.ipAddress = "192.168.10.20";
  f.link.ipPort = 5000;
  f.multiPath = true;
  f.gasMeter = true;
  f.extendedDiagnostics = true;
  f.meterFlags = 0x400F8;
  f.capturedPaths = 0xF;
  resetLimitsToDefaults(f.limits, true, true);

  ChannelIdentityAnswer& id = f.identity;
  id.lengthUnits = 1;
  id.boreInches = 11.938;
  id.hasKFactor = true;
  id.kFactor = 1000.5;
  id.kFactorVolumeUnit = "CU FT";
  id.macroDamping = 5;
  id.deadZone = 0.1;
  id.pipeOutsideDiameter = 12.75;
  id.pipeWallThickness = 0.375;
  id.basePressure = 14.73;
  id.pressureUnit = "PSIA";
  id.baseTemperature = 60;
  id.temperatureUnit = 'F';

  MeterConfiguration& c = f.configuration;
  c.calibrationType = CalibrationType::Kc;
  c.kcPercent = 100.25;
  c.calibrationTables = {{"Flow Table 1", {{1, 0.1, -0.2}, {2, 0.15, -0.25}}},
                         {"Vs Table", {{1, 0, 0}}},
                         {"Spare 3", {{5, 1, -1}}}};
  c.aga8Table = true;
  for (std::size_t i = 0; i < kAga8GridSize; ++i) {
    c.aga8.pressures[i] = 100.0 * static_cast<double>(i + 1);
    c.aga8.temperatures[i] = 10.0 * static_cast<double>(i);
    for (std::size_t j = 0; j < kAga8GridSize; ++j) {
      c.aga8.density[i][j] = static_cast<double>(i + 1);
      c.aga8.compressibility[i][j] = 0.99;
    }
  }
  c.reynoldsTable = true;
  c.reynolds = {{1000, 0.5, -0.5}, {50000, 0.25, -0.125}};
  for (int p = 0; p < 4; ++p) {
    ChannelSetupAnswer& setup = f.pathSetup[static_cast<std::size_t>(p)];
    setup.transducerSize = "1 MHZ";
    setup.mountingMode = "Z";
    setup.spacingIndex = 3;
    setup.spacingLtn = 1.25;
    setup.transmitCode = 17;
    setup.vsMin = 300.5;
    setup.vsMax = 450.25;
    setup.hfFactor = 1.5;
    setup.dampingMax = 8;
    setup.pathLength = 11 + p;
    setup.axialOffset = 0;
  }
  s.settings = {6, 0};

  MeasurementStore r;
  setMeterTime(r, "02.29.24", "10.20.30");
  r.site.metricVelocity = true;
  r.site.temperatureUnit = 'F';
  r.site.flowUnitsText = "KCU FT/HR";
  r.site.standardFlow = 1;
  r.site.totalUnitsText = "KCU FT";
  r.site.temperature = 55.5;
  r.site.pressure = 250.25;
  r.site.compressibility = 0.9876;
  r.site.total = 12345.678;
  const double velocity1[] = {10.0, 10.1, 9.9, 10.0};
  const double sound1[] = {410.0, 410.41, 410.0, 409.59};
  const double delta[] = {0.5, 0.25, 0.125, 1.0};
  for (int i = 0; i < 4; ++i) {
    PathReadings& p = r.paths[static_cast<std::size_t>(i)];
    p.flow = 101 + i;
    p.flowVelocity = velocity1[i];
    p.soundSpeed = sound1[i];
    p.statusWord = 0x3FF;
    p.alcUp = 50;
    p.alcDown = 60;
    p.deltaTime = delta[i];
    p.snrUp = p.snrDown = 30;
    p.correlationQuality = 0.5;
    p.adcBuffer = 60;
    p.envelopeChange = 20;
    p.transmitRate = 25;
    p.accepted = 98;
    p.searchStateText = "Measurement";
  }
  s.periods.push_back({r, 1});

  setMeterTime(r, "02.29.24", "10.20.36");
  r.site.temperature = 56.5;
  r.site.pressure = 251.25;
  r.site.compressibility = 0.9878;
  r.site.total = 12346.678;
  const double velocity2[] = {10.0, 10.3, 9.7, 10.0};
  const double sound2[] = {410.0, 412.45, 410.0, 407.55};
  const double correlation2[] = {0.5, 0.8, 0.96, 0.5};
  const std::int32_t alc2[] = {40, 30, 50, 50};
  for (int i = 0; i < 4; ++i) {
    PathReadings& p = r.paths[static_cast<std::size_t>(i)];
    p.flow = 102 + i;
    p.flowVelocity = velocity2[i];
    p.soundSpeed = sound2[i];
    p.correlationQuality = correlation2[i];
    p.alcUp = alc2[i];
  }
  r.paths[0].statusWord = 0x3DF;
  r.paths[3].searchStateText = "Searching";
  s.periods.push_back({r, 1});
  return s;
}

// Channel 1 of a liquid meter with extended diagnostics and NullTrack; the
// NullTrack stops (and is flagged failed) in the third period.
inline CaptureScenario nullTrackChannel() {
  CaptureScenario s;
  CaptureHeaderFacts& f = s.facts;
  f.osReference = "7326";
  f.osVersion = "3.04.00M";
  f.siteIdentifier = "TANK0001";
  f.location = "T1";
  f.info = {"T1", "SP-1", "SS-1", "", "FM-1", "S1", "04-01-24", ""};
  f.link.portName = "/dev/ttyS0";
  f.link.baudRate = 19200;
  f.link.dataBits = 8;
  f.link.stopBitsCode = 0;
  f.link.parityCode = 0;
  f.extendedDiagnostics = true;
  f.meterFlags = 0x118;
  f.capturedPaths = 0x1;
  ChannelIdentityAnswer& id = f.identity;
  id.lengthUnits = 0;
  id.boreInches = 4.026;
  id.macroDamping = 10;
  id.deadZone = 0.05;
  id.pipeOutsideDiameter = 4.5;
  id.pipeWallThickness = 0.237;
  f.configuration.calibrationType = CalibrationType::Intrinsic;
  ChannelSetupAnswer& setup = f.pathSetup[0];
  setup.transducerSize = "2 MHZ";
  setup.mountingMode = "V";
  setup.spacingIndex = 5;
  setup.spacingLtn = 2.5;
  setup.pathLength = 6;
  setup.axialOffset = 0.5;
  setup.vsMin = 4000;
  setup.vsMax = 5500;
  setup.transmitCode = 12;
  setup.hfFactor = 1;
  setup.dampingMax = 4;
  s.settings = {3, 0};

  MeasurementStore r;
  setMeterTime(r, "05.06.24", "07.08.09");
  r.site.nanoseconds = true;
  r.site.flowUnitsText = "BBL/DAY";
  r.site.totalUnitsText = "BBL";
  r.site.temperature = 20.5;
  r.site.pressure = 101.25;
  r.site.total = 1000.5;
  PathReadings& p = r.paths[0];
  p.flow = 50.25;
  p.flowVelocity = 2.5;
  p.soundSpeed = 4900.5;
  p.statusWord = 0x3FF;
  p.alcUp = p.alcDown = 60;
  p.deltaTime = 10.25;
  p.snrUp = p.snrDown = 40;
  p.correlationQuality = 0.25;
  p.adcBuffer = 55;
  p.envelopeChange = 5;
  p.transmitRate = 30;
  p.accepted = 99;
  p.searchStateText = "Mesure";
  p.nullTrackActive = true;
  p.nullTrackAlc = 40;
  p.nullTrackDeltaTime = 0.5;
  p.referenceCount = 2;  // 62.5 ns: limits 1.25 and 3.125 ns
  s.periods.push_back({r, 1});

  setMeterTime(r, "05.06.24", "07.08.12");
  r.site.total = 1001.5;
  p.nullTrackAlc = 25;
  p.nullTrackDeltaTime = 1.5;
  s.periods.push_back({r, 1});

  setMeterTime(r, "05.06.24", "07.08.15");
  r.site.total = 1002.5;
  p.searchStateText = "Mesurex";
  p.nullTrackActive = false;
  p.nullTrackFailed = true;
  p.nullTrackAlc = 10;
  p.nullTrackDeltaTime = 3.0;
  s.periods.push_back({r, 1});
  return s;
}

// Channel 3 in the Echoflux mode, metric units, multipoint calibration.
inline CaptureScenario echofluxChannel() {
  CaptureScenario s;
  CaptureHeaderFacts& f = s.facts;
  f.osReference = "7326";
  f.osVersion = "3.04.00M";
  f.siteIdentifier = "DOP00003";
  f.location = "SUMP";
  f.info = {"SUMP", "", "", "12-12-2021", "FM-E", "E1", "03-03-24", "12:00"};
  f.link.portName = "/dev/ttyUSB1";
  f.link.baudRate = 4800;
  f.link.dataBits = 8;
  f.link.stopBitsCode = 0;
  f.link.parityCode = 2;
  f.extendedDiagnostics = true;
  f.echofluxMode = true;
  f.meterFlags = 0x4008;
  f.capturedPaths = 0x4;
  ChannelIdentityAnswer& id = f.identity;
  id.lengthUnits = 1;
  id.boreInches = 2.067;
  id.hasKFactor = true;
  id.kFactor = 250;
  id.kFactorVolumeUnit = "M3";
  id.macroDamping = 3;
  id.deadZone = 0.01;
  id.pipeOutsideDiameter = 2.375;
  id.pipeWallThickness = 0.154;
  id.basePressure = 1.01325;
  id.pressureUnit = "BARA";
  id.baseTemperature = 15;
  id.temperatureUnit = 'C';
  f.configuration.calibrationType = CalibrationType::MultiPoint;
  f.configuration.multipointTable = true;
  f.configuration.multipoint = {{0.5, 100}, {-0.25, 200}};
  ChannelSetupAnswer& setup = f.pathSetup[2];
  setup.transducerSize = "DOPPLER";
  setup.mountingMode = "DIRECT";
  setup.transmitCode = 625;
  setup.hfFactor = 1;
  setup.dampingMax = 2;
  setup.lowFlowLimit = 0.1;
  setup.highFlowLimit = 5.5;
  setup.flowRangeValue = 3;
  setup.noiseLevelSetting = 12;
  s.settings = {3, 0};

  MeasurementStore r;
  setMeterTime(r, "06.30.24", "18.30.00");
  r.site.metricVelocity = true;
  r.site.temperatureUnit = 'C';
  r.site.flowUnitsText = "M3/HR";
  r.site.totalUnitsText = "M3";
  PathReadings& p = r.paths[2];
  EchofluxReadings& e = r.echoflux[2];
  auto set = [&](double flow, double velocity, double total, std::uint32_t status, int signal,
                 int doppler, double deviation, std::uint32_t peak, int rate, double temperature,
                 double pressure) {
    p.flow = flow;
    p.flowVelocity = velocity;
    r.site.total = total;
    p.statusWord = status;
    e.signalStrength = signal;
    e.dopplerFrequency = doppler;
    e.deviation = deviation;
    e.fftPeak = peak;
    e.fftsPerSecond = rate;
    r.site.temperature = temperature;
    r.site.pressure = pressure;
  };
  set(10.5, 0.5, 200.25, 0x3FD, 300, 1300, 40.5, 100, 20, 15.5, 2.25);
  s.periods.push_back({r, 1});
  setMeterTime(r, "06.30.24", "18.30.03");
  set(11.5, 0.2, 201.25, 0x3FF, 200, 1500, 55.5, 50, 22, 16.5, 2.5);
  s.periods.push_back({r, 1});
  setMeterTime(r, "06.30.24", "18.30.06");
  set(0.0, 0.0001, 202.25, 0x3EB, 50, 0, 20.5, 10, 24, 17.5, 2.75);
  s.periods.push_back({r, 1});
  return s;
}

}  // namespace tarnlux::test
