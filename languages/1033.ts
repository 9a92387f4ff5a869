<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>QObject</name>
    <message>
        <source>A11y_KeyTree</source>
        <translation>Keys and their certificates</translation>
    </message>
    <message>
        <source>A11y_KeyTree_Help</source>
        <translation>Choose a key or a certificate; the buttons act on it</translation>
    </message>
    <message>
        <source>A11y_CertFields</source>
        <translation>Certificate fields</translation>
    </message>
    <message>
        <source>A11y_CertValue</source>
        <translation>Value of the chosen field</translation>
    </message>
    <message>
        <source>Cert_Node_Signature</source>
        <translation>Signature certificate, valid until %1</translation>
    </message>
    <message>
        <source>Cert_Node_Exchange</source>
        <translation>Exchange (encryption) certificate, valid until %1</translation>
    </message>
    <message>
        <source>Notify_Open_Manager</source>
        <translation>Open the key manager</translation>
    </message>
    <message>
        <source>Product_Name</source>
        <translation>Online Banking Key Manager</translation>
    </message>
    <message>
        <source>Main_Window_Action</source>
        <translation>Main window</translation>
    </message>
    <message>
        <source>About_Action</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Quit_Action</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>d_ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>MessageBox_Title_Notice</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>Please_Select_Device</source>
        <translation>Please select a key first.</translation>
    </message>
    <message>
        <source>Cert_Download_Tips</source>
        <translation>The certificate download page will be opened. Continue?</translation>
    </message>
    <message>
        <source>Refresh_Success</source>
        <translation>The key list has been refreshed.</translation>
    </message>
    <message>
        <source>Enum_NotFoundDev</source>
        <translation>No key found. Please plug in your key.</translation>
    </message>
    <message>
        <source>Enum_FoundDev</source>
        <translation>Key %s found; PIN attempts left: %lu</translation>
    </message>
    <message>
        <source>DEV_Not_Have_Cert</source>
        <translation>Key %s holds no certificate.</translation>
    </message>
    <message>
        <source>Pin_Not_Initialized</source>
        <translation>Key %s still uses its initial PIN. Please change the PIN.</translation>
    </message>
    <message>
        <source>Pin_Locked_Notice</source>
        <translation>The PIN of key %s is locked.</translation>
    </message>
    <message>
        <source>Pin_Locked</source>
        <translation>The PIN is locked. Please contact your bank to unlock it.</translation>
    </message>
    <message>
        <source>Validate_Of_The_Certificate</source>
        <translation>Certificate valid from %d-%d-%d to %d-%d-%d</translation>
    </message>
    <message>
        <source>Device_Insert</source>
        <translation>A key was plugged in.</translation>
    </message>
    <message>
        <source>Device_Remove</source>
        <translation>A key was removed.</translation>
    </message>
    <message>
        <source>ChangePin_Success</source>
        <translation>The PIN has been changed. The key allows %d PIN attempts.</translation>
    </message>
    <message>
        <source>ChangePin_Failed</source>
        <translation>The PIN could not be changed.</translation>
    </message>
    <message>
        <source>SetPin_Failed</source>
        <translation>The PIN could not be set.</translation>
    </message>
    <message>
        <source>Set_Pin_Btn</source>
        <translation>Set PIN</translation>
    </message>
    <message>
        <source>Device_Not_Set_Password</source>
        <translation>This key has no PIN of its own yet. Please set a PIN first.</translation>
    </message>
    <message>
        <source>VerifyPin_Failed</source>
        <translation>PIN verification failed.</translation>
    </message>
    <message>
        <source>SignatureTest_Success</source>
        <translation>The signature test succeeded.</translation>
    </message>
    <message>
        <source>InitToken_Needed</source>
        <translation>This key is not initialised. Please format it first.</translation>
    </message>
    <message>
        <source>Format_Prompt_One</source>
        <translation>Formatting erases every certificate and all data on the key. Continue?</translation>
    </message>
    <message>
        <source>Format_Prompt_Two</source>
        <translation>Please confirm once more: format key %s?</translation>
    </message>
    <message>
        <source>Format_Success</source>
        <translation>The key has been formatted. Please set a new PIN.</translation>
    </message>
    <message>
        <source>Continue_Formatting_Btn</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>Confirm_Formatting_Btn</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Format_Failed</source>
        <translation>The key could not be formatted.</translation>
    </message>
    <message>
        <source>Device_Read_Failed</source>
        <translation>The key cannot be read. Please plug it in again and retry.</translation>
    </message>
    <message>
        <source>Options_Save_Failed</source>
        <translation>The setting could not be saved.</translation>
    </message>
    <message>
        <source>WebBank_Url_Invalid</source>
        <translation>No valid online banking address is configured.</translation>
    </message>
    <message>
        <source>DownCert_Url_Invalid</source>
        <translation>No valid certificate download address is configured.</translation>
    </message>
    <message>
        <source>Startup_KeyServiceMissing</source>
        <translation>The key service is not running, so no key can be shown.
Start it with %1 (logging out and in again also starts it), then open the key manager again.</translation>
    </message>
    <message>
        <source>Startup_LibraryMissing</source>
        <translation>The key library %1 is missing or cannot be loaded.
Reinstall the key manager's libraries, then start it again.</translation>
    </message>
