<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>CMervaneApp</name>
    <message>
        <source>Windows ソケットの初期化に失敗しました。</source>
        <translation>The system could not provide network sockets.</translation>
    </message>
</context>
<context>
    <name>DiscoveryRow</name>
    <message>
        <source>確認中...</source>
        <translation>Checking...</translation>
    </message>
    <message>
        <source>自動ON/OFF非対応</source>
        <translation>No auto ON/OFF</translation>
    </message>
</context>
<context>
    <name>MervaneDlg</name>
    <message>
        <source>自動ONOFF設定</source>
        <translation>Automatic ON/OFF</translation>
    </message>
    <message>
        <source>ネットワークデバイス選択(&amp;N):</source>
        <translation>&amp;Network adapter:</translation>
    </message>
    <message>
        <source>IP アドレス:</source>
        <translation>IP address:</translation>
    </message>
    <message>
        <source>ポート番号:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>UNIT ID:</source>
        <translation>UNIT ID:</translation>
    </message>
    <message>
        <source>Model:</source>
        <translation>Model:</translation>
    </message>
    <message>
        <source>設定受信</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>設定反映</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>DO1 有効</source>
        <translation>Use DO1</translation>
    </message>
    <message>
        <source>ON時間</source>
        <translation>ON time</translation>
    </message>
    <message>
        <source>x100 msec</source>
        <translation>x100 msec</translation>
    </message>
    <message>
        <source>OFF時間</source>
        <translation>OFF time</translation>
    </message>
    <message>
        <source>DO2 有効</source>
        <translation>Use DO2</translation>
    </message>
    <message>
        <source>DO3 有効</source>
        <translation>Use DO3</translation>
    </message>
    <message>
        <source>DO4 有効</source>
        <translation>Use DO4</translation>
    </message>
    <message>
        <source>DO5 有効</source>
        <translation>Use DO5</translation>
    </message>
    <message>
        <source>DO6 有効</source>
        <translation>Use DO6</translation>
    </message>
    <message>
        <source>DO7 有効</source>
        <translation>Use DO7</translation>
    </message>
    <message>
        <source>DO8 有効</source>
        <translation>Use DO8</translation>
    </message>
    <message>
        <source>間隔</source>
        <translation>Interval</translation>
    </message>
    <message>
        <source>msec</source>
        <translation>msec</translation>
    </message>
    <message>
        <source>Start/Stop</source>
        <translation>Start/Stop</translation>
    </message>
    <message>
        <source>検索...</source>
        <translation>Search...</translation>
    </message>
    <message>
        <source>保存...</source>
        <translation>Save...</translation>
    </message>
    <message>
        <source>読込...</source>
        <translation>Load...</translation>
    </message>
    <message>
        <source>通信ログ</source>
        <translation>Traffic log</translation>
    </message>
</context>
<context>
    <name>OperatorMessages</name>
    <message>
        <source>1-255の間で設定してください。</source>
        <translation>Enter a value between 1 and 255.</translation>
    </message>
    <message>
        <source>通信エラー</source>
        <translation>Communication error</translation>
    </message>
    <message>
        <source>自動ON/OFFに対応していないモデルです。</source>
        <translation>This model has no automatic ON/OFF.</translation>
    </message>
    <message>
        <source>接続エラー: S%1</source>
        <translation>Connection failed: S%1</translation>
    </message>
    <message>
        <source>設定取得通信エラー: O%1</source>
        <translation>Settings read failed: O%1</translation>
    </message>
    <message>
        <source>設定取得通信エラー: 1-%1</source>
        <translation>Settings read failed: 1-%1</translation>
    </message>
    <message>
        <source>設定取得通信エラー: 2-%1</source>
        <translation>Settings read failed: 2-%1</translation>
    </message>
    <message>
        <source>設定取得通信エラー: 3-%1</source>
        <translation>Settings read failed: 3-%1</translation>
    </message>
    <message>
        <source>設定取得通信エラー: 4-%1</source>
        <translation>Settings read failed: 4-%1</translation>
    </message>
    <message>
        <source>設定通信エラー: 0-%1</source>
        <translation>Settings write failed: 0-%1</translation>
    </message>
    <message>
        <source>設定反映通信エラー。</source>
        <translation>Settings apply failed.</translation>
    </message>
    <message>
        <source>ワンショット出力設定されている端子があります。
