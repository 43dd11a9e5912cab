// What a meter sends to the terminal, interpreted in two reads.
#include "fuzz_input.h"
#include "terminal/term_emulator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnlux::fuzz::Input in(data, size);
  const int columns = in.take();
  const int rows = in.take() & 0x3F;
  const std::uint8_t options = in.take();
  const std::size_t cut = in.take();
  // A small store now and then, so the ring drops lines under the screen.
  tarnlux::TermEmulator term({columns, rows}, (options & 2) != 0 ? 600 : tarnlux::TextStore::kCapacity);
  term.setCursorKeyMode((options & 1) != 0);
  const std::string_view text = in.text();
  const std::size_t first = cut < text.size() ? cut : text.size();
  term.feed(text.substr(0, first));
  if ((options & 4) != 0) term.setGeometry({rows + 1, columns / 2 + 1});
  term.feed(text.substr(first));
  const auto lines = term.displayLines();
  const int line = term.cursorLine();
  const int column = term.cursorColumn();
  if (line < 0 || static_cast<std::size_t>(line) >= lines.size() + 1 || column < 0 ||
      column >= term.geometry().columns) {
    __builtin_trap();
  }
  return 0;
}
