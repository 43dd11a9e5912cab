#include "graph/siggraph.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/app_state.h"
#include "app/error_box.h"
#include "app/manual.h"
#include "app/pdf_export.h"
#include "app/qt_text.h"
#include "app/screen_context.h"
#include "app/screen_layout.h"
#include "common/error_text.h"
#include "common/result.h"
#include "graph/graph.h"
#include "graph/signal_answer_table.h"
#include "link/link_reopen.h"

namespace tarnlux::ui {

namespace {

constexpr const char* kResolutionNames[] = {"Haut", "Moyen", "Bas"};

bool showRetryBox(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kErrorCaption), text,
                  QMessageBox::NoButton, parent);
  box.setObjectName(QStringLiteral("signalRetryBox"));
  QPushButton* yes = box.addButton(QStringLiteral("Oui"), QMessageBox::YesRole);
  box.addButton(QStringLiteral("Non"), QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.exec();
  return box.clickedButton() == yes;
}

SignalRetryPresenter& retryPresenter() {
  static SignalRetryPresenter presenter = showRetryBox;
  return presenter;
}

QRadioButton* radio(QWidget* parent, const char* name, const QString& text) {
  auto* r = new QRadioButton(text, parent);
  r->setObjectName(QString::fromLatin1(name));
  return r;
}

QPushButton* button(QWidget* parent, const char* name, const char* text) {
  auto* b = new QPushButton(QString::fromLatin1(text), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}

}  // namespace

SignalSettings& signalGraphSettings() {
  static SignalSettings settings;
  return settings;
}

SignalRetryPresenter setSignalRetryPresenter(SignalRetryPresenter presenter) {
  SignalRetryPresenter previous = std::move(retryPresenter());
  retryPresenter() = presenter ? std::move(presenter) : SignalRetryPresenter(showRetryBox);
  return previous;
}

// The screen's side of the query loop.
class Siggraph::LoopHost final : public SignalLoopHost {
 public:
  explicit LoopHost(Siggraph& screen) : s_(screen) {}

  int queryOnce() override {
    // Settings changed while querying apply from this cycle on.
    cycle_ = signalGraphSettings();
    OperationContext ctx = context();
    return querySignal(s_.app_.link, cycle_, s_.app_.meter, s_.received_, ctx);
  }
  void showAnswer() override {
    s_.shownSettings_ = cycle_;
    s_.answerArrived();
  }
  bool continuous() const override { return signalGraphSettings().continuous; }
  bool tcpLink() const override {
    return s_.app_.linkIsTcp || s_.app_.link.settings().portName == kTcpPortName;
  }
  int reopenLink() override {
    OperationContext ctx = context();
    return tarnlux::reopenLink(s_.app_.link, ctx);
  }
  void closeLink() override {
    OperationContext ctx = context();
    s_.app_.link.closeLink(false, ctx);
  }
  std::string pathFailureText() const override {
    return channelFailureMessage(cycle_.channel, s_.app_.meter.multiPath);
  }
  bool askRetry(const std::string& text) override { return retryPresenter()(&s_, qtText(text)); }
  void showError(const std::string& text, int code) override { ErrorBox(text, code, &s_); }
  void clearPicture() override {
    s_.graph_->modes().dataReady = false;
    s_.graph_->clear();
  }

 private:
  // Quiet: the loop says what went wrong, once.
  OperationContext context() {
    OperationContext ctx = screenContext(&s_, &s_.guard_.cancelFlag, &s_.progress_, true);
    if (s_.clock_ != nullptr) ctx.clock = s_.clock_;
    return ctx;
  }

