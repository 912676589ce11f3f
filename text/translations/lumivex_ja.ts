<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja">
<context>
    <name>Localizable</name>
    <message id="MainMenu_Application_Name">
        <source>%@ Firmware Updater</source>
        <translation>%@ ファームウェアアップデーター</translation>
    </message>
    <message id="MainMenu_About">
        <source>About %@</source>
        <translation>%@について</translation>
    </message>
    <message id="MainMenu_Preferences">
        <source>Preferences…</source>
        <translation>環境設定…</translation>
    </message>
    <message id="MainMenu_Services">
        <source>Services</source>
        <translation>サービス</translation>
    </message>
    <message id="MainMenu_HideApplication">
        <source>Hide %@</source>
        <translation>%@を隠す</translation>
    </message>
    <message id="MainMenu_HideOthers">
        <source>Hide Others</source>
        <translation>ほかを隠す</translation>
    </message>
    <message id="MainMenu_ShowAll">
        <source>Show All</source>
        <translation>すべてを表示</translation>
    </message>
    <message id="MainMenu_QuitApplication">
        <source>Quit %@</source>
        <translation>%@を終了</translation>
    </message>
    <message id="Application_Title">
        <source>%@ Firmware Updater</source>
        <translation>%@ ファームウェアアップデーター</translation>
    </message>
    <message id="Button_Update">
        <source>Update</source>
        <translation>アップデート</translation>
    </message>
    <message id="Button_OK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="Button_Cancel">
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message id="Status_Msg_Proceed_To_Update">
        <source>Update the camera firmware now?</source>
        <translation>カメラのファームウェアを今すぐアップデートしますか？</translation>
    </message>
    <message id="Status_Msg_Proceed_To_Update_Warning">
        <source>Keep your %@ connected and this window open until the update has finished. Unplugging the camera during the update can leave it unusable.</source>
        <translation>アップデートが完了するまで、%@を接続したままにし、このウインドウを閉じないでください。アップデート中にカメラを取り外すと、カメラが使用できなくなるおそれがあります。</translation>
    </message>
    <message id="Status_Msg_Please_Connect_Your_Cam">
        <source>Please connect your %@ camera.</source>
        <translation>%@ カメラを接続してください。</translation>
    </message>
    <message id="Status_Msg_Ready_To_Update">
        <source>%@ is ready to update.</source>
        <translation>%@のアップデートの準備ができました。</translation>
    </message>
    <message id="Status_Msg_New_Firmware_Available">
        <source>Firmware %@ is available (installed: %@).</source>
        <translation>ファームウェア %@ が利用可能です（現在のバージョン: %@）。</translation>
    </message>
    <message id="Status_Msg_Already_Up_To_Date">
        <source>Your %@ firmware (version %@) is up to date.</source>
        <translation>%1$@のファームウェア（バージョン %2$@）は最新です。</translation>
    </message>
    <message id="Status_Msg_Deivce_Mismatch">
        <source>This %@ cannot be updated with the %@ updater. To update your %@, get the %@ from our %@.</source>
        <translation>%1$@は%2$@用のアップデーターではアップデートできません。%3$@をアップデートするには、%4$@から%5$@を入手してください。</translation>
    </message>
    <message id="Status_Msg_Download_Link">
        <source>download page</source>
        <translation>ダウンロードページ</translation>
    </message>
    <message id="Status_Msg_Update_In_Progress">
        <source>Updating firmware… Do not unplug the camera.</source>
        <translation>ファームウェアをアップデートしています… カメラを取り外さないでください。</translation>
    </message>
    <message id="Status_Msg_Update_Completed">
        <source>Firmware %@ is now installed on your %@. Please reconnect the camera.</source>
        <translation>%2$@にファームウェア %1$@ をインストールしました。カメラを接続し直してください。</translation>
    </message>
    <message id="Status_Msg_Update_Failed">
        <source>The firmware update failed. Please reconnect the camera and try again.</source>
        <translation>ファームウェアのアップデートに失敗しました。カメラを接続し直して、もう一度お試しください。</translation>
    </message>
    <message id="About_Window_Version">
        <source>Version</source>
        <translation>バージョン</translation>
    </message>
    <message id="Status_Msg_Update_Refused_Flash_Part">
        <source>Your %@ was not changed: its flash memory is of a kind this updater cannot write. Nothing was erased.</source>
        <translation>%@ は変更されていません：このカメラのフラッシュメモリはこのアップデータでは書き込めない種類です。何も消去されていません。</translation>
    </message>
    <message id="Status_Msg_Update_Refused_Too_Large">
        <source>Your %@ was not changed: the firmware image is larger than its flash memory. Nothing was erased.</source>
        <translation>%@ は変更されていません：ファームウェアイメージがフラッシュメモリより大きいためです。何も消去されていません。</translation>
    </message>
    <message id="Status_Msg_No_Firmware">
        <source>No firmware is available in this updater. Reinstall it or add firmware to its resources folder.</source>
        <translation>このアップデータにはファームウェアがありません。再インストールするか、リソースフォルダにファームウェアを追加してください。</translation>
    </message>
    <message id="Cli_Proceed_To_Update_Warning">
        <source>Keep the cameras connected and this command running until the update has finished. Unplugging a camera or stopping the command during the update can leave it unusable.</source>
        <translation>アップデートが完了するまで、カメラを接続したままこのコマンドを実行し続けてください。アップデート中にカメラを取り外したりコマンドを止めたりすると、カメラが使用できなくなる場合があります。</translation>
    </message>
    <message id="Quit_During_Update_Message">
        <source>The firmware is being written. Quit anyway?</source>
        <translation>ファームウェアを書き込み中です。それでも終了しますか？</translation>
    </message>
    <message id="Quit_During_Update_Warning">
        <source>Quitting now stops the update and leaves your %@ unusable until it is updated again.</source>
        <translation>今終了するとアップデートが中断され、%@ は再びアップデートするまで使用できなくなります。</translation>
    </message>
    <message id="Button_Keep_Updating">
        <source>Keep Updating</source>
        <translation>アップデートを続ける</translation>
    </message>
    <message id="Button_Quit_Anyway">
        <source>Quit Anyway</source>
        <translation>それでも終了</translation>
    </message>
    <message id="Accessible_Update_Description">
        <source>Writes the new firmware to the connected camera.</source>
        <translation>接続されたカメラに新しいファームウェアを書き込みます。</translation>
    </message>
    <message id="Accessible_Status_Description">
        <source>What the updater is doing, and what to do next.</source>
        <translation>アップデーターが行っていることと、次に行うこと。</translation>
    </message>
    <message id="Accessible_Progress_Name">
        <source>Update progress</source>
        <translation>アップデートの進行状況</translation>
    </message>
    <message id="Accessible_Progress_Description">
        <source>How much of the firmware has been written to the camera, in percent.</source>
        <translation>カメラに書き込まれたファームウェアの割合（パーセント）。</translation>
    </message>
</context>
</TS>
