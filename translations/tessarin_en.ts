<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>Tessarin</name>
    <message>
        <source>Readme.txt(&amp;H)	F1</source>
        <translation>&amp;Readme.txt	F1</translation>
    </message>
    <message>
        <source>バージョン情報(&amp;A)</source>
        <translation>&amp;About Tessarin</translation>
    </message>
    <message>
        <source>ファイルを開く(&amp;O)...	F2</source>
        <translation>&amp;Open...	F2</translation>
    </message>
    <message>
        <source>次のファイルを開く(&amp;T)</source>
        <translation>Open &amp;Next File</translation>
    </message>
    <message>
        <source>前のファイルを開く(&amp;M)</source>
        <translation>Open &amp;Previous File</translation>
    </message>
    <message>
        <source>終了(&amp;X)	Alt+F4</source>
        <translation>E&amp;xit	Alt+F4</translation>
    </message>
    <message>
        <source>分割実行(&amp;E)	F3</source>
        <translation>&amp;Run Split	F3</translation>
    </message>
    <message>
        <source>分割サイズ＆オフセット設定(&amp;B)...	F4</source>
        <translation>&amp;Tile Size and Offset...	F4</translation>
    </message>
    <message>
        <source>分割線を反転色で描画する(&amp;A)</source>
        <translation>Draw Cut Lines in Inverted &amp;Colors</translation>
    </message>
    <message>
        <source>ファイル命名規則設定(&amp;F)...	F5</source>
        <translation>File &amp;Naming Rule...	F5</translation>
    </message>
    <message>
        <source>保存フォルダ設定(&amp;H)...	F6</source>
        <translation>Save &amp;Folder...	F6</translation>
    </message>
    <message>
        <source>JPEGが多少劣化しても正確な位置で分割(&amp;J)	F9</source>
        <translation>Cut &amp;JPEG Exactly, Even with Some Loss	F9</translation>
    </message>
    <message>
        <source>全てBMPで出力する(&amp;S)	F8</source>
        <translation>Write All Tiles as &amp;BMP	F8</translation>
    </message>
    <message>
        <source>分割サイズの縦横比をオリジナル画像と合わせる(&amp;A)	F7</source>
        <translation>Match Tile Size to the Image &amp;Aspect Ratio	F7</translation>
    </message>
    <message>
        <source>ビューアモード(&amp;V)	F11</source>
        <translation>&amp;Viewer Mode	F11</translation>
    </message>
    <message>
        <source>最初は等倍で表示(&amp;S)</source>
        <translation>&amp;Start at Actual Size</translation>
    </message>
    <message>
        <source>分割線(&amp;L)</source>
        <translation>Cut &amp;Lines</translation>
    </message>
    <message>
        <source>情報表示(&amp;I)	F12</source>
        <translation>&amp;Information Panel	F12</translation>
    </message>
    <message>
        <source>画像情報(&amp;G)</source>
        <translation>&amp;Image Info</translation>
    </message>
    <message>
        <source>設定ファイル(&amp;C)</source>
        <translation>Settings &amp;File</translation>
    </message>
    <message>
        <source>保存フォルダ(&amp;F)</source>
        <translation>Sa&amp;ve Folder</translation>
    </message>
    <message>
        <source>縦横比合致(&amp;T)</source>
        <translation>&amp;Aspect Match</translation>
    </message>
    <message>
        <source>分割サイズ(&amp;B)</source>
        <translation>Tile &amp;Size</translation>
    </message>
    <message>
        <source>オフセット(&amp;O)</source>
        <translation>&amp;Offset</translation>
    </message>
    <message>
        <source>命名規則(&amp;M)</source>
        <translation>Naming &amp;Rule</translation>
    </message>
    <message>
        <source>表示倍率(&amp;H)</source>
        <translation>&amp;Zoom</translation>
    </message>
    <message>
        <source>JPEG品質(&amp;J)</source>
        <translation>&amp;JPEG Quality</translation>
    </message>
    <message>
        <source>分割同時処理数(&amp;D)</source>
        <translation>&amp;Threads</translation>
    </message>
    <message>
        <source>分割数(&amp;N)</source>
        <translation>Tile Cou&amp;nt</translation>
    </message>
    <message>
        <source>選択数(&amp;E)</source>
        <translation>S&amp;election Count</translation>
    </message>
    <message>
        <source>分割内訳(&amp;U)</source>
        <translation>&amp;Breakdown</translation>
    </message>
    <message>
        <source>ノーマル(&amp;N)</source>
        <translation>&amp;Normal</translation>
    </message>
    <message>
        <source>最大化(&amp;S)</source>
        <translation>&amp;Maximized</translation>
    </message>
    <message>
        <source>前回終了時のサイズと位置を復元(&amp;Z)</source>
        <translation>&amp;Restore Last Size and Position</translation>
    </message>
    <message>
        <source>ファイルを開くと同時に分割を実行(&amp;F)</source>
        <translation>Split on &amp;Opening a File</translation>
    </message>
    <message>
        <source>アイコンへのドラッグ＆ドロップ分割実行(&amp;A)</source>
        <translation>Split Files Dropped on the &amp;Icon</translation>
    </message>
    <message>
        <source>16ビットBMPの減色確認メッセージを非表示(&amp;M)</source>
        <translation>Hide the 16-bit BMP Color &amp;Reduction Notice</translation>
    </message>
    <message>
        <source>分割線ドラッグ＆ドロップ(&amp;D)</source>
        <translation>&amp;Drag Cut Lines</translation>
    </message>
    <message>
        <source>拡大表示時、滑らかにする(&amp;K)</source>
        <translation>S&amp;mooth When Zoomed In</translation>
    </message>
    <message>
        <source>表示倍率変化率設定(&amp;H)...</source>
        <translation>&amp;Zoom Step...</translation>
    </message>
    <message>
        <source>分割同時処理数設定(&amp;B)...</source>
        <translation>&amp;Threads...</translation>
    </message>
    <message>
        <source>設定０(&amp;0)</source>
        <translation>Settings &amp;0</translation>
    </message>
    <message>
        <source>設定１(&amp;1)</source>
        <translation>Settings &amp;1</translation>
    </message>
    <message>
        <source>設定２(&amp;2)</source>
        <translation>Settings &amp;2</translation>
    </message>
    <message>
        <source>設定３(&amp;3)</source>
        <translation>Settings &amp;3</translation>
    </message>
    <message>
        <source>設定４(&amp;4)</source>
        <translation>Settings &amp;4</translation>
    </message>
    <message>
        <source>設定５(&amp;5)</source>
        <translation>Settings &amp;5</translation>
    </message>
    <message>
        <source>設定６(&amp;6)</source>
        <translation>Settings &amp;6</translation>
    </message>
    <message>
        <source>設定７(&amp;7)</source>
        <translation>Settings &amp;7</translation>
    </message>
    <message>
        <source>設定８(&amp;8)</source>
        <translation>Settings &amp;8</translation>
    </message>
    <message>
        <source>設定９(&amp;9)</source>
        <translation>Settings &amp;9</translation>
    </message>
    <message>
        <source>名前を変更(&amp;N)...</source>
        <translation>Re&amp;name...</translation>
    </message>
    <message>
        <source>横幅を基準に高さを算出(&amp;W)</source>
        <translation>Height from &amp;Width</translation>
    </message>
    <message>
        <source>高さを基準に横幅を算出(&amp;H)</source>
        <translation>Width from &amp;Height</translation>
    </message>
    <message>
        <source>分割設定を読み込む(&amp;B)...</source>
        <translation>&amp;Load Split Settings...</translation>
    </message>
    <message>
        <source>分割設定に名前を付けて保存(&amp;A)...</source>
        <translation>Save Split Settings &amp;As...</translation>
    </message>
    <message>
        <source>出力画像選択モード(&amp;C)	F10</source>
        <translation>Tile S&amp;election Mode	F10</translation>
    </message>
    <message>
        <source>変更で上書きしない(&amp;H)</source>
        <translation>&amp;Do Not Overwrite on Change</translation>
    </message>
    <message>
        <source>エラーが有った場合のみ結果メッセージを表示(&amp;E)</source>
        <translation>Show Results Only on &amp;Errors</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>分割(&amp;B)</source>
        <translation>&amp;Split</translation>
    </message>
    <message>
        <source>分割設定(&amp;S)</source>
        <translation>Se&amp;ttings</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>情報表示項目(&amp;P)</source>
        <translation>&amp;Panel Items</translation>
    </message>
    <message>
        <source>オプション(&amp;O)</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>起動時ウィンドウ設定(&amp;K)</source>
        <translation>&amp;Startup Window</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>バージョン情報</source>
        <translation>About Tessarin</translation>
    </message>
    <message>
        <source>画像を格子状に分割して、1枚ずつ画像ファイルとして保存するツール</source>
        <translation>Cuts an image into a grid and saves each tile as an image file</translation>
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
        <source>JPEG品質設定</source>
        <translation>JPEG Quality</translation>
    </message>
    <message>
        <source>（悪 0 ～ 100 良）</source>
        <translation>(worst 0 to 100 best)</translation>
    </message>
    <message>
        <source>PNG圧縮レベル設定(&amp;P)...</source>
        <translation>&amp;PNG Compression Level...</translation>
    </message>
    <message>
        <source>PNG圧縮レベル設定</source>
        <translation>PNG Compression Level</translation>
    </message>
    <message>
        <source>（無圧縮 0 ～ 9 最小）</source>
        <translation>(none 0 to 9 smallest)</translation>
    </message>
    <message>
        <source>ファイル名の後に「_行番_列番」を付ける</source>
        <translation>Append "_row_column" to the file name</translation>
    </message>
    <message>
        <source>ファイル名の後に「_列番_行番」を付ける</source>
        <translation>Append "_column_row" to the file name</translation>
    </message>
    <message>
        <source>ファイル名の後に「_左上から横に数えた番号」を付ける</source>
        <translation>Append "_number counted across from the top left"</translation>
    </message>
    <message>
        <source>ファイル名の後に「_左上から縦に数えた番号」を付ける</source>
        <translation>Append "_number counted down from the top left"</translation>
    </message>
    <message>
        <source>ファイル命名規則設定</source>
        <translation>File Naming Rule</translation>
    </message>
    <message>
        <source>番号書式設定</source>
        <translation>Number format</translation>
    </message>
    <message>
        <source>左右の順番を逆（右から）にする</source>
        <translation>Count from the right instead of the left</translation>
    </message>
    <message>
        <source>振り始め番号設定</source>
        <translation>First number</translation>
    </message>
    <message>
        <source>番 ～</source>
        <translation>onwards</translation>
    </message>
    <message>
        <source>ゼロ埋め桁数設定</source>
        <translation>Digits (zero-filled)</translation>
    </message>
    <message>
        <source>桁</source>
        <translation>digits</translation>
    </message>
    <message>
        <source>設定に失敗しました</source>
        <translation>The settings could not be applied</translation>
    </message>
    <message>
        <source>タイル</source>
        <translation>tiles</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>分割中</source>
        <translation>Splitting</translation>
    </message>
    <message>
        <source>保存フォルダを開く</source>
        <translation>Open Save Folder</translation>
    </message>
    <message>
        <source>確認</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>分割処理中止</source>
        <translation>Split stopped</translation>
    </message>
    <message>
        <source>保存フォルダが存在しません</source>
        <translation>The save folder does not exist</translation>
    </message>
    <message>
        <source>保存フォルダがシンボリックリンクです</source>
        <translation>The save folder is a symbolic link</translation>
    </message>
    <message>
        <source>タイル名が別のファイルで使われています</source>
        <translation>Tile names already used by another file</translation>
    </message>
    <message>
        <source>分割中にファイルが変更されました</source>
        <translation>The file changed while it was split</translation>
    </message>
    <message>
        <source>分割処理終了！</source>
        <translation>Split finished!</translation>
    </message>
    <message>
        <source>保存フォルダ設定</source>
        <translation>Save Folder</translation>
    </message>
    <message>
        <source>分割元画像ファイルの</source>
        <translation>Write into the folder of the source image,</translation>
    </message>
    <message>
        <source>階層上に出力する</source>
        <translation>level(s) up</translation>
    </message>
    <message>
        <source>保存フォルダ</source>
        <translation>Save folder</translation>
    </message>
    <message>
        <source>パスに存在しないディレクトリを含む場合は作成を試みる</source>
        <translation>Try to create the folders of the path that do not exist</translation>
    </message>
    <message>
        <source>保存フォルダの選択</source>
        <translation>Choose the Save Folder</translation>
    </message>
    <message>
        <source>出力先フォルダの中にフォルダを自動生成し、その中に出力する</source>
        <translation>Create a folder in the save folder and write into it</translation>
    </message>
    <message>
        <source>分割元画像ファイルごとに、自動生成するフォルダの名前を変える</source>
        <translation>Name the created folder after each source image</translation>
    </message>
    <message>
        <source>名前を変更</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>分割サイズ＆オフセット設定</source>
        <translation>Tile Size and Offset</translation>
    </message>
    <message>
        <source>分割サイズ設定</source>
        <translation>Tile size</translation>
    </message>
    <message>
        <source>オリジナル画像の縦横比と合わせる</source>
        <translation>Match the aspect ratio of the original image</translation>
    </message>
    <message>
        <source>横幅</source>
        <translation>Width</translation>
    </message>
    <message>
        <source>高さ</source>
        <translation>Height</translation>
    </message>
    <message>
        <source>基準：</source>
        <translation>Based on:</translation>
    </message>
    <message>
        <source>オフセット設定</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>横幅：</source>
        <translation>Width:</translation>
    </message>
    <message>
        <source>高さ：</source>
        <translation>Height:</translation>
    </message>
    <message>
        <source>横：</source>
        <translation>X:</translation>
    </message>
    <message>
        <source>縦：</source>
        <translation>Y:</translation>
    </message>
    <message>
        <source>％</source>
        <translation>%</translation>
    </message>
    <message>
        <source>個</source>
        <translation>tiles</translation>
    </message>
    <message>
        <source>【 分 割 内 訳 】 横：0000(オ), 0000x0000, 0000(余)</source>
        <translation>[  Breakdown   ] X:0000(off), 0000x0000, 0000(rest)</translation>
    </message>
    <message>
        <source>画像を開くと、この設定での分割結果がここに表示されます</source>
        <translation>Open an image to see here how these settings split it</translation>
    </message>
    <message>
        <source>【　分 割 数　】%1(横)x%2(縦)=%3(総数)</source>
        <translation>[    Tiles     ]%1(across)x%2(down)=%3(total)</translation>
    </message>
    <message>
        <source>分割同時処理数設定</source>
        <translation>Threads</translation>
    </message>
    <message>
        <source>表示倍率変化率設定</source>
        <translation>Zoom Step</translation>
    </message>
    <message>
        <source>倍</source>
        <translation>times</translation>
    </message>
    <message>
        <source>分割処理をしませんでした</source>
        <translation>Nothing was split</translation>
    </message>
    <message>
        <source>分割処理正常終了！</source>
        <translation>Split finished!</translation>
    </message>
    <message>
        <source>分割処理失敗</source>
        <translation>Split failed</translation>
    </message>
    <message>
        <source>分割中止(&amp;E)	F3</source>
        <translation>&amp;Stop Split	F3</translation>
    </message>
    <message>
        <source>スレッドの作成に失敗</source>
        <translation>Could not create a thread</translation>
    </message>
    <message>
        <source>【 画 像 情 報 】%1x%2(%3bpp)</source>
        <translation>[  Image info  ]%1x%2(%3bpp)</translation>
    </message>
    <message>
        <source>設定ファイルの書き込みに失敗しました

