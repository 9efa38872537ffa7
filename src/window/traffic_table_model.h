// The traffic list's model: the records of the exchange's store as rows of
// type, time, data, frame check and gap columns, formatted and coloured only
// when a row is drawn. New records are announced in batches by CatchUp, never
// one by one, so that a flood of records costs one view update per batch.
// While a filter is on, the rows are the filter's record indexes, built in
// short steps from a zero timer so that a large store never blocks the
// window. User-interface thread only.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "traffic/highlight_rules.h"
#include "traffic/record_filter.h"
#include "traffic/record_matcher.h"

class QPalette;

namespace qelvor {

class CMsgExchange;
class CComSetting;

class CTrafficTableModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column {
        kColumnType = 0,
        kColumnTime = 1,
        kColumnData = 2,
        kColumnCheck = 3,
        kColumnGap = 4,
        kColumnCount = 5
    };
    // The longest data text a cell shows; a longer record is cut (the detail
    // view shows it whole).
    static constexpr int kMaxCellBytes = 1024;
    // How long one filter step may run before the window gets its turn.
    static constexpr int kStepMs = 10;
    static constexpr size_t kNoRow = CRecordFilter::kNoRow;
    // The short name of a tap's endpoint by its side's letter, 'A' or 'B'.
    using SideNames = std::function<std::string(char side)>;

    CTrafficTableModel(const CMsgExchange& exchange, const CComSetting& settings,
                       QObject* parent = nullptr);

    // Brings the rows up to the store: rows inserted after growth, a reset
    // after a clear. With a filter on, one step of it. True when rows were
    // added or removed.
    bool CatchUp();
    // Every row drawn again (the display style or the highlight rules
    // changed); the highlight rules are read again from the settings.
    void Restyle();

    // The filter's options and whether they are on at all: with filtered
    // false every record is a row. The find pattern's matches are tracked
    // either way, for the count and the only-matching rows.
    void SetFilter(const CRecordFilter::Options& options, bool filtered);
    // The find pattern (none: no row matches).
    void SetPattern(std::optional<CRecordMatcher> matcher);
    bool Filtered() const { return filtered_; }
    // Whether the rows and the match rows take in every record of the store.
    bool CaughtUp() const;
    double Progress() const { return filter_.Progress(); }

    // A tap's records name their side's endpoint; asked for each such row
    // drawn, so that a name comes as the tap knows it now.
    void SetSideNames(SideNames names) { sideNames_ = std::move(names); }
    // The type column's text: a tap's side with its endpoint and the way
    // its bytes go ("A ttyUSB0 →", "B 10.0.0.5:4001 ←"), else the letter.
    QString TypeText(char type) const;

    // The store's index of the record a row shows; kNoRow for no such row.
    size_t RecordIndex(int row) const;
    // The rows as the find walks them.
    CRecordMatcher::Rows MatcherRows() const;
    // The tracked matches of the pattern, as rows of the list; valid while
    // CaughtUp().
    const CRecordFilter& Matches() const { return filter_; }

    // The colour of text that reports a fault (a bad frame, a bad pattern),
    // readable on the palette.
    static QColor ErrorColor(const QPalette& palette);
    // A record type's text colour, readable on the palette.
    static QColor TypeColor(char type, const QPalette& palette);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  signals:
    // After each filter step: the part of the store taken in, and whether
    // all of it is.
    void filterProgress(double progress, bool done);

  private:
    QString CellText(size_t record, int column) const;
    QVariant Foreground(size_t record, int column) const;
    QVariant Background(size_t record) const;
    bool Bad(size_t record) const;
    bool CatchUpAll();
    bool CatchUpFiltered();
    bool StepFilter();
    void ResetFilter();
    void StartFilterOver();
    void ReportIdle();
    void RunStep();

    const CMsgExchange& exchange_;
    const CComSetting& settings_;
    CRecordFilter filter_;
    CRecordFilter::Options options_;
    std::optional<CRecordMatcher> pattern_;
    CHighlightRules highlights_;
    SideNames sideNames_;
    QTimer stepTimer_;
    bool filtered_ = false;
    int shownRows_ = 0;
    uint64_t shownGeneration_ = 0;
};

}  // namespace qelvor
