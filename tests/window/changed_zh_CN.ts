<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>qelvor::CComSetDlg</name>
    <message>
        <source>Save</source>
        <translation>测试保存</translation>
    </message>
</context>
</TS>