%1</source>
        <translation>Could not write the settings file

%1</translation>
    </message>
    <message>
        <source>INI ファイル (*.ini);;すべてのファイル (*.*)</source>
        <translation>INI files (*.ini);;All files (*.*)</translation>
    </message>
    <message>
        <source>分割設定を読み込む</source>
        <translation>Load Split Settings</translation>
    </message>
    <message>
        <source>設定ファイルを読み込めませんでした

%1</source>
        <translation>Could not read the settings file

%1</translation>
    </message>
    <message>
        <source>分割設定に名前を付けて保存</source>
        <translation>Save Split Settings As</translation>
    </message>
    <message>
        <source>【分割処理失敗】
%1</source>
        <translation>[Split failed]
%1</translation>
    </message>
    <message>
        <source>%1% (%2 / %3 タイル) - %4</source>
        <translation>%1% (%2 / %3 tiles) - %4</translation>
    </message>
    <message>
        <source>%1% 読み込み中 - %2</source>
        <translation>%1% read - %2</translation>
    </message>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>全て (*.*)</source>
        <translation>All files (*.*)</translation>
    </message>
    <message>
        <source>ファイルを開く</source>
        <translation>Open File</translation>
    </message>
    <message>
        <source>%s%6.2f ％</source>
        <translation>%s%6.2f %%</translation>
    </message>
    <message>
        <source>%s%2d 個</source>
        <translation>%s%2d tiles</translation>
    </message>
    <message>
        <source>【 命 名 規 則 】 _行番_列番(右から)</source>
        <translation>[ Naming rule  ] _row_column(from the right)</translation>
    </message>
    <message>
        <source>【 命 名 規 則 】 _行番_列番</source>
        <translation>[ Naming rule  ] _row_column</translation>
    </message>
    <message>
        <source>【 命 名 規 則 】 _列番_行番(右から)</source>
        <translation>[ Naming rule  ] _column_row(from the right)</translation>
    </message>
    <message>
        <source>【 命 名 規 則 】 _列番_行番</source>
        <translation>[ Naming rule  ] _column_row</translation>
    </message>
    <message>
        <source>【 命 名 規 則 】 _右上から横に数えた番号</source>
        <translation>[ Naming rule  ] _number across from the top right</translation>
    </message>
    <message>
        <source>【 命 名 規 則 】 _左上から横に数えた番号</source>
        <translation>[ Naming rule  ] _number across from the top left</translation>
    </message>
    <message>
        <source>【 命 名 規 則 】 _右上から縦に数えた番号</source>
        <translation>[ Naming rule  ] _number down from the top right</translation>
    </message>
    <message>
        <source>【 命 名 規 則 】 _左上から縦に数えた番号</source>
        <translation>[ Naming rule  ] _number down from the top left</translation>
    </message>
    <message>
        <source>【 分 割 内 訳 】 横：</source>
        <translation>[  Breakdown   ] X:</translation>
    </message>
    <message>
        <source>　　　　　　　　　縦：</source>
        <translation>                 Y:</translation>
    </message>
    <message>
        <source>(オ)</source>
        <translation>(off)</translation>
    </message>
    <message>
        <source>(余)</source>
        <translation>(rest)</translation>
    </message>
    <message>
        <source> インデックスカラー</source>
        <translation> Indexed color</translation>
    </message>
    <message>
        <source> グレースケール</source>
        <translation> Grayscale</translation>
    </message>
    <message>
        <source> インターレース</source>
        <translation> Interlaced</translation>
    </message>
    <message>
        <source>【 縮 小 表 示 】1/%d</source>
        <translation>[   Reduced    ]1/%d</translation>
    </message>
    <message>
        <source>【 表 示 倍 率 】%6.2f ％</source>
        <translation>[     Zoom     ]%6.2f %%</translation>
    </message>
    <message>
        <source>【設定ファイル】</source>
        <translation>[Settings file ]</translation>
    </message>
    <message>
        <source>（上書き禁止）</source>
        <translation> (no overwrite)</translation>
    </message>
    <message>
        <source>【保存フォルダ】</source>
        <translation>[ Save folder  ]</translation>
    </message>
    <message>
        <source>【 縦横比合致 】無し</source>
        <translation>[ Aspect match ]None</translation>
    </message>
    <message>
        <source>【 縦横比合致 】基準：横幅</source>
        <translation>[ Aspect match ]Base: width</translation>
    </message>
    <message>
        <source>【 縦横比合致 】基準：高さ</source>
        <translation>[ Aspect match ]Base: height</translation>
    </message>
    <message>
        <source>【 分割サイズ 】 幅 ：</source>
        <translation>[  Tile size   ] Width:</translation>
    </message>
    <message>
        <source>【 オフセット 】 横 ：</source>
        <translation>[    Offset    ] X:</translation>
    </message>
    <message>
        <source> 縦 ：</source>
        <translation> Y:</translation>
    </message>
    <message>
        <source>【　分 割 数　】%d(横)x%d(縦)=%lld(総数)</source>
        <translation>[    Tiles     ]%d(across)x%d(down)=%lld(total)</translation>
    </message>
    <message>
        <source>【　選 択 数　】%d</source>
        <translation>[   Selected   ]%d</translation>
    </message>
    <message>
        <source>%s 振始番号：%d</source>
        <translation>%s First number:%d</translation>
    </message>
    <message>
        <source>%s　 最小桁：%d</source>
        <translation>%s   Min digits:%d</translation>
    </message>
    <message>
        <source>【 JPEG 品 質 】%d</source>
        <translation>[ JPEG quality ]%d</translation>
    </message>
    <message>
        <source>【 同時処理数 】%d</source>
        <translation>[   Threads    ]%d</translation>
    </message>
    <message>
        <source>設定０</source>
        <translation>Settings 0</translation>
    </message>
    <message>
        <source>設定１</source>
        <translation>Settings 1</translation>
    </message>
    <message>
        <source>設定２</source>
        <translation>Settings 2</translation>
    </message>
    <message>
        <source>設定３</source>
        <translation>Settings 3</translation>
    </message>
    <message>
        <source>設定４</source>
        <translation>Settings 4</translation>
    </message>
    <message>
        <source>設定５</source>
        <translation>Settings 5</translation>
    </message>
    <message>
        <source>設定６</source>
        <translation>Settings 6</translation>
    </message>
    <message>
        <source>設定７</source>
        <translation>Settings 7</translation>
    </message>
    <message>
        <source>設定８</source>
        <translation>Settings 8</translation>
    </message>
    <message>
        <source>設定９</source>
        <translation>Settings 9</translation>
    </message>
    <message>
        <source>ファイルが不正です</source>
        <translation>The file is invalid</translation>
    </message>
    <message>
        <source>画像のクリッピングに失敗しました</source>
        <translation>Could not clip the image</translation>
    </message>
    <message>
        <source>ファイルの保存に失敗しました</source>
        <translation>Could not save the file</translation>
    </message>
    <message>
        <source>ファイルの読み込みに失敗しました</source>
        <translation>Could not read the file</translation>
    </message>
    <message>
        <source>ファイルを開くのに失敗しました</source>
        <translation>Could not open the file</translation>
    </message>
    <message>
        <source>メモリ領域の確保に失敗しました</source>
        <translation>Could not allocate memory</translation>
    </message>
    <message>
        <source>PNGファイルではありません</source>
        <translation>Not a PNG file</translation>
    </message>
    <message>
        <source>GIFのタイルは256色までです</source>
        <translation>A GIF tile holds at most 256 colours</translation>
    </message>
    <message>
        <source>このTIFFファイルの形式には対応していません</source>
        <translation>This kind of TIFF file is not supported</translation>
    </message>
    <message>
        <source>読み込みの準備に失敗しました</source>
        <translation>Could not prepare reading</translation>
    </message>
    <message>
        <source>非対応のビット深度です</source>
        <translation>Unsupported bit depth</translation>
    </message>
    <message>
        <source>非対応のインターレース形式です</source>
        <translation>Unsupported interlace method</translation>
    </message>
    <message>
        <source>ファイルの書き込みに失敗しました</source>
        <translation>Could not write the file</translation>
    </message>
    <message>
        <source>書き込みの準備に失敗しました</source>
        <translation>Could not prepare writing</translation>
    </message>
    <message>
        <source>jpegtranを使った分割処理に失敗しました</source>
        <translation>The lossless split with jpegtran failed</translation>
    </message>
    <message>
        <source>ヘッダ情報の読み込みに失敗しました</source>
        <translation>Could not read the header</translation>
    </message>
    <message>
        <source>ファイルの展開に失敗しました</source>
        <translation>Could not decompress the file</translation>
    </message>
    <message>
        <source>BMPオブジェクトの作成に失敗しました</source>
        <translation>Could not create the bitmap</translation>
    </message>
    <message>
        <source>イメージデータの取得に失敗しました</source>
        <translation>Could not get the image data</translation>
    </message>
    <message>
        <source>緑の情報量を「6bit」から「5bit」に減らします</source>
        <translation>Green is reduced from 6 bits to 5 bits</translation>
    </message>
    <message>
        <source>アニメーションWebPには対応していません</source>
        <translation>Animated WebP files are not supported</translation>
    </message>
    <message>
        <source>WebPのタイルは幅・高さとも16383ピクセルまでです</source>
        <translation>WebP tiles can be at most 16383 pixels wide and high</translation>
    </message>
    <message>
        <source>ファイルのパスが不正です</source>
        <translation>The file path is invalid</translation>
    </message>
    <message>
        <source>非対応のファイル形式です</source>
        <translation>Unsupported file format</translation>
    </message>
    <message>
        <source>スレッドの作成に失敗しました</source>
        <translation>Could not create a thread</translation>
    </message>
    <message>
        <source>分割対象ファイルのパスが不正です</source>
        <translation>The path of the file to split is invalid</translation>
    </message>
    <message>
        <source>キャンセルされました</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>設定ファイルの書き込みに失敗しました</source>
        <translation>Could not write the settings file</translation>
    </message>
    <message>
        <source>分割サイズ、オフセット、いずれの値も分割しない設定になっています。
