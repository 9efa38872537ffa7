// What the window's tests share: a window and its peer, modal answers, languages, pictures.
#pragma once

#include <QtTest>
#include <QtWidgets>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "data/check_sum.h"
#include "support/loopback.h"
#include "window/main_window.h"
#include "window/qt_translations.h"
#include "window/traffic_list_view.h"
#include "window/traffic_table_model.h"

namespace qelvor::test {

// Calls answer with the first modal dialog or popup opened within 3 s, then
// closes it (unless answer did). Found records whether one opened.
class ModalWatcher {
  public:
    explicit ModalWatcher(std::function<void(QWidget*)> answer) : answer_(std::move(answer)) {
        timer_.callOnTimeout([this] { Look(); });
        timer_.start(10);
    }
    bool found = false;

  private:
    void Look() {
        QWidget* open = QApplication::activePopupWidget();
        if (open == nullptr) open = QApplication::activeModalWidget();
        if (open == nullptr && ++ticks_ <= 300) return;
        timer_.stop();
        if (open == nullptr) return;
        found = true;
        answer_(open);
        if (auto* menu = qobject_cast<QMenu*>(open); menu != nullptr && menu->isVisible())
            menu->close();
        if (auto* dialog = qobject_cast<QDialog*>(open); dialog != nullptr && dialog->isVisible())
            dialog->reject();
    }

    std::function<void(QWidget*)> answer_;
    QTimer timer_;
    int ticks_ = 0;
};

// Runs act and answers the modal dialog or popup it opens; whether one opened.
inline bool Answered(const std::function<void()>& act, std::function<void(QWidget*)> answer) {
    ModalWatcher watcher(std::move(answer));
    act();
    return QTest::qWaitFor([&] { return watcher.found; }, 3000);
}

// The child of parent named name, or a fatal error naming it.
template <class T = QWidget>
T* Child(const QObject* parent, const QString& name) {
    T* child = parent->findChild<T*>(name);
    if (child == nullptr) qFatal("no child %s", qPrintable(name));
    return child;
}

class WindowFixture {
  public:
    WindowFixture() : settings(CComSetting::Loaded(dir.filePath("t.ini").toStdString())) {
        SetStringLanguage(UiLanguage::English);
        settings.ExeDir = dir.path().toStdString() + "/";  // every other key at its default
        settings.WorkMode = kWorkModeTcpClient;
        settings.IPPort = listener.Port();
    }

    // Builds and shows the window; with open, starts it and accepts the peer.
    CMainWindow& Window(bool open = true) {
        if (window) return *window;
        window = std::make_unique<CMainWindow>(settings);
        window->show();
        if (!open) {
            window->Engine().InitExchange();  // the store reports its records, no port opened
            return *window;
        }
        window->Start(CStartupArgs{}, nullptr);
        if (settings.WorkMode == kWorkModeTcpClient) peer = listener.Accept();
        // The connect ends at a poll tick: wait until sending is on.
        QWidget* send = Control("SendData");
        if (!QTest::qWaitFor([&] { return window->Engine().IsPortOpen() && send->isEnabled(); }))
            qWarning("the window did not connect");
        return *window;
    }
    template <class T = QWidget>
    T* Control(const char* name) {
        return Window(false).findChild<T*>(QString::fromLatin1(name));
    }
    QAction* Action(const char* name) { return Control<QAction>(name); }
    void Type(const QString& text) {
        auto* box = Control<QLineEdit>("SendBox");
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }
    // Bytes the peer gets within limitMs while the event loop runs.
    std::string Received(size_t count, int limitMs = 2000) const {
        std::string got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < count && clock.elapsed() < limitMs) {
            QTest::qWait(5);
            got += peer.Receive(count - got.size(), 2);
        }
        return got;
    }

    QTemporaryDir dir;
    loopback::Peer listener = loopback::Peer::Bound(SOCK_STREAM);
    loopback::Peer peer;
    CComSetting settings;
    std::unique_ptr<CMainWindow> window;
};

