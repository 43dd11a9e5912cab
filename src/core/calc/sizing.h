#pragma once

// The gas and liquid sensor sizing tools without their screen: entries and
// selections with their units, validation, the fluid properties at the two
// operating points, the sensor recommendation (type, size, mount, spacing),
// the installation figures, the application problems and the results pages.
//
// Internal units: lengths in inches, velocities in in/s, temperatures in K,
// pressures in Pa absolute, absolute viscosity in cP, kinematic viscosity in
// cS, density as relative density, flows in the selected volume (or mass) and
// time units.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "calc/aga8.h"
#include "calc/results_format.h"
#include "calc/sizing_tables.h"

namespace tarnlux {

// Figures the sizing tools' conversions share.
inline constexpr double kSizingInchesPerMetre = 1.0 / 0.0254;
inline constexpr double kSizingAirBaseDensity = 1.222523;  // kg/m3, air at the base conditions
inline constexpr double kSizingWaterDensity = 999.016;     // kg/m3, water at 60 F

// ---- selections ------------------------------------------------------------

// Selection slots, the order of the settings keys and of the set-up files.
// The liquid tool has no pressure unit.
enum SizingSelection : int {
  kSizingLengthUnit,
  kSizingTemperatureUnit,
  kSizingPressureUnit,
  kSizingVelocityUnit,
  kSizingDensityUnit,
  kSizingVolumeMassUnit,
  kSizingTimeUnit,
  kSizingPipeMaterial,
  kSizingLinerMaterial,
  kSizingFluid,
};
inline constexpr int kSizingSelectionCount = 10;

struct SizingSelectionInfo {
  const char* key;
  const char* const* names;
  int count;
};
// The slot's list in a mode; count 0 for the pressure unit of the liquid tool.
SizingSelectionInfo sizingSelectionInfo(SizingMode mode, int selection);
inline bool sizingHasSelection(SizingMode mode, int selection) {
  return mode == SizingMode::Gas || selection != kSizingPressureUnit;
}

enum SizingLengthUnit : int { kSizingMillimetres, kSizingInches };
enum SizingTemperatureUnit : int { kSizingCelsius, kSizingFahrenheit };
enum SizingVelocityUnit : int { kSizingMetresPerSecond, kSizingFeetPerSecond };
inline constexpr int kSizingTimeUnitCount = 4;
inline constexpr const char* kSizingTimeUnitNames[kSizingTimeUnitCount] = {"S", "MIN", "H", "J"};

// The last volume/mass entry of both lists: the flow is a flow velocity.
int sizingFlowVelocityUnit(SizingMode mode);

struct SizingChoices {
  std::array<int, kSizingSelectionCount> index{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  int at(int selection) const { return index[static_cast<std::size_t>(selection)]; }
  // Index in range, else 0 (or the fluid's default).
  int safe(SizingMode mode, int selection) const;
};
int sizingDefaultFluid(SizingMode mode);

// ---- entries ---------------------------------------------------------------

enum class SizingQuantity {
  Length,
  Velocity,
  AbsoluteViscosity,
  KinematicViscosity,
  Density,
  Flow,
  Temperature,
  Pressure,
  Fraction
};

struct SizingEntryInfo {
  const char* key;
  const char* label;
  SizingQuantity quantity;
  double minimum;  // accepted range in internal units
  double maximum;
  const char* rangeMessage;
};

inline constexpr int kSizingGasEntryCount = 32;
inline constexpr int kSizingLiquidEntryCount = 10;
inline constexpr int kSizingGasCompositionFirst = 11;
int sizingEntryCount(SizingMode mode);
const SizingEntryInfo& sizingEntryInfo(SizingMode mode, int entry);

// What an entry stands for, whatever its index in the mode.
enum class SizingRole {
  OutsideDiameter,
  Wall,
  Liner,
  SoundSpeed,
  Viscosity,
  Density,  // liquid only
  MinimumFlow,
  MaximumFlow,
  MinimumTemperature,
  MaximumTemperature,
  MinimumPressure,  // gas only
  MaximumPressure,  // gas only
};
// The entry index of a role; -1 when the mode has none.
int sizingEntry(SizingMode mode, SizingRole role);

// Values in internal units; an entry not set shows an empty field.
struct SizingEntries {
  std::vector<double> values;
  std::vector<bool> set;
  explicit SizingEntries(SizingMode mode = SizingMode::Gas)
      : values(static_cast<std::size_t>(sizingEntryCount(mode)), 0.0),
        set(static_cast<std::size_t>(sizingEntryCount(mode)), false) {}
  double value(SizingMode mode, SizingRole role) const {
    const int entry = sizingEntry(mode, role);
    return entry < 0 ? 0.0 : values[static_cast<std::size_t>(entry)];
  }
};

// Choosing a fluid fills the sound speed, viscosity and (liquid) density.
void sizingFillFluid(SizingMode mode, int fluid, SizingEntries& entries);

// ---- units -----------------------------------------------------------------

// Converts between internal and display units for an entry's quantity; flows
// and fractions are shown as held (fractions in percent).
double sizingToDisplay(SizingMode mode, SizingQuantity quantity, double value,
                       const SizingChoices& choices);
double sizingFromDisplay(SizingMode mode, SizingQuantity quantity, double value,
                         const SizingChoices& choices);
// The unit text beside a field ("mm", "deg C", "metres/s", the flow unit...).
std::string sizingUnitText(SizingMode mode, SizingQuantity quantity, const SizingChoices& choices);
// "Metres cube std/H", or "metres/s" for a flow velocity. A prefix ("Kilo",
// "Mega") goes in front when given.
std::string sizingFlowUnitText(SizingMode mode, const SizingChoices& choices,
                               const char* prefix = nullptr);

// What converting a flow between volume/mass units needs: the flow area and,
// per operating point, the actual density (lb/in3) and the standard-volume
// factor. A factor of 0 is unknown.
struct SizingFlowBasis {
  double areaSquareInches = 0.0;
  double densityLbPerCubicInch = 0.0;
  double standardVolumeFactor = 0.0;
};
// The flow in actual in3/s; nothing when the basis lacks what the unit needs.
std::optional<double> sizingFlowToActual(SizingMode mode, double flow, int volumeMassUnit,
                                         int timeUnit, const SizingFlowBasis& basis);
std::optional<double> sizingFlowFromActual(SizingMode mode, double cubicInchesPerSecond,
                                           int volumeMassUnit, int timeUnit,
                                           const SizingFlowBasis& basis);

// The field text of an entry in the display units; empty when not shown.
std::string sizingDisplayText(SizingMode mode, int entry, double internalValue,
                              const SizingChoices& choices);

// ---- validation ------------------------------------------------------------

inline constexpr const char* kSizingWallRatioMessage =
    "L'epaisseur de la paroi ne peut pas depasser 1/3 du diametre exterieur";
inline constexpr const char* kSizingLinerRatioMessage =
    "L'epaisseur de la paroi plus celle du revetement interieur ne peut pas depasser 1/3 du "
    "diametre exterieur";
inline constexpr const char* kSizingSoundSpeedMessage = "Vs estimees en-dehors de la plage";

struct SizingValidation {
  int failedEntry = -1;
  std::string message;
  std::vector<double> values;
  std::vector<bool> empty;
  bool ok() const { return failedEntry < 0; }
};
// Entries in order (the composition only with the AGA8 gas row); the first
// failure stops it. Composition texts are percent.
SizingValidation sizingValidate(SizingMode mode, const std::vector<std::string>& fieldTexts,
                                const SizingChoices& choices);

// ---- calculation -----------------------------------------------------------

// Problem flags in the order they are listed.
enum SizingProblem : int {
  kProblemMaximumDiameter,
  kProblemMinimumDiameter,
  kProblemPipeTooSmall,
  kProblemFlowAboveLimit,
  kProblemAccuracyAtMinimumFlow,
  kProblemTemperatureHigh,
  kProblemTemperatureLow,
  kProblemPoorCoupling,
  kProblemWallRatio,
  kProblemWallTooThick,
  kProblemSmallPipe,
  kProblemClampPressure,
  kProblemCarbonDioxide,
  kProblemHydrogenSulphide,
  kProblemReynoldsTransition,
};
inline constexpr int kSizingProblemCount = 15;
// The text of a problem as listed; the small-pipe text follows the mode and
// the length unit.
std::string sizingProblemText(SizingMode mode, int problem, int lengthUnit);

inline constexpr const char* kSizingRecommended = "Recommande";
inline constexpr const char* kSizingContactFactory = "Contacter l'usine";

// Mount list of a mode.
std::span<const char* const> sizingMounts(SizingMode mode);
enum SizingMount : int { kMountDirect, kMountReflect, kMountThreePass, kMountFourPass };
int sizingTraverses(int mount);  // 1, 2, 3 or 4

// Choices the user made in the recommendation boxes; -1 leaves it to the tool.
struct SizingUserChoices {
  int type = -1;
  int size = -1;  // index in the family's size list
  int mount = -1;
  int spacing = -1;
};

// Fluid properties at one operating point.
struct SizingPoint {
  double temperature = 0.0;  // K
  double pressure = 0.0;     // Pa absolute (gas)
  double Zf = 1.0;
  double Zb = 1.0;
  double soundSpeed = 0.0;            // in/s
  double idealRelativeDensity = 0.0;  // molar mass / 28.9626
  double baseRelativeDensity = 0.0;   // density relative to air at base conditions
  double standardVolumeFactor = 1.0;
  double density = 0.0;             // actual, lb/in3
  double kinematicViscosity = 0.0;  // cS
  // At this point's flow:
  double flow = 0.0;        // as entered, in the flow unit
  double actualFlow = 0.0;  // in3/s
  double velocity = 0.0;    // in/s, mean over the bore
  double reynolds = 0.0;
  double cyclesDt = 0.0;       // transit-time difference in signal cycles
  double repeatability = 0.0;  // one standard deviation, in/s
};

struct SizingResults {
  bool valid = false;
  SizingMode mode = SizingMode::Gas;
  SizingChoices choices;
  bool sFilter = false;

