// The file dialogs: each kind opens in its own last folder, also after a restart, else in the
// settings folder; the zip of an empty store asks nothing; a save's box names its file.
#include <optional>

#include "support/window_fixture.h"

class FileCommandsTest : public QObject {
    Q_OBJECT

    // Opens the dialog that act shows, checks the folder it opens in and accepts the file
    // (cancels with an empty one); text gets the message box shown after it, if any.
    static void Choose(const std::function<void()>& act, const QString& folder, const QString& file,
                       QString* text = nullptr) {
        std::optional<ModalWatcher> box;
        const bool asked = Answered(act, [&](QWidget* open) {
            auto* dialog = qobject_cast<QFileDialog*>(open);
            QVERIFY(dialog != nullptr);
            QCOMPARE(dialog->directory().absolutePath(), QDir(folder).absolutePath());
            if (file.isEmpty()) return;
            if (text != nullptr)
                box.emplace([text](QWidget* shown) {
                    if (auto* message = qobject_cast<QMessageBox*>(shown)) *text = message->text();
                });
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(file);
            static_cast<QDialog*>(dialog)->accept();
        });
        QVERIFY(asked);
        if (text != nullptr) QVERIFY(QTest::qWaitFor([&] { return box && box->found; }));
    }

  private slots:
    void eachKindOpensInItsLastFolder() {
        WindowFixture f;
        f.settings.SaveDatatoDesktop = 0;  // the log saves write to the settings folder
        const QString settings = f.dir.path(), sent = settings + "/sent", logs = settings + "/logs";
        QVERIFY(QDir().mkpath(sent) && QDir().mkpath(logs));
        QFile one(sent + "/one.txt");
        QVERIFY(one.open(QIODevice::WriteOnly) && one.write("one") == 3);
        one.close();
        CMainWindow* window = &f.Window();
        const auto sendFile = [&] { f.Control<QPushButton>("SendFile")->click(); };

        QVERIFY(!Answered([&] { window->RunCommand(kCmdSaveZip); }, [](QWidget*) {}));
        Choose(sendFile, settings, one.fileName());
        QCOMPARE(f.Received(3), std::string("one"));
        // The file's record makes the store worth saving.
        QString shown;
        Choose([&] { window->RunCommand(kCmdSaveZip); }, settings, logs + "/all.zip", &shown);
        QVERIFY2(shown.endsWith("\n" + logs + "/all.zip"), qPrintable(shown));

        // A new run: each kind where it was last, the others in the settings folder.
        f.window.reset();
        window = &f.Window();
        Choose([&] { f.Control<QPushButton>("LoadFile")->click(); }, settings, QString());
        Choose(sendFile, sent, one.fileName());
        Choose([&] { f.Control<QPushButton>("SaveData")->click(); }, logs, logs + "/one.log",
               &shown);
        QCOMPARE(shown, "with Fmt styleSave data file succeeded: " + logs + "/one.log");
        // A folder that went away is forgotten.
        QVERIFY(QDir(sent).removeRecursively());
        Choose(sendFile, settings, QString());
    }
};
QELVOR_WINDOW_TEST(FileCommandsTest);
#include "file_commands_test.moc"
