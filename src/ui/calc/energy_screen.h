#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "calc/energy_settings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarnlux::ui {

struct AppState;
class AGA8Disp;

// The energy flow calculator: flow, supply and return temperatures, liquid
// and service in; temperature difference, density and mass flow at the flow
// sensor, energy rate and the Pt1000 resistances out.
class EnrgCalc : public QDialog {
  Q_OBJECT

 public:
  explicit EnrgCalc(AppState& app, QWidget* parent = nullptr);
  EnrgCalc(AppState& app, EnergySession& session, QWidget* parent = nullptr);

  EnergySession& session() { return session_; }
  QLineEdit* entryField(int entry) const { return fields_[static_cast<std::size_t>(entry)]; }
  QLabel* unitLabel(int entry) const { return unitLabels_[static_cast<std::size_t>(entry)]; }
  QComboBox* selectionBox(int selection) const {
    return boxes_[static_cast<std::size_t>(selection)];
  }
  AGA8Disp* display() const { return display_; }

  void calculate();
  void openSetup();
  void save();
  void saveAs();
  void print();
  void exportResultsPdf();
  bool openSetupFile(const QString& path);
  bool saveSetupFile(const QString& path);

 private:
  void build();
  void showSession();
  void showUnitLabels();
  void fieldLeft(int entry);
  void selectionChosen(int selection, int index);
  void invalidateResults();
  std::array<std::string, kEnergyEntryCount> fieldTexts() const;
  void showFlow(double cubicInchesPerSecond);

  AppState& app_;
  EnergySession& session_;
  std::array<QLineEdit*, kEnergyEntryCount> fields_{};
  std::array<QLabel*, kEnergyEntryCount> unitLabels_{};
  std::array<QComboBox*, kEnergySelectionCount> boxes_{};
  AGA8Disp* display_ = nullptr;
  QPushButton* print_ = nullptr;
  QPushButton* exportPdf_ = nullptr;
};

}  // namespace tarnlux::ui
