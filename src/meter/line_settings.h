#pragma once

#include <string>
#include <string_view>

struct termios;

namespace tarnlux::meter {

// The serial line settings the meter expects on its pseudo-terminal, written
// BAUD-DATABITS-PARITY-STOPBITS[-xon] with parity I (odd), P (even) or A (none),
// for example 9600-7-I-1-xon.
struct LineSettings {
  unsigned baud = 9600;
  int dataBits = 8;
  char parity = 'A';
  int stopBits = 1;
  bool xonXoff = false;
};

bool parseLineSettings(std::string_view text, LineSettings& out, std::string& error);

// Raw mode with these settings, applied to a terminal's attributes.
void applyLineSettings(const LineSettings& settings, termios& attributes);

// True when a client's attributes carry the same speed and stop bits. Data
// bits and parity cannot be seen on a pseudo-terminal (its driver forces
// 8 bits without parity); flow control only decides who may send.
bool sameFraming(const LineSettings& settings, const termios& attributes);

}  // namespace tarnlux::meter
