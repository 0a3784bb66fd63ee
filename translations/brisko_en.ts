<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>EBriskoError</name>
    <message>
        <source>%1</source>
        <translation>%1</translation>
    </message>
    <message>
        <source>不明なエラーで処理を中断しました</source>
        <translation>An unknown error stopped the operation.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は正しい経過日数ではありません</source>
        <translation>&apos;%1&apos; is not a valid age in days.</translation>
    </message>
    <message>
        <source>%1 番目の文字（&apos;%2&apos;）は正しくないマスク文字です</source>
        <translation>The mask &apos;%2&apos; is not valid at character %1.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は有効な整数値ではありません</source>
        <translation>&apos;%1&apos; is not a valid whole number.</translation>
    </message>
    <message>
        <source>ファイル %1 は開けません。 %2 </source>
        <translation>Cannot open the file %1: %2</translation>
    </message>
    <message>
        <source>ファイル &quot;%1&quot; を作成できません。%2</source>
        <translation>Cannot create the file &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>%1 に書き込めません</source>
        <translation>Cannot write to %1.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は絶対パスではないため、対象フォルダにできません</source>
        <translation>&apos;%1&apos; is not an absolute path and cannot be a target folder</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は Windows のパスのため、対象フォルダにできません</source>
        <translation>&apos;%1&apos; is a Windows path and cannot be a target folder</translation>
    </message>
    <message>
        <source>&apos;%1&apos; はルートフォルダのため、対象フォルダにできません</source>
        <translation>&apos;%1&apos; is the root folder and cannot be a target folder</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は他のユーザーのシンボリックリンク &apos;%2&apos; を通るため、対象フォルダにできません</source>
        <translation>&apos;%1&apos; goes through &apos;%2&apos;, a symbolic link of another user, and cannot be a target folder</translation>
    </message>
    <message>
        <source>%1 の [%2] %3 は NUL 文字を含むため、そのまま読み書きできません</source>
        <translation>%1: [%2] %3 holds a NUL character, so it cannot be read or written as it stands</translation>
    </message>
    <message>
        <source>%1 の [%2] %3 は改行を含むため、そのまま読み書きできません</source>
        <translation>%1: [%2] %3 holds a line break, so it cannot be read or written as it stands</translation>
    </message>
    <message>
        <source>%1 の [%2] %3 は前後に空白があるため、そのまま読み書きできません</source>
        <translation>%1: [%2] %3 begins or ends with a blank, so it cannot be read or written as it stands</translation>
    </message>
    <message>
        <source>%1 の [%2] %3 は引用符で囲まれているため、そのまま読み書きできません</source>
        <translation>%1: [%2] %3 is enclosed in quotes, so it cannot be read or written as it stands</translation>
    </message>
    <message>
        <source>%1 の [%2] %3 は 2047 文字より長いため、そのまま読み書きできません</source>
        <translation>%1: [%2] %3 is longer than 2047 characters, so it cannot be read or written as it stands</translation>
    </message>
    <message>
        <source>設定ファイル %1 は root 以外のユーザーが変更できる &apos;%2&apos; にあるため、使用できません</source>
        <translation>The settings file %1 is not used: a user other than root can change &apos;%2&apos;</translation>
    </message>
    <message>
        <source>最大行数 %1 は使えないため、%2 行とします</source>
        <translation>A line limit of %1 cannot be used; the log keeps %2 lines</translation>
    </message>
    <message>
        <source>ログファイル &apos;%1&apos; は絶対パスではありません</source>
        <translation>The log file &apos;%1&apos; is not an absolute path</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は root の所有ではないため、root の実行では使えません</source>
        <translation>&apos;%1&apos; is not owned by root, so a run as root does not use it</translation>
    </message>
    <message>
        <source>ログファイルのロック &apos;%1&apos; は使えません。%2</source>
        <translation>The log file&apos;s lock &apos;%1&apos; cannot be used. %2</translation>
    </message>
    <message>
        <source>ログファイルのロック &apos;%1&apos; を %2 秒待っても得られません</source>
        <translation>The log file&apos;s lock &apos;%1&apos; was not free after %2 seconds</translation>
    </message>
    <message>
        <source>ログファイルのロック &apos;%1&apos; を待つ間に中止されました</source>
        <translation>Stopped while waiting for the log file&apos;s lock &apos;%1&apos;</translation>
    </message>
</context>
<context>
    <name>QLineEdit</name>
    <message>
        <source>&amp;Paste</source>
        <translation>&amp;Paste</translation>
    </message>
