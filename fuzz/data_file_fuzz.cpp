// Data files loaded into the data list through the engine, saved with Save As
// and loaded again: no line may hold a line feed or end in CR, the count must
// follow the line feeds, and a saved list must load back as itself plus the
// empty line after its final CR LF.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "config/com_setting.h"
#include "mainwnd/main_engine.h"

namespace {

struct Rig {
    Rig()
        : folder(MakeFolder()),
          settings(qelvor::CComSetting::Loaded(folder + "/fuzz.ini")),
          engine(settings, view) {
        engine.InitExchange();
    }
    static std::string MakeFolder() {
        char pattern[] = "/tmp/qelvor_data_file_fuzz_XXXXXX";
        if (mkdtemp(pattern) == nullptr) std::abort();
        return pattern;
    }
    std::string folder;
    qelvor::CComSetting settings;
    qelvor::CSilentView view;
    qelvor::CMainEngine engine;
};

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Rig rig;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string path = rig.folder + "/data.txt";
    const std::string saved = rig.folder + "/saved.txt";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << input;

    Check(rig.engine.LoadDataFile(path));
    const std::vector<std::string> lines = rig.engine.DataList().Lines();
    size_t feeds = 0;
    for (char c : input)
        feeds += c == '\n' ? 1 : 0;
    Check(lines.size() == (input.empty() ? 0 : feeds + 1));
    for (const std::string& line : lines) {
        Check(line.find('\n') == std::string::npos);
        Check(line.empty() || line.back() != '\r');
    }
    if (lines.empty()) return 0;

    Check(rig.engine.SaveDataList(saved));
    Check(rig.engine.LoadDataFile(saved));
    std::vector<std::string> expected = lines;
    expected.emplace_back();
    Check(rig.engine.DataList().Lines() == expected);
    rig.engine.OnClearAllData();
    return 0;
}
