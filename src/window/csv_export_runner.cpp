#include "window/csv_export_runner.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>
#include <chrono>

#include "config/com_setting.h"
#include "log/log_saver.h"
#include "mainwnd/main_engine.h"
#include "window/file_commands.h"
#include "window/local_text.h"

namespace qelvor {

namespace {

// The progress bar's steps; the dialog appears only when an export takes
// longer than kShowAfterMs, so a small one does not flash it.
constexpr int kProgressSteps = 1000;
constexpr int kShowAfterMs = 300;

}  // namespace

CCsvExportRunner::CCsvExportRunner(CMainEngine& engine, CComSetting& settings, QWidget* window)
    : QObject(window), engine_(engine), settings_(settings), window_(window) {
    stepTimer_ = new QTimer(this);
    stepTimer_->setInterval(0);
    connect(stepTimer_, &QTimer::timeout, this, &CCsvExportRunner::Step);
}

// An export still running is cancelled by the exporter's own destructor.
CCsvExportRunner::~CCsvExportRunner() = default;

bool CCsvExportRunner::Running() const {
    return exporter_ && exporter_->GetState() == CCsvExporter::State::kWriting;
}

CCsvExporter::Options CCsvExportRunner::ExportOptions() const {
    CCsvExporter::Options options;
    options.showDataFmt = settings_.ShowDataFmt;
    // The "+ms" as the traffic list counts it.
    options.gapScope = settings_.GapScope != 0 ? GapScope::kSameType : GapScope::kAnyRecord;
    return options;
}

void CCsvExportRunner::AskAndExport(const std::vector<size_t>* rows) {
    if (Running()) return;
    // The folder of the last export, else the one the log saves write to.
    QFileDialog dialog(window_, tr("Export CSV"),
                       CFileCommands::StartFolder(FileKind::ExportCsv, SaveFolder(settings_)));
    dialog.setObjectName(QStringLiteral("ExportCsvDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({tr("CSV (*.csv)"), tr("All files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(QStringLiteral("traffic.csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    CFileCommands::Remember(FileKind::ExportCsv, dialog.selectedFiles().first());
    Export(dialog.selectedFiles().first(), rows);
}

bool CCsvExportRunner::Export(const QString& path, const std::vector<size_t>* rows) {
    if (Running()) return false;
    exporter_ = std::make_unique<CCsvExporter>(engine_.Exchange());
    path_ = path;
    rowCount_ = rows != nullptr ? rows->size() : engine_.Exchange().RecordCount();
    if (exporter_->Start(LocalBytes(path), rows, ExportOptions()) != 0) {
        ShowFailure();
        return false;
    }
    progress_ = new QProgressDialog(tr("Exporting %1 rows...").arg(rowCount_), tr("Cancel"), 0,
                                    kProgressSteps, window_);
    progress_->setObjectName(QStringLiteral("CsvExportProgress"));
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(kShowAfterMs);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setValue(0);
    connect(progress_, &QProgressDialog::canceled, this, [this] {
        if (!Running()) return;
        exporter_->Cancel();
        End();
    });
    stepTimer_->start();
    return true;
}

void CCsvExportRunner::Step() {
    const auto deadline = CCsvExporter::Clock::now() + std::chrono::milliseconds(kStepMs);
    if (exporter_->Step(deadline) == CCsvExporter::State::kWriting) {
        progress_->setValue(static_cast<int>(exporter_->Progress() * kProgressSteps));
        return;
    }
    End();
}

void CCsvExportRunner::End() {
    stepTimer_->stop();
    if (progress_ != nullptr) {
        progress_->hide();
        progress_->deleteLater();
        progress_ = nullptr;
    }
    const CCsvExporter::State state = exporter_->GetState();
    if (state == CCsvExporter::State::kDone) {
        engine_.Exchange().AddRecord('I', "CSV export: " + std::to_string(rowCount_) +
                                              " rows written to " + LocalBytes(path_));
    } else if (state == CCsvExporter::State::kFailed) {
        ShowFailure();
    }
    emit finished(state);
}

void CCsvExportRunner::ShowFailure() {
    QMessageBox box(QMessageBox::Warning, tr("Export CSV"),
                    tr("The CSV export failed: %1").arg(LocalText(exporter_->Error())),
                    QMessageBox::Ok, window_);
    box.setObjectName(QStringLiteral("CsvExportFailed"));
    box.exec();
}

}  // namespace qelvor