自動ONOFF動作はワンショット出力設定と共存できません。
ワンショット出力設定を解除しますか？</source>
        <translation>Some outputs have one-shot output settings.
Automatic ON/OFF cannot run together with one-shot output settings.
Clear the one-shot output settings?</translation>
    </message>
    <message>
        <source>Active</source>
        <translation>Active</translation>
    </message>
    <message>
        <source>Non-active</source>
        <translation>Non-active</translation>
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
        <source>ネットワークデバイスが見つかりませんでした。</source>
        <translation>No network adapter was found.</translation>
    </message>
</context>
<context>
    <name>PlantListFile</name>
    <message>
        <source>%1 行目の「%2」は IP アドレスではありません。</source>
        <translation>Line %1: &quot;%2&quot; is not an IP address.</translation>
    </message>
    <message>
        <source>一覧に載せられるのは %1 台までです。</source>
        <translation>The list holds at most %1 units.</translation>
    </message>
    <message>
        <source>ファイルを開けません: %1</source>
        <translation>Cannot open the file: %1</translation>
    </message>
    <message>
        <source>ファイルが大きすぎます (1 MiB まで): %1</source>
        <translation>The file is too large (1 MiB at most): %1</translation>
    </message>
    <message>
        <source>ファイルを読めません: %1</source>
        <translation>Cannot read the file: %1</translation>
    </message>
</context>
<context>
    <name>PlantTexts</name>
    <message>
        <source>完了</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>検証済み</source>
        <translation>Verified</translation>
    </message>
    <message>
        <source>変更なし</source>
        <translation>Unchanged</translation>
    </message>
    <message>
        <source>適合しません: %1</source>
        <translation>Does not fit: %1</translation>
    </message>
    <message>
        <source>未実行: ワンショット出力設定を解除しませんでした</source>
        <translation>Not run: one-shot output settings were not cleared</translation>
    </message>
    <message>
        <source>未実行</source>
        <translation>Not run</translation>
    </message>
    <message>
        <source>失敗: 読み戻した設定が書き込んだ設定と違います (%1)</source>
        <translation>Failed: the settings read back differ from those written (%1)</translation>
    </message>
    <message>
        <source>失敗: %1</source>
        <translation>Failed: %1</translation>
    </message>
    <message>
        <source>間隔 %1 ms</source>
        <translation>Interval %1 ms</translation>
    </message>
    <message>
        <source>間隔 (番号 %1)</source>
        <translation>Interval (index %1)</translation>
    </message>
    <message>
        <source>成功 %1 台、失敗 %2 台、未実行 %3 台</source>
        <translation>Succeeded: %1, failed: %2, not run: %3</translation>
    </message>
    <message numerus="yes">
        <source>%n 台のユニットに書き込みます。よろしいですか?</source>
        <translation>
            <numerusform>Write to %n unit?</numerusform>
            <numerusform>Write to %n units?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 台のユニットにワンショット出力設定されている端子があります。
自動ONOFF動作はワンショット出力設定と共存できません。
これらのユニットのワンショット出力設定を解除しますか？</source>
        <translation>
            <numerusform>%n unit has outputs with one-shot output settings.
Automatic ON/OFF cannot run together with one-shot output settings.
Clear the one-shot output settings of this unit?</numerusform>
            <numerusform>%n units have outputs with one-shot output settings.
Automatic ON/OFF cannot run together with one-shot output settings.
Clear the one-shot output settings of these units?</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ProfileFiles</name>
    <message>
        <source>プロファイルの保存</source>
        <translation>Save Profile</translation>
    </message>
    <message>
        <source>プロファイルの読込</source>
        <translation>Load Profile</translation>
    </message>
    <message>
        <source>プロファイル (*.json)</source>
        <translation>Profiles (*.json)</translation>
    </message>
</context>
<context>
    <name>ProfileTexts</name>
    <message>
        <source>プロファイルを保存できません。
%1</source>
        <translation>Cannot save the profile.
%1</translation>
    </message>
    <message>
        <source>プロファイルを読み込めません。
%1
%2</source>
        <translation>Cannot read the profile.
%1
%2</translation>
    </message>
    <message>
        <source>このユニットに合わないプロファイルです。
%1
%2</source>
        <translation>The profile does not fit this unit.
