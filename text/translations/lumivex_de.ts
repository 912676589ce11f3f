<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>Localizable</name>
    <message id="MainMenu_Application_Name">
        <source>%@ Firmware Updater</source>
        <translation>%@ Firmware-Aktualisierung</translation>
    </message>
    <message id="MainMenu_About">
        <source>About %@</source>
        <translation>Über %@</translation>
    </message>
    <message id="MainMenu_Preferences">
        <source>Preferences…</source>
        <translation>Einstellungen…</translation>
    </message>
    <message id="MainMenu_Services">
        <source>Services</source>
        <translation>Dienste</translation>
    </message>
    <message id="MainMenu_HideApplication">
        <source>Hide %@</source>
        <translation>%@ ausblenden</translation>
    </message>
    <message id="MainMenu_HideOthers">
        <source>Hide Others</source>
        <translation>Andere ausblenden</translation>
    </message>
    <message id="MainMenu_ShowAll">
        <source>Show All</source>
        <translation>Alle einblenden</translation>
    </message>
    <message id="MainMenu_QuitApplication">
        <source>Quit %@</source>
        <translation>%@ beenden</translation>
    </message>
    <message id="Application_Title">
        <source>%@ Firmware Updater</source>
        <translation>%@ Firmware-Aktualisierung</translation>
    </message>
    <message id="Button_Update">
        <source>Update</source>
        <translation>Aktualisieren</translation>
    </message>
    <message id="Button_OK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="Button_Cancel">
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message id="Status_Msg_Proceed_To_Update">
        <source>Update the camera firmware now?</source>
        <translation>Firmware der Kamera jetzt aktualisieren?</translation>
    </message>
    <message id="Status_Msg_Proceed_To_Update_Warning">
        <source>Keep your %@ connected and this window open until the update has finished. Unplugging the camera during the update can leave it unusable.</source>
        <translation>Lassen Sie Ihre Kamera %@ angeschlossen und dieses Fenster geöffnet, bis die Aktualisierung abgeschlossen ist. Wird die Kamera während der Aktualisierung getrennt, kann sie unbrauchbar werden.</translation>
    </message>
    <message id="Status_Msg_Please_Connect_Your_Cam">
        <source>Please connect your %@ camera.</source>
        <translation>Bitte schließen Sie Ihre Kamera %@ an.</translation>
    </message>
    <message id="Status_Msg_Ready_To_Update">
        <source>%@ is ready to update.</source>
        <translation>Die Kamera %@ ist bereit für die Aktualisierung.</translation>
    </message>
    <message id="Status_Msg_New_Firmware_Available">
        <source>Firmware %@ is available (installed: %@).</source>
        <translation>Firmware %@ ist verfügbar (installierte Version: %@).</translation>
    </message>
    <message id="Status_Msg_Already_Up_To_Date">
        <source>Your %@ firmware (version %@) is up to date.</source>
        <translation>Die Firmware Ihrer Kamera %1$@ (Version %2$@) ist auf dem neuesten Stand.</translation>
    </message>
    <message id="Status_Msg_Deivce_Mismatch">
        <source>This %@ cannot be updated with the %@ updater. To update your %@, get the %@ from our %@.</source>
        <translation>Die Kamera %1$@ kann nicht mit dem Aktualisierungsprogramm für %2$@ aktualisiert werden. Um Ihre %3$@ zu aktualisieren, laden Sie die %4$@ von unserer %5$@ herunter.</translation>
    </message>
    <message id="Status_Msg_Download_Link">
        <source>download page</source>
        <translation>Download-Seite</translation>
    </message>
    <message id="Status_Msg_Update_In_Progress">
        <source>Updating firmware… Do not unplug the camera.</source>
        <translation>Firmware wird aktualisiert… Trennen Sie die Kamera nicht.</translation>
    </message>
    <message id="Status_Msg_Update_Completed">
        <source>Firmware %@ is now installed on your %@. Please reconnect the camera.</source>
        <translation>Firmware %@ ist jetzt auf Ihrer Kamera %@ installiert. Bitte schließen Sie die Kamera erneut an.</translation>
    </message>
    <message id="Status_Msg_Update_Failed">
        <source>The firmware update failed. Please reconnect the camera and try again.</source>
        <translation>Die Firmware-Aktualisierung ist fehlgeschlagen. Bitte schließen Sie die Kamera erneut an und versuchen Sie es noch einmal.</translation>
    </message>
    <message id="About_Window_Version">
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message id="Status_Msg_Update_Refused_Flash_Part">
        <source>Your %@ was not changed: its flash memory is of a kind this updater cannot write. Nothing was erased.</source>
        <translation>Ihre %@ wurde nicht verändert: Ihr Flash-Speicher ist von einer Art, die dieses Programm nicht beschreiben kann. Es wurde nichts gelöscht.</translation>
    </message>
    <message id="Status_Msg_Update_Refused_Too_Large">
        <source>Your %@ was not changed: the firmware image is larger than its flash memory. Nothing was erased.</source>
        <translation>Ihre %@ wurde nicht verändert: Das Firmware-Abbild ist größer als ihr Flash-Speicher. Es wurde nichts gelöscht.</translation>
    </message>
    <message id="Status_Msg_No_Firmware">
        <source>No firmware is available in this updater. Reinstall it or add firmware to its resources folder.</source>
        <translation>Dieses Programm enthält keine Firmware. Installieren Sie es neu oder legen Sie Firmware in seinen Ressourcenordner.</translation>
    </message>
    <message id="Cli_Proceed_To_Update_Warning">
        <source>Keep the cameras connected and this command running until the update has finished. Unplugging a camera or stopping the command during the update can leave it unusable.</source>
        <translation>Lassen Sie die Kameras angeschlossen und diesen Befehl laufen, bis die Aktualisierung abgeschlossen ist. Wird eine Kamera während der Aktualisierung getrennt oder der Befehl abgebrochen, kann sie unbrauchbar werden.</translation>
    </message>
    <message id="Quit_During_Update_Message">
        <source>The firmware is being written. Quit anyway?</source>
        <translation>Die Firmware wird gerade geschrieben. Trotzdem beenden?</translation>
    </message>
    <message id="Quit_During_Update_Warning">
        <source>Quitting now stops the update and leaves your %@ unusable until it is updated again.</source>
        <translation>Wenn Sie jetzt beenden, wird die Aktualisierung abgebrochen und Ihre %@ ist unbrauchbar, bis sie erneut aktualisiert wird.</translation>
    </message>
    <message id="Button_Keep_Updating">
        <source>Keep Updating</source>
        <translation>Aktualisierung fortsetzen</translation>
    </message>
    <message id="Button_Quit_Anyway">
        <source>Quit Anyway</source>
        <translation>Trotzdem beenden</translation>
    </message>
    <message id="Accessible_Update_Description">
        <source>Writes the new firmware to the connected camera.</source>
        <translation>Schreibt die neue Firmware auf die angeschlossene Kamera.</translation>
    </message>
    <message id="Accessible_Status_Description">
        <source>What the updater is doing, and what to do next.</source>
        <translation>Was das Programm gerade tut und was als Nächstes zu tun ist.</translation>
    </message>
    <message id="Accessible_Progress_Name">
        <source>Update progress</source>
        <translation>Fortschritt der Aktualisierung</translation>
    </message>
    <message id="Accessible_Progress_Description">
        <source>How much of the firmware has been written to the camera, in percent.</source>
        <translation>Wie viel der Firmware bereits auf die Kamera geschrieben ist, in Prozent.</translation>
    </message>
</context>
</TS>
