// The menu bar: the window's, the popups' and the buttons' commands by the same actions, keys.
#include "window/menu_bar.h"
#include "support/window_fixture.h"
#include "window/popup_menus.h"

// Every action of menu and of its submenus.
static void Collect(const QMenu* menu, QSet<QAction*>& actions) {
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        actions.insert(action);
        if (action->menu() != nullptr) Collect(action->menu(), actions);
    }
}

// The user's file of this test alone: the bar's state and the window's place go there.
struct OwnUserFolder {
    OwnUserFolder() : kept(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
    }
    ~OwnUserFolder() { qputenv("XDG_CONFIG_HOME", kept); }
    std::string Conf() const { return ReadAll(folder.filePath("qelvor/qelvor.conf")); }
    QTemporaryDir folder;
    QByteArray kept;
};

class MenuBarTest : public QObject {
    Q_OBJECT
  private slots:
    // The window menu's and the popups' actions are the bar's own, the buttons have theirs,
    // and the keys are shown beside them.
    void holdsEveryCommandByTheSameAction() {
        WindowFixture f;
        CMainWindow& window = f.Window(false);
        auto* bar = f.Control<CMenuBar>("MenuBar");
        QStringList titles;
        QSet<QAction*> inBar;
        for (QAction* top : bar->actions()) {
            titles << top->text();
            Collect(top->menu(), inBar);
        }
        QCOMPARE(titles,
                 QStringList({"&File", "&Edit", "&View", "&Port", "&Send", "&Tools", "&Help"}));
        // Within each menu, one item to a mnemonic.
        for (QAction* top : bar->actions()) {
            QStringList keys;
            for (const QAction* item : top->menu()->actions()) {
                const QString key = QKeySequence::mnemonic(item->text()).toString();
                QVERIFY2(key.isEmpty() || !keys.contains(key), qPrintable(item->text()));
                keys << key;
            }
        }
        QSet<QAction*> commands;
        Collect(window.WindowMenu(), commands);
        for (const char* popup : {"EVENT", "DATA_PROC", "SelectUI", "CTRL_CHAR"})
            Collect(std::unique_ptr<QMenu>(window.BuildPopup(popup)).get(), commands);
        QStringList missing;
        for (QAction* action : commands)
            if (!inBar.contains(action)) missing << action->text();
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
        for (const char* button :
             {"SendData", "CheckSum", "SetPort", "OpenPort", "ClosePort", "SendFile", "ReSend",
              "AutoSend", "Exit", "Scroll", "SendNow", "ShowDataList", "QuickSendEdit"})
            QVERIFY2(inBar.contains(f.Action(qPrintable(QString("Menu") + button))), button);
        const std::pair<QAction*, QString> keys[] = {
            {f.Action("Find"), "Ctrl+F"},
            {f.Action("ShowMenuBar"), "Ctrl+M"},
            {CommandAction(window.WindowMenu(), kCmdAbout), "F1"},
            {f.Action("MenuOpenPort"), "F5"}};
        for (const auto& [action, key] : keys)
            QCOMPARE(action->shortcut().toString(), key);
    }

    // Chosen in the bar, a command runs once and a button's action follows its button;
    // Ctrl+M hides the bar (the controls move up), kept for the next window; Alt+F opens File.
    void commandsKeysAndTheBarHidden() {
        OwnUserFolder user;
        WindowFixture f;
        CMainWindow& window = f.Window();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(!f.Action("MenuOpenPort")->isEnabled() && f.Action("MenuClosePort")->isEnabled());
        f.Action("MenuClosePort")->trigger();
        QTRY_VERIFY(!window.Engine().IsPortOpen());
        QVERIFY(f.Action("MenuOpenPort")->isEnabled() && !f.Action("MenuClosePort")->isEnabled());
        QTest::keyClick(&window, Qt::Key_F5);
        QTRY_VERIFY(window.Engine().IsPortOpen());
        QString opened;
        QVERIFY(Answered([&] { QTest::keyClick(f.Control("SendBox"), Qt::Key_F, Qt::AltModifier); },
                         [&](QWidget* menu) { opened = menu->objectName(); }));
        QCOMPARE(opened, QString("FileMenu"));
        QWidget* list = f.Control("TrafficList");
        const int listHeight = list->height();
        const int listTop = list->mapTo(&window, QPoint(0, 0)).y();
        QTest::keyClick(f.Control("SendBox"), Qt::Key_M, Qt::ControlModifier);
        auto* bar = f.Control<CMenuBar>("MenuBar");
        QVERIFY(bar->isHidden() && !f.Action("ShowMenuBar")->isChecked());
        QCOMPARE(list->mapTo(&window, QPoint(0, 0)).y(), listTop - bar->sizeHint().height());
        QCOMPARE(list->height(), listHeight + bar->sizeHint().height());
        QVERIFY(user.Conf().find("MenuBar=0") != std::string::npos);
        {
            WindowFixture next;
            QVERIFY(next.Control("MenuBar")->isHidden());
        }
        QTest::keyClick(f.Control("SendBox"), Qt::Key_M, Qt::ControlModifier);
        QVERIFY(!bar->isHidden() && f.Action("ShowMenuBar")->isChecked());
        QCOMPARE(list->mapTo(&window, QPoint(0, 0)).y(), listTop);
    }

    void screenshots_data() { AddLanguageRows(); }
    // The window with its bar, and the File and View menus opened.
    void screenshots() {
        WindowFixture f;
        ScopedUiLanguage scope(RowLanguage());
        CMainWindow& window = f.Window();
        QTest::qWait(50);
        QVERIFY(SaveScreenshot(window.grab().toImage(), "menu-bar-" + scope.Suffix()));
        auto* bar = f.Control<CMenuBar>("MenuBar");
        for (const char* name :
             {"FileMenu", "EditMenu", "ViewMenu", "PortMenu", "SendMenu", "ToolsMenu"}) {
            auto* menu = bar->findChild<QMenu*>(name);
            menu->popup(window.mapToGlobal(QPoint(0, bar->height())));
            QTest::qWait(30);
            const QSize both = window.size().expandedTo(menu->size() + QSize(0, bar->height()));
            QImage shot(both, QImage::Format_RGB32);
            shot.fill(Qt::white);
            QPainter paint(&shot);
            paint.drawImage(0, 0, window.grab().toImage());
            paint.drawImage(QPoint(0, bar->height()), menu->grab().toImage());
            paint.end();
            menu->close();
            QVERIFY(SaveScreenshot(shot, QString(name).toLower() + "-" + scope.Suffix()));
        }
    }
};
QELVOR_WINDOW_TEST(MenuBarTest);
#include "menu_bar_test.moc"