  // Recommendation.
  std::vector<bool> suitable;  // per type of the mode
  int recommendedType = -1;    // -1: none suitable ("Contacter l'usine")
  int type = 0;                // the type the results are for
  std::vector<int> sizeOrder;  // family size indices, ranked
  int acceptedSizes = 0;       // how many of sizeOrder passed
  int size = 0;                // family size index the results are for
  int mount = kMountReflect;
  int spacing = 0;      // track offset (or index letter) index
  int indexNumber = 0;  // position on the track, in its steps

  // Installation.
  SizingPoint points[2];
  double innerDiameter = 0.0;       // in
  double fluidAngle = 0.0;          // rad, at the estimated sound speed
  double spacingLength = 0.0;       // in, between the sensors' index marks
  double transitTimeFluid = 0.0;    // TN, s
  double transitTimeTotal = 0.0;    // TL, s
  double timeRepeatability = 0.0;   // s
  double oneCycleSoundSpeed = 0.0;  // in/s
  double maximumVelocity = 0.0;     // VFmax, in/s
  double soundSpeedLow = 0.0;       // in/s
  double soundSpeedHigh = 0.0;
  double flowLimitLow = 0.0;  // in the flow unit
  double flowLimitHigh = 0.0;
  double flowRepeatability = 0.0;      // in the flow unit, at the minimum flow
  double clampMinimumPressure = -1.0;  // Pa absolute; -1 none
  int dampingLayers = 0;
  double dampingThickness = 0.0;  // in
  double reynoldsOneFlow = 0.0;   // flow (flow unit) of Reynolds number 1

