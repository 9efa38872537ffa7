// Runs a CSV export of the traffic list from the window: asks for the file
// (in the folder of the last export), then writes it in short steps from a timer on the
// user-interface thread (the thread that owns the traffic store) under a progress dialog that can
// cancel it. The end is told as an 'I' record, a failure in a message box
// with the exporter's own text. User-interface thread only.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "log/csv_exporter.h"

class QProgressDialog;
class QTimer;
class QWidget;

namespace qelvor {

class CComSetting;
class CMainEngine;

class CCsvExportRunner : public QObject {
    Q_OBJECT

  public:
    // How long one step writes before the event loop runs again.
    static constexpr int kStepMs = 8;

    CCsvExportRunner(CMainEngine& engine, CComSetting& settings, QWidget* window);
    ~CCsvExportRunner() override;

    // Asks for a file name, then exports. rows are the record indexes the
    // traffic list shows while a filter is on; nullptr exports every record
    // of the store.
    void AskAndExport(const std::vector<size_t>* rows);
    // Exports to path without asking; false when the export could not start
    // (its error is shown).
    bool Export(const QString& path, const std::vector<size_t>* rows);
    bool Running() const;

  signals:
    // The export ended: done, failed or cancelled.
    void finished(CCsvExporter::State state);

  private:
    void Step();
    void End();
    void ShowFailure();
    CCsvExporter::Options ExportOptions() const;

    CMainEngine& engine_;
    CComSetting& settings_;
    QWidget* window_;
    std::unique_ptr<CCsvExporter> exporter_;
    QTimer* stepTimer_ = nullptr;
    QProgressDialog* progress_ = nullptr;
    QString path_;
    size_t rowCount_ = 0;
};

}  // namespace qelvor
