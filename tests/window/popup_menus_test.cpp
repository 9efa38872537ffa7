// The popups' items in order, and the gesture that opens each popup or box.
#include "support/window_fixture.h"

class PopupMenusTest : public QObject {
    Q_OBJECT
  private slots:
    // The window's menu begins with its own items (the bands add theirs
    // after); SendCtrl's drop-down is the control characters' menu.
    void itemsInOrder() {
        WindowFixture f;
        f.settings.UsedUILangCode = 2;  // the labels are read in English
        CMainWindow& window = f.Window(false);
        const std::pair<const char*, QStringList> popups[] = {
            {"CTRL_CHAR",
             {"SOH(0x01)", "STX(0x02)", "ETX(0x03)", "EOT(0x04)", "EOT+SOH", "ENQ(0x05)",
              "ACK(0x06)", "CR+LF", "LF(0x0A)", "CR(0x0D)", "NAK(0x15)", "SYN(0x16)"}},
            {"EVENT",
             {"Save as &Fmt", "Save as &Raw", "Save as &Hex", "Save as &Txt",
              "Save as Fmt (&B)inary", "Save as &All", "save to &Zip file", "&Clear all data"}},
            {"DATA_PROC",
             {"&Load", "&ReLoad", "&Clear", "Save &As", "Insert Data(up)", "Insert Data((below)",
              "Delete Data"}},
            {"SelectUI", {"System", "Chinese", "English"}}};
        for (const auto& [name, labels] : popups) {
            std::unique_ptr<QMenu> menu(window.BuildPopup(name));
            QCOMPARE(Labels(menu.get()), labels);
            if (name == std::string("SelectUI"))
                QVERIFY(menu->actions().at(2)->isChecked() && !menu->actions().at(0)->isChecked());
        }
        QCOMPARE(
            Labels(window.findChild<QMenu*>("SystemMenu")).mid(0, 4),
            QStringList({"About Qelvor(&A)...", "Pin Window", "&Explorer Path", "&New Instance"}));
        auto* sendCtrl = f.Control<QToolButton>("SendCtrl");
        QCOMPARE(sendCtrl->popupMode(), QToolButton::MenuButtonPopup);
        QCOMPARE(Labels(sendCtrl->menu()), popups[0].second);
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
            if (auto* view = qobject_cast<QAbstractItemView*>(widget)) widget = view->viewport();
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
