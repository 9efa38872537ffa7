// The detail view over a real INI file in a temporary folder: which radio a
// stored view choice selects and which text each view shows, when the
// "UTF-8 dec" box is offered and what it changes, the "+ms" of a stored
// record, and the view choice written back when the dialog goes. ("Save
// data" for the pending bytes is driven from the main window's tests, the
// view rendered in the language walk.)
#include <clocale>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "data/ctrl_char_notation.h"
#include "data/display_format.h"
#include "data/text_encoding.h"
#include "mainwnd/window/window_fixture.h"
#include "traffic/data_detail_dlg.h"

using namespace qelvor;

Q_DECLARE_METATYPE(std::string)

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
    void viewsAndStoredChoice_data();
    void viewsAndStoredChoice();
    void decodeBoxOnlyAboveHex8F_data();
    void decodeBoxOnlyAboveHex8F();
    void gapOnlyForAStoredRecordAfterAnother();

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

void DataDetailDlgTest::viewsAndStoredChoice_data() {
    QTest::addColumn<int>("storedBefore");
    QTest::addColumn<QString>("clicked");  // empty: no radio clicked
    QTest::addColumn<QString>("checked");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("storedAfter");
    // clang-format off
    const QString hex = Shown(FormatHexDump(kFrame));
    const QString raw = QString(QChar(2)) + 'A';
    const QString fmt = QStringLiteral("<STX>A<NUL>B<ETX>");
    QTest::newRow("formatted, the default") << 1 << "" << "FmtData" << fmt << 1;
    QTest::newRow("raw stops at the zero byte") << 0 << "" << "RawData" << raw << 0;
    QTest::newRow("out of range reads and stores raw") << 7 << "" << "RawData" << raw << 0;
    QTest::newRow("negative reads and stores raw") << -1 << "" << "RawData" << raw << 0;
    QTest::newRow("hex clicked is stored") << 1 << "HexData" << "HexData" << hex << 2;
    QTest::newRow("raw clicked is stored") << 2 << "RawData" << "RawData" << raw << 0;
    QTest::newRow("formatted clicked is stored") << 0 << "FmtData" << "FmtData" << fmt << 1;
    // clang-format on
}

void DataDetailDlgTest::viewsAndStoredChoice() {
    QFETCH(int, storedBefore);
    QFETCH(QString, clicked);
    settings_.WriteProfileInt(settings_.GetCurrentSet(), "ShowDataMask", storedBefore);
    settings_ = CComSetting::Loaded(Ini());
    auto dialog = Open(kFrame);
    QCOMPARE(dialog->windowTitle(), QString("Message Detail       2024-01-02 03:04:05.006"));
    QCOMPARE(dialog->findChild<QLineEdit*>("Type")->text(), QString("R"));
    QCOMPARE(dialog->findChild<QLineEdit*>("Size")->text(), QString("5"));
    if (!clicked.isEmpty())
        QTest::mouseClick(dialog->findChild<QRadioButton*>(clicked), Qt::LeftButton);
    QStringList checked;
    for (const QRadioButton* radio : dialog->findChildren<QRadioButton*>()) {
        if (radio->isChecked()) checked << radio->objectName();
    }
    QTEST(checked.join(' '), "checked");
    QTEST(dialog->findChild<QPlainTextEdit*>("DetailText")->toPlainText(), "text");
    // A radio shows its view at once but is stored only when the dialog goes.
    if (!clicked.isEmpty() && storedBefore >= 0 && storedBefore <= 2)
        QCOMPARE(CComSetting::Loaded(Ini()).ShowDataMask, storedBefore);
    dialog->reject();
    dialog.reset();
    QTEST(settings_.ShowDataMask, "storedAfter");
    QTEST(CComSetting::Loaded(Ini()).ShowDataMask, "storedAfter");
}

void DataDetailDlgTest::decodeBoxOnlyAboveHex8F_data() {
    QTest::addColumn<std::string>("data");
    QTest::addColumn<bool>("offered");
    QTest::newRow("plain text") << std::string("plain") << false;
    QTest::newRow("0x80 to 0x8F only") << std::string("\x80\x85\x8F") << false;
    QTest::newRow("one byte 0x90") << std::string("ab\x90") << true;
    QTest::newRow("UTF-8 text") << std::string("caf\xC3\xA9 \xE4\xB8\xAD<") << true;
}

void DataDetailDlgTest::decodeBoxOnlyAboveHex8F() {
    QFETCH(std::string, data);
    QFETCH(bool, offered);
    auto dialog = Open(data);
    auto* decode = dialog->findChild<QCheckBox*>("Utf8Dec");
    QCOMPARE(decode->isVisible(), offered);
    if (!offered) return;
    // The box decodes the raw and formatted views and leaves hex alone.
    auto* text = dialog->findChild<QPlainTextEdit*>("DetailText");
    const std::string decoded = DecodeUtf8ToAnsi(data);
    const struct {
        const char* radio;
        QString plain, decodedText;
    } views[] = {{"RawData", Shown(data), Shown(decoded)},
                 {"FmtData", Shown(EscapeCtrlChars(data)), Shown(EscapeCtrlChars(decoded))},
                 {"HexData", Shown(FormatHexDump(data)), Shown(FormatHexDump(data))}};
    for (const auto& view : views) {
        QTest::mouseClick(dialog->findChild<QRadioButton*>(view.radio), Qt::LeftButton);
        decode->setChecked(false);
        QCOMPARE(text->toPlainText(), view.plain);
        decode->setChecked(true);
        QCOMPARE(text->toPlainText(), view.decodedText);
    }
    QVERIFY(views[0].plain != views[0].decodedText);  // the box changed something
}

// A stored record after another shows its "+ms"; the first one has none.
void DataDetailDlgTest::gapOnlyForAStoredRecordAfterAnother() {
    const MsgRecords records = {CMsgRecord('S', "a", {2024, 1, 2, 2, 3, 4, 5, 998}),
                                CMsgRecord('R', "b", {2024, 1, 2, 2, 3, 4, 6, 5})};
    CDataDetailDlg second(CDataDetail(records, 1, GapScope::kAnyRecord), settings_);
    QCOMPARE(second.findChild<QLineEdit*>("GapMs")->text(), QString("7"));
    CDataDetailDlg first(CDataDetail(records, 0, GapScope::kAnyRecord), settings_);
    QVERIFY(first.findChild<QLineEdit*>("GapMs") == nullptr);
}

QTEST_MAIN(DataDetailDlgTest)
#include "data_detail_dlg_test.moc"
