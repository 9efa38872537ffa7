// The traffic list's model: the records of the exchange's store as rows of
// three columns (type, time, data), formatted only when a row is drawn. New
// records are announced in batches by CatchUp, never one by one, so that a
// flood of records costs one view update per batch. User-interface thread
// only.
#pragma once

#include <QAbstractTableModel>
#include <cstdint>

namespace qelvor {

class CMsgExchange;
class CComSetting;

class CTrafficTableModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { kColumnType = 0, kColumnTime = 1, kColumnData = 2, kColumnCount = 3 };
    // The longest data text a cell shows; a longer record is cut (the detail
    // view shows it whole).
    static constexpr int kMaxCellBytes = 1024;

    CTrafficTableModel(const CMsgExchange& exchange, const CComSetting& settings,
                       QObject* parent = nullptr);

    // Brings the row count to the store's: rows inserted after growth, a
    // reset after a clear. True when rows were added or removed.
    bool CatchUp();
    // Every row drawn again (the display style changed).
    void Restyle();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    QString CellText(size_t row, int column) const;

    const CMsgExchange& exchange_;
    const CComSetting& settings_;
    int shownRows_ = 0;
    uint64_t shownGeneration_ = 0;
};

}  // namespace qelvor
