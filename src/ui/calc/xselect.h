#pragma once

#include <QDialog>
#include <array>
#include <string>
#include <vector>

#include "calc/sizing_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QTabBar;

namespace tarnlux::ui {

struct AppState;
class AGA8Disp;
class RepeatabilityGraph;

// The sensor selection and sizing tool, in gas or liquid mode for its whole
// life: pipe, fluid and operating range in; recommended sensor type, size,
// mount and spacing, the installation figures, the repeatability graph
// (liquid) and the application problems out. Each mode keeps its own record.
class XSelect : public QDialog {
  Q_OBJECT

 public:
  XSelect(AppState& app, SizingMode mode, QWidget* parent = nullptr);
  XSelect(AppState& app, SizingSession& session, QWidget* parent = nullptr);
  ~XSelect() override;

  // The recommendation boxes.
  enum Choice : int { kTypeBox, kSizeBox, kMountBox, kSpacingBox };

  SizingSession& session() { return session_; }
  SizingMode mode() const { return session_.mode; }
  QLineEdit* entryField(int entry) const;
  QComboBox* selectionBox(int selection) const {
    return boxes_[static_cast<std::size_t>(selection)];
  }
  QComboBox* choiceBox(int choice) const { return choices_[static_cast<std::size_t>(choice)]; }
  QLabel* typeLabel() const { return typeLabel_; }
  QTabBar* tabs() const { return tabs_; }
  AGA8Disp* display() const { return display_; }
  RepeatabilityGraph* graph() const { return graph_; }
  QCheckBox* filterBox() const { return filter_; }
  std::vector<std::string>& compositionTexts() { return compositionTexts_; }

  void calculate();
  void openComposition();
  void openSetup();
  void save();
  void saveAs();
  void print();
  void exportToPdf();
  bool openSetupFile(const QString& path);
  bool saveSetupFile(const QString& path);
  // Every page in turn (the graph for the liquid tool's second); false when
  // there are no results or the printer would not start.
  bool printTo(QPrinter& printer);

 protected:
  void reject() override;

 private:
  void build();
  void showSession();
  void showUnitLabels();
  void showResults();
  void showTab(int index);
  void fieldLeft(int entry);
  void selectionChosen(int selection, int index);
  void choiceChosen(int choice, int index);
  void convertFields(const SizingChoices& before);
  void invalidateResults();
  std::vector<std::string> fieldTexts() const;
  int currentPage() const;

  AppState& app_;
  SizingSession& session_;
  std::vector<QLineEdit*> fields_;  // by entry; null for the composition
  std::vector<QLabel*> unitLabels_;
  std::array<QComboBox*, kSizingSelectionCount> boxes_{};
  std::array<QComboBox*, 4> choices_{};
  std::vector<std::string> compositionTexts_;
  QLabel* typeLabel_ = nullptr;
  QLabel* spacingLabel_ = nullptr;
  QCheckBox* filter_ = nullptr;
  QPushButton* composition_ = nullptr;
  QPushButton* print_ = nullptr;
  QPushButton* pdf_ = nullptr;
  QTabBar* tabs_ = nullptr;
  AGA8Disp* display_ = nullptr;
  RepeatabilityGraph* graph_ = nullptr;
  bool calculating_ = false;
  bool filling_ = false;
};

}  // namespace tarnlux::ui
