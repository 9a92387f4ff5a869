<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>ZTUIExtend</name>
    <message>
        <source>VerifyPin_Title</source>
        <translation>Verify PIN</translation>
    </message>
    <message>
        <source>ChangePin_Title</source>
        <translation>Change PIN</translation>
    </message>
    <message>
        <source>SetPin_Title</source>
        <translation>Set PIN</translation>
    </message>
    <message>
        <source>Format_Title</source>
        <translation>Format key</translation>
    </message>
    <message>
        <source>Device_Serial</source>
        <translation>Key: %1</translation>
    </message>
    <message>
        <source>Pin_Label</source>
        <translation>PIN:</translation>
    </message>
    <message>
        <source>OldPin_Label</source>
        <translation>Old PIN:</translation>
    </message>
    <message>
        <source>NewPin_Label</source>
        <translation>New PIN:</translation>
    </message>
    <message>
        <source>ConfirmPin_Label</source>
        <translation>Confirm new PIN:</translation>
    </message>
    <message>
        <source>Pin_Strength_Label</source>
        <translation>Strength:</translation>
    </message>
    <message>
        <source>Pin_Strength_Weak</source>
        <translation>Weak</translation>
    </message>
    <message>
        <source>Pin_Strength_Medium</source>
        <translation>Medium</translation>
    </message>
    <message>
        <source>Pin_Strength_Strong</source>
        <translation>Strong</translation>
    </message>
    <message>
        <source>Pin_Attempts_Left</source>
        <translation>Attempts left: %1</translation>
    </message>
    <message>
        <source>Pin_Wrong</source>
        <translation>Wrong PIN. %1 attempts left.</translation>
    </message>
    <message>
        <source>OldPin_Wrong</source>
        <translation>The old PIN is wrong. %1 attempts left.</translation>
    </message>
    <message>
        <source>Pin_Length_Invalid</source>
        <translation>A PIN has %1 to %2 characters.</translation>
    </message>
    <message>
        <source>NewPin_Length_Invalid</source>
        <translation>The new PIN must have %1 to %2 characters.</translation>
    </message>
    <message>
        <source>Pin_Mismatch</source>
        <translation>The new PIN and its confirmation differ.</translation>
    </message>
    <message>
        <source>Pin_Same_As_Old</source>
        <translation>The new PIN must differ from the old PIN.</translation>
    </message>
    <message>
        <source>SetPin_Info</source>
        <translation>This key still has its initial PIN. Choose a PIN of your own.</translation>
    </message>
    <message>
        <source>SetPin_Same_As_Initial</source>
        <translation>The new PIN must differ from the initial PIN.</translation>
    </message>
    <message>
        <source>Format_Progress</source>
        <translation>Formatting the key, please wait…</translation>
    </message>
    <message>
        <source>Button_OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Button_Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>MessageBox_Title_Notice</source>
        <translation>Notice</translation>
    </message>
</context>
</TS>
