// A record's detail view ("Save data": the main window's tests): view choice, UTF-8, "+ms".
#include <clocale>

#include "astm/astm_frame.h"
#include "data/ctrl_char_notation.h"
#include "data/display_format.h"
#include "data/text_encoding.h"
#include "support/window_fixture.h"
#include "window/data_detail_dlg.h"

static const std::string kFrame = "\x02" + std::string("A\0B\x03", 4);

// Bytes as the view shows them, one line end for CR LF.
static QString AsShown(const std::string& bytes) {
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()))
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

class DataDetailDlgTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        // An ASCII locale, where decoding UTF-8 visibly turns each character
        // beyond ASCII into '?'; in a UTF-8 locale it would change nothing.
        std::setlocale(LC_CTYPE, "C");
        QFile::remove(QString::fromStdString(ini));  // each case on a file of its own
        settings = CComSetting::Loaded(ini);
    }
    void cleanupTestCase() { std::setlocale(LC_CTYPE, ""); }  // as QApplication set it

    // The radio a stored choice selects (unknown: raw) and its text; a click
    // shows its view at once, stored only when the dialog goes.
    void viewsAndStoredChoice() {
        const QString hex = AsShown(FormatHexDump(kFrame));
        const QString raw = QString(QChar(2)) + 'A';  // stops at the zero byte
        const QString fmt = QStringLiteral("<STX>A<NUL>B<ETX>");
        // Stored before, radio clicked, radio checked, its text, stored after.
        const std::tuple<int, QString, QString, QString, int> cases[] = {
            {1, "", "FmtData", fmt, 1},        {7, "", "RawData", raw, 0},
            {-1, "", "RawData", raw, 0},       {1, "HexData", "HexData", hex, 2},
            {2, "RawData", "RawData", raw, 0}, {0, "FmtData", "FmtData", fmt, 1}};
        for (const auto& [storedBefore, clicked, checked, text, storedAfter] : cases) {
            settings.WriteProfileInt(settings.GetCurrentSet(), "ShowDataMask", storedBefore);
            settings = CComSetting::Loaded(ini);
            auto view = Detail(kFrame);
            QCOMPARE(view->windowTitle(), QString("Message Detail       2024-01-02 03:04:05.006"));
            if (!clicked.isEmpty())
                QTest::mouseClick(Child<QRadioButton>(view.get(), clicked), Qt::LeftButton);
            QStringList shown;
            for (const QRadioButton* radio : view->findChildren<QRadioButton*>())
                if (radio->isChecked()) shown << radio->objectName();
            QCOMPARE(shown.join(' '), checked);
            QCOMPARE(Child<QPlainTextEdit>(view.get(), "DetailText")->toPlainText(), text);
            if (!clicked.isEmpty() && storedBefore >= 0 && storedBefore <= 2)
                QCOMPARE(CComSetting::Loaded(ini).ShowDataMask, storedBefore);
            view->reject();
            view.reset();
            QCOMPARE(settings.ShowDataMask, storedAfter);
            QCOMPARE(CComSetting::Loaded(ini).ShowDataMask, storedAfter);
        }
    }

    // The UTF-8 box, offered for a byte above 0x8F, decodes the raw and
    // formatted views, not hex. A record after another shows its "+ms".
    void decodeBoxAndGapField() {
        QVERIFY(!Detail("\x80\x85\x8F")->findChild<QCheckBox*>("Utf8Dec")->isVisible());
        const std::string data = "ab\x90", decoded = DecodeUtf8ToAnsi(data);
        QVERIFY(decoded != data);  // so that the box changes what is shown
        auto view = Detail(data);
        auto* decode = Child<QCheckBox>(view.get(), "Utf8Dec");
        QVERIFY(decode->isVisible());
        auto* text = Child<QPlainTextEdit>(view.get(), "DetailText");
        const std::tuple<const char*, QString, QString> views[] = {
            {"RawData", AsShown(data), AsShown(decoded)},
            {"FmtData", AsShown(EscapeCtrlChars(data)), AsShown(EscapeCtrlChars(decoded))},
            {"HexData", AsShown(FormatHexDump(data)), AsShown(FormatHexDump(data))}};
        for (const auto& [radio, plain, decodedText] : views) {
            QTest::mouseClick(Child<QRadioButton>(view.get(), radio), Qt::LeftButton);
            decode->setChecked(false);
            QCOMPARE(text->toPlainText(), plain);
            decode->setChecked(true);
            QCOMPARE(text->toPlainText(), decodedText);
        }

        const CRecordStore records = {CMsgRecord('S', "a", {2024, 1, 2, 2, 3, 4, 5, 998}),
                                      CMsgRecord('R', "b", {2024, 1, 2, 2, 3, 4, 6, 5})};
        CDataDetailDlg second(CDataDetail(records, 1, GapScope::kAnyRecord), settings);
        QCOMPARE(second.findChild<QLineEdit*>("GapMs")->text(), QString("7"));
    }

    void fieldTrees_data() { AddLanguageRows(); }
    // A record's fields beside its text, named as the standards name them in
    // every language; a field beyond its record's layout goes by number. An
    // HL7 message offers its tree in the HL7 mode only.
    void fieldTrees() {
        ScopedUiLanguage scope(RowLanguage());
        const bool zh = scope.Suffix() == "zh";
        CDataDetail astm(CMsgRecord(
            'R',
            astm::CAstmFrame{2, "P|1|PAT-1||ID3\\ID4|Doe^Jane" + std::string(30, '|') + "x\r", true}
                .Bytes(),
            {2024, 1, 2, 2, 3, 4, 5, 6}));
        astm.SetAstmDelimiters({});
        CDataDetailDlg astmView(std::move(astm), settings);
        astmView.resize(900, 420);
        astmView.show();
        const QStringList astmLines =
            TreeLines(astmView, "AstmFields", {{}, {1}, {3}, {3, 1}, {4, 1}, {34}});
        QCOMPARE(astmLines, (QStringList{"P Patient", "3 Practice Assigned Patient ID: PAT-1",
                                         "5 Patient ID Number 3: ID3\\ID4",
                                         (zh ? "重复 2: ID4" : "repeat 2: ID4"),
                                         (zh ? "组件 2: Jane" : "component 2: Jane"),
                                         (zh ? "字段 36: x" : "field 36: x")}));
        QVERIFY(SaveScreenshot(astmView.grab().toImage(), "detail-astm-fields-" + scope.Suffix()));

        const std::string oru =
            "\x0bMSH|^~\\&|LAB|ANALYZER|LIS|HOSP|20240102030405||ORU^R01|MSG7|P|2.5.1\r"
            "PID|1||P1^^^H&1.2&ISO~P2||Doe^Jane\r"
            "OBR|1||S42|GLU^Glucose\r"
            "OBX|1|NM|GLU^Glucose||5.4|mmol/L|3.9-6.1|N|||F\r"
            "OBX|2|ST|NOTE^Remark||fasting \\T\\ rested" +
            std::string(19, '|') +
            "LAB2\r"
            "ZXY|1\r\x1c\r";
        CDataDetail plain(CMsgRecord('R', oru, {2024, 1, 2, 2, 3, 4, 5, 6}));
        QVERIFY(CDataDetailDlg(plain, settings).findChild<QTreeWidget*>() == nullptr);
        CDataDetail hl7(std::move(plain));
        hl7.SetHl7Mode(true);
        CDataDetailDlg hl7View(std::move(hl7), settings);
        hl7View.resize(900, 420);
        hl7View.show();
        const QStringList hl7Lines = TreeLines(
            hl7View, "Hl7Fields", {{}, {1}, {1, 4}, {1, 2, 0, 3, 1}, {4, 4}, {4, 23}, {5}});
        QCOMPARE(
            hl7Lines,
            (QStringList{(zh ? "消息 ORU^R01，控制号 MSG7" : "message ORU^R01, control id MSG7"),
                         "PID Patient Identification", "PID-5 Patient Name: Doe^Jane",
                         (zh ? "子组件 2: 1.2" : "subcomponent 2: 1.2"),
                         "OBX-5 Observation Value: fasting & rested",
                         (zh ? "字段 OBX-24: LAB2" : "field OBX-24: LAB2"), "ZXY"}));
        QVERIFY(Child<QPlainTextEdit>(&hl7View, "DetailText")
                    ->toPlainText()
                    .contains("|2.5.1<CR>\nPID|1||"));
        QVERIFY(SaveScreenshot(hl7View.grab().toImage(), "detail-hl7-" + scope.Suffix()));
    }

  private:
    // The texts of a tree's items, each reached from the top item through
    // the child indexes given.
    static QStringList TreeLines(const QWidget& view, const char* name,
                                 const std::vector<std::vector<int>>& paths) {
        auto* tree = view.findChild<QTreeWidget*>(name);
        QStringList lines;
        for (const std::vector<int>& path : paths) {
            const QTreeWidgetItem* item = tree != nullptr ? tree->topLevelItem(0) : nullptr;
            for (const int index : path)
                item = item != nullptr ? item->child(index) : nullptr;
            lines << (item != nullptr ? item->text(0) : QStringLiteral("(none)"));
        }
        return lines;
    }

    // The view of a received record of data.
    std::unique_ptr<CDataDetailDlg> Detail(const std::string& data) {
        CDataDetail detail(CMsgRecord('R', data, {2024, 1, 2, 2, 3, 4, 5, 6}));
        auto view = std::make_unique<CDataDetailDlg>(
            std::move(detail), settings, nullptr,
            [this](int chosen) { CDataDetail::StoreView(settings, chosen); });
        view->show();
        return view;
    }

    QTemporaryDir dir;
    const std::string ini = dir.filePath("my.ini").toStdString();
    CComSetting settings;
};
QELVOR_WINDOW_TEST(DataDetailDlgTest);
#include "data_detail_dlg_test.moc"