</context>
<context>
    <name>TConfigDialog</name>
    <message>
        <source>オプション</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>実行ログを保存する(&amp;S)</source>
        <translation>&amp;Save the run log</translation>
    </message>
    <message>
        <source>ログファイル(*.log)|*.log|すべてのファイル(*.*)|*.*</source>
        <translation>Log files (*.log)|*.log|All files (*.*)|*.*</translation>
    </message>
    <message>
        <source>ファイル名(&amp;N): </source>
        <translation>File &amp;name: </translation>
    </message>
    <message>
        <source>最大行数(&amp;L): </source>
        <translation>Maximum &amp;lines: </translation>
    </message>
    <message>
        <source>ファイル名を指定してください。</source>
        <translation>Enter a file name.</translation>
    </message>
</context>
<context>
    <name>TEditDialog</name>
    <message>
        <source>ゴミ箱</source>
        <translation>Trash</translation>
    </message>
    <message>
        <source>作成日時</source>
        <translation>Created</translation>
    </message>
    <message>
        <source>更新日時</source>
        <translation>Modified</translation>
    </message>
    <message>
        <source>アクセス日時</source>
        <translation>Accessed</translation>
    </message>
    <message>
        <source>対象フォルダ(&amp;L): </source>
        <translation>&amp;Location: </translation>
    </message>
    <message>
        <source>削除ファイル(&amp;I): </source>
        <translation>&amp;Include: </translation>
    </message>
    <message>
        <source>除外ファイル(&amp;E): </source>
        <translation>&amp;Exclude: </translation>
    </message>
    <message>
        <source>経過日数(&amp;D): </source>
        <translation>Age in &amp;days: </translation>
    </message>
    <message>
        <source>属性(&amp;A)</source>
        <translation>&amp;Attributes</translation>
    </message>
    <message>
        <source>読み出し専用</source>
        <translation>Read-only</translation>
    </message>
    <message>
        <source>非表示ファイル</source>
        <translation>Hidden</translation>
    </message>
    <message>
        <source>システムファイル</source>
        <translation>System</translation>
    </message>
    <message>
        <source>ディレクトリ</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>アーカイブ</source>
        <translation>Archive</translation>
    </message>
    <message>
        <source>オプション(&amp;O)</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>サブディレクトリ内のファイルも削除</source>
        <translation>Also delete files in subfolders</translation>
    </message>
    <message>
        <source>空のディレクトリのみ削除</source>
        <translation>Delete empty folders only</translation>
    </message>
    <message>
        <source>リンクの切れたショートカットは即時削除</source>
        <translation>Delete broken shortcuts immediately</translation>
    </message>
    <message>
        <source>未挿入のリムーバブルドライブは除く</source>
        <translation>Skip removable drives that are not inserted</translation>
    </message>
    <message>
        <source>ごみ箱に入れる</source>
        <translation>Move to the trash</translation>
    </message>
    <message>
        <source>削除日時</source>
        <translation>Deleted</translation>
    </message>
    <message>
        <source>対象フォルダを指定してください。</source>
        <translation>Enter a location.</translation>
    </message>
    <message>
        <source>削除ファイルを指定してください。</source>
        <translation>Enter the files to delete.</translation>
    </message>
    <message>
        <source>対象フォルダは / で始まる絶対パスで指定してください。</source>
        <translation>Enter the folder as an absolute path, beginning with /.</translation>
    </message>
    <message>
        <source>Windows のパスは使えません。/ で始まる絶対パスで指定してください。</source>
        <translation>Windows paths cannot be used. Enter an absolute path, beginning with /.</translation>
    </message>
    <message>
        <source>ルートフォルダは対象フォルダにできません。</source>
        <translation>The root folder cannot be a target folder.</translation>
    </message>
    <message>
        <source>NUL 文字は使えません。</source>
        <translation>A NUL character cannot be used.</translation>
    </message>
    <message>
        <source>改行は使えません。</source>
        <translation>A line break cannot be used.</translation>
    </message>
    <message>
        <source>前後の空白は保存されません。前後に空白を置かないでください。</source>
        <translation>Blanks at the beginning or end are not saved. Remove them.</translation>
    </message>
    <message>
        <source>前後を囲む引用符は保存されません。引用符で囲まないでください。</source>
        <translation>Enclosing quotes are not saved. Remove them.</translation>
    </message>
    <message>
        <source>長すぎます。%1 文字以内で指定してください。</source>
        <translation>Too long. Use at most %1 characters.</translation>
    </message>
    <message>
        <source>アイテム設定</source>
        <comment>title when adding an item</comment>
        <translation>Add Item</translation>
    </message>
    <message>
        <source>アイテム設定</source>
        <comment>title when editing an item</comment>
        <translation>Edit Item</translation>
    </message>
    <message>
        <source>このフォルダは現在存在しません。</source>
        <translation>This folder does not exist at present.</translation>
    </message>
