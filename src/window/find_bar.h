// The find bar, a band under the main window's controls: a pattern (text as
// the list shows it, a regular expression, or hex bytes with "??"), Next and
// Previous that select and scroll to the match, going round at the ends, the
// count of matches, and the filter of the traffic list (sent, received and
// information rows, only the rows that match). User-interface thread only.
#pragma once

#include <QWidget>
#include <optional>

#include "traffic/record_filter.h"
#include "traffic/record_matcher.h"

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace qelvor {

class CComSetting;
class IBandHost;
class CTrafficListView;
class CTrafficTableModel;

class CFindBar : public QWidget {
    Q_OBJECT

  public:
    // Joins host as a band, with "Find" (Ctrl+F) in the window's menu and
    // F3 / Shift+F3 on the window.
    CFindBar(IBandHost& host, CTrafficTableModel& model, CTrafficListView& list,
             const CComSetting& settings);

    // Shows the bar with the pattern focused and selected; Close hides it.
    void Open();
    void Close();
    // Selects the next (previous) matching row after (before) the current
    // one, going round at the end; nothing is selected when none matches.
    void FindNext();
    void FindPrevious();
    // Hides the sent rows, whatever the S toggle says (a link that echoes
    // what is sent).
    void SetEchoFree(bool on);
    // The pattern read again: the display style it matches in may have
    // changed.
    void Restyle();

  private:
    static constexpr size_t kNoRowFound = CRecordFilter::kNoRow;

    void AddCommands();
    void BuildFindRow(QHBoxLayout* row);
    void BuildFilterRow(QHBoxLayout* row);
    void ApplyPattern();
    void ApplyFilter();
    // Stops a filter or a count under way: every row shown, no pattern.
    void CancelFilter();
    // The type toggles all on and "only matching" off.
    void ShowEveryType();
    void Find(bool forward);
    void Select(size_t row);
    void ShowCount();
    void ShowError(const QString& text);
    void ShowProgress(double progress, bool done);
    size_t CurrentRow() const;

    IBandHost& host_;
    CTrafficTableModel& model_;
    CTrafficListView& list_;
    const CComSetting& settings_;
    std::optional<CRecordMatcher> matcher_;
    QString error_;
    int style_ = -1;  // the display style the pattern was built for
    bool echoFree_ = false;
    QLineEdit* pattern_ = nullptr;
    QComboBox* mode_ = nullptr;
    QLabel* count_ = nullptr;
    QCheckBox* sent_ = nullptr;
    QCheckBox* received_ = nullptr;
    QCheckBox* info_ = nullptr;
    QCheckBox* matching_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QToolButton* cancel_ = nullptr;
};

}  // namespace qelvor