  std::array<bool, kSizingProblemCount> problems{};
  bool anyProblem() const;
};

struct SizingInput {
  SizingMode mode = SizingMode::Gas;
  SizingChoices choices;
  bool sFilter = false;
  SizingEntries entries;
  SizingUserChoices user;
};

// A failure: its message and code (-1 none) as the error box shows them.
struct SizingFailure {
  std::string message;
  int code = -1;
};

// Gas properties at one point. Returns the failure, if any.
std::optional<SizingFailure> sizingGasPoint(int gasRow, const std::array<double, 21>& mixture,
                                            double temperature, double pressure, bool maximum,
                                            SizingPoint& point);
// (288.71 / T) x (P / 101325.0084) x (Zb / Zf); 1 when T or Zf is 0.
double sizingStandardVolumeFactor(double temperature, double pressure, double Zb, double Zf);
// Saturation temperature (K) at p psia.
double ammoniaSaturationK(double psia);
double ethyleneSaturationK(double psia);
// The clamp-on minimum pressure (Pa absolute), -1 when there is none.
double sizingClampMinimumPressure(int pipe, double soundSpeed, double relativeDensity,
                                  double frequency, double wall, double diameter,
                                  double co2Percent);

// Type suitability and recommendation from the two temperatures.
std::vector<bool> sizingSuitableTypes(SizingMode mode, double maxTemperature, int pipe, double wall,
                                      double diameter);
int sizingRecommendedType(SizingMode mode, const std::vector<bool>& suitable,
                          double meanTemperature);
// The size list of a family ranked for the pipe; `accepted` how many passed.
std::vector<int> sizingRankSizes(SizingMode mode, SensorFamily family, int pipe, double diameter,
                                 double wall, double liner, double soundSpeed, int& accepted);
// The sound speed limit message when the estimated sound speed is above the type's.
std::optional<std::string> sizingSoundSpeedLimit(SizingMode mode, SensorFamily family,
                                                 double soundSpeed, int velocityUnit);

// The whole calculation. Fails with the screen's message.
std::optional<SizingFailure> sizingCalculate(const SizingInput& input, SizingResults& results);

// The flow-profile correction (mean velocity over path velocity) at a Reynolds number.
double sizingProfileFactor(double reynolds);
// The repeatability in percent of the flow at a velocity.
double sizingRepeatabilityPercent(const SizingResults& results, double velocity, double reynolds);

// ---- pages -----------------------------------------------------------------

inline constexpr const char* kSizingGasTitle =
    "Selection du capteur de gaz et outil de dimensionnement";
inline constexpr const char* kSizingLiquidTitle =
    "Selection du capteur de liquide et outil de dimensionnement";
inline constexpr const char* kSizingGasDocumentName = "Ecran outil pour les gaz";
inline constexpr const char* kSizingLiquidDocumentName = "Ecran outil pour les liquides";
inline constexpr const char* kSizingProblemsTab = "Problemes d'application";
// The two tab pages of a mode.
std::array<const char*, 2> sizingTabNames(SizingMode mode);

// Results page 1 or 2 (the liquid tool's page 2 is the graph: empty here);
// page 3 lists the problems.
ResultsPage sizingResultsPage(const SizingResults& results, int page);
// The type box texts ("%s %s" with "Recommande" for a suitable type) and the
// label text ("Contacter l'usine" when none is suitable).
std::vector<std::string> sizingTypeTexts(const SizingResults& results);
std::string sizingTypeLabel(const SizingResults& results);
std::string sizingSizeName(const SizingResults& results, int familyIndex);
std::string sizingSpacingText(const SizingResults& results, int spacing);
int sizingSpacingCount(const SizingResults& results);

// ---- repeatability graph ---------------------------------------------------

struct SizingGraph {
  double flowFrom = 0.0;  // axis span in the flow unit
  double flowTo = 0.0;
  double tickStep = 0.0;
  std::vector<std::string> flowLabels;  // "%.3f", trimmed
  std::vector<double> flowTicks;
  double percentMax = 0.0;                       // the axis runs from -percentMax to +percentMax
  std::vector<std::pair<double, double>> curve;  // (flow, percent)
  double transitionStartFlow = 0.0;              // Reynolds 1700
  double transitionEndFlow = 0.0;                // Reynolds 5000
  std::string title;                             // "Repetabilite vs. debit"
  std::string flowAxisLabel;                     // "Debit(unit)"
  std::string transitionText;                    // "Dem. transition RN = " and the flow
};
SizingGraph sizingRepeatabilityGraph(const SizingResults& results);
// 0.2, 0.5, 1 or 2 times a power of ten for a span.
double sizingTickStep(double span);

}  // namespace tarnlux
