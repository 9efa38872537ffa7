// The detail view over a real INI file in a temporary folder: the views and
// the stored choice, the "UTF-8 dec" box, the "+ms" of a stored record.
// ("Save data" is driven from the main window's tests, the view rendered in
// the language walk.)
#include <clocale>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "data/ctrl_char_notation.h"
#include "data/display_format.h"
#include "data/text_encoding.h"
#include "mainwnd/window/window_fixture.h"
#include "traffic/data_detail_dlg.h"

using namespace qelvor;

namespace {

const std::string kFrame = "\x02" + std::string("A\0B\x03", 4);

QString Shown(const std::string& bytes) {
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()))
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

class DataDetailDlgTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        SetStringLanguage(UiLanguage::English);
        // An ASCII locale, where decoding UTF-8 visibly turns each character
        // beyond ASCII into '?'; in a UTF-8 locale it would change nothing.
        std::setlocale(LC_CTYPE, "C");
        settings_ = CComSetting::Loaded(Ini());
    }
    void viewsAndStoredChoice();
    void decodeBoxAndGapField();

  private:
    std::string Ini() const { return dir_.filePath("detail.ini").toStdString(); }
    std::unique_ptr<CDataDetailDlg> Open(const std::string& data) {
        CDataDetail detail(CMsgRecord('R', data, {2024, 1, 2, 2, 3, 4, 5, 6}));
        auto dialog = std::make_unique<CDataDetailDlg>(std::move(detail), settings_);
        dialog->show();
        return dialog;
    }

    QTemporaryDir dir_;
    CComSetting settings_;
};

// Which radio a stored choice selects (an unknown one reads raw) and the
// text it shows; a radio clicked shows its view at once but is stored only
// when the dialog goes.
void DataDetailDlgTest::viewsAndStoredChoice() {
    const QString hex = Shown(FormatHexDump(kFrame));
    const QString raw = QString(QChar(2)) + 'A';  // stops at the zero byte
    const QString fmt = QStringLiteral("<STX>A<NUL>B<ETX>");
    // Stored before, the radio clicked (or none), the one checked, its text,
    // stored after.
    const std::tuple<int, QString, QString, QString, int> cases[] = {
        {1, "", "FmtData", fmt, 1},        {0, "", "RawData", raw, 0},
        {7, "", "RawData", raw, 0},        {-1, "", "RawData", raw, 0},
        {1, "HexData", "HexData", hex, 2}, {2, "RawData", "RawData", raw, 0},
        {0, "FmtData", "FmtData", fmt, 1}};
    for (const auto& [storedBefore, clicked, checked, text, storedAfter] : cases) {
        settings_.WriteProfileInt(settings_.GetCurrentSet(), "ShowDataMask", storedBefore);
        settings_ = CComSetting::Loaded(Ini());
        auto dialog = Open(kFrame);
        QCOMPARE(dialog->windowTitle(), QString("Message Detail       2024-01-02 03:04:05.006"));
        QCOMPARE(dialog->findChild<QLineEdit*>("Type")->text(), QString("R"));
        QCOMPARE(dialog->findChild<QLineEdit*>("Size")->text(), QString("5"));
        if (!clicked.isEmpty())
            QTest::mouseClick(dialog->findChild<QRadioButton*>(clicked), Qt::LeftButton);
        QStringList shown;
        for (const QRadioButton* radio : dialog->findChildren<QRadioButton*>())
            if (radio->isChecked()) shown << radio->objectName();
        QCOMPARE(shown.join(' '), checked);
        QCOMPARE(dialog->findChild<QPlainTextEdit*>("DetailText")->toPlainText(), text);
        if (!clicked.isEmpty() && storedBefore >= 0 && storedBefore <= 2)
            QCOMPARE(CComSetting::Loaded(Ini()).ShowDataMask, storedBefore);
        dialog->reject();
        dialog.reset();
        QCOMPARE(settings_.ShowDataMask, storedAfter);
        QCOMPARE(CComSetting::Loaded(Ini()).ShowDataMask, storedAfter);
    }
}

// The UTF-8 box is offered only for a byte above 0x8F; it decodes the raw
// and formatted views and leaves hex alone.
void DataDetailDlgTest::decodeBoxAndGapField() {
    const std::pair<std::string, bool> cases[] = {{"plain", false},
                                                  {"\x80\x85\x8F", false},
                                                  {"ab\x90", true},
                                                  {"caf\xC3\xA9 \xE4\xB8\xAD<", true}};
    for (const auto& [data, offered] : cases) {
        auto dialog = Open(data);
        auto* decode = dialog->findChild<QCheckBox*>("Utf8Dec");
        QCOMPARE(decode->isVisible(), offered);
        if (!offered) continue;
        auto* text = dialog->findChild<QPlainTextEdit*>("DetailText");
        const std::string decoded = DecodeUtf8ToAnsi(data);
        const std::tuple<const char*, QString, QString> views[] = {
            {"RawData", Shown(data), Shown(decoded)},
            {"FmtData", Shown(EscapeCtrlChars(data)), Shown(EscapeCtrlChars(decoded))},
            {"HexData", Shown(FormatHexDump(data)), Shown(FormatHexDump(data))}};
        for (const auto& [radio, plain, decodedText] : views) {
            QTest::mouseClick(dialog->findChild<QRadioButton*>(radio), Qt::LeftButton);
            decode->setChecked(false);
            QCOMPARE(text->toPlainText(), plain);
            decode->setChecked(true);
            QCOMPARE(text->toPlainText(), decodedText);
        }
        QVERIFY(std::get<1>(views[0]) != std::get<2>(views[0]));  // the box changed something
    }

    // A stored record after another shows its "+ms"; the first one has none.
    const MsgRecords records = {CMsgRecord('S', "a", {2024, 1, 2, 2, 3, 4, 5, 998}),
                                CMsgRecord('R', "b", {2024, 1, 2, 2, 3, 4, 6, 5})};
    CDataDetailDlg second(CDataDetail(records, 1, GapScope::kAnyRecord), settings_);
    QCOMPARE(second.findChild<QLineEdit*>("GapMs")->text(), QString("7"));
    CDataDetailDlg first(CDataDetail(records, 0, GapScope::kAnyRecord), settings_);
    QVERIFY(first.findChild<QLineEdit*>("GapMs") == nullptr);
}

QTEST_MAIN(DataDetailDlgTest)
#include "data_detail_dlg_test.moc"
