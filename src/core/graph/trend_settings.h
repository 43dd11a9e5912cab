#pragma once

// What the screens that draw trend lines (the diagnostic screen, the trend
// graph, the summary) offer the user: the quantity list, the time spans, the
// per-quantity scaling and the quantities a meter cannot supply.

#include <array>
#include <string>
#include <vector>

#include "graph/trend_store.h"

namespace tarnlux {

// The "Donnees graphe:" list of a connection: the names and, per position,
// the trend data index it stands for.
struct TrendDataList {
  std::vector<std::string> names;
  std::vector<int> quantities;
};

// Which list a connection gets: on Echoflux channels three entries; on
// transit time four, six on a gas meter, with the "(a/c ... moy)" names on a
// multipath site where more than one path measures.
TrendDataList trendDataList(bool echoflux, bool gasMeter, bool averageNames);

// The list position a remembered quantity takes in `list` (0 when absent).
int trendListPosition(const TrendDataList& list, int quantity);

// "1 minute", "5 Minutes", "15 Minutes", "30 Minutes".
inline constexpr std::array<const char*, 4> kTrendSpanNames = {"1 minute", "5 Minutes",
                                                               "15 Minutes", "30 Minutes"};
// The span in minutes: the text's leading number (1 when it has none).
int spanMinutesOf(const std::string& text);

inline constexpr const char* kScaleMinimumInvalidText = "Nbre incorrect pour val. minimum";
inline constexpr const char* kScaleMaximumInvalidText = "Nbre incorrect pour val. maximum";
// Shown "%s %.2f" with kScaleMinimumGap.
inline constexpr const char* kScaleGapText =
    "La valeur maximum doit depasser la valeur minimum d'au moins";
inline constexpr double kScaleMinimumGap = 0.02;
std::string scaleGapMessage();

// The scaling of one quantity, remembered while the program runs.
struct TrendScaling {
  static constexpr unsigned kMinimumInvalid = 1u;
  static constexpr unsigned kMaximumInvalid = 2u;
  static constexpr unsigned kRangeTooNarrow = 4u;

  bool manual = false;
  bool maximumValid = false;
  double maximum = 0.0;
  bool minimumValid = false;
  double minimum = 0.0;
  unsigned errors = 0;

  // A manual range that is complete and at least kScaleMinimumGap wide.
  bool usesManualRange() const;
};

// What an edit of a scaling field did.
struct ScaleEditOutcome {
  std::string shownText;  // what the edit shows now ("%.2f" of a number)
  std::string message;    // for the status line while a query runs; empty when fine
  bool scaleChanged = false;
};

// A maximum or minimum edit losing the focus. Empty text forgets the value;
// a number (at most 15 characters) is stored and shown "%.2f"; anything else
// marks the field invalid. The message is the one a running query shows
// (an invalid number only while manual scaling is chosen).
ScaleEditOutcome applyScaleMaximum(TrendScaling& scaling, const std::string& text);
ScaleEditOutcome applyScaleMinimum(TrendScaling& scaling, const std::string& text);
// The radio buttons: manual re-tests the pair; automatic clears the manual flag.
ScaleEditOutcome chooseManualScale(TrendScaling& scaling, bool manual);

// "%.1f" of a valid value, empty otherwise (the edits when a quantity is shown).
std::string scaleFieldText(bool valid, double value);

// Why Query refuses to start with this scaling: the message and which edit
// gets the focus. Empty message when it may start.
struct ScaleRefusal {
  std::string message;
  bool focusMaximum = false;
  bool focusMinimum = false;
};
ScaleRefusal scaleRefusal(const TrendScaling& scaling);

// Each quantity's scaling for the program's run.
using TrendScalings = std::array<TrendScaling, kTrendQuantities>;
TrendScalings& programTrendScalings();

// What decides whether a quantity can be drawn on the connected meter.
struct TrendQuantityFacts {
  bool gasMeter = false;
  bool standardFlowOn = false;          // the meter's "stdflow"
  bool actualVolumeSupported = true;    // the operating system shows actual volume
  double aga8SoundSpeed = 0.0;          // m/s; known when above 1
  bool aga8Computed = false;            // an AGA8 calculation has run
  bool aga8InputValid = true;           // and its entries were valid
};

inline constexpr const char* kNoActualVolumeText =
    "La version du compteur ne permet pas l'affichage de volume actuel";
inline constexpr const char* kNoSoundSpeedDifferenceText =
    "Imp. afficher graphe ecart % ViS. Calcul AGA8 pas execute";
inline constexpr const char* kNoStandardFlowText =
    "Impossible d'afficher le graphique du debit-volume standard, Calcul AGA8 non realise";
inline constexpr const char* kStandardFlowInputText =
    "Impossible d'afficher le graphique du debit-volume standard, valeur d'entree AGA8 invalide";

// Empty when the quantity can be shown, else the reason.
std::string trendQuantityProblem(int quantity, const TrendQuantityFacts& facts);

// The choices the trend screens remember while the program runs: the list
// position per display kind (transit time, Echoflux) and the span entry.
struct TrendChoices {
  int transitTimePosition = 0;
  int echofluxPosition = 0;
  int spanEntry = 0;
};
TrendChoices& programTrendChoices();

}  // namespace tarnlux