少なくとも１つは分割するよう設定して下さい。</source>
        <translation>Neither the tile size nor the offset splits the image.
Set at least one of them so that the image is split.</translation>
    </message>
    <message>
        <source>保存フォルダの指定が不正です。デスクトップに保存しますがいいですか？</source>
        <translation>The save folder is invalid. Save to the desktop instead?</translation>
    </message>
    <message>
        <source>JPEGファイルを無劣化で分割する場合、横のオフセットが「8の倍数」や「16の倍数」でないと正確なサイズに分割できない可能性が高いですがいいですか？</source>
        <translation>When a JPEG file is split without loss, a horizontal offset that is not a multiple of 8 or 16 will most likely not give the exact tile size. Continue?</translation>
    </message>
    <message>
        <source>JPEGファイルを無劣化で分割する場合、縦のオフセットが「8の倍数」でないと正確なサイズに分割できない可能性が高いですがいいですか？</source>
        <translation>When a JPEG file is split without loss, a vertical offset that is not a multiple of 8 will most likely not give the exact tile size. Continue?</translation>
    </message>
    <message>
        <source>JPEGファイルを無劣化で分割する場合、分割サイズの横幅が「8の倍数」や「16の倍数」でないと正確なサイズに分割できない可能性が高いですがいいですか？</source>
        <translation>When a JPEG file is split without loss, a tile width that is not a multiple of 8 or 16 will most likely not give the exact tile size. Continue?</translation>
    </message>
    <message>
        <source>JPEGファイルを無劣化で分割する場合、分割サイズの高さが「8の倍数」でないと正確なサイズに分割できない可能性が高いですがいいですか？</source>
        <translation>When a JPEG file is split without loss, a tile height that is not a multiple of 8 will most likely not give the exact tile size. Continue?</translation>
    </message>
    <message>
        <source>未定</source>
        <translation>(not yet known)</translation>
    </message>
    <message>
        <source>Tessarinの処理を開始します</source>
        <translation>Tessarin started</translation>
    </message>
    <message>
        <source>Tessarinの処理が終了しました</source>
        <translation>Tessarin finished</translation>
    </message>
    <message>
        <source>/outdir の指定がないため、タイルは既定のフォルダに保存します</source>
        <translation>no /outdir given; the tiles go to the default folder</translation>
    </message>
    <message>
        <source>分割位置をJPEGのブロックに合わせる(&amp;G)</source>
        <translation>Snap the Cuts to the JPEG Block &amp;Grid</translation>
    </message>
    <message>
        <source>無劣化JPEGタイルのメタデータ(&amp;M)</source>
        <translation>Lossless JPEG Tile &amp;Metadata</translation>
    </message>
    <message>
        <source>全てのマーカー(&amp;A)</source>
        <translation>&amp;All Markers (-copy all)</translation>
    </message>
    <message>
        <source>コメントのみ(&amp;C)</source>
        <translation>&amp;Comments Only (-copy comments)</translation>
    </message>
    <message>
        <source>コピーしない(&amp;N)</source>
        <translation>&amp;None (-copy none)</translation>
    </message>
    <message>
        <source>カラープロファイルのみ(&amp;I)</source>
        <translation>Colour Profile Only (-copy &amp;icc)</translation>
    </message>
    <message>
        <source>タイルの形式(&amp;T)</source>
        <translation>&amp;Tile Format</translation>
    </message>
    <message>
        <source>分割元と同じ形式(&amp;O)</source>
        <translation>The Source's &amp;Own Format</translation>
    </message>
    <message>
        <source>【ブロック】%1x%2（分割位置はすべてブロック境界上）</source>
        <translation>[    Block     ] %1x%2 (every cut on the block grid)</translation>
    </message>
    <message>
        <source>【ブロック】%1x%2（ブロック境界からずれた分割位置あり）</source>
        <translation>[    Block     ] %1x%2 (cuts off the block grid)</translation>
    </message>
    <message>
        <source>分割位置をブロックに合わせる(&amp;G)</source>
        <translation>Snap to the Block &amp;Grid</translation>
    </message>
</context>
</TS>