// The trigger rules editor over a real INI file: rows added, moved and removed, a bad row
// refused by number, the rules and a fault stored and taken; rendered in both languages.
#include "window/trigger_rules_dlg.h"
#include "rules/trigger_rule.h"
#include "support/window_fixture.h"

namespace {

// A stored rule with every option, which the editor must write back unchanged.
const std::string kPingRule = "text\tR\tPING\tPONG\tdelay=20\ttimes=3\toff";

QTableWidget* Table(QWidget* dialog) {
    return Child<QTableWidget>(dialog, "TriggerRules");
}

void Fill(QWidget* dialog, int row, int kind, const QString& pattern, const QString& answer,
          int limit) {
    QTableWidget* table = Table(dialog);
    qobject_cast<QComboBox*>(table->cellWidget(row, 1))->setCurrentIndex(kind);
    table->item(row, 3)->setText(pattern);
    table->item(row, 4)->setText(answer);
    qobject_cast<QSpinBox*>(table->cellWidget(row, 6))->setValue(limit);
}

void Click(QWidget* dialog, const char* name) {
    QTest::mouseClick(Child(dialog, QString::fromLatin1(name)), Qt::LeftButton);
}

}  // namespace

class TriggerRulesDlgTest : public QObject {
    Q_OBJECT
  private slots:
    // A bad stored key is shown and dropped, a regex and a timer added above and below the
    // stored rule, a broken pattern refused until mended; the file then holds the three.
    void editedRulesAndFaultStored() {
        WindowFixture f;
        f.settings.Rule1 = kPingRule;
        f.settings.Rule2 = "sometimes\tR\tx\ty";
        CMainWindow& window = f.Window(false);
        QString openError, badError;
        bool refusedWhileBad = false;
        const auto edit = [&](QWidget* dialog) {
            QTableWidget* table = Table(dialog);
            openError = Child<QLabel>(dialog, "RuleError")->text();
            table->setCurrentCell(1, 3);
            Click(dialog, "RuleRemove");
            Click(dialog, "RuleAdd");  // below the stored rule
            Fill(dialog, 1, 1, "ID=(\\d+", "<STX>OK $1<ETX>", 1);
            Click(dialog, "RuleAdd");
            Fill(dialog, 2, 3, "1000", "<ENQ>", 0);
            Child<QSpinBox>(dialog, "FaultNak")->setValue(2);
            Child<QCheckBox>(dialog, "ScriptHooks")->setChecked(true);
            Click(dialog, "RuleSave");
            badError = Child<QLabel>(dialog, "RuleError")->text();
            refusedWhileBad = dialog->isVisible() && f.settings.Rule2 == "sometimes\tR\tx\ty";
            table->item(1, 3)->setText("ID=(\\d+)");
            table->setCurrentCell(1, 3);
            Click(dialog, "RuleUp");
            Click(dialog, "RuleSave");
        };
        QVERIFY(Answered([&] { f.Action("EditTriggerRules")->trigger(); }, edit));
        QVERIFY2(openError.startsWith("Rule 2: field 1 (kind)"), qPrintable(openError));
        QVERIFY2(badError.startsWith("Rule 2: field 3 (pattern): bad regular expression") &&
                     refusedWhileBad,
                 qPrintable(badError));
        const CComSetting stored = CComSetting::Loaded(f.settings.IniPath);
        const std::string expected[] = {"regex\tR\tID=(\\d+)\t<STX>OK $1<ETX>\tonce", kPingRule,
                                        "timer\tR\t1000\t<ENQ>", ""};
        for (int n = 1; n <= 4; ++n) {
            QCOMPARE(stored.RuleKey(n), expected[n - 1]);
            QVERIFY(n == 4 || CTriggerRule::Parse(stored.RuleKey(n), nullptr));
        }
        QCOMPARE(std::make_pair(stored.FaultNak, stored.FaultBadChecksum), std::make_pair(2, 0));
        QCOMPARE(std::make_pair(stored.ScriptHooks, f.settings.ScriptHooks), std::make_pair(1, 1));
        // The engine answers by the new rules at once.
        const CTriggerRules& taken = window.Engine().TriggerRules().Rules();
        QCOMPARE(taken.size(), size_t(3));
        QCOMPARE(taken[0].GetKind(), CTriggerRule::Kind::kRegex);
    }

    // Rendered to rules-<language>.png; the whole dialog fits the smallest screen.
    void screenshots_data() { AddLanguageRows(); }
    void screenshots() {
        ScopedUiLanguage scope(RowLanguage());
        WindowFixture f;
        f.settings.Rule1 = "regex\tR\t^Q\\|1\\|\\^(\\w+)\t<STX>1H|\\^&<CR><ETX>\tdelay=50\tonce";
        f.settings.Rule2 = kPingRule;
        f.settings.Rule3 = "timer\tR\t5000\t<ENQ>";
        f.settings.FaultDelayMs = 200;
        f.settings.ScriptHooks = 1;
        CTriggerRulesDlg dialog(f.Window(false).Engine(), &f.Window(false));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(),
                 scope.Suffix() == "zh" ? QString("触发规则") : QString("Trigger rules"));
        QVERIFY(dialog.width() <= 1280 && dialog.height() <= 800);
        QCOMPARE(Table(&dialog)->rowCount(), 3);
        QVERIFY(Child<QCheckBox>(&dialog, "ScriptHooks")->isChecked());
        QVERIFY(SaveScreenshot(dialog.grab().toImage(), "rules-" + scope.Suffix()));
    }
};
QELVOR_WINDOW_TEST(TriggerRulesDlgTest);
#include "trigger_rules_dlg_test.moc"
