// The popups' items in order, and the gesture that opens each popup or box.
#include "window/popup_menus.h"
#include "support/window_fixture.h"

class PopupMenusTest : public QObject {
    Q_OBJECT
  private slots:
    // The window's menu begins with its own items (the bands add theirs after); SelectUI
    // marks the language in use; SendCtrl's drop-down is the control characters' menu; the
    // data list's ends with "Send message" in the ASTM and the HL7 mode alone.
    void itemsInOrder() {
        WindowFixture f;
        f.settings.UsedUILangCode = 2;  // the labels are read in English
        CMainWindow& window = f.Window(false);
        const std::unique_ptr<QMenu> languages(window.BuildPopup("SelectUI"));
        QVERIFY(languages->actions().at(2)->isChecked() &&
                !languages->actions().at(0)->isChecked());
        QCOMPARE(
            Labels(window.findChild<QMenu*>("SystemMenu")).mid(0, 4),
            QStringList({"About Qelvor(&A)...", "Pin Window", "&Explorer Path", "&New Instance"}));
        auto* sendCtrl = f.Control<QToolButton>("SendCtrl");
        QCOMPARE(sendCtrl->popupMode(), QToolButton::MenuButtonPopup);
        QCOMPARE(Labels(sendCtrl->menu()),
                 Labels(std::unique_ptr<QMenu>(window.BuildPopup("CTRL_CHAR")).get()));
        for (const int mode : {kProtocolAstm, kProtocolHl7, 0}) {
            f.settings.ProtocolMode = mode;
            const std::unique_ptr<QMenu> dataList(window.BuildPopup("DATA_PROC"));
            QCOMPARE(CommandOf(dataList->actions().last()) == kCmdSendAstmMessage, mode != 0);
        }
    }

    // By object name or text; pane 0 opens nothing outside the serial mode.
    void gesturesOpenTheirPopupsAndDialogs() {
        const std::tuple<const char*, std::string, QString> cases[] = {
            {"StatusPane2", "double", "LuaProc.lua"}, {"StatusPane2", "right", "DATA_PROC"},
            {"StatusPane3", "right", "SelectUI"},     {"TrafficList", "right", "EVENT"},
            {"SendBox", "F1", "AboutDialog"},         {"StatusPane0", "double", ""}};
        for (const auto& [target, gesture, opened] : cases) {
            WindowFixture f;
            QWidget* widget = f.Control(target);
            if (auto* view = qobject_cast<QAbstractScrollArea*>(widget)) widget = view->viewport();
            QString seen;
            ModalWatcher watcher([&](QWidget* open) {
                auto* box = qobject_cast<QMessageBox*>(open);
                seen = box != nullptr ? box->text() : open->objectName();
            });
            if (gesture == "double") QTest::mouseDClick(widget, Qt::LeftButton);
            if (gesture == "right") QTest::mouseClick(widget, Qt::RightButton);
            if (gesture == "F1") QTest::keyClick(widget, Qt::Key_F1);
            if (opened.isEmpty()) QTest::qWait(100);
            QTRY_COMPARE(seen, opened);
            QCOMPARE(watcher.found, !opened.isEmpty());
            QVERIFY(f.window->isVisible());
        }
    }
};
QELVOR_WINDOW_TEST(PopupMenusTest);
#include "popup_menus_test.moc"
