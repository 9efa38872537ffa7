// The CSV export: the file asked for, cancelled midway, then written whole from a dialog that
// opens where the last one chose.
#include "support/window_fixture.h"

class CsvExportRunnerTest : public QObject {
    Q_OBJECT
  private slots:
    void cancelledThenWritten() {
        WindowFixture f;
        CMainWindow& window = f.Window();
        QVERIFY(f.peer.Send("say abbc\r\nhello\r\n"));
        QTRY_COMPARE(window.Engine().Exchange().RecordCount(), size_t(2));
        const QString path = f.dir.filePath("out.csv");
        QString openedIn;
        const auto exportTo = [&](const QString& target) {
            return Answered([&] { f.Action("ExportCsv")->trigger(); },
                            [&](QWidget* open) {
                                auto* dialog = qobject_cast<QFileDialog*>(open);
                                openedIn = dialog->directory().absolutePath();
                                QCOMPARE(dialog->selectedFiles().value(0).section('/', -1),
                                         QString("traffic.csv"));
                                QCOMPARE(dialog->nameFilters().value(0), QString("CSV (*.csv)"));
                                // Typed as the user would, a whole path in the name field.
                                dialog->findChild<QLineEdit*>("fileNameEdit")->setText(target);
                                static_cast<QDialog*>(dialog)->accept();
                            });
        };

        // Cancelled while the rows are written: neither the file nor its part.
        QVERIFY(exportTo(path));
        QVERIFY(QFile::exists(path + ".part"));
        window.findChild<QProgressDialog*>("CsvExportProgress")->findChild<QPushButton*>()->click();
        QVERIFY(!QFile::exists(path) && !QFile::exists(path + ".part"));

        QVERIFY(exportTo(path));
        QCOMPARE(openedIn, f.dir.path());  // where the cancelled export was to go
        const CMsgExchange& store = window.Engine().Exchange();
        QTRY_VERIFY(store.Record(store.RecordCount() - 1).Type() == 'I');
        QCOMPARE(QString::fromStdString(store.Record(store.RecordCount() - 1).Data()),
                 "CSV export: 2 rows written to " + path);
        const QStringList lines = QString::fromStdString(ReadAll(path)).split("\r\n");
        QCOMPARE(lines.size(), 4);  // the header, two rows and the end of the last
        QVERIFY2(lines[2].contains(",R,hello"), qPrintable(lines[2]));
    }
};
QELVOR_WINDOW_TEST(CsvExportRunnerTest);
#include "csv_export_runner_test.moc"
