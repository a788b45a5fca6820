<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>QObject</name>
    <message>
        <source>FontName</source>
        <translation>Meiryo UI</translation>
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
        <translation>Meiryo UI</translation>
    </message>
    <message>
        <source>FontSize</source>
        <translation>9</translation>
    </message>
    <message>
        <source>OperateTouch</source>
        <translation>タッチ操作</translation>
    </message>
    <message>
        <source>OperateMouse</source>
        <translation>マウス操作</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>接続</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>切断</translation>
    </message>
    <message>
        <source>Communication Settings...</source>
        <translation>通信設定...</translation>
    </message>
    <message>
        <source>About Inkbridge...</source>
        <translation>Quill Relay について...</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>Inkbridge</source>
        <translation>Quill Relay</translation>
    </message>
    <message>
        <source>Now verifying connection with the projector.</source>
        <translation>プロジェクターとの接続を確認しています。</translation>
    </message>
    <message>
        <source>Connected to the projector.</source>
        <translation>プロジェクターに接続しました。</translation>
    </message>
    <message>
        <source>Disconnected the projector.</source>
        <translation>プロジェクターとの接続を切断しました。</translation>
    </message>
    <message>
        <source>A connection could not be made with the projector.</source>
        <translation>プロジェクターに接続できませんでした。</translation>
    </message>
    <message>
        <source>There is no response from the projector.</source>
        <translation>プロジェクターから応答がありません。</translation>
    </message>
    <message>
        <source>The command execution failed.</source>
        <translation>コマンドの実行に失敗しました。</translation>
    </message>
    <message>
        <source>Pen input cannot be received: UDP port %1 is used by another program. Close that program, then choose Connect again.</source>
        <translation>ペン入力を受信できません。UDP ポート %1 を別のプログラムが使用しています。そのプログラムを終了してから、もう一度［接続］を選んでください。</translation>
    </message>
    <message>
        <source>This desktop has no system tray, so Quill Relay runs without its tray icon. The pen keeps working with the settings already stored.

To end Quill Relay, log out, or run: pkill -x QuillRelay</source>
        <translation>このデスクトップにはシステムトレイがないため、Quill Relay はトレイアイコンなしで動作しています。ペンは保存済みの設定のまま使えます。

Quill Relay を終了するには、ログアウトするか、次のコマンドを実行してください: pkill -x QuillRelay</translation>
    </message>
</context>
</TS>
