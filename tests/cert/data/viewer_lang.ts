<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Dialog_Cert_Viewer</name>
    <message>
        <source>CertViewer</source>
        <translation>证书查看器</translation>
    </message>
    <message>
        <source>Certificate Information</source>
        <translation>证书信息</translation>
    </message>
    <message>
        <source>close</source>
        <translation>关闭</translation>
    </message>
</context>
<context>
    <name>QDialog</name>
    <message>
        <source>Subject</source>
        <translation>使用者</translation>
    </message>
    <message>
        <source>Field Value</source>
        <translation>字段值</translation>
    </message>
</context>
</TS>
