#include "window/quick_send_dlg.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMessageBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <utility>
#include <vector>

#include "mainwnd/main_engine.h"
#include "window/local_text.h"

namespace qelvor {

namespace {

constexpr int kNameColumn = 0;
constexpr int kTextColumn = 1;

bool operator!=(const QuickSend& a, const QuickSend& b) {
    return a.name != b.name || a.text != b.text;
}

}  // namespace

CQuickSendDlg::CQuickSendDlg(CMainEngine& engine, QWidget* parent)
    : QDialog(parent), engine_(engine) {
    setObjectName(QStringLiteral("QuickSendDlg"));
    setWindowTitle(tr("Quick-send buttons"));
    table_ = new QTableWidget(CQuickSends::kCount, 2, this);
    table_->setObjectName(QStringLiteral("QuickSendTable"));
    table_->setHorizontalHeaderLabels({tr("Name"), tr("Text to send")});
    table_->horizontalHeader()->setSectionResizeMode(kNameColumn, QHeaderView::Interactive);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setColumnWidth(kNameColumn, 120);
    // All twelve rows in view, without a scroll bar.
    table_->setMinimumSize(460, table_->verticalHeader()->length() +
                                    table_->horizontalHeader()->sizeHint().height() +
                                    2 * table_->frameWidth());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("QuickSendButtons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CQuickSendDlg::OnOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* whole = new QVBoxLayout(this);
    whole->addWidget(table_);
    whole->addWidget(buttons);
    Fill();
}

void CQuickSendDlg::Fill() {
    for (int row = 0; row < CQuickSends::kCount; ++row) {
        const QuickSend& button = engine_.QuickSends().Button(row);
        table_->setItem(row, kNameColumn, new QTableWidgetItem(LocalText(button.name)));
        table_->setItem(row, kTextColumn, new QTableWidgetItem(LocalText(button.text)));
    }
}

QuickSend CQuickSendDlg::RowOf(int row) const {
    const auto text = [this, row](int column) {
        const QTableWidgetItem* item = table_->item(row, column);
        return item != nullptr ? LocalBytes(item->text()) : std::string();
    };
    return QuickSend{text(kNameColumn), text(kTextColumn)};
}

int CQuickSendDlg::StoreChangedRows() {
    std::vector<std::pair<int, QuickSend>> stored;  // the rows' values before
    for (int row = 0; row < CQuickSends::kCount; ++row) {
        const QuickSend before = engine_.QuickSends().Button(row);
        const QuickSend after = RowOf(row);
        if (!(after != before)) continue;
        if (!engine_.SetQuickSend(row, after)) {
            // Values that were stored before can be stored again.
            for (const auto& [index, value] : stored)
                engine_.SetQuickSend(index, value);
            return row;
        }
        stored.emplace_back(row, before);
    }
    return -1;
}

void CQuickSendDlg::OnOk() {
    const int refused = StoreChangedRows();
    if (refused < 0) {
        accept();
        return;
    }
    table_->setCurrentCell(refused, kNameColumn);
    QMessageBox::warning(this, windowTitle(),
                         tr("Button %1 cannot be stored: a name may not hold a TAB, and neither "
                            "a name nor a text a line break.\nNothing was changed.")
                             .arg(refused + 1));
}

}  // namespace qelvor
