#include "astm/order_table.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

namespace qelvor::astm {

namespace {

// The columns the table knows; any other is ignored.
enum Column {
    kSpecimen,
    kTests,
    kPriority,
    kPatientId,
    kPatientName,
    kCollected,
    kAction,
    kReportType,
    kColumnCount
};

struct ColumnName {
    const char* name;  // lower case, without blanks, '_' or '-'
    Column column;
};

constexpr std::array<ColumnName, 14> kColumnNames = {{
    {"specimenid", kSpecimen},
    {"specimen", kSpecimen},
    {"sampleid", kSpecimen},
    {"testcodes", kTests},
    {"tests", kTests},
    {"priority", kPriority},
    {"patientid", kPatientId},
    {"patientname", kPatientName},
    {"collectiontime", kCollected},
    {"collected", kCollected},
    {"actioncode", kAction},
    {"action", kAction},
    {"reporttype", kReportType},
    {"reporttypes", kReportType},
}};

constexpr std::string_view kPriorities = "SARCP";

// One row of the file and the line it starts on (from 1).
struct CsvRow {
    size_t line = 0;
    std::vector<std::string> cells;
};

std::string Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

// Reads the row at pos (CSV: ',' between cells, a cell in double quotes may
// hold commas, line breaks and doubled quotes); pos and line move past it.
// False, with why, for a quote left open.
bool NextRow(std::string_view text, size_t& pos, size_t& line, CsvRow& row, std::string& why) {
    row.line = line;
    row.cells.assign(1, std::string());
    bool quoted = false;
    while (pos < text.size()) {
        const char c = text[pos++];
        std::string& cell = row.cells.back();
        if (quoted) {
            if (c != '"') {
                cell += c;
                line += c == '\n' ? 1 : 0;
            } else if (pos < text.size() && text[pos] == '"') {
                cell += '"';
                ++pos;
            } else {
                quoted = false;
            }
            continue;
        }
        if (c == ',') {
            row.cells.emplace_back();
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
            ++line;
            return true;
        } else if (c == '"' && Trimmed(cell).empty()) {
            quoted = true;
        } else {
            cell += c;
        }
    }
    if (quoted) why = "line " + std::to_string(row.line) + ": a quote is not closed";
    return !quoted;
}

std::string NormalName(std::string_view name) {
    std::string normal;
    for (const char c : name) {
        if (c == ' ' || c == '\t' || c == '_' || c == '-') continue;
        normal += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return normal;
}

using ColumnPlaces = std::array<std::optional<size_t>, kColumnCount>;

bool ReadHeader(const CsvRow& header, ColumnPlaces& places, std::string& why) {
    const std::string where = "line " + std::to_string(header.line) + ": ";
    for (size_t i = 0; i < header.cells.size(); ++i) {
        const std::string name = NormalName(header.cells[i]);
        for (const ColumnName& known : kColumnNames) {
            if (name != known.name) continue;
            if (places[known.column]) {
                why = where + "column \"" + Trimmed(header.cells[i]) + "\" comes twice";
                return false;
            }
            places[known.column] = i;
        }
    }
    if (!places[kSpecimen])
        why = where + "no \"specimen id\" column";
    else if (!places[kTests])
        why = where + "no \"test codes\" column";
    return why.empty();
}

std::vector<std::string> TestCodes(std::string_view cell) {
    std::vector<std::string> codes;
    size_t start = 0;
    while (start <= cell.size()) {
        size_t end = cell.find_first_of("\\;", start);
        if (end == std::string_view::npos) end = cell.size();
        std::string code = Trimmed(cell.substr(start, end - start));
        if (!code.empty()) codes.push_back(std::move(code));
        start = end + 1;
    }
    return codes;
}

// The row's order; false, with why, when it lacks what an answer needs.
bool ReadOrder(const CsvRow& row, const ColumnPlaces& places, AstmOrder& order, std::string& why) {
    auto cell = [&](Column column) {
        const std::optional<size_t> at = places[column];
        return at && *at < row.cells.size() ? Trimmed(row.cells[*at]) : std::string();
    };
    const std::string where = "line " + std::to_string(row.line) + ": ";
    order.specimen = cell(kSpecimen);
    order.tests = TestCodes(cell(kTests));
    if (order.specimen.empty())
        why = where + "no specimen id";
    else if (order.tests.empty())
        why = where + "specimen " + order.specimen + " has no test code";
    if (!why.empty()) return false;
    if (std::string priority = cell(kPriority); !priority.empty()) {
        if (priority[0] >= 'a' && priority[0] <= 'z')
            priority[0] = static_cast<char>(priority[0] - 32);
        if (priority.size() != 1 || kPriorities.find(priority[0]) == std::string_view::npos) {
            why = where + "priority \"" + priority + "\" is none of S, A, R, C, P";
            return false;
        }
        order.priority = priority;
    }
    order.patientId = cell(kPatientId);
    order.patientName = cell(kPatientName);
    order.collected = cell(kCollected);
    order.action = cell(kAction);
    if (std::string report = cell(kReportType); !report.empty()) order.reportType = report;
    return true;
}

}  // namespace

bool COrderTable::Parse(std::string_view text, std::string& why) {
    if (text.size() > kMaxBytes) {
        why = "larger than " + std::to_string(kMaxBytes >> 20) + " MiB";
        return false;
    }
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    size_t pos = 0, line = 1;
    CsvRow row;
    ColumnPlaces places;
    bool header = true;
    std::vector<AstmOrder> orders;
    std::unordered_map<std::string, size_t> index;
    std::vector<size_t> lines;
    while (pos < text.size()) {
        if (!NextRow(text, pos, line, row, why)) return false;
        if (row.cells.size() == 1 && Trimmed(row.cells[0]).empty()) continue;
        if (std::exchange(header, false)) {
            if (!ReadHeader(row, places, why)) return false;
            continue;
        }
        if (orders.size() == kMaxRows) {
            why = "more than " + std::to_string(kMaxRows) + " rows";
            return false;
        }
        AstmOrder order;
        if (!ReadOrder(row, places, order, why)) return false;
        const auto [at, added] = index.emplace(order.specimen, orders.size());
        if (!added) {
            why = "line " + std::to_string(row.line) + ": specimen " + order.specimen +
                  " is listed twice (first on line " + std::to_string(lines[at->second]) + ")";
            return false;
        }
        orders.push_back(std::move(order));
        lines.push_back(row.line);
    }
    if (header) {
        why = "no header line";
        return false;
    }
    orders_ = std::move(orders);
    index_ = std::move(index);
    return true;
}

bool COrderTable::Load(const std::string& path, std::string& why) {
    const std::string name = "orders file " + path + ": ";
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        why = name + std::strerror(errno);
        return false;
    }
    std::string text(kMaxBytes + 1, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file.get()));
    if (std::ferror(file.get())) {
        why = name + std::strerror(errno);
        return false;
    }
    if (!Parse(text, why)) {
        why = name + why;
        return false;
    }
    return true;
}

const AstmOrder* COrderTable::Find(std::string_view specimen) const {
    const auto at = index_.find(std::string(specimen));
    return at == index_.end() ? nullptr : &orders_[at->second];
}

}  // namespace qelvor::astm
