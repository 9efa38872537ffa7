// A plug-in without the fnMsgSize export: the host must not use it.
extern "C" {

int fnInitEvn() {
    return 0;
}

int fnFmtMsg(char*, int messageLength, int*) {
    return messageLength > 0 ? 1 : 0;
}

int fnGetMsg(char*, int) {
    return 1;
}
}
