// What the window and dialog tests share: a main window over its own INI file
// in a temporary folder and a TCP listener it connects to, a watcher that
// answers the next modal dialog or popup so that no test waits on one, the
// language of the windows built next, and where screenshots go.
#pragma once

#include <QtTest>
#include <QtWidgets>
#include <fstream>
#include <functional>
#include <memory>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "support/loopback.h"
#include "window/main_window.h"
#include "window/qt_translations.h"

namespace qelvor::test {

// Calls answer with the first modal dialog or popup that opens within 3 s,
// then closes it (unless answer did). Found records whether one opened.
class ModalWatcher {
  public:
    explicit ModalWatcher(std::function<void(QWidget*)> answer) : answer_(std::move(answer)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
        timer_.start();
    }
    bool found = false;

  private:
    void Look() {
        QWidget* open = QApplication::activePopupWidget();
        if (open == nullptr) open = QApplication::activeModalWidget();
        if (open == nullptr) {
            if (++ticks_ > 300) timer_.stop();
            return;
        }
        timer_.stop();
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

class WindowFixture {
  public:
    WindowFixture() : settings(CComSetting::Loaded(dir.filePath("t.ini").toStdString())) {
        SetStringLanguage(UiLanguage::English);
        settings.ExeDir = dir.path().toStdString() + "/";
        settings.Preamble.clear();
        settings.Postamble.clear();
        for (int* flag : {&settings.HexSendData, &settings.UsedCheckSum, &settings.SenDataEncodeCov,
                          &settings.HandShake, &settings.AutoSaveLog, &settings.SendAfterLoadFile,
                          &settings.LButtonDblClkSend, &settings.SupportStress})
            *flag = 0;
        settings.Replace_Old = settings.Replace_New = 0;
        settings.WorkMode = kWorkModeTcpClient;
        settings.SvrIPAddr = "127.0.0.1";
        settings.IPPort = listener.Port();
        settings.ShowDataListWnd = 1;
    }

    // Builds and shows the window; with open, starts it on its port (the
    // listener: then returns with the accepted peer).
    CMainWindow& Window(bool open = true) {
        if (!window) {
            window = std::make_unique<CMainWindow>(settings);
            window->show();
            if (open) {
                window->Start(CStartupArgs{}, nullptr);
                if (settings.WorkMode == kWorkModeTcpClient) peer = listener.Accept();
                // The connect ends at a poll tick: wait until sending is on.
                QWidget* send = Control("SendData");
                const auto sending = [&] {
                    return window->Engine().IsPortOpen() && send->isEnabled();
                };
                if (!QTest::qWaitFor(sending)) qWarning("the window did not connect");
            } else {
                // The store reports its records without a port opened.
                window->Engine().InitExchange();
            }
        }
        return *window;
    }
    template <class T = QWidget>
    T* Control(const char* name) {
        return Window(false).findChild<T*>(QString::fromLatin1(name));
    }
    QAction* Action(const char* name) { return Control<QAction>(name); }
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

inline constexpr UiLanguage kBothLanguages[] = {UiLanguage::English, UiLanguage::Chinese};

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

// One language for the windows a test builds next: the string table's and
// the Qt translators (the program's built-in ones and Qt's own), back to
// English with no translator when the scope ends.
class ScopedUiLanguage {
  public:
    explicit ScopedUiLanguage(UiLanguage language) : language_(language) {
        SetStringLanguage(language);
        translations_.Install(language, QStringLiteral(":/i18n/"));
    }
    ~ScopedUiLanguage() { SetStringLanguage(UiLanguage::English); }

    // "en" or "zh", as the screenshot files are named.
    QString Suffix() const {
        return language_ == UiLanguage::Chinese ? QStringLiteral("zh") : QStringLiteral("en");
    }

  private:
    UiLanguage language_;
    CQtTranslations translations_;
};

// Writes image as name.png into the build folder's screenshots.
inline bool SaveScreenshot(const QImage& image, const QString& name) {
    return QDir().mkpath(QELVOR_SCREENSHOT_DIR) &&
           image.save(QStringLiteral(QELVOR_SCREENSHOT_DIR "/") + name + ".png");
}

}  // namespace qelvor::test
