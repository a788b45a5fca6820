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
</TS>
