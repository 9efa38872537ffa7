// Loads arbitrary bytes as the settings file and runs the settings record's
// file operations on it: reading every set, saving, deleting a set. A value
// saved into the default set must read back as the same value, and so must a
// key written into a set named by the file itself, whatever the text around
// the line that was edited.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "config/com_setting.h"

namespace {

const std::string& IniPath() {
    static const std::string path = [] {
        char folder[] = "/tmp/qelvor_ini_fuzz_XXXXXX";
        const char* made = mkdtemp(folder);
        return std::string(made != nullptr ? made : "/tmp") + "/fuzz.ini";
    }();
    return path;
}

void WriteInput(const uint8_t* data, size_t size) {
    FILE* file = std::fopen(IniPath().c_str(), "wb");
    if (file == nullptr) return;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
}

bool SameInts(const qelvor::CComSetting& a, const qelvor::CComSetting& b) {
    return a.ComPort == b.ComPort && a.BaudRate == b.BaudRate && a.ByteSize == b.ByteSize &&
           a.Parity == b.Parity && a.StopBit == b.StopBit && a.WorkMode == b.WorkMode &&
           a.Replace_Old == b.Replace_Old && a.Replace_New == b.Replace_New &&
           a.InterframeDelay == b.InterframeDelay && a.UDPRemotePort == b.UDPRemotePort &&
           a.BackupLogTimeCount == b.BackupLogTimeCount && a.ScrollRSWnd == b.ScrollRSWnd &&
           a.ComName.size() <= 16383 && a.SplitStrs.size() <= 16383;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteInput(data, size);
    qelvor::CComSetting settings = qelvor::CComSetting::Loaded(IniPath());
    const std::string current = settings.GetCurrentSet();
    for (const std::string& name : settings.SetNames)
        settings.Load(name);
    settings.Load("ComSet");
    settings.Save("ComSet");
    qelvor::CComSetting reader = qelvor::CComSetting::Loaded(IniPath());
    reader.Load("ComSet");
    if (!SameInts(settings, reader)) abort();
    // A value with quotes and blanks at its ends must survive the line edit.
    const std::string value = " \"" + std::to_string(size) + " v\" ";
    for (const std::string& section : {current, std::string("ComSet"), std::string()}) {
        if (settings.WriteProfileString(section, "FuzzKey", value) == 1 &&
            reader.ReadProfileString(section, "FuzzKey", "") != value)
            abort();
    }
    settings.Save("");
    settings.DeleteSet(current);
    settings.DeleteSet("ComSet");
    return 0;
}
