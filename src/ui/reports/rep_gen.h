#pragma once

#include <QDialog>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/layout_choice.h"
#include "app/report_host.h"
#include "reports/capture_log_reader.h"
#include "reports/report_page.h"

class QLineEdit;
class QPushButton;

namespace tarnlux::ui {

class Graph;
struct GraphCanvas;
class ReportGeneratorHost;

inline constexpr const char* kReportGeneratorTitle = "Generateur de rapport";
inline constexpr const char* kCaptureLogFilter =
    "Fichiers capture donnees separes par virgule (*.csv)";

// The report generator: capture logs read back into the single-report page,
// or every log of a folder into the multi-report page and a trend log. A
// modeless window; its file reading runs on a worker thread so the screen
// (and a meter loop on another screen) stays responsive. `Lres_Rpt` is the
// same screen in the small layout.
class Rep_Gen : public QDialog, public ReportGeneratorWindow {
  Q_OBJECT

 public:
  explicit Rep_Gen(QWidget* parent = nullptr, ScreenLayout layout = ScreenLayout::Large,
                   std::string iniPath = {});
  ~Rep_Gen() override;

  bool stopWorker(int timeoutMs) override;

  Graph* graph() const { return graph_; }
  QString statusText() const;
  bool busy() const { return busy_; }
  bool trendMode() const { return trendMode_; }
  const std::string& currentFile() const { return currentFile_; }
  const std::vector<ReportPage>& pages() const { return pages_; }
  const std::string& trendLog() const { return trendLog_; }

  // Reads `path` as "Lect fich" does after the file dialog.
  void readFile(const std::string& path);

  // Makes the window the report generator of `host` (the menu's and the
  // diagnostic screen's), built in the layout the host chooses.
  static void install(ReportGeneratorHost& host);

 public slots:
  void chooseFile();   // "Lect fich"
  void showReport();   // "Rapport"
  void showTrend();    // "Tendance"
  void printReport();  // "Imprimer"
  void exportReportPdf();

 signals:
  // A read or a trend ended (tests wait on it).
  void workFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  enum class JobKind { Read, Trend };
  struct Job {
    JobKind kind = JobKind::Read;
    std::string file;
    bool readFirst = true;  // a trend started by "Lect fich" checks the chosen file first
  };
  struct JobResult {
    int code = 0;
    std::string message;
    std::vector<ReportData> logs;
    std::string trendLog;
  };

  void buildControls(ScreenLayout layout);
  void readLastReport();
  void startJob(Job job);
  static JobResult runJob(const Job& job, const std::atomic<int>& cancel);
  void finishJob(const Job& job, JobResult result);
  void joinWorker();
  void setStatus(const std::string& text);
  void updateButtons();
  int drawPages(GraphCanvas& canvas);

  std::string iniPath_;
  Graph* graph_ = nullptr;
  QLineEdit* status_ = nullptr;
  QPushButton* readButton_ = nullptr;
  QPushButton* printButton_ = nullptr;
  QPushButton* pdfButton_ = nullptr;
  QPushButton* trendButton_ = nullptr;
  QPushButton* reportButton_ = nullptr;

  std::string currentFile_;
  bool trendMode_ = false;
  bool trendAllowed_ = false;
  std::vector<ReportPage> pages_;
  std::string trendLog_;

  std::thread worker_;
  std::atomic<int> cancel_{0};
  std::mutex doneMutex_;
  std::condition_variable doneChanged_;
  bool done_ = true;
  bool busy_ = false;
};

class Lres_Rpt : public Rep_Gen {
  Q_OBJECT

 public:
  explicit Lres_Rpt(QWidget* parent = nullptr, std::string iniPath = {})
      : Rep_Gen(parent, ScreenLayout::Small, std::move(iniPath)) {}
};

}  // namespace tarnlux::ui