</context>
<context>
    <name>THelp</name>
    <message>
        <source>Brisko マニュアル</source>
        <translation>Brisko Manual</translation>
    </message>
    <message>
        <source>マニュアルが見つかりません。端末で man brisko を実行してください。</source>
        <translation>The manual was not found. Run man brisko in a terminal.</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Brisko %1&lt;/h3&gt;&lt;p&gt;ファイルを規則に従って削除します。ウィンドウから、またはスケジュールで無人で。&lt;/p&gt;&lt;p&gt;MIT ライセンスのフリーソフトウェアです。&lt;/p&gt;&lt;p&gt;&lt;a href=&quot;%2&quot;&gt;%2&lt;/a&gt;&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Brisko %1&lt;/h3&gt;&lt;p&gt;Deletes files by rule, from its window or unattended on a schedule.&lt;/p&gt;&lt;p&gt;Free software under the MIT licence.&lt;/p&gt;&lt;p&gt;&lt;a href=&quot;%2&quot;&gt;%2&lt;/a&gt;&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Brisko について</source>
        <translation>About Brisko</translation>
    </message>
</context>
<context>
    <name>TLogView</name>
    <message>
        <source>コピー(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>すべて選択(&amp;A)</source>
        <translation>Select &amp;All</translation>
    </message>
    <message>
        <source>次の失敗(&amp;N)</source>
        <translation>&amp;Next Failure</translation>
    </message>
    <message>
        <source>前の失敗(&amp;P)</source>
        <translation>&amp;Previous Failure</translation>
    </message>
    <message>
        <source>検索(&amp;F)...</source>
        <translation>&amp;Find...</translation>
    </message>
    <message>
        <source>次を検索</source>
        <translation>Find Next</translation>
    </message>
    <message>
        <source>前を検索</source>
        <translation>Find Previous</translation>
    </message>
    <message>
        <source>検索:</source>
        <translation>Find:</translation>
    </message>
    <message>
        <source>前を検索 (Shift+F3)</source>
        <translation>Find previous (Shift+F3)</translation>
    </message>
    <message>
        <source>次を検索 (F3)</source>
        <translation>Find next (F3)</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>0x%1: %2</source>
        <translation>0x%1: %2</translation>
    </message>
    <message>
        <source>見つかりません</source>
        <translation>Not found</translation>
    </message>
</context>
<context>
    <name>TMainForm</name>
    <message>
        <source>無題</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <source>新規(&amp;N)</source>
        <translation>&amp;New</translation>
    </message>
    <message>
        <source>新規|パターンを新規に作成します</source>
        <translation>New|Create a new pattern</translation>
    </message>
    <message>
        <source>開く(&amp;O)...</source>
        <translation>&amp;Open...</translation>
    </message>
    <message>
        <source>開く|既存のパターンを開きます</source>
        <translation>Open|Open an existing pattern</translation>
    </message>
    <message>
        <source>上書き保存(&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>上書き保存|既存のパターンに上書き保存します</source>
        <translation>Save|Save the pattern to its file</translation>
    </message>
    <message>
        <source>名前を付けて保存(&amp;A)...</source>
        <translation>Save &amp;As...</translation>
    </message>
    <message>
        <source>名前を付けて保存|パターンに名前を付けて保存します</source>
        <translation>Save As|Save the pattern under a new name</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>終了|アプリケーションを終了します</source>
        <translation>Exit|Close Brisko</translation>
    </message>
    <message>
        <source>追加(&amp;A)...</source>
        <translation>&amp;Add Item...</translation>
    </message>
    <message>
        <source>追加|パターンにアイテムを追加します</source>
        <translation>Add Item|Add an item to the pattern</translation>
    </message>
    <message>
        <source>削除|パターンからアイテムを削除します</source>
        <translation>Remove Item|Remove the item from the pattern</translation>
    </message>
    <message>
        <source>変更(&amp;M)...</source>
        <translation>&amp;Edit Item...</translation>
    </message>
    <message>
        <source>変更|アイテムを編集します</source>
        <translation>Edit Item|Edit the item</translation>
    </message>
    <message>
        <source>上へ(&amp;U)</source>
        <translation>Move &amp;Up</translation>
    </message>
    <message>
        <source>上へ|アイテムを上に移動します</source>
        <translation>Move Up|Move the item up</translation>
    </message>
    <message>
        <source>下へ(&amp;N)</source>
        <translation>Move Dow&amp;n</translation>
    </message>
    <message>
        <source>下へ|アイテムを下に移動します</source>
        <translation>Move Down|Move the item down</translation>
    </message>
    <message>
        <source>テスト(&amp;T)</source>
        <translation>&amp;Test</translation>
    </message>
    <message>
        <source>テスト|選択アイテムを実行テストします</source>
        <translation>Test|Test the selected items without deleting anything</translation>
    </message>
    <message>
        <source>実行(&amp;R)</source>
        <translation>&amp;Run</translation>
    </message>
    <message>
        <source>実行|選択アイテムを実行します</source>
        <translation>Run|Run the selected items and delete what is due</translation>
    </message>
    <message>
        <source>中止(&amp;S)</source>
        <translation>&amp;Stop</translation>
    </message>
    <message>
        <source>中止|選択アイテムの実行を中止します</source>
        <translation>Stop|Stop running the selected items</translation>
    </message>
    <message>
        <source>ログをクリア(&amp;C)</source>
        <translation>&amp;Clear Log</translation>
    </message>
    <message>
        <source>ログをクリア|実行ログをクリアします</source>
        <translation>Clear Log|Clear the run log</translation>
    </message>
    <message>
        <source>設定(&amp;C)...</source>
        <translation>&amp;Configure...</translation>
    </message>
    <message>
        <source>設定|動作環境を設定します</source>
        <translation>Configure|Change the settings</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>アイテム(&amp;I)</source>
        <translation>&amp;Item</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>オプション(&amp;O)</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>変更</source>
        <translation>Modified</translation>
    </message>
    <message>
        <source>%1/%2 選択</source>
        <translation>%1/%2 selected</translation>
    </message>
    <message>
        <source>%1 の変更を保存しますか？</source>
        <translation>Save changes to %1?</translation>
    </message>
    <message>
        <source>ファイル削除を実行しますか？</source>
        <translation>Delete the files now?</translation>
    </message>
    <message>
        <source>確認</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>（中断）</source>
        <translation> (stopped)</translation>
    </message>
    <message>
        <source>スケジュール(&amp;H)...</source>
        <translation>Sc&amp;hedule...</translation>
    </message>
    <message>
        <source>スケジュール|パターンを定期的に実行します</source>
        <translation>Schedule|Runs the pattern at regular times</translation>
    </message>
    <message>
        <source>ログファイル(&amp;L)...</source>
        <translation>&amp;Log File...</translation>
    </message>
    <message>
        <source>ログファイル|保存された実行ログを表示します</source>
        <translation>Log File|Shows the saved execution log</translation>
    </message>
    <message>
        <source>スケジュールを設定するには、パターンを保存します。保存しますか？</source>
        <translation>To set a schedule, the pattern is saved first. Save it?</translation>
    </message>
    <message>
        <source>ログファイル</source>
        <translation>Log File</translation>
    </message>
    <message>
        <source>ログファイル (*.log);;すべてのファイル (*)</source>
        <translation>Log files (*.log);;All files (*)</translation>
    </message>
    <message>
        <source>削除(&amp;D)</source>
        <comment>remove an item</comment>
        <translation>&amp;Remove Item</translation>
    </message>
    <message>
        <source>マニュアル(&amp;M)</source>
        <translation>&amp;Manual</translation>
    </message>
    <message>
        <source>マニュアル|Brisko のマニュアルを表示します</source>
        <translation>Manual|Show the manual of Brisko</translation>
    </message>
    <message>
        <source>バージョン情報(&amp;A)...</source>
        <translation>&amp;About Brisko...</translation>
    </message>
    <message>
        <source>バージョン情報|Brisko のバージョンとライセンスを表示します</source>
        <translation>About Brisko|Show the version and licence of Brisko</translation>
    </message>
    <message>
        <source>削除(&amp;D)</source>
        <comment>the menu of Test, Run and Stop</comment>
        <translation>&amp;Run</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>情報</source>
        <comment>save question</comment>
        <translation>Save Changes?</translation>
    </message>
    <message numerus="yes">
        <source>選択アイテム: %n 件</source>
        <translation>
            <numerusform>Items selected: %n</numerusform>
            <numerusform>Items selected: %n</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>うち %n 件はごみ箱へ移動します</source>
        <translation>
            <numerusform>Of these, %n item moves to the trash.</numerusform>
            <numerusform>Of these, %n items move to the trash.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>直前のテスト: %n 件、%1 解放予定</source>
        <translation>
            <numerusform>Last Test: %n entry, would free %1</numerusform>
            <numerusform>Last Test: %n entries, would free %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>テスト: %n 件</source>
        <translation>
            <numerusform>Test: %n entry</numerusform>
            <numerusform>Test: %n entries</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>（うちごみ箱へ %n 件）</source>
        <translation>
            <numerusform> (%n bound for the trash)</numerusform>
            <numerusform> (%n bound for the trash)</numerusform>
        </translation>
    </message>
    <message>
        <source>、%1 解放予定</source>
        <translation>, would free %1</translation>
    </message>
    <message numerus="yes">
        <source>実行: %n 件削除</source>
        <translation>
            <numerusform>Run: %n deleted</numerusform>
            <numerusform>Run: %n deleted</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>、%n 件をごみ箱へ移動</source>
        <translation>
            <numerusform>, %n moved to the trash</numerusform>
            <numerusform>, %n moved to the trash</numerusform>
        </translation>
    </message>
    <message>
        <source>、%1 解放、失敗 %2 件</source>
        <translation>, %1 freed, %2 failed</translation>
    </message>
    <message numerus="yes">
        <source>、%n フォルダが見つかりません</source>
        <translation>
            <numerusform>, %n folder not found</numerusform>
            <numerusform>, %n folders not found</numerusform>
        </translation>
    </message>
    <message>
        <source>クリックすると次の失敗へ移動します</source>
        <translation>Click to go to the next failure</translation>
    </message>
    <message>
        <source>%1 以上</source>
        <translation>at least %1</translation>
    </message>
</context>
<context>
    <name>TModalForm</name>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>%1 から %2 までの整数を指定してください。</source>
        <translation>Enter a whole number from %1 to %2.</translation>
    </message>
</context>
<context>
    <name>TPatternModel</name>
    <message>
        <source>対象フォルダ</source>
        <translation>Location</translation>
    </message>
    <message>
        <source>削除ファイル</source>
        <translation>Include</translation>
    </message>
    <message>
        <source>除外ファイル</source>
        <translation>Exclude</translation>
    </message>
    <message>
        <source>経過日数</source>
        <translation>Age</translation>
    </message>
    <message>
        <source>属性</source>
        <translation>Attributes</translation>
    </message>
    <message>
        <source>オプション</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>フォルダが見つかりません</source>
        <translation>Folder not found</translation>
    </message>
    <message>
        <source>フォルダを読めません: %1</source>
        <translation>Folder cannot be read: %1</translation>
    </message>
</context>
<context>
    <name>TPrompter</name>
    <message>
        <source>削除パターン(*.rmp)|*.rmp|すべてのファイル(*.*)|*.*</source>
        <translation>Deletion patterns (*.rmp)|*.rmp|All files (*.*)|*.*</translation>
    </message>
    <message>
        <source>名前を付けて保存</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>開く</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>ファイルの場所:</source>
        <translation>Look in:</translation>
    </message>
    <message>
        <source>ファイル名(&amp;N):</source>
        <translation>File &amp;name:</translation>
    </message>
    <message>
        <source>ファイルの種類(&amp;T):</source>
        <translation>Files of &amp;type:</translation>
    </message>
    <message>
        <source>保存(&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>開く(&amp;O)</source>
        <translation>&amp;Open</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>
このファイルは読み取り専用です。
別のファイル名を指定してください。</source>
        <translation>
This file is read-only.
Choose another file name.</translation>
    </message>
    <message>
        <source> は既に存在します。
上書きしますか？</source>
        <translation> already exists.
Do you want to replace it?</translation>
    </message>
    <message>
        <source>
このフォルダーは書き込み禁止です。
別のフォルダーを指定してください。</source>
        <translation>
This folder cannot be written to.
Choose another folder.</translation>
    </message>
    <message>
        <source>
このファイルは存在しません。
ファイルを作成しますか？</source>
        <translation>
This file does not exist.
Do you want to create it?</translation>
    </message>
    <message>
        <source>はい(&amp;Y)</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>いいえ(&amp;N)</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>はい(&amp;Y)</source>
        <comment>save the changes</comment>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>いいえ(&amp;N)</source>
        <comment>discard the changes</comment>
        <translation>&amp;Discard</translation>
    </message>
</context>
<context>
    <name>TResultCodes</name>
    <message>
        <source>操作が許可されていません</source>
        <translation>Operation not permitted</translation>
    </message>
    <message>
        <source>エントリは既にありません</source>
        <translation>Entry already gone</translation>
    </message>
    <message>
        <source>入出力エラー</source>
        <translation>Input/output error</translation>
    </message>
    <message>
        <source>アクセスが拒否されました</source>
        <translation>Access denied</translation>
    </message>
    <message>
        <source>使用中か、別のファイルシステムがマウントされています</source>
        <translation>In use, or another file system is mounted inside</translation>
    </message>
    <message>
        <source>ごみ箱に同じ名前の記録を作れません</source>
        <translation>The trash cannot take a record of that name</translation>
    </message>
    <message>
        <source>このファイルシステムにはごみ箱がありません</source>
        <translation>No trash on this file system can take it</translation>
    </message>
    <message>
        <source>パスの途中がフォルダではありません</source>
        <translation>A part of the path is not a folder</translation>
    </message>
    <message>
        <source>ファイルがあった場所にフォルダがあります</source>
        <translation>A folder now stands where a file was</translation>
    </message>
    <message>
        <source>削除できない名前です</source>
        <translation>A name that cannot be removed</translation>
    </message>
    <message>
        <source>フォルダが深すぎます（開けるファイル数の上限）</source>
        <translation>Folders nested too deep (open file limit)</translation>
    </message>
    <message>
        <source>空き領域がありません</source>
        <translation>No space left on the device</translation>
    </message>
    <message>
        <source>読み取り専用のファイルシステムです</source>
        <translation>Read-only file system</translation>
    </message>
    <message>
        <source>名前が長すぎます</source>
        <translation>Name too long</translation>
    </message>
    <message>
        <source>パスの途中にリンクがあります</source>
        <translation>A link on the way to the entry</translation>
    </message>
    <message>
        <source>空だったフォルダに中身があります</source>
        <translation>A folder listed as empty holds something now</translation>
    </message>
    <message>
        <source>一覧を作った後でエントリが変わりました</source>
        <translation>Entry changed since it was listed</translation>
    </message>
    <message>
        <source>停止したため、フォルダの中身の一部が残っています</source>
        <translation>Stopped: part of the folder&apos;s content is left</translation>
    </message>
</context>
<context>
    <name>TRunNotice</name>
    <message>
        <source>実行が終わりました。</source>
        <translation>The run is over.</translation>
    </message>
    <message>
        <source>実行はエラーで終わりました。</source>
        <translation>The run ended on an error.</translation>
    </message>
    <message>
        <source>削除できなかったエントリがあります。</source>
        <translation>Some entries could not be removed.</translation>
    </message>
    <message>
        <source>シグナル %1 で中断されました。</source>
        <translation>Stopped by signal %1.</translation>
    </message>
    <message>
        <source>終了コード %1 で終わりました。</source>
        <translation>Ended with exit status %1.</translation>
    </message>
    <message>
        <source>ログを表示</source>
        <translation>Show log</translation>
    </message>
</context>
<context>
    <name>TRunText</name>
    <message>
        <source>警告: %1</source>
        <translation>warning: %1</translation>
    </message>
    <message>
        <source>&apos;%1&apos; には実行するアイテムがありません</source>
        <translation>&apos;%1&apos; has no item to run</translation>
    </message>
    <message>
        <source>使い方: brisko [-W+|-W-] [--show-log] [パターン.rmp ...]
        brisko -R [-v] パターン.rmp
        brisko -n パターン.rmp
規則に従ってファイルを削除します。ウィンドウを開き、パターンファイルを順に読み込みます
（最後のものが開いたままになります）。

  -R           パターンの全アイテムを選択してすぐに実行し、終わったら終了する。
               ディスプレイがなければ（cron、systemd タイマー）ウィンドウなしで実行する
  -W+          ウィンドウを最大化して開く
  -W-          ウィンドウを最小化して開く
  -n           パターンの全アイテムをテストする: 結果行を標準出力に書き、何も削除せず、
               ログファイルには触れない。ディスプレイは要らない。-R と共に指定しても同じ
  --dry-run    -n と同じ
  --test       -n と同じ
  -v           -R と共に: 結果行をログと同じく標準出力にも書き、終わりに集計を書く
  --verbose    -v と同じ
  --show-log   ログファイルをログ欄に表示してウィンドウを開く
  -h           このヘルプを表示して終了する
  --help       -h と同じ
  -V           バージョンを表示して終了する
  --version    -V と同じ

R と W の後の文字は大文字でも小文字でもかまいません（-r、-Run、-w+）。ほかのスイッチは
示したとおりに書きます。知らないスイッチがあれば、何もせずに状態 2 で終了します。
&quot;/&quot; で始まる引数はパスです。

-n と、-v を付けた -R は、最後に集計を 1 行、標準エラー出力に書きます: テストまたは
削除したエントリーの数、そのうちごみ箱へ移した数、解放した（テストでは解放される）
容量、失敗の数。

-R と -n の終了状態:
  0      期限の来たエントリーをすべて削除した（テストでは一覧にした）
  1      エラーで終わった、パターンファイルを読めなかった、または記録を残せなかった
  2      使い方の誤り（知らないスイッチ、パターンファイルの指定がない）
  3      最後まで実行したが、削除できないエントリーがあった
  128+N  シグナル N（SIGTERM、SIGINT、SIGHUP）で中断した。記録は残る
</source>
        <translation>Usage: brisko [-W+|-W-] [--show-log] [PATTERN.rmp ...]
       brisko -R [-v] PATTERN.rmp
       brisko -n PATTERN.rmp
Deletes files by rule: opens the window and loads the pattern files in turn
(the last one stays open).

  -R           select every item of the pattern and run it at once, then exit;
               without a display (cron, systemd timers) Brisko runs without a window
  -W+          start with the window maximized
  -W-          start with the window minimized
  -n           test every item of the pattern: print the result lines on standard
               output, remove nothing, leave the log file alone; needs no display;
               the same together with -R
  --dry-run    the same as -n
  --test       the same as -n
  -v           with -R: print each result line on standard output as well, as the
               log gets it, and a summary at the end
  --verbose    the same as -v
  --show-log   open the window with the log file shown in the log pane
  -h           show this help and exit
  --help       the same as -h
  -V           show the version and exit
  --version    the same as -V

The letter after R and W may be written in either case (-r, -Run, -w+); the other
switches are written as shown. An unknown switch ends Brisko with status 2 before
anything is done. An argument beginning with &quot;/&quot; is a path.

-n, and -R with -v, end with one summary line on standard error: the entries tested
or removed, how many of them went to the trash, the space freed (or, in a test, that
would be freed), and the failures.

Exit status of -R and -n:
  0      every due entry was removed (or listed, in a test)
  1      the run ended on an error, the pattern file could not be read, or the
         record could not be kept
  2      bad usage: an unknown switch, no pattern file
  3      the run went through, but some entries could not be removed
  128+N  stopped by signal N (SIGTERM, SIGINT, SIGHUP); the record is kept
</translation>
    </message>
    <message>
        <source>brisko: &apos;%1&apos; は不明なオプションです
詳しくは &apos;brisko --help&apos; を実行してください。</source>
        <translation>brisko: unrecognized option &apos;%1&apos;
Try &apos;brisko --help&apos; for more information.</translation>
    </message>
    <message numerus="yes">
        <source>%n バイト</source>
        <translation>
            <numerusform>%n byte</numerusform>
            <numerusform>%n bytes</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>テスト: %n 件、うちごみ箱へ %1 件、解放される容量 %2、失敗 %3 件</source>
        <translation>
            <numerusform>Test: %n entry, %1 of them to the trash, %2 would be freed, %3 failed</numerusform>
            <numerusform>Test: %n entries, %1 of them to the trash, %2 would be freed, %3 failed</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>実行: %n 件削除、うちごみ箱へ %1 件、解放した容量 %2、失敗 %3 件</source>
        <translation>
            <numerusform>Run: %n entry removed, %1 of them moved to the trash, %2 freed, %3 failed</numerusform>
            <numerusform>Run: %n entries removed, %1 of them moved to the trash, %2 freed, %3 failed</numerusform>
        </translation>
    </message>
    <message>
        <source>（中断）</source>
        <translation> (stopped)</translation>
    </message>
    <message>
        <source>標準出力に書き込めません: %1</source>
        <translation>cannot write to standard output: %1</translation>
    </message>
    <message>
        <source>%1 にはパターンファイルを 1 つ指定します: brisko %1 パターン.rmp</source>
        <translation>%1 takes one pattern file: brisko %1 PATTERN.rmp</translation>
    </message>
    <message>
        <source>&apos;%1&apos; を開けません: %2</source>
        <translation>cannot open &apos;%1&apos;: %2</translation>
    </message>
    <message>
        <source>シグナルを監視できません: %1</source>
        <translation>cannot watch for signals: %1</translation>
    </message>
    <message>
        <source>警告: ディスプレイ &apos;%1&apos; を開けないため、ウィンドウなしで実行します</source>
        <translation>warning: cannot open the display &apos;%1&apos;; running without a window</translation>
    </message>
    <message>
        <source>brisko: ウィンドウにはディスプレイが要ります（DISPLAY も WAYLAND_DISPLAY もありません）。
        ディスプレイなしでパターンを実行するには: brisko -R パターン.rmp
        その前に試すには:                         brisko -n パターン.rmp
</source>
        <translation>brisko: needs a display (neither DISPLAY nor WAYLAND_DISPLAY is set);
        run a pattern without one with: brisko -R PATTERN.rmp
        or try it first with:          brisko -n PATTERN.rmp
</translation>
    </message>
    <message numerus="yes">
        <source>%n 件を削除できませんでした。最初のもの: %1: %2</source>
        <translation>
            <numerusform>%n entry could not be removed; the first: %1: %2</numerusform>
            <numerusform>%n entries could not be removed; the first: %1: %2</numerusform>
        </translation>
    </message>
    <message>
        <source>警告: フォルダ &quot;%1&quot; は存在しません</source>
        <translation>warning: the folder &quot;%1&quot; does not exist</translation>
    </message>
    <message>
        <source>警告: フォルダ &quot;%1&quot; を読めません: %2</source>
        <translation>warning: the folder &quot;%1&quot; cannot be read: %2</translation>
    </message>
    <message>
        <source>%1 以上</source>
        <translation>at least %1</translation>
    </message>
    <message>
        <source>ディスプレイ &apos;%1&apos; を開けません</source>
        <translation>cannot open the display &apos;%1&apos;</translation>
    </message>
</context>
<context>
    <name>TScheduleDialog</name>
    <message>
        <source>スケジュール - %1</source>
        <translation>Schedule - %1</translation>
    </message>
    <message>
        <source>しない</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>1 時間ごと</source>
        <translation>Hourly</translation>
    </message>
    <message>
        <source>毎日</source>
        <translation>Daily</translation>
    </message>
    <message>
        <source>毎週</source>
        <translation>Weekly</translation>
    </message>
    <message>
        <source>毎月</source>
        <translation>Monthly</translation>
    </message>
    <message>
        <source>月曜日</source>
        <translation>Monday</translation>
    </message>
    <message>
        <source>火曜日</source>
        <translation>Tuesday</translation>
    </message>
    <message>
        <source>水曜日</source>
        <translation>Wednesday</translation>
    </message>
    <message>
        <source>木曜日</source>
        <translation>Thursday</translation>
    </message>
    <message>
        <source>金曜日</source>
        <translation>Friday</translation>
    </message>
    <message>
        <source>土曜日</source>
        <translation>Saturday</translation>
    </message>
    <message>
        <source>日曜日</source>
        <translation>Sunday</translation>
    </message>
    <message>
        <source> 日</source>
        <translation> (day of month)</translation>
    </message>
    <message>
        <source>実行できなかった分を次の起動時に実行する(&amp;M)</source>
        <translation>Run &amp;missed schedules at the next start</translation>
    </message>
    <message>
        <source>AC 電源につながっているときだけ実行する(&amp;P)</source>
        <translation>Only when on mains &amp;power</translation>
    </message>
    <message>
        <source>実行のたびに通知する(&amp;N)</source>
        <translation>&amp;Notify after every run</translation>
    </message>
    <message>
        <source>コピー(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>適用(&amp;A)</source>
        <translation>&amp;Apply</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>実行(&amp;S):</source>
        <translation>&amp;Schedule:</translation>
    </message>
    <message>
        <source>日時(&amp;T):</source>
        <translation>&amp;Time:</translation>
    </message>
    <message>
        <source>状態</source>
        <translation>State</translation>
    </message>
    <message>
        <source>次回の実行:</source>
        <translation>Next run:</translation>
    </message>
    <message>
        <source>前回の実行:</source>
        <translation>Last run:</translation>
    </message>
    <message>
        <source>前回の結果:</source>
        <translation>Last result:</translation>
    </message>
    <message>
        <source>systemd のユーザーマネージャーに接続できません。次の行を crontab に加えると同じ間隔で実行されます (crontab -e):</source>
        <translation>No systemd user manager can be reached. Add this line to your crontab (crontab -e) to run the pattern on the same schedule:</translation>
    </message>
    <message>
        <source>このパターンのファイル名は長すぎて、タイマーの名前にできません。</source>
        <translation>The name of this pattern file is too long to name a timer.</translation>
    </message>
    <message>
        <source>スケジュールを設定できません: %1</source>
        <translation>The schedule cannot be set: %1</translation>
    </message>
    <message>
        <source>正常終了</source>
        <translation>Succeeded</translation>
    </message>
    <message>
        <source>失敗 (%1, 終了コード %2)</source>
        <translation>Failed (%1, exit status %2)</translation>
    </message>
    <message>
        <source>次回の実行: %1</source>
        <translation>Next run: %1</translation>
    </message>
    <message>
        <source>スケジュールなし</source>
        <translation>Not scheduled</translation>
    </message>
</context>
<context>
    <name>TSelectFile</name>
    <message>
        <source>
このファイルは読み取り専用です。別の名前を指定してください。</source>
        <translation>
This file is read-only. Choose another name.</translation>
    </message>
    <message>
        <source>
このファイルは存在しません。
ファイルを作成しますか?</source>
        <translation>
This file does not exist.
Do you want to create it?</translation>
    </message>
</context>
</TS>
