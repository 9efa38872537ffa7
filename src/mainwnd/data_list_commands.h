// The data list's commands: loading a data file into it, reloading, the line
// edits, saving it as text, the double-click on a line and the "send now"
// check box. Engine thread only.
#pragma once

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
    bool ReadDataFile(const std::string& path, std::string& bytes);
    // The file's lines into the list: split at every LF, trailing CRs
    // removed, progress in pane 1.
    void FillList(const std::string& bytes);
    void RememberDataFile(const std::string& path);
    void SendFirstData();
    void Insert(int index);

    CEngineContext& ctx_;
    CSendOperations& sender_;
};

}  // namespace qelvor
