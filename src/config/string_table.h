// The numbered texts shown to the user (ids 18 to 33 and 21000 to 21063), in
// English and Chinese. The language is chosen once at start-up, before any
// other thread runs; lookups may then come from any thread.
#pragma once

#include <string>

namespace qelvor {

// The ids of the numbered texts, each named after its English text.
enum StringId : int {
    kStrAboutQelvor = 18,
    kStrPinWindow = 19,
    kStrStxToEtxInChecksum = 20,
    kStrNewInstance = 32,
    kStrExplorerPath = 33,
    kStrDefaultTemplateCannotBeDeleted = 21000,
    kStrHostAddressQueryMayBeSlow = 21001,
    kStrMessageDetail = 21002,
    kStrInUsed = 21003,
    kStrDatetime = 21004,
    kStrMessageData = 21005,
    kStrResponseFile = 21006,
    kStrTextFileFilterOpen = 21007,
    kStrLoadDataFileSucceeded = 21008,
    kStrSendCompletedCount = 21009,
    kStrAutoSend = 21010,
    kStrStopSend = 21011,
    kStrStressTest = 21012,
    kStrStopTest = 21013,
    kStrSetup = 21014,
    kStrPortSet = 21015,
    kStrFileExistsOverwrite = 21016,
    kStrSaveLogDataCaption = 21017,
    kStrSaveCancelled = 21018,
    kStrUnableToSaveLogData = 21019,
    kStrWithFmtStyle = 21020,
    kStrWithBinStyle = 21021,
    kStrWithHexStyle = 21022,
    kStrWithTxtStyle = 21023,
    kStrWithBinaryFmtStyle = 21024,
    kStrSaveLogfileDatetime = 21025,
    kStrSaveDataFileSucceeded = 21026,
    kStrAppendLogDataSucceeded = 21027,
    kStrSaveLogData = 21028,
    kStrCompressLogFailed = 21029,
    kStrSaveAndCompressFileFailed = 21030,
    kStrZippedIntoMsgLogDataZip = 21031,
    kStrSaveAndCompressFailed = 21032,
    kStrTextFileFilterSave = 21035,
    kStrSaveDataFileCaption = 21036,
    kStrCannotSaveDataFile = 21037,
    kStrDataFileSaved = 21038,
    kStrCheckSumLx20 = 21039,
    kStrBracketsInChecksum = 21040,
    kStrCheckSumBcc = 21041,
    kStrCheckSumAstm = 21042,
    kStrStxToEtxInChecksumAstm = 21043,
    kStrSendFileFmt = 21044,
    kStrSendFileHex = 21045,
    kStrSendFileRaw = 21046,
    kStrSendDataHex = 21047,
    kStrSendData = 21048,
    kStrDataFilesFilter = 21049,
    kStrResendFile = 21050,
    kStrTcpServerConnected = 21051,
    kStrTcpServerWaitingClient = 21052,
    kStrTcpServerPortInUse = 21053,
    kStrTcpClientConnected = 21054,
    kStrTcpClientConnectFailed = 21055,
    kStrOpenPortFailed = 21056,
    kStrResourceVersionMismatch = 21058,
    kStrRemoteAddress = 21059,
    kStrUiLanguageChanged = 21060,
    kStrFileTooLargeToSend = 21061,
    kStrFileTooLargeToLoad = 21062,
    kStrTcpClientConnecting = 21063,
    kStrReconnecting = 21064,
    kStrModemLinesNotAvailable = 21065,
    kStrPortIsOpen = 21066,
    kStrPortIsClosed = 21067,
    kStrOpenPortToSend = 21068,
    kStrNotConnectedToSend = 21069,
    kStrAutoSendOffWithResponse = 21070,
    kStrShowDataListToAutoSend = 21071,
};

enum class UiLanguage { English, Chinese };

void SetStringLanguage(UiLanguage language);
UiLanguage StringLanguage();
// The text of id in the chosen language; an empty text for an unknown id.
const char* LoadStr(int id);
// The text of id in the given language.
const char* LoadStrIn(UiLanguage language, int id);
// printf-style formatting into a std::string.
std::string StrPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace qelvor
