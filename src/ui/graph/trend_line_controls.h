#pragma once

#include <QObject>
#include <string>

#include "graph/trend_settings.h"
#include "graph/trend_view.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace tarnlux {
struct MeasurementStore;
}

namespace tarnlux::ui {

struct AppState;
class EnterKeyFields;
class Graph;

// The trend line settings every capture screen shows: the quantity list
// ("Donnees graphe:"), the time span ("Duree graphe:") and the scaling group
// ("Mise a echelle") with its radio buttons and the Y maximum and minimum
// edits. It keeps the TrendView the graph reads and the choices and scalings
// the program remembers while it runs.
class TrendLineControls : public QObject {
  Q_OBJECT

 public:
  TrendLineControls(AppState& app, Graph* graph, QLabel* status, QWidget* parent);

  QLabel* dataLabel() const { return dataLabel_; }
  QComboBox* dataList() const { return data_; }
  QLabel* spanLabel() const { return spanLabel_; }
  QComboBox* spanList() const { return span_; }
  QGroupBox* scalingGroup() const { return scaling_; }
  QLineEdit* maximumEdit() const { return maximum_; }
  QLineEdit* minimumEdit() const { return minimum_; }

  // Fills the lists for the connected meter and selects the remembered
  // entries; sets the graph type and the scaling controls.
  void fillForMeter();
  // While the loop runs a scaling problem is shown in the status line.
  void setQuerying(bool querying);

  int quantity() const;
  const TrendView& view() const { return view_; }
  // Before a query: an item this meter cannot show, or a manual scaling
  // problem (the focus goes to the faulty edit). Empty when the query may run.
  std::string checkBeforeQuery();
  // The unit texts and flags the trend draws with, from the latest readings.
  void updateFromReadings(const MeasurementStore& store);

 private:
  void quantityChosen(int position);
  void spanChosen(int entry);
  void loadScaling();
  void applyMaximum();
  void applyMinimum();
  void manualChosen(bool manual);
  void showOutcome(const ScaleEditOutcome& outcome);
  TrendQuantityFacts quantityFacts() const;
  TrendScaling& scaling();
  bool echoflux() const;
  void syncView();

  AppState& app_;
  Graph* graph_;
  QLabel* status_;
  bool querying_ = false;
  TrendDataList list_;
  TrendView view_;

  QLabel* dataLabel_ = nullptr;
  QComboBox* data_ = nullptr;
  QLabel* spanLabel_ = nullptr;
  QComboBox* span_ = nullptr;
  QGroupBox* scaling_ = nullptr;
  QRadioButton* auto_ = nullptr;
  QRadioButton* manual_ = nullptr;
  QLineEdit* maximum_ = nullptr;
  QLineEdit* minimum_ = nullptr;
  EnterKeyFields* enterKeys_ = nullptr;
};

}  // namespace tarnlux::ui
