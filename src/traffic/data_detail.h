// What the message detail view shows for one record (or the pending received
// bytes): title, type, size and "+ms" texts, the three view texts and the stored
// view choice. The window only draws it. User-interface thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "astm/astm_record_tree.h"
#include "hl7/hl7_message_tree.h"
#include "traffic/record_store.h"
#include "traffic/record_timing.h"

namespace qelvor {

class CComSetting;

class CDataDetail {
  public:
    enum View { kRaw = 0, kFormatted = 1, kHex = 2 };

    // A record of type 0, empty data and the local time of construction.
    CDataDetail();
    explicit CDataDetail(CMsgRecord record);
    // A copy of the record at index of the store, with the milliseconds since
    // the previous record in scope.
    CDataDetail(const CRecordStore& records, size_t index, GapScope scope);

    const CMsgRecord& Record() const { return record_; }
    // The opener sets it to offer the "Save data" button (pending bytes).
    void SetSaveShown(bool shown) { saveShown_ = shown; }
    bool SaveShown() const { return saveShown_; }

    // The view ShowDataMask selects; a value outside 0..2 selects the raw one.
    static int ViewOf(const CComSetting& settings);
    // Stores the selected view as ShowDataMask in the settings and in the
    // current set's section of the INI file; false when the file was not
    // written.
    static bool StoreView(CComSetting& settings, int view);

    std::string Title() const;
    std::string TypeText() const;
    std::string SizeText() const;
    // The "+ms" of a stored record: the milliseconds since the previous one,
    // as the traffic list writes them; empty for the first record and for
    // bytes not stored yet.
    std::string GapText() const { return FormatGap(gap_); }
    bool HasGap() const { return gap_.has_value(); }
    // The "UTF-8 dec" box is offered only when a byte lies above 0x8F.
    bool ShowsDecodeBox() const { return HasHighByte(record_.Data()); }
    // The text of view (0 raw, 2 hexadecimal, anything else formatted),
    // decoded from UTF-8 first for the raw and formatted views when asked.
    std::string ViewText(int view, bool decode) const;

    // In the ASTM mode the opener passes the delimiters of the last header
    // received, and a record that carries an ASTM record offers its fields.
    void SetAstmDelimiters(const astm::AstmDelimiters& delimiters) { astm_ = delimiters; }
    std::optional<astm::AstmTreeNode> AstmTree() const;
    // In the HL7 mode the opener says so, and a frame that carries an HL7
    // message offers its segments and fields; a message that cannot be read
    // as HL7 offers none.
    void SetHl7Mode(bool on) { hl7_ = on; }
    std::optional<hl7::Hl7TreeNode> Hl7Tree() const;

    static std::string TitleFor(const SystemTime& time);
    static bool HasHighByte(std::string_view data);

  private:
    CMsgRecord record_;
    bool saveShown_ = false;
    std::optional<int64_t> gap_;
    std::optional<astm::AstmDelimiters> astm_;
    bool hl7_ = false;
};

}  // namespace qelvor
