#include "window/traffic_table_model.h"

#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <chrono>
#include <climits>

#include "config/com_setting.h"
#include "config/string_table.h"
#include "data/display_format.h"
#include "data/frame_check.h"
#include "traffic/msg_exchange.h"
#include "traffic/record_timing.h"
#include "window/local_text.h"

namespace qelvor {

namespace {

// A row count a view can hold; the store could outgrow an int in theory.
int ClampedCount(size_t count) {
    return static_cast<int>(std::min<size_t>(count, INT_MAX));
}

bool DarkPalette(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

// Black or white, whichever reads better on the background.
QColor ReadableOn(QColor background) {
    const double luminance =
        0.299 * background.red() + 0.587 * background.green() + 0.114 * background.blue();
    return luminance > 140.0 ? QColor(Qt::black) : QColor(Qt::white);
}

}  // namespace

CTrafficTableModel::CTrafficTableModel(const CMsgExchange& exchange, const CComSetting& settings,
                                       QObject* parent)
    : QAbstractTableModel(parent), exchange_(exchange), settings_(settings), filter_(exchange) {
    shownGeneration_ = exchange_.Generation();
    highlights_.Load(settings_);
    stepTimer_.setInterval(0);
    connect(&stepTimer_, &QTimer::timeout, this, &CTrafficTableModel::RunStep);
}

// --- rows ---

bool CTrafficTableModel::CatchUp() {
    const bool changed = filtered_ ? CatchUpFiltered() : CatchUpAll();
    // The rest of a large store is taken in by the step timer, a few
    // milliseconds at a time.
    if (!CaughtUp() && !stepTimer_.isActive()) stepTimer_.start();
    return changed;
}

bool CTrafficTableModel::CatchUpAll() {
    if (pattern_) StepFilter();
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

bool CTrafficTableModel::CatchUpFiltered() {
    // A cleared store makes the filter start over: the rows go at once, and
    // the first step's rows come with the reset.
    if (exchange_.Generation() != shownGeneration_) {
        beginResetModel();
        StepFilter();
        shownRows_ = ClampedCount(filter_.Rows().size());
        shownGeneration_ = exchange_.Generation();
        endResetModel();
        return true;
    }
    StepFilter();
    const int count = ClampedCount(filter_.Rows().size());
    if (count == shownRows_) return false;
    beginInsertRows(QModelIndex(), shownRows_, count - 1);
    shownRows_ = count;
    endInsertRows();
    return true;
}

bool CTrafficTableModel::StepFilter() {
    const auto deadline = CRecordFilter::Clock::now() + std::chrono::milliseconds(kStepMs);
    const bool done = filter_.Step(deadline);
    emit filterProgress(filter_.Progress(), done);
    return done;
}

void CTrafficTableModel::RunStep() {
    CatchUp();
    if (CaughtUp()) stepTimer_.stop();
}

bool CTrafficTableModel::CaughtUp() const {
    if (!filtered_ && !pattern_) return true;
    return filter_.CaughtUp();
}

void CTrafficTableModel::ResetFilter() {
    // Unfiltered, the filter's rows must be every record, so that its match
    // rows are rows of the list.
    filter_.Reset(filtered_ ? options_ : CRecordFilter::Options{}, pattern_);
}

void CTrafficTableModel::StartFilterOver() {
    beginResetModel();
    ResetFilter();
    shownRows_ = 0;
    shownGeneration_ = exchange_.Generation();
    endResetModel();
    CatchUp();
    ReportIdle();
}

void CTrafficTableModel::ReportIdle() {
    // With neither filter nor pattern no step runs: a progress shown for
    // the work just dropped is told that it ended.
    if (!filtered_ && !pattern_) emit filterProgress(1.0, true);
}

void CTrafficTableModel::SetFilter(const CRecordFilter::Options& options, bool filtered) {
    options_ = options;
    filtered_ = filtered;
    StartFilterOver();
}

void CTrafficTableModel::SetPattern(std::optional<CRecordMatcher> matcher) {
    pattern_ = std::move(matcher);
    // Without a filter the rows stay as they are; only the matches are
    // tracked anew.
    if (filtered_) return StartFilterOver();
    ResetFilter();
    CatchUp();
    ReportIdle();
}

size_t CTrafficTableModel::RecordIndex(int row) const {
    if (row < 0 || row >= shownRows_) return kNoRow;
    const auto at = static_cast<size_t>(row);
    const size_t record = filtered_ ? filter_.Rows()[at] : at;
    // The store may already be cleared while the rows are not yet caught
    // up: such a row shows no record.
    return record < exchange_.RecordCount() ? record : kNoRow;
}

CRecordMatcher::Rows CTrafficTableModel::MatcherRows() const {
    return CRecordMatcher::Rows{exchange_.Records(), filtered_ ? &filter_.Rows() : nullptr};
}

void CTrafficTableModel::Restyle() {
    highlights_.Load(settings_);
    if (shownRows_ > 0) emit dataChanged(index(0, 0), index(shownRows_ - 1, kColumnCount - 1));
}

int CTrafficTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

int CTrafficTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

// --- cells ---

bool CTrafficTableModel::Bad(size_t record) const {
    const CMsgRecord& r = exchange_.Record(record);
    return CFrameCheck::CheckRecord(r.Type(), r.Data(), settings_.CheckSum).verdict ==
           CFrameCheck::Verdict::kBad;
}

QString CTrafficTableModel::CellText(size_t record, int column) const {
    const CMsgRecord& r = exchange_.Record(record);
    switch (column) {
        case kColumnType:
            return TypeText(r.Type());
        case kColumnTime: {
            const SystemTime t = r.Time();
            return QString::asprintf("%02d:%02d:%02d.%03d", t.wHour, t.wMinute, t.wSecond,
                                     t.wMilliseconds);
        }
        case kColumnCheck:
            return QString::fromStdString(CFrameCheck::Text(
                CFrameCheck::CheckRecord(r.Type(), r.Data(), settings_.CheckSum)));
        case kColumnGap: {
            const GapScope scope =
                settings_.GapScope != 0 ? GapScope::kSameType : GapScope::kAnyRecord;
            return QString::fromStdString(
                FormatGap(MillisSincePrevious(exchange_.Records(), record, scope)));
        }
        default:
            break;
    }
    const std::string& bytes = r.Data();
    const size_t shown = std::min<size_t>(bytes.size(), kMaxCellBytes);
    std::string text =
        FormatForDisplay(r.Type(), std::string_view(bytes.data(), shown), settings_.ShowDataFmt);
    return LocalText(text);
}

QString CTrafficTableModel::TypeText(char type) const {
    const QString letter(QChar::fromLatin1(type));
    if (type != 'A' && type != 'B') return letter;
    // A's bytes go right, to B; B's come back.
    const QString arrow = type == 'A' ? QStringLiteral("→") : QStringLiteral("←");
    const std::string name = sideNames_ ? sideNames_(type) : std::string();
    if (name.empty()) return letter + ' ' + arrow;
    return letter + ' ' + LocalText(name) + ' ' + arrow;
}

QColor CTrafficTableModel::ErrorColor(const QPalette& palette) {
    return DarkPalette(palette) ? QColor(0xff, 0x6b, 0x6b) : QColor(0xc6, 0x28, 0x28);
}

QColor CTrafficTableModel::TypeColor(char type, const QPalette& palette) {
    const bool dark = DarkPalette(palette);
    switch (type) {
        case 'S':
            return dark ? QColor(0x7a, 0xb8, 0xff) : QColor(0x0b, 0x4f, 0xa8);
        case 'R':
            return dark ? QColor(0x86, 0xe0, 0x94) : QColor(0x17, 0x6b, 0x2a);
        // A tap's two sides: a violet and a teal, apart from the send blue
        // and the receive green.
        case 'A':
            return dark ? QColor(0xd3, 0x9b, 0xf5) : QColor(0x7b, 0x1f, 0xa2);
        case 'B':
            return dark ? QColor(0x5f, 0xd8, 0xd8) : QColor(0x00, 0x66, 0x70);
        default:
            return dark ? QColor(0xe6, 0xc3, 0x5c) : QColor(0x86, 0x55, 0x00);
    }
}

QVariant CTrafficTableModel::Background(size_t record) const {
    const std::optional<uint32_t> rgb = highlights_.ColorOf(exchange_.Record(record));
    if (!rgb) return {};
    return QColor::fromRgb(static_cast<QRgb>(*rgb));
}

QVariant CTrafficTableModel::Foreground(size_t record, int column) const {
    // A highlighted row takes black or white on its colour; a bad frame the
    // error colour, else the type's colour. The time column keeps the
    // palette's text colour so the rows stay calm to read.
    if (const std::optional<uint32_t> rgb = highlights_.ColorOf(exchange_.Record(record)))
        return ReadableOn(QColor::fromRgb(static_cast<QRgb>(*rgb)));
    const QPalette palette = QGuiApplication::palette();
    if (Bad(record)) return ErrorColor(palette);
    if (column == kColumnTime || column == kColumnGap) return {};
    return TypeColor(exchange_.Record(record).Type(), palette);
}

QVariant CTrafficTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const size_t record = RecordIndex(index.row());
    if (record == kNoRow) return {};
    switch (role) {
        case Qt::DisplayRole:
            return CellText(record, index.column());
        case Qt::ForegroundRole:
            return Foreground(record, index.column());
        case Qt::BackgroundRole:
            return Background(record);
        case Qt::TextAlignmentRole:
            return index.column() == kColumnData ? int(Qt::AlignLeft | Qt::AlignVCenter)
                                                 : int(Qt::AlignCenter);
        default:
            return {};
    }
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
        case kColumnCheck:
            return tr("chk");
        case kColumnGap:
            return tr("+ms");
        default:
            return {};
    }
}

}  // namespace qelvor