  Siggraph& s_;
  SignalSettings cycle_;
};

Siggraph::Siggraph(AppState& app, ScreenLayout layout, QWidget* parent)
    : QDialog(parent), app_(app) {
  setObjectName(layout == ScreenLayout::Large ? QStringLiteral("hres_sig")
                                              : QStringLiteral("Siggraph"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowFlag(Qt::WindowMaximizeButtonHint, true);
  buildControls(layout);
  progress_ = progressLineFor(status_);

  graph_->reset();
  graph_->setGraphType(1);
  graph_->setHostScrollBar(scroll_);
  graph_->setPageDrawer(GraphPage::Signal,
                        [this](GraphCanvas& canvas) { return drawSignal(canvas); });
  graph_->installEventFilter(this);
  scroll_->hide();
  updateZoomButtons();

  setWindowTitle(
      qtText(signalScreenTitle(app_.connected, app_.meter.typeText, app_.meter.versionText)));
  applyMeterToControls();

  // Every graph screen starts querying as soon as it opens.
  QMetaObject::invokeMethod(this, &Siggraph::query, Qt::QueuedConnection);
}

Siggraph::~Siggraph() {
  if (graph_ != nullptr) graph_->removeEventFilter(this);
}

void Siggraph::buildControls(ScreenLayout layout) {
  const bool large = layout == ScreenLayout::Large;
  QFont controls = font();
  controls.setPointSize(large ? 10 : 8);
  setFont(controls);

  graph_ = new Graph(this);
  graph_->setObjectName(QStringLiteral("graph"));
  graph_->setMinimumSize(large ? QSize(900, 520) : QSize(780, 300));
  scroll_ = new QScrollBar(Qt::Horizontal, this);
  scroll_->setObjectName(QStringLiteral("traceScroll"));
  scroll_->setTracking(false);
  connect(scroll_, &QScrollBar::actionTriggered, this, &Siggraph::scrollAction);
  connect(scroll_, &QScrollBar::sliderReleased, this, &Siggraph::scrollReleased);

  // Channel.
  auto* channelBox = new QGroupBox(QStringLiteral("Canal compteur"), this);
  channelBox->setObjectName(QStringLiteral("channelGroup"));
  auto* channelLayout = new QGridLayout(channelBox);
  auto* channelGroup = new QButtonGroup(this);
  for (int n = 0; n < 4; ++n) {
    const std::string name = "channel" + std::to_string(n + 1);
    channels_[n] =
        radio(channelBox, name.c_str(), QStringLiteral("Canal ") + QString::number(n + 1));
    channelGroup->addButton(channels_[n], n);
    channelLayout->addWidget(channels_[n], n / 2, n % 2);
  }
  connect(channelGroup, &QButtonGroup::idClicked, this, &Siggraph::channelChosen);

  // Fluid or NullTrack signal.
  auto* kindBox = new QGroupBox(QStringLiteral("Type signal"), this);
  kindBox->setObjectName(QStringLiteral("signalKindGroup"));
  auto* kindLayout = new QVBoxLayout(kindBox);
  fluid_ = radio(kindBox, "fluid", QStringLiteral("Liquide"));
  nullTrack_ = radio(kindBox, "nullTrack", QStringLiteral("NullTrack"));
  kindLayout->addWidget(fluid_);
  kindLayout->addWidget(nullTrack_);
  connect(fluid_, &QRadioButton::clicked, this, [this] { nullTrackChosen(false); });
  connect(nullTrack_, &QRadioButton::clicked, this, [this] { nullTrackChosen(true); });

  // Signal or envelope, and the alignment.
  auto* typeBox = new QGroupBox(QStringLiteral("Type graphe"), this);
  typeBox->setObjectName(QStringLiteral("graphTypeGroup"));
  auto* typeLayout = new QVBoxLayout(typeBox);
  signal_ = radio(typeBox, "signal", QStringLiteral("Signal"));
  envelope_ = radio(typeBox, "envelope", QStringLiteral("Enveloppe"));
  correlated_ = new QCheckBox(QStringLiteral("Correle"), typeBox);
  correlated_->setObjectName(QStringLiteral("correlated"));
  typeLayout->addWidget(signal_);
  typeLayout->addWidget(envelope_);
  typeLayout->addWidget(correlated_);
  connect(signal_, &QRadioButton::clicked, this, [] { signalGraphSettings().graphType = 0; });
  connect(envelope_, &QRadioButton::clicked, this, [] { signalGraphSettings().graphType = 1; });
  connect(correlated_, &QCheckBox::clicked, this, [this](bool on) {
    signalGraphSettings().correlated = on;
    if (hasShown_ && graph_->modes().dataReady) {
      relayoutTrace(false);
      graph_->requestRelayout();
    }
  });

  // How the meter is asked.
  auto* askBox = new QGroupBox(QStringLiteral("Demande compteur"), this);
  askBox->setObjectName(QStringLiteral("queryGroup"));
  auto* askLayout = new QGridLayout(askBox);
  continuous_ = radio(askBox, "continuous", QStringLiteral("En continu"));
  once_ = radio(askBox, "once", QStringLiteral("Une fois"));
  auto* resolutionLabel = new QLabel(QStringLiteral("Resolution signal:"), askBox);
  resolutionLabel->setObjectName(QStringLiteral("resolutionLabel"));
  resolution_ = new QComboBox(askBox);
  resolution_->setObjectName(QStringLiteral("resolution"));
  for (const char* name : kResolutionNames) resolution_->addItem(QString::fromLatin1(name));
  resolutionLabel->setBuddy(resolution_);
  askLayout->addWidget(continuous_, 0, 0);
  askLayout->addWidget(once_, 1, 0);
  askLayout->addWidget(resolutionLabel, 0, 1);
  askLayout->addWidget(resolution_, 1, 1);
  connect(continuous_, &QRadioButton::clicked, this,
          [] { signalGraphSettings().continuous = true; });
  connect(once_, &QRadioButton::clicked, this, [] { signalGraphSettings().continuous = false; });
  connect(resolution_, &QComboBox::activated, this,
          [](int index) { signalGraphSettings().resolution = index + 1; });

  queryButton_ = button(this, "query", "Demander");
  stopButton_ = button(this, "stop", "Stop");
  zoomInButton_ = button(this, "zoomIn", "Zoom avant");
  zoomOutButton_ = button(this, "zoomOut", "Zoom arriere");
  printButton_ = button(this, "print", "Imprimer");
  pdfButton_ = button(this, "exportPdf", kExportPdfText);
  auto* manual = button(this, "manual", "Afficher manuel");
  auto* exit = button(this, "exit", "Quitter");
  printButton_->setEnabled(false);
  pdfButton_->setEnabled(false);
  connect(queryButton_, &QPushButton::clicked, this, &Siggraph::query);
  connect(stopButton_, &QPushButton::clicked, this, &Siggraph::stopQuery);
  connect(zoomInButton_, &QPushButton::clicked, this, &Siggraph::zoomIn);
  connect(zoomOutButton_, &QPushButton::clicked, this, &Siggraph::zoomOut);
  connect(printButton_, &QPushButton::clicked, this, &Siggraph::printGraph);
  connect(pdfButton_, &QPushButton::clicked, this, &Siggraph::exportGraphPdf);
  connect(manual, &QPushButton::clicked, this, [this] { showManual(this); });
  connect(exit, &QPushButton::clicked, this, &Siggraph::reject);

  auto* buttons = new QGridLayout;
  buttons->addWidget(queryButton_, 0, 0);
  buttons->addWidget(stopButton_, 0, 1);
  buttons->addWidget(zoomInButton_, 1, 0);
  buttons->addWidget(zoomOutButton_, 1, 1);
  buttons->addWidget(printButton_, 2, 0);
  buttons->addWidget(manual, 2, 1);
  buttons->addWidget(pdfButton_, 3, 0);
  buttons->addWidget(exit, 3, 1);

  auto* statusLabel = new QLabel(QStringLiteral("Etat:"), this);
  statusLabel->setObjectName(QStringLiteral("statusLabel"));
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setFrameShape(QFrame::StyledPanel);
  status_->setFrameShadow(QFrame::Sunken);
  auto* statusRow = new QHBoxLayout;
  statusRow->addWidget(statusLabel);
  statusRow->addWidget(status_, 1);

  // The trace takes the whole width (the figure table needs 96 characters);
  // the controls sit in a row under it.
  auto* controlRow = new QHBoxLayout;
  controlRow->setSpacing(large ? 8 : 4);
  controlRow->addWidget(channelBox);
  controlRow->addWidget(kindBox);
  controlRow->addWidget(typeBox);
  controlRow->addWidget(askBox);
  controlRow->addStretch(1);
  controlRow->addLayout(buttons);

  const int margin = large ? 10 : 4;
  auto* layoutAll = new QVBoxLayout(this);
  layoutAll->setContentsMargins(margin, margin, margin, margin);
  layoutAll->setSpacing(large ? 8 : 3);
  layoutAll->addWidget(graph_, 1);
  layoutAll->addWidget(scroll_);
  layoutAll->addLayout(controlRow);
  layoutAll->addLayout(statusRow);
}

void Siggraph::applyMeterToControls() {
  SignalSettings& s = signalGraphSettings();
  const std::uint32_t flags = app_.connected ? app_.meter.meterFlags : 0;
  fitSignalSettings(s, flags);
  for (int n = 0; n < 4; ++n) channels_[n]->setEnabled(signalChannelSelectable(flags, n));
  // Meters without extended diagnostics always line the bursts up by their
  // alignment points.
  if (app_.connected && !app_.meter.extendedDiagnostics) {
    correlated_->setChecked(true);
    correlated_->setEnabled(false);
  }
  showSettings();
}

void Siggraph::showSettings() {
  const SignalSettings& s = signalGraphSettings();
  const std::uint32_t flags = app_.connected ? app_.meter.meterFlags : 0;
  const bool haveChannel = s.channel != kNoSignalChannel;
  // An exclusive group cannot show "none" otherwise.
  QButtonGroup* group = channels_[0]->group();
  group->setExclusive(false);
  for (int n = 0; n < 4; ++n) channels_[n]->setChecked(n == s.channel);
  group->setExclusive(true);

  fluid_->setEnabled(haveChannel);
  nullTrack_->setEnabled(haveChannel && meter_flags::nullTrackAvailable(flags, s.channel));
  (s.nullTrackChosen ? nullTrack_ : fluid_)->setChecked(true);
  (s.graphType == 1 ? envelope_ : signal_)->setChecked(true);
  (s.continuous ? continuous_ : once_)->setChecked(true);
  resolution_->setCurrentIndex(std::clamp(s.resolution, 1, 3) - 1);
  if (correlated_->isEnabled()) correlated_->setChecked(s.correlated);
}

void Siggraph::channelChosen(int channel) {
  SignalSettings& s = signalGraphSettings();
  s.channel = channel;
  fitSignalSettings(s, app_.connected ? app_.meter.meterFlags : 0);
  showSettings();
}

void Siggraph::nullTrackChosen(bool nullTrack) {
  SignalSettings& s = signalGraphSettings();
  s.nullTrackChosen = nullTrack;
  fitSignalSettings(s, app_.connected ? app_.meter.meterFlags : 0);
  showSettings();
}

bool Siggraph::alignByCorrelation() const {
  return signalGraphSettings().correlated || !app_.meter.extendedDiagnostics;
}

TransitTimeLimits Siggraph::effectiveLimits() const {
  if (limits_ != nullptr) return *limits_;
  PassFailLimits defaults;
  resetLimitsToDefaults(defaults, app_.meter.gasMeter, app_.meter.extendedDiagnostics);
  return defaults.transitTime;
}

void Siggraph::query() {
  if (!app_.connected) {
    ErrorBox(kSignalNotConnected, -1, this);
    return;
  }
  if (signalGraphSettings().channel == kNoSignalChannel) {
    ErrorBox(kSignalNoChannel, -1, this);
    return;
  }
  // One query loop in the whole program: a second press, or another
  // screen's operation, turns this one away.
  guard_.start([this] { runLoop(); });
  if (exitRequested_) done(QDialog::Rejected);
}

void Siggraph::runLoop() {
  exitRequested_ = false;
  graph_->reset();
  graph_->setGraphType(1);
  graph_->modes().dataReady = false;
  printButton_->setEnabled(false);
  pdfButton_->setEnabled(false);
  progress_.start(kSignalCollecting);
  graph_->clear();

  LoopHost host(*this);
  const SignalLoopEnd end = runSignalLoop(host);
  status_->setText(end == SignalLoopEnd::Stopped ? QString::fromLatin1(kSignalStopped) : QString());
}

void Siggraph::answerArrived() {
  // A change of resolution keeps the sample in the middle where it was.
  const bool keepCentre = hasShown_ && shown_.resolution != received_.resolution;
  shown_ = received_;
  hasShown_ = true;
  graph_->newData();
  relayoutTrace(keepCentre);
  printButton_->setEnabled(true);
  pdfButton_->setEnabled(true);
}

void Siggraph::relayoutTrace(bool keepCentre) {
  if (!hasShown_) return;
  GraphCanvas screen;
  screen.dpiY = graph_->logicalDpiY();
  const QFontMetrics metrics(screen.courier(10), graph_);
  const SignalPlotLayout plot = signalPlotLayout(
      {0, 0, graph_->width(), graph_->height()},
      std::max(1, metrics.horizontalAdvance(QLatin1Char('0'))), std::max(1, metrics.height()));
  const SignalShifts shifts = signalShifts(shown_, alignByCorrelation());
  view_.layout({plot.left, plot.right, static_cast<int>(shown_.a.samples.size()), shifts.larger(),
                shown_.resolution, signalGraphSettings().zoom},
               keepCentre);
  graph_->rememberScreenSamples(view_.visibleSamples());
  syncScrollBar();
}

void Siggraph::syncScrollBar() {
  const QSignalBlocker block(scroll_);
  // A cleared picture has no bar, whatever the last trace needed.
  if (!view_.scrollBarShown() || !graph_->modes().dataReady) {
    scroll_->hide();
    return;
  }
  scroll_->setRange(1, view_.scrollRange());
  scroll_->setSingleStep(1);
  scroll_->setPageStep(std::max(1, view_.visibleSamples()));
  scroll_->setValue(view_.scrollPosition());
  scroll_->show();
}

void Siggraph::scrollAction(int action) {
  SignalScroll move;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
      move = SignalScroll::LineRight;
      break;
    case QAbstractSlider::SliderSingleStepSub:
      move = SignalScroll::LineLeft;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      move = SignalScroll::PageRight;
      break;
    case QAbstractSlider::SliderPageStepSub:
      move = SignalScroll::PageLeft;
      break;
    case QAbstractSlider::SliderMove:
      return;  // thumb tracking: only where it is let go counts
    default:
      scroll_->setSliderPosition(view_.scrollPosition());
      return;
  }
  if (view_.scroll(move)) graph_->update();
  scroll_->setSliderPosition(view_.scrollPosition());
}

void Siggraph::scrollReleased() {
  if (view_.scroll(SignalScroll::ThumbFinal, scroll_->sliderPosition())) graph_->update();
  const QSignalBlocker block(scroll_);
  scroll_->setValue(view_.scrollPosition());
}

void Siggraph::updateZoomButtons() {
  const int zoom = signalGraphSettings().zoom;
  zoomInButton_->setEnabled(zoom < kMaxSignalZoom);
  zoomOutButton_->setEnabled(zoom > 1);
}

void Siggraph::zoomIn() {
  SignalSettings& s = signalGraphSettings();
  if (s.zoom <= kMaxSignalZoom / 2) s.zoom *= 2;
  updateZoomButtons();
  if (hasShown_ && graph_->modes().dataReady) {
    relayoutTrace(true);
    graph_->requestRelayout();
  }
}

void Siggraph::zoomOut() {
  SignalSettings& s = signalGraphSettings();
  if (s.zoom >= 2) s.zoom /= 2;
  updateZoomButtons();
  if (hasShown_ && graph_->modes().dataReady) {
    relayoutTrace(true);
    graph_->requestRelayout();
  }
}

void Siggraph::printGraph() { graph_->print(this); }

void Siggraph::exportGraphPdf() {
  if (!graph_->hasPicture()) return;
  exportPdf(this, QString::fromStdString(app_.programDirectory), QStringLiteral("Graphe signal.pdf"),
            [this](QPrinter& printer) { return graph_->printTo(printer); });
}

void Siggraph::stopQuery() {
  if (guard_.running()) guard_.requestCancel();
}

void Siggraph::reject() {
  // While querying, Exit stops the loop and the screen closes when it has ended.
  if (guard_.running()) {
    exitRequested_ = true;
    guard_.requestCancel();
    return;
  }
  QDialog::reject();
}

bool Siggraph::eventFilter(QObject* watched, QEvent* event) {
  if (watched == graph_ && event->type() == QEvent::Resize) relayoutTrace(false);
  return QDialog::eventFilter(watched, event);
}

hres_sig::hres_sig(AppState& app, QWidget* parent) : Siggraph(app, ScreenLayout::Large, parent) {}

void openSignalGraph(AppState& app, QWidget* parent) {
  // The figures are graded against the limits the program works with.
  const TransitTimeLimits* limits = &app.block.working.limits.transitTime;
  if (currentScreenLayout(parent) == ScreenLayout::Large) {
    hres_sig screen(app, parent);
    screen.setLimits(limits);
    screen.exec();
  } else {
    Siggraph screen(app, ScreenLayout::Small, parent);
    screen.setLimits(limits);
    screen.exec();
  }
}

}  // namespace tarnlux::ui
