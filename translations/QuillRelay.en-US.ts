<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>QObject</name>
    <message>
        <source>FontName</source>
        <translation>Segoe UI</translation>
    </message>
    <message>
        <source>FontSize</source>
        <translation>9</translation>
    </message>
</context>
<context>
    <name>Inkbridge</name>
    <message>
        <source>FontName</source>
        <translation>Segoe UI</translation>
    </message>
    <message>
        <source>FontSize</source>
        <translation>9</translation>
    </message>
    <message>
        <source>OperateTouch</source>
        <translation>Touch mode</translation>
    </message>
    <message>
        <source>OperateMouse</source>
        <translation>Mouse mode</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>Communication Settings...</source>
        <translation>Communication Settings...</translation>
    </message>
    <message>
        <source>About Inkbridge...</source>
        <translation>About Quill Relay...</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Inkbridge</source>
        <translation>Quill Relay</translation>
    </message>
    <message>
        <source>Now verifying connection with the projector.</source>
        <translation>Now verifying connection with the projector.</translation>
    </message>
    <message>
        <source>Connected to the projector.</source>
        <translation>Connected to the projector.</translation>
    </message>
    <message>
        <source>Disconnected the projector.</source>
        <translation>Disconnected from the projector.</translation>
    </message>
    <message>
        <source>A connection could not be made with the projector.</source>
        <translation>A connection could not be made with the projector.</translation>
    </message>
    <message>
        <source>There is no response from the projector.</source>
        <translation>There is no response from the projector.</translation>
    </message>
    <message>
        <source>The command execution failed.</source>
        <translation>The projector did not carry out the command.</translation>
    </message>
    <message>
        <source>Screen</source>
        <translation>Screen</translation>
    </message>
    <message>
        <source>Primary screen</source>
        <translation>Primary screen</translation>
    </message>
    <message>
        <source>%1 (%2 × %3)</source>
        <translation>%1 (%2 × %3)</translation>
    </message>
    <message>
        <source>The screen chosen for the pen is not connected. The pen works on the primary screen until it is back.</source>
        <translation>The screen chosen for the pen is not connected. The pen works on the primary screen until it is back.</translation>
    </message>
    <message>
        <source>Waiting for the projector at %1.</source>
        <translation>Waiting for the projector at %1.</translation>
    </message>
    <message>
        <source>Pen input cannot be received: UDP port %1 is used by another program. Close that program, then choose Connect again.</source>
        <translation>Pen input cannot be received: UDP port %1 is used by another program. Close that program, then choose Connect again.</translation>
    </message>
    <message>
        <source>This desktop has no system tray, so Quill Relay runs without its tray icon. The pen keeps working with the settings already stored.

To end Quill Relay, log out, or run: pkill -x QuillRelay</source>
        <translation>This desktop has no system tray, so Quill Relay runs without its tray icon. The pen keeps working with the settings already stored.

To end Quill Relay, log out, or run: pkill -x QuillRelay</translation>
    </message>
</context>
<context>
    <name>AddressInput</name>
    <message>
        <source>FontName</source>
        <translation>Segoe UI</translation>
    </message>
    <message>
        <source>FontSize</source>
        <translation>9</translation>
    </message>
    <message>
        <source>Address Input</source>
        <translation>Address Input</translation>
    </message>
    <message>
        <source>Start Address:</source>
        <translation>Start Address:</translation>
    </message>
    <message>
        <source>End Address:</source>
        <translation>End Address:</translation>
    </message>
    <message>
        <source>Specify IP address to search</source>
        <translation>Search one IP address</translation>
    </message>
    <message>
        <source>Search Specifying range</source>
        <translation>Search an address range</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Inkbridge</source>
        <translation>Quill Relay</translation>
    </message>
    <message>
        <source>An invalid address is being used.</source>
        <translation>An invalid address is being used.</translation>
    </message>
</context>
<context>
    <name>PJSearchDlg</name>
    <message>
        <source>FontName</source>
        <translation>Segoe UI</translation>
    </message>
    <message>
        <source>FontSize</source>
        <translation>9</translation>
    </message>
    <message>
        <source>Projector List</source>
        <translation>Projector List</translation>
    </message>
    <message>
        <source>Projector</source>
        <translation>Projector</translation>
    </message>
    <message>
        <source>IP Address</source>
        <translation>IP Address</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>&amp;Connect</source>
        <translation>&amp;Connect</translation>
    </message>
    <message>
        <source>&amp;Update</source>
        <translation>&amp;Update</translation>
    </message>
    <message>
        <source>Input Address...</source>
        <translation>Input Address...</translation>
    </message>
    <message>
        <source>C&amp;lose</source>
        <translation>C&amp;lose</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>Search Failed</source>
        <translation>No response</translation>
    </message>
</context>
<context>
    <name>CommunicationSettings</name>
    <message>
        <source>FontName</source>
        <translation>Segoe UI</translation>
    </message>
    <message>
        <source>FontSize</source>
        <translation>9</translation>
    </message>
    <message>
        <source>Select a connection</source>
        <translation>Select a connection</translation>
    </message>
    <message>
        <source>IP Address</source>
        <translation>IP Address</translation>
    </message>
    <message>
        <source>Host Name</source>
        <translation>Host Name</translation>
    </message>
    <message>
        <source>Port Namber</source>
        <translation>Port Number</translation>
    </message>
    <message>
        <source>Auto Search</source>
        <translation>Auto Search</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Inkbridge</source>
        <translation>Quill Relay</translation>
    </message>
    <message>
        <source>Host name is invalid.</source>
        <translation>Host name is invalid.</translation>
    </message>
    <message>
        <source>IP address is invalid.</source>
        <translation>IP address is invalid.</translation>
    </message>
    <message>
        <source>Port number is invalid.</source>
        <translation>Port number is invalid.</translation>
    </message>
</context>
<context>
    <name>AboutDialog</name>
    <message>
        <source>FontName</source>
        <translation>Segoe UI</translation>
    </message>
    <message>
        <source>FontSize</source>
        <translation>9</translation>
    </message>
    <message>
        <source>About</source>
        <translation>About Quill Relay</translation>
    </message>
    <message>
        <source>AppName</source>
        <translation>Quill Relay</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Copyright (C)</source>
        <translation>Copyright (C)</translation>
    </message>
    <message>
        <source>Lumoravista</source>
        <translation>Lumoravista</translation>
    </message>
    <message>
        <source>2026</source>
        <translation>2026</translation>
    </message>
</context>
</TS>