// A traffic list that cuts lines at CR LF and answers each with ACK.
struct TrafficFixture : WindowFixture {
    TrafficFixture() {
        std::tie(settings.SplitStrs, settings.RespondStrs) = std::make_tuple("<CR><LF>", "<ACK>");
        settings.HandShake = settings.ScrollRSWnd = 1;
    }
    CTrafficListView* List() { return Control<CTrafficListView>("TrafficList"); }
    CTrafficTableModel* Model() { return static_cast<CTrafficTableModel*>(List()->Model()); }
    const CMsgExchange& Store() { return window->Engine().Exchange(); }
    // Sends each line with CR LF; waits until it and its answer are listed.
    bool Receive(const QStringList& lines) {
        const size_t each = settings.RespondStrs.empty() ? 1 : 2;
        const size_t wanted = Store().RecordCount() + each * size_t(lines.size());
        for (const QString& line : lines)
            if (!peer.Send(line.toStdString() + "\r\n")) return false;
        const auto stored = [&] { return Store().RecordCount() == wanted && Model()->CaughtUp(); };
        return QTest::qWaitFor(stored) && QTest::qWaitFor([&] { return !Model()->CatchUp(); });
    }
    CMsgRecord Shown(int row) { return Store().Record(Model()->RecordIndex(row)); }
    // A row's record data without the CR LF that ended it.
    QString Line(int row) {
        QString data = QString::fromStdString(Shown(row).Data());
        if (data.endsWith("\r\n")) data.chop(2);
        return data;
    }
    // The data of the selected row's record; "-" for no selection.
    QString Selected() {
        const int row = List()->SelectedRow();
        return row >= 0 ? Line(row) : QString("-");
    }
    QStringList ShownData(char type = 0) {
        QStringList data;
        for (int row = 0; row < Model()->rowCount(); ++row)
            if (type == 0 || Shown(row).Type() == type) data << Line(row);
        return data;
    }
    QString Cell(int row, int column) { return Model()->index(row, column).data().toString(); }
    void Search(int mode, const QString& pattern) {
        Control<QComboBox>("FindMode")->setCurrentIndex(mode);
        auto* box = Control<QLineEdit>("FindPattern");
        box->clear();
        QTest::keyClicks(box, pattern);
    }
    QString Count() { return Control<QLabel>("FindCount")->text(); }
};

// An ASTM header frame whose check is F7, with a good and a bad check.
inline const std::string kAstmFrame = "\0021H|\\^&|||Host\r\003";
inline const std::string kGoodFrame = kAstmFrame + "F7\r\n", kBadFrame = kAstmFrame + "A7\r\n";

inline QStringList Labels(const QMenu* menu) {
    QStringList labels;
    for (const QAction* action : menu->actions())
        if (!action->isSeparator()) labels << action->text();
    return labels;
}

inline std::string ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// The rows "en" and "zh" of a test that runs once in each language.
inline void AddLanguageRows() {
    QTest::addColumn<int>("language");
    QTest::newRow("en") << int(UiLanguage::English);
    QTest::newRow("zh") << int(UiLanguage::Chinese);
}
inline UiLanguage RowLanguage() {
    QFETCH(int, language);
    return static_cast<UiLanguage>(language);
}

// The language of the windows built next; English with no translator again at the scope's end.
class ScopedUiLanguage {
  public:
    explicit ScopedUiLanguage(UiLanguage language)
        : suffix_(language == UiLanguage::Chinese ? "zh" : "en") {
        SetStringLanguage(language);
        translations_.Install(language, QStringLiteral(":/i18n/"));
    }
    ~ScopedUiLanguage() { SetStringLanguage(UiLanguage::English); }
    QString Suffix() const { return suffix_; }  // as the screenshot files are named

  private:
    const QString suffix_;
    CQtTranslations translations_;
};

// Writes image as name.png into the build folder's screenshots.
inline bool SaveScreenshot(const QImage& image, const QString& name) {
    return QDir().mkpath(QELVOR_SCREENSHOT_DIR) &&
           image.save(QStringLiteral(QELVOR_SCREENSHOT_DIR "/") + name + ".png");
}

// The window test program's classes by unit: "window_tests find_bar" runs the
// class of find_bar_test.cpp, which QELVOR_WINDOW_TEST(Class) registers.
inline std::map<std::string, std::function<QObject*()>>& WindowTests() {
    static std::map<std::string, std::function<QObject*()>> tests;
    return tests;
}
inline bool RegisterWindowTest(const std::filesystem::path& file, std::function<QObject*()> make) {
    const std::string stem = file.stem().string();  // "find_bar_test"
    return WindowTests().emplace(stem.substr(0, stem.size() - 5), std::move(make)).second;
}
#define QELVOR_WINDOW_TEST(Class)   \
    static const bool kRegistered = \
        qelvor::test::RegisterWindowTest(__FILE__, [] { return new Class; })

}  // namespace qelvor::test

using namespace qelvor;  // for the test classes, which stand at file scope
using namespace qelvor::test;
