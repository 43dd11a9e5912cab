// Stored events of a channel in the Echoflux mode: grading against the block's
// Echoflux limits and the record form.

#include <gtest/gtest.h>

#include <string>

#include "storage.h"

using namespace tarnlux::meter;

namespace {

// The default Echoflux limits as the service program writes them.
const char* kBlock = "5,250,100,125,1,1400,2000,4000,6000,30,25,50,60,10,10,25,30,15,10,35,50,64,16,1,0.001,";

TEST(MeterEchofluxEvents, ReadingsOutsideTheLimitsMakeARecord) {
  EchofluxBlockLimits limits;
  ASSERT_TRUE(parseEchofluxBlockLimits(kBlock, limits));
  EXPECT_FALSE(parseEchofluxBlockLimits("~~~~", limits));

  EchofluxReading good;
  good.statusWord = 0x3FF;
  good.signal = 600;
  good.doppler = 800;
  good.noise = 30;
  good.fftPeak = 120;  // noise 25 %
  good.deviation = 40;
  good.velocity = 2.5;
  good.temperature = 68.5;
  EXPECT_EQ(echofluxEventRecord(good, 0, limits, "ECHO", "01.02.25", "10.20.30", false), "");

  // Signal between its limits (warning), Doppler above the low range's fail
  // limit, a path that does not measure (no velocity sent), on path 2.
  EchofluxReading bad = good;
  bad.statusWord = 0x3EF;
  bad.signal = 180;
  bad.doppler = 2500;
  EXPECT_EQ(echofluxEventRecord(bad, 1, limits, "ECHO", "01.02.25", "10.20.30", true),
            "ECHO,226,01.02.25 10.20.30,16,180,2500,0,40.00,1.0,30,120,4,1,68.5");

  // A velocity under its fail limit, in metres per second.
  EchofluxReading slow = good;
  slow.velocity = 0.0001;
  EXPECT_EQ(echofluxEventRecord(slow, 0, limits, "ECHO", "01.02.25", "10.20.30", true),
            "ECHO,225,01.02.25 10.20.30,0,600,800,0,40.00,1.0,30,120,0.000,2048,0,68.5");

  // The malformed-record fault leaves out the temperature and the warning bits.
  EXPECT_EQ(eventListing({"ECHO,225,01.02.25 10.20.30,0,600,800,0,40.00,1.0,30,120,0.000,2048,0,68.5"}, true),
            "001 ECHO,225,01.02.25 10.20.30,0,600,800,0,40.00,1.0,30,120,0.000,2048\r\n");
}

}  // namespace
