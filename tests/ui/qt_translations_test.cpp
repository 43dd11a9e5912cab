#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "app/qm_app.h"

using namespace tarnlux::ui;

// Qt's own dialogs speak French once the program has loaded Qt's translations.
class QtTranslationsTest : public QObject {
  Q_OBJECT

 private slots:
  void standardButtonsSpeakFrench() {
    QVERIFY2(CQmApp::installQtTranslations(*QCoreApplication::instance()),
             "Qt's French translations (qt6-translations-l10n) are not installed");
    QMessageBox box(QMessageBox::Question, QStringLiteral("ERR."), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Annuler"));
    QCOMPARE(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("Oui"));
  }
};

QTEST_MAIN(QtTranslationsTest)
#include "qt_translations_test.moc"
