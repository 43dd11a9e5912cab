#pragma once

// The stored-events page: the selected event's header line, its tables
// (built as the diagnostic panel's rows, but graded from the event's own
// warning and fail bits), its path deviation bars and the geometry of the
// event list under them.

#include <string>
#include <vector>

#include "diag/diag_panel.h"
#include "diag/stored_events.h"

namespace tarnlux {

inline constexpr const char* kStoredEventsTitle = "Affichage evenements memorises";
inline constexpr const char* kStoredEventsPrintTitle = "Ecran d'affichage des evenements memorises";
// Text lines the selected event takes above the list.
inline constexpr int kStoredEventUpperLines = 18;

// "Evenement memorise pour le site ID: S - Heure: T - Date: D", and the
// temperature when the event carries one.
std::string storedEventHeader(const StoredEvent& event);

// The two tables of an event: status and flow first, then the signal figures.
struct StoredEventTables {
  std::vector<PanelRow> status;
  std::vector<PanelRow> signal;
  int valueColumns = 4;  // 1 on the Echoflux form
  PathDeviations deviations;
};
// `multiPath`: the site's paths form one measurement (path headings
// "Chem n", deviation bars when more than one path is present).
StoredEventTables storedEventTables(const StoredEvent& event, bool multiPath);

// The event list under the tables.
struct EventListView {
  int count = 0;         // events
  int visibleRows = 1;   // rows that fit
  int longest = 0;       // characters of the longest record
  int visibleChars = 1;  // characters that fit
  bool vertical() const { return count > visibleRows; }
  bool horizontal() const { return longest > visibleChars; }
  // Highest first row and first column (the bars run from 0 to these).
  int lastFirstRow() const { return vertical() ? count - visibleRows : 0; }
  int lastFirstColumn() const { return horizontal() ? longest - visibleChars : 0; }
};

// The event under a click at `y` in a list whose rows start at `listTop`:
// row (y - top - 1) / height plus the first visible row; -1 outside the list.
int eventAtClick(int y, int listTop, int rowHeight, int firstRow, int count);

}  // namespace tarnlux
