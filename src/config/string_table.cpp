#include "config/string_table.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <iterator>

namespace qelvor {

namespace {

struct StringEntry {
    int id;
    const char* english;
    const char* chinese;
};

// Sorted by id. The Chinese text of an entry keeps the printf conversions of
// the English one, in the same order, so that either can take the same values.
constexpr StringEntry kStrings[] = {
    {kStrAboutQelvor, "About Qelvor(&A)...", "关于 Qelvor(&A)..."},
    {kStrPinWindow, "Pin Window", "窗口置顶"},
    {kStrStxToEtxInChecksum,
     "All characters between <STX>(not included) and <ETX>/<ETB>(included) are involved in the "
     "checksum calculation",
     "<STX>(不含)与<ETX>/<ETB>(含)之间的所有字符参与校验和计算"},
    {kStrNewInstance, "&New Instance", "新建实例(&N)"},
    {kStrExplorerPath, "&Explorer Path", "浏览程序目录(&E)"},
    {kStrDefaultTemplateCannotBeDeleted, "this is default template ,can't delete!",
     "这是默认模板,你不能删除它!"},
    {kStrHostAddressQueryMayBeSlow,
     "If you do not connect to the network, query the host IP address may be slow, continue?",
     "如果没有连接网络,则查询主机IP地址可能很慢,继续吗?"},
    {kStrMessageDetail, "Message Detail", "消息详情"},
    {kStrInUsed, "In Used", "已占用"},
    {kStrDatetime, "datetime", "日期时间"},
    {kStrMessageData, "message data", "消息数据"},
    {kStrResponseFile, "response file", "应答文件"},
    {kStrTextFileFilterOpen, "text file(*.txt,*.log)|*.txt;*.log|all files(*.*)|*.*|",
     "文本文件(*.txt,*.log)|*.txt;*.log|所有文件(*.*)|*.*|"},
    {kStrLoadDataFileSucceeded, "load data file succeeded,data count = %d!",
     "加载数据文件成功,数据条数 = %d!"},
    {kStrSendCompletedCount, "send completed count = %d", "发送完成,次数 = %d"},
    {kStrAutoSend, "AutoSend", "自动发送"},
    {kStrStopSend, "StopSend", "停止发送"},
    {kStrStressTest, "StressTest", "压力测试"},
    {kStrStopTest, "StopTest", "停止测试"},
    {kStrSetup, "Setup", "设置"},
    {kStrPortSet, "PortSet", "端口设置"},
    {kStrFileExistsOverwrite,
     "File already exists, you want to overwrite it?\n  Yes = overwrite  \n  No  = append to the "
     "end of the file \n  Cancle = Cancle save",
     "文件已存在,是否覆盖?\n  是 = 覆盖  \n  否 = 追加到文件末尾 \n  取消 = 取消保存"},
    {kStrSaveLogDataCaption, "Save Log Data", "保存日志数据"},
    {kStrSaveCancelled, "You cancel the file save operation", "您取消了文件保存操作"},
    {kStrUnableToSaveLogData, "Unable to save the log data,error code = %d",
     "无法保存日志数据,错误代码 = %d"},
    {kStrWithFmtStyle, "with Fmt style", "以Fmt格式"},
    {kStrWithBinStyle, "with Bin style", "以Bin格式"},
    {kStrWithHexStyle, "with Hex style", "以Hex格式"},
    {kStrWithTxtStyle, "with txt style", "以txt格式"},
    {kStrWithBinaryFmtStyle, "with binary Fmt style", "以二进制Fmt格式"},
    {kStrSaveLogfileDatetime, "save logfile datetime: ", "保存日志时间: "},
    {kStrSaveDataFileSucceeded, "Save data file succeeded", "保存数据文件成功"},
    {kStrAppendLogDataSucceeded, "append log data to file succeeded", "追加日志数据到文件成功"},
    {kStrSaveLogData, "save log data", "保存日志数据"},
    {kStrCompressLogFailed, "compress log failed", "压缩日志失败"},
    {kStrSaveAndCompressFileFailed, "save and compress file %s failed!", "保存并压缩文件 %s 失败!"},
    {kStrZippedIntoMsgLogDataZip, "save log data and zipped into MsgLogData.zip successed!",
     "保存日志数据并压缩为MsgLogData.zip成功!"},
    {kStrSaveAndCompressFailed, "save and compress log data failed:\n",
     "保存并压缩日志数据失败:\n"},
    {kStrTextFileFilterSave, "text file(*.txt,*.log)|*.txt;*.log|all files(*.*)|*.*|",
     "文本文件(*.txt,*.log)|*.txt;*.log|所有文件(*.*)|*.*|"},
    {kStrSaveDataFileCaption, "save data file", "保存数据文件"},
    {kStrCannotSaveDataFile, "can't save data file ,error code = %d",
     "无法保存数据文件,错误代码 = %d"},
    {kStrDataFileSaved, "save data file succeeded!", "保存数据文件成功!"},
    {kStrCheckSumLx20, "CheckSum(LX20)", "校验和(LX20)"},
    {kStrBracketsInChecksum,
     "All characters between '['(included) and ']'(included) are involved in the checksum "
     "calculation",
     "'['(含)与']'(含)之间的所有字符参与校验和计算"},
    {kStrCheckSumBcc, "CheckSum BCC", "校验和 BCC"},
    {kStrCheckSumAstm, "CheckSum ASTM", "校验和 ASTM"},
    {kStrStxToEtxInChecksumAstm,
     "All characters between <STX>(not included) and <ETX>/<ETB>(included) are involved in the "
     "checksum calculation",
     "<STX>(不含)与<ETX>/<ETB>(含)之间的所有字符参与校验和计算"},
    {kStrSendFileFmt, "SendFile Fmt", "发送文件 Fmt"},
    {kStrSendFileHex, "SendFile Hex", "发送文件 Hex"},
    {kStrSendFileRaw, "SendFile Raw", "发送文件 Raw"},
    {kStrSendDataHex, "SendData Hex", "发送数据 Hex"},
    {kStrSendData, "SendData", "发送数据"},
    {kStrDataFilesFilter,
     "data files(*.log;*.raw;*.hex;*.bin;*.txt)|*.log;*.raw;*.hex;*.bin;*.txt|all files(*.*)|*.*|",
     "数据文件(*.log;*.raw;*.hex;*.bin;*.txt)|*.log;*.raw;*.hex;*.bin;*.txt|所有文件(*.*)|*.*|"},
    {kStrResendFile, "resend file:\n", "重新发送文件:\n"},
    {kStrTcpServerConnected, "TCP-Server(Port=%d) connected", "TCP服务器(端口=%d)已连接"},
    {kStrTcpServerWaitingClient, "TCP-Server(Port=%d) waiting client",
     "TCP服务器(端口=%d)等待客户端连接"},
    {kStrTcpServerPortInUse, "TCP-Server(Port=%d) port already in use",
     "TCP服务器(端口=%d)端口已被占用"},
    {kStrTcpClientConnected, "TCP-Client(%s:%d) connected", "TCP客户端(%s:%d)已连接"},
    {kStrTcpClientConnectFailed, "TCP-Client(%s:%d) connect failed", "TCP客户端(%s:%d)连接失败"},
    {kStrOpenPortFailed, "Open port failed", "打开端口失败"},
    {kStrResourceVersionMismatch,
     "Resource file(Ver=%s) and Program file (Ver=%s) does not match,can't load resource "
     "file.\nprogram will used original language!",
     "资源文件版本(Ver=%s)和主程序版本(Ver=%s)不匹配,无法加载资源文件,程序将启用中文界面"},
    {kStrRemoteAddress, " Remote=%s(%d)", " 远端=%s(%d)"},
    {kStrUiLanguageChanged,
     "UI Language settings have been modified.It will take effect after restart",
     "界面显示语言已经变更,设置将在重启后生效."},
    {kStrFileTooLargeToSend, "data file <%s>,size =%g MB.\nThe file is too large to send.",
     "数据文件 <%s>,大小 =%g MB.\n文件太大,无法发送."},
    {kStrFileTooLargeToLoad, "data file <%s>,size =%g MB.\nThe file is too large to load.",
     "数据文件 <%s>,大小 =%g MB.\n文件太大,无法加载."},
    {kStrTcpClientConnecting, "TCP-Client(%s:%d) connecting", "TCP客户端(%s:%d)正在连接"},
    {kStrReconnecting, "%s reconnecting, attempt %d", "%s 正在重新连接,第%d次尝试"},
    {kStrModemLinesNotAvailable, "modem lines not available", "调制解调器控制线不可用"},
    {kStrPortIsOpen, "The port is open: ClosePort closes it", "端口已打开：用“关闭端口”关闭"},
    {kStrPortIsClosed, "The port is closed", "端口已关闭"},
    {kStrOpenPortToSend, "Open the port to send", "打开端口后才能发送"},
    {kStrNotConnectedToSend, "Not connected: nothing can be sent yet", "未连接：暂时不能发送"},
    {kStrAutoSendOffWithResponse, "AutoSend is off while Response answers the frames",
     "自动应答开启时不能自动发送"},
    {kStrShowDataListToAutoSend, "Show the data list to send it line by line",
     "显示数据列表后才能逐行发送"},
};

// Chosen once at start-up; atomic so that a late reader on another thread
// never races the choice.
std::atomic<UiLanguage> g_language{UiLanguage::English};

const StringEntry* FindEntry(int id) {
    const auto* end = std::end(kStrings);
    const auto* entry = std::lower_bound(std::begin(kStrings), end, id,
                                         [](const StringEntry& e, int key) { return e.id < key; });
    return entry != end && entry->id == id ? entry : nullptr;
}

}  // namespace

void SetStringLanguage(UiLanguage language) {
    g_language.store(language);
}

UiLanguage StringLanguage() {
    return g_language.load();
}

const char* LoadStr(int id) {
    return LoadStrIn(StringLanguage(), id);
}

const char* LoadStrIn(UiLanguage language, int id) {
    const StringEntry* entry = FindEntry(id);
    if (entry == nullptr) return "";
    return language == UiLanguage::Chinese ? entry->chinese : entry->english;
}

std::string StrPrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<size_t>(length));
    }
    va_end(args);
    return text;
}

}  // namespace qelvor
