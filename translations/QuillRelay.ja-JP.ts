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
        <source>Screen</source>
        <translation>画面</translation>
    </message>
    <message>
        <source>Primary screen</source>
        <translation>プライマリ画面</translation>
    </message>
    <message>
        <source>%1 (%2 × %3)</source>
        <translation>%1（%2 × %3）</translation>
    </message>
    <message>
        <source>The screen chosen for the pen is not connected. The pen works on the primary screen until it is back.</source>
        <translation>ペン用に選んだ画面が接続されていません。その画面が戻るまで、ペンはプライマリ画面で動作します。</translation>
    </message>
    <message>
        <source>Waiting for the projector at %1.</source>
        <translation>プロジェクター（%1）の応答を待っています。</translation>
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
<context>
    <name>AddressInput</name>
    <message>
        <source>FontName</source>
        <translation>Meiryo UI</translation>
    </message>
    <message>
        <source>FontSize</source>
        <translation>9</translation>
    </message>
    <message>
        <source>Address Input</source>
        <translation>アドレス入力</translation>
    </message>
    <message>
        <source>Start Address:</source>
        <translation>開始アドレス:</translation>
    </message>
    <message>
        <source>End Address:</source>
        <translation>終了アドレス:</translation>
    </message>
    <message>
        <source>Specify IP address to search</source>
        <translation>IP アドレスを指定して検索</translation>
    </message>
    <message>
        <source>Search Specifying range</source>
        <translation>範囲を指定して検索</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>追加</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Inkbridge</source>
        <translation>Quill Relay</translation>
    </message>
    <message>
        <source>An invalid address is being used.</source>
        <translation>無効なアドレスが使われています。</translation>
    </message>
</context>
<context>
    <name>PJSearchDlg</name>
    <message>
        <source>FontName</source>
        <translation>Meiryo UI</translation>
    </message>
    <message>
        <source>FontSize</source>
        <translation>9</translation>
    </message>
    <message>
        <source>Projector List</source>
        <translation>プロジェクター一覧</translation>
    </message>
    <message>
        <source>Projector</source>
        <translation>プロジェクター</translation>
    </message>
    <message>
        <source>IP Address</source>
        <translation>IP アドレス</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状態</translation>
    </message>
    <message>
        <source>&amp;Connect</source>
        <translation>接続(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Update</source>
        <translation>更新(&amp;U)</translation>
    </message>
    <message>
        <source>Input Address...</source>
        <translation>アドレス入力...</translation>
    </message>
    <message>
        <source>C&amp;lose</source>
        <translation>閉じる(&amp;L)</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>接続中</translation>
    </message>
    <message>
        <source>Search Failed</source>
        <translation>応答なし</translation>
    </message>
</context>
<context>
    <name>CommunicationSettings</name>
    <message>
        <source>FontName</source>
        <translation>Meiryo UI</translation>
    </message>
    <message>
        <source>FontSize</source>
        <translation>9</translation>
    </message>
    <message>
        <source>Select a connection</source>
        <translation>接続先の選択</translation>
    </message>
    <message>
        <source>IP Address</source>
        <translation>IP アドレス</translation>
    </message>
    <message>
        <source>Host Name</source>
        <translation>ホスト名</translation>
    </message>
    <message>
        <source>Port Namber</source>
        <translation>ポート番号</translation>
    </message>
    <message>
        <source>Auto Search</source>
        <translation>自動検索</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>接続</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
    <message>
        <source>Inkbridge</source>
        <translation>Quill Relay</translation>
    </message>
    <message>
        <source>Host name is invalid.</source>
        <translation>ホスト名が正しくありません。</translation>
    </message>
    <message>
        <source>IP address is invalid.</source>
        <translation>IP アドレスが正しくありません。</translation>
    </message>
    <message>
        <source>Port number is invalid.</source>
        <translation>ポート番号が正しくありません。</translation>
    </message>
</context>
<context>
    <name>AboutDialog</name>
    <message>
        <source>FontName</source>
        <translation>Meiryo UI</translation>
    </message>
    <message>
        <source>FontSize</source>
        <translation>9</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Quill Relay について</translation>
    </message>
    <message>
        <source>AppName</source>
        <translation>Quill Relay</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>バージョン</translation>
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