%1
%2</translation>
    </message>
    <message>
        <source>ファイルを開けません</source>
        <translation>Cannot open the file</translation>
    </message>
    <message>
        <source>ファイルが %1 KiB を超えています</source>
        <translation>The file is larger than %1 KiB</translation>
    </message>
    <message>
        <source>JSON の書式に誤りがあります (行 %1, 列 %2)</source>
        <translation>The JSON is malformed (line %1, column %2)</translation>
    </message>
    <message>
        <source>JSON の書式に誤りがあります</source>
        <translation>The JSON is malformed</translation>
    </message>
    <message>
        <source>JSON のオブジェクトではありません</source>
        <translation>Not a JSON object</translation>
    </message>
    <message>
        <source>%1 がありません</source>
        <translation>%1 is missing</translation>
    </message>
    <message>
        <source>%1 の値の形が正しくありません</source>
        <translation>%1 has a value of the wrong type</translation>
    </message>
    <message>
        <source>%1 の値が範囲外です</source>
        <translation>%1 has a value out of range</translation>
    </message>
    <message>
        <source>プロファイルではありません</source>
        <translation>Not a profile</translation>
    </message>
    <message>
        <source>このユニットは端子ごとの時間を使います</source>
        <translation>This unit takes times per output</translation>
    </message>
    <message>
        <source>このユニットは共通間隔を使います</source>
        <translation>This unit takes one common interval</translation>
    </message>
    <message>
        <source>DO%1 はこのユニットにありません (DO1..DO%2)</source>
        <translation>DO%1 is not on this unit (DO1..DO%2)</translation>
    </message>
    <message>
        <source>ON時間 %1 は %2-%3 の範囲外です (DO%4)</source>
        <translation>ON time %1 is outside %2-%3 (DO%4)</translation>
    </message>
    <message>
        <source>OFF時間 %1 は %2-%3 の範囲外です (DO%4)</source>
        <translation>OFF time %1 is outside %2-%3 (DO%4)</translation>
    </message>
    <message>
        <source>間隔の番号 %1 は一覧にありません</source>
        <translation>Interval index %1 is not in the list</translation>
    </message>
    <message>
        <source>このユニットには使えません</source>
        <translation>Cannot be used with this unit</translation>
    </message>
</context>
<context>
    <name>mervane::CMervaneDlg</name>
    <message>
        <source>通信を始められませんでした。</source>
        <translation>Could not start the exchange.</translation>
    </message>
</context>
<context>
    <name>mervane::DiscoveryDialog</name>
    <message>
        <source>このネットワークのユニットを探します。</source>
        <translation>Searches this network for units.</translation>
    </message>
    <message>
        <source>追加の検索先は IP アドレスか範囲 (例: 192.168.0.0/24、192.168.0.10-40、/16 まで) で入力してください。</source>
        <translation>Enter the extra target as an IP address or a range (e.g. 192.168.0.0/24, 192.168.0.10-40, up to /16).</translation>
    </message>
    <message>
        <source>ホスト名では検索できません。IP アドレスか範囲 (例: 192.168.0.0/24) で入力してください。</source>
        <translation>Host names cannot be searched. Enter an IP address or a range (e.g. 192.168.0.0/24).</translation>
    </message>
    <message>
        <source>検索を始められませんでした。</source>
        <translation>Could not start the search.</translation>
    </message>
    <message>
        <source>再検索</source>
        <translation>Search again</translation>
    </message>
    <message>
        <source>要求を送信しています...</source>
        <translation>Sending requests...</translation>
    </message>
    <message>
        <source>検索を中止しました。</source>
        <translation>Search cancelled.</translation>
    </message>
    <message>
        <source>要求を送信しています (%1/%2)</source>
        <translation>Sending requests (%1/%2)</translation>
    </message>
    <message>
        <source>応答を待っています...</source>
        <translation>Waiting for answers...</translation>
    </message>
    <message>
        <source>検索できませんでした: %1</source>
        <translation>The search failed: %1</translation>
    </message>
    <message>
        <source>応答がありません</source>
        <translation>No answer</translation>
    </message>
    <message>
        <source>ユニットは見つかりませんでした。</source>
        <translation>No unit was found.</translation>
    </message>
    <message>
        <source>ユニット検索</source>
        <translation>Find Units</translation>
    </message>
    <message>
        <source>検索するネットワーク: %1 (%2)  ブロードキャスト: %3</source>
        <translation>Network searched: %1 (%2)  Broadcast: %3</translation>
    </message>
    <message>
        <source>例: 192.168.1.20 または 192.168.1.0/24</source>
        <translation>e.g. 192.168.1.20 or 192.168.1.0/24</translation>
    </message>
    <message>
        <source>追加の検索先(&amp;A):</source>
        <translation>&amp;Also search:</translation>
    </message>
    <message>
        <source>検索</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>すべて選択</source>
        <translation>Tick all</translation>
    </message>
    <message>
        <source>選択解除</source>
        <translation>Untick all</translation>
    </message>
    <message>
        <source>失敗したユニットを選択</source>
        <translation>Tick failed units</translation>
    </message>
    <message>
        <source>設定受信</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>プロファイル適用...</source>
        <translation>Apply profile...</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>一覧を保存...</source>
        <translation>Save list...</translation>
    </message>
    <message>
        <source>一覧を読込...</source>
        <translation>Load list...</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>選択したユニット:</source>
        <translation>Ticked units:</translation>
    </message>
    <message>
        <source>プロファイル適用</source>
        <translation>Apply Profile</translation>
    </message>
    <message>
        <source>プロファイル (*.json)</source>
        <translation>Profiles (*.json)</translation>
    </message>
    <message>
        <source>一覧を保存</source>
        <translation>Save List</translation>
    </message>
    <message>
        <source>ユニット一覧 (*.txt);;すべて (*)</source>
        <translation>Unit lists (*.txt);;All files (*)</translation>
    </message>
    <message>
        <source>一覧を保存できません。
