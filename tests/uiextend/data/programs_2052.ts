<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>QObject</name>
    <message>
        <source>Pin_Locked</source>
        <translation>PIN码已锁定</translation>
    </message>
</context>
</TS>
