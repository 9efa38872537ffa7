#include "mainwnd/traffic_table_model.h"

#include <algorithm>
#include <climits>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "data/display_format.h"
#include "traffic/msg_exchange.h"

namespace qelvor {

namespace {

// A row count a view can hold; the store could outgrow an int in theory.
int ClampedCount(size_t count) {
    return static_cast<int>(std::min<size_t>(count, INT_MAX));
}

}  // namespace

CTrafficTableModel::CTrafficTableModel(const CMsgExchange& exchange, const CComSetting& settings,
                                       QObject* parent)
    : QAbstractTableModel(parent), exchange_(exchange), settings_(settings) {
    shownGeneration_ = exchange_.Generation();
}

bool CTrafficTableModel::CatchUp() {
    const int count = ClampedCount(exchange_.RecordCount());
    if (exchange_.Generation() != shownGeneration_ || count < shownRows_) {
        beginResetModel();
        shownRows_ = count;
        shownGeneration_ = exchange_.Generation();
        endResetModel();
        return true;
    }
    if (count == shownRows_) return false;
    beginInsertRows(QModelIndex(), shownRows_, count - 1);
    shownRows_ = count;
    endInsertRows();
    return true;
}

void CTrafficTableModel::Restyle() {
    if (shownRows_ > 0) emit dataChanged(index(0, 0), index(shownRows_ - 1, kColumnCount - 1));
}

int CTrafficTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

int CTrafficTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QString CTrafficTableModel::CellText(size_t row, int column) const {
    const CMsgRecord& record = exchange_.Record(row);
    if (column == kColumnType) return QString(QChar::fromLatin1(record.Type()));
    if (column == kColumnTime) {
        const SystemTime t = record.Time();
        return QString::asprintf("%02d:%02d:%02d.%03d", t.wHour, t.wMinute, t.wSecond,
                                 t.wMilliseconds);
    }
    const std::string& bytes = record.Data();
    const size_t shown = std::min<size_t>(bytes.size(), kMaxCellBytes);
    std::string text = FormatForDisplay(record.Type(), std::string_view(bytes.data(), shown),
                                        settings_.ShowDataFmt);
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant CTrafficTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    // The store may already be cleared while the rows are not yet caught
    // up: a row past its end shows nothing.
    const auto row = static_cast<size_t>(index.row());
    if (row >= exchange_.RecordCount()) return {};
    if (role == Qt::DisplayRole) return CellText(row, index.column());
    if (role == Qt::TextAlignmentRole) {
        return index.column() == kColumnData ? int(Qt::AlignLeft | Qt::AlignVCenter)
                                             : int(Qt::AlignCenter);
    }
    return {};
}

QVariant CTrafficTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole) {
        return section == kColumnData ? int(Qt::AlignLeft | Qt::AlignVCenter)
                                      : int(Qt::AlignCenter);
    }
    if (role != Qt::DisplayRole) return {};
    switch (section) {
        case kColumnType:
            return QStringLiteral("T");
        case kColumnTime:
            return QString::fromUtf8(LoadStr(kStrDatetime));
        case kColumnData:
            return QString::fromUtf8(LoadStr(kStrMessageData));
        default:
            return {};
    }
}

}  // namespace qelvor