</context>
<context>
    <name>UKeyMainWindow</name>
    <message>
        <source>ZTZUdeVovavadEruds</source>
        <translation>Online Banking Key Manager</translation>
    </message>
    <message>
        <source>m_LoginWeb</source>
        <translation>Online banking</translation>
    </message>
    <message>
        <source>m_ChangePin</source>
        <translation>Change PIN</translation>
    </message>
    <message>
        <source>m_ViewCert</source>
        <translation>View certificate</translation>
    </message>
    <message>
        <source>m_TestSign</source>
        <translation>Signature test</translation>
    </message>
    <message>
        <source>m_DownCert</source>
        <translation>Download certificate</translation>
    </message>
    <message>
        <source>m_Format</source>
        <translation>Format key</translation>
    </message>
    <message>
        <source>m_UpgradeOnline</source>
        <translation>Online update</translation>
    </message>
    <message>
        <source>m_Refresh</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>m_SystemSetting</source>
        <translation>Settings</translation>
    </message>
</context>
<context>
    <name>Dialog_Cert_Viewer</name>
    <message>
        <source>CertViewer</source>
        <translation>Certificate</translation>
    </message>
    <message>
        <source>Certificate Information</source>
        <translation>Certificate information</translation>
    </message>
    <message>
        <source>close</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>QDialog</name>
    <message>
        <source>Certificate Field</source>
        <translation>Field</translation>
    </message>
    <message>
        <source>Field Value</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Serial Number</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>Signature Algorithm</source>
        <translation>Signature algorithm</translation>
    </message>
    <message>
        <source>Issuer</source>
        <translation>Issuer</translation>
    </message>
    <message>
        <source>Effective Date</source>
        <translation>Valid from</translation>
    </message>
    <message>
        <source>Expiry Date</source>
        <translation>Valid until</translation>
    </message>
    <message>
        <source>Subject</source>
        <translation>Subject</translation>
    </message>
    <message>
        <source>Detail Public Key Info</source>
        <translation>Public key</translation>
    </message>
    <message>
        <source>d_ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>SystemEquipmentInformation</source>
        <translation>System information</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>OSVersion</source>
        <translation>Operating system</translation>
    </message>
    <message>
        <source>ProcessorArchitecture</source>
        <translation>Processor architecture</translation>
    </message>
    <message>
        <source>CurrentStateOfService</source>
        <translation>Key monitor service</translation>
    </message>
    <message>
        <source>The daemon has started</source>
        <translation>Running</translation>
    </message>
    <message>
        <source>The daemon did not start</source>
        <translation>Not running</translation>
    </message>
    <message>
        <source>Password remaining retry attempts</source>
        <translation>PIN attempts left: %lu</translation>
    </message>
    <message>
        <source>Status_Unavailable</source>
        <translation>Unavailable</translation>
    </message>
</context>
<context>
    <name>Dialog_About</name>
    <message>
        <source>Dialog</source>
        <translation>About</translation>
    </message>
    <message>
        <source>logo</source>
        <translation>logo</translation>
    </message>
    <message>
        <source>product name</source>
        <translation>product name</translation>
    </message>
    <message>
        <source>version</source>
        <translation>version</translation>
    </message>
    <message>
        <source>copyrights</source>
        <translation>copyright</translation>
    </message>
</context>
<context>
    <name>Dialog_System_Options</name>
    <message>
        <source>Dialog</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>d_cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>d_ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>d_systemCheck</source>
        <translation>System check</translation>
    </message>
    <message>
        <source>openWebPageAtStartup</source>
        <translation>Open the online banking page when a key is plugged in</translation>
    </message>
    <message>
        <source>rememberedSites</source>
        <translation>Web sites whose answer is remembered (allowed ones are not used while unknown sites are not asked about):</translation>
    </message>
    <message>
        <source>d_forgetSite</source>
        <translation>Forget this site</translation>
    </message>
    <message>
        <source>site_allowed</source>
        <translation>%1 — allowed</translation>
    </message>
    <message>
        <source>site_denied</source>
        <translation>%1 — refused</translation>
    </message>
</context>
<context>
    <name>Dialog_System_Check</name>
    <message>
        <source>Dialog</source>
        <translation>System check</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>BridgeQuestions</name>
    <message>
        <source>consent_title</source>
        <translation>A web page asks to use your key</translation>
    </message>
    <message>
        <source>consent_intro</source>
        <translation>A web page of this site wants to use your USB key:</translation>
    </message>
    <message>
        <source>consent_what</source>
        <translation>If you allow it, this site can read the key's serial number and certificates (which carry your name), and verify and change the key's PIN.</translation>
    </message>
    <message>
        <source>consent_advice</source>
        <translation>Allow only your bank's site, opened by yourself. If you do not know this site, refuse.</translation>
    </message>
    <message>
        <source>consent_remember</source>
        <translation>Remember my choice for this site</translation>
    </message>
    <message>
        <source>consent_asked_every_time</source>
        <translation>Pages opened from a file or without a site of their own are asked every time.</translation>
    </message>
    <message>
        <source>consent_allow</source>
        <translation>Allow</translation>
    </message>
    <message>
        <source>consent_deny</source>
        <translation>Refuse</translation>
    </message>
    <message>
        <source>questions_waiting</source>
        <translation>%1 more sites are waiting.</translation>
    </message>
    <message>
        <source>lastpin_title</source>
        <translation>Last PIN attempt</translation>
    </message>
    <message>
        <source>lastpin_text</source>
        <translation>This site wants to check a PIN on your key, and only one attempt is left: a wrong PIN will lock the key. Send the PIN only if you are sure it is right.</translation>
    </message>
    <message>
        <source>lastpin_proceed</source>
        <translation>Send the PIN</translation>
    </message>
    <message>
        <source>lastpin_cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>lastpin_local_program</source>
        <translation>A program on this computer</translation>
    </message>
</context>
</TS>
