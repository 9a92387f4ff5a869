<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>QObject</name>
    <message>
        <source>Please_Select_Device</source>
        <translation>请选择设备</translation>
    </message>
    <message>
        <source>Refresh_Success</source>
        <translation>刷新成功</translation>
    </message>
</context>
<context>
    <name>TestForm</name>
    <message>
        <source>Form_Only_Key</source>
        <translation>表单标题</translation>
    </message>
</context>
</TS>