%1</source>
        <translation>Cannot save the list.
%1</translation>
    </message>
    <message>
        <source>一覧を読込</source>
        <translation>Load List</translation>
    </message>
    <message>
        <source>一覧を読み込めません。
%1</source>
        <translation>Cannot read the list.
%1</translation>
    </message>
    <message numerus="yes">
        <source>%n 台のユニットが見つかりました。</source>
        <translation>
            <numerusform>%n unit found.</numerusform>
            <numerusform>%n units found.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source> (表示できる台数を超えた %n 件の応答は表示していません)</source>
        <translation>
            <numerusform> (%n answer beyond what the list can show is not shown)</numerusform>
            <numerusform> (%n answers beyond what the list can show are not shown)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 台のユニットを %1 に保存しました。</source>
        <translation>
            <numerusform>%n unit saved to %1.</numerusform>
            <numerusform>%n units saved to %1.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>mervane::PlantActions</name>
    <message>
        <source>処理を始められませんでした。</source>
        <translation>Could not start.</translation>
    </message>
    <message>
        <source>中止しました。</source>
        <translation>Cancelled. </translation>
    </message>
    <message>
        <source>書き込み中のユニットが終わるのを待っています...</source>
        <translation>Waiting for the units being written to finish...</translation>
    </message>
    <message numerus="yes">
        <source>%n 台のユニットを処理しています...</source>
        <translation>
            <numerusform>Working on %n unit...</numerusform>
            <numerusform>Working on %n units...</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>mervane::PlantListModel</name>
    <message>
        <source>待機中</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>IP アドレス</source>
        <translation>IP address</translation>
    </message>
    <message>
        <source>UNIT ID</source>
        <translation>UNIT ID</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>状態</source>
        <translation>State</translation>
    </message>
    <message>
        <source>有効出力</source>
        <translation>Outputs</translation>
    </message>
    <message>
        <source>ON/OFF 時間 (DO1〜)</source>
        <translation>ON/OFF times (DO1 on)</translation>
    </message>
    <message>
        <source>結果</source>
        <translation>Result</translation>
    </message>
</context>
<context>
    <name>mervane::TraceLogWindow</name>
    <message>
        <source>通信ログの保存</source>
        <translation>Save Traffic Log</translation>
    </message>
    <message>
        <source>テキスト (*.txt *.log)</source>
        <translation>Text (*.txt *.log)</translation>
    </message>
    <message>
        <source>保存...</source>
        <translation>Save...</translation>
    </message>
    <message>
        <source>クリア</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>通信ログ</source>
        <translation>Traffic log</translation>
    </message>
    <message>
        <source>通信ログを保存できませんでした: %1</source>
        <translation>Could not save the traffic log: %1</translation>
    </message>
</context>
</TS>
