<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>QObject</name>
    <message>
        <source>MessageBox_Title_Notice</source>
        <translation>Hinweis</translation>
    </message>
    <message>
        <source>Notify_Open_Manager</source>
        <translation>Schlüsselverwaltung öffnen</translation>
    </message>
    <message>
        <source>Device_Insert</source>
        <translation>Schlüssel eingesteckt</translation>
    </message>
</context>
</TS>
