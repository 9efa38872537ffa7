// The data list's commands: loading a data file into it, reloading, the line
// edits, saving it as text, the double-click on a line and the "send now"
// check box. Engine thread only.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "mainwnd/engine_context.h"
#include "mainwnd/send_operations.h"

namespace qelvor {

class CDataListCommands {
  public:
    CDataListCommands(CEngineContext& context, CSendOperations& sender)
        : ctx_(context), sender_(sender) {}

    // Loads the file's lines into the data list; false when it cannot be
    // opened or is too large.
    bool LoadDataFile(const std::string& path);
    // The window's load: a file of more than kLinesAtOnce lines is cut into
    // lines at the ticks of the load timer, a step of about kStepBudget
    // each, with "done/total" in pane 1, so the window stays responsive; a
    // smaller one loads at once. True when loaded or under way.
    bool BeginDataFileLoad(const std::string& path);
    // Timer kTimerLoadStep: the next step of the load under way.
    void LoadStep();
    // Ends a load under way; the list keeps what it held before.
    void CancelLoad();
    bool Loading() const { return load_ != nullptr; }
    static constexpr size_t kLinesAtOnce = 20000;
    static constexpr std::chrono::milliseconds kStepBudget{8};
    // Loads the data file path again, when one is known.
    bool ReLoad();

    void InsertAbove();
    void InsertBelow();
    void DeleteSelected();
    // Empties the list; with forgetFile (Ctrl held) also forgets the data file.
    void Clear(bool forgetFile);
    // Writes every line followed by CR LF; reports the outcome in a message
    // box. False when the list is empty or the file could not be written.
    bool SaveAs(const std::string& path);

    // A double-click on line index (the click selects it first).
    void OnDoubleClick(int index);
    // The "send now" check box: flips LButtonDblClkSend and stores the set
    // (a write that fails is told in an 'I' record, as for every setting).
    void ToggleSendNow();
    // Flips ShowDataListWnd and writes it to the current set; AutoSend is
    // enabled exactly while the list is shown, HandShake is off and the port
    // is open. True when the list is now shown.
    bool ToggleShown(bool portOpen);

  private:
    // A file being cut into lines: every LF ends a line and the piece after
    // the last one is a line too (an empty file has none); trailing CRs go.
    struct PendingLoad {
        std::string path;
        std::string bytes;
        size_t start = 0;
        size_t total = 0;
        std::vector<std::string> lines;
    };

    bool ReadDataFile(const std::string& path, std::string& bytes);
    std::unique_ptr<PendingLoad> ReadLoad(const std::string& path);
    // Cuts lines until all are cut (true) or the deadline has passed, with
    // progress in pane 1 every kProgressStep lines.
    bool CutLines(PendingLoad& load, std::chrono::steady_clock::time_point deadline);
    // The lines handed to the list in one step, so a view rebuilds its rows
    // once per load; then the records and the data file remembered.
    void EndLoad(PendingLoad& load);
    void RememberDataFile(const std::string& path);
    void SendFirstData();
    void Insert(int index);

    CEngineContext& ctx_;
    CSendOperations& sender_;
    std::unique_ptr<PendingLoad> load_;
};

}  // namespace qelvor
