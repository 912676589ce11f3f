<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it">
<context>
    <name>Localizable</name>
    <message id="MainMenu_Application_Name">
        <source>%@ Firmware Updater</source>
        <translation>Aggiornamento firmware %@</translation>
    </message>
    <message id="MainMenu_About">
        <source>About %@</source>
        <translation>Informazioni su %@</translation>
    </message>
    <message id="MainMenu_Preferences">
        <source>Preferences…</source>
        <translation>Preferenze…</translation>
    </message>
    <message id="MainMenu_Services">
        <source>Services</source>
        <translation>Servizi</translation>
    </message>
    <message id="MainMenu_HideApplication">
        <source>Hide %@</source>
        <translation>Nascondi %@</translation>
    </message>
    <message id="MainMenu_HideOthers">
        <source>Hide Others</source>
        <translation>Nascondi altre</translation>
    </message>
    <message id="MainMenu_ShowAll">
        <source>Show All</source>
        <translation>Mostra tutte</translation>
    </message>
    <message id="MainMenu_QuitApplication">
        <source>Quit %@</source>
        <translation>Esci da %@</translation>
    </message>
    <message id="Application_Title">
        <source>%@ Firmware Updater</source>
        <translation>Aggiornamento firmware %@</translation>
    </message>
    <message id="Button_Update">
        <source>Update</source>
        <translation>Aggiorna</translation>
    </message>
    <message id="Button_OK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="Button_Cancel">
        <source>Cancel</source>
        <translation>Annulla</translation>
    </message>
    <message id="Status_Msg_Proceed_To_Update">
        <source>Update the camera firmware now?</source>
        <translation>Aggiornare ora il firmware della fotocamera?</translation>
    </message>
    <message id="Status_Msg_Proceed_To_Update_Warning">
        <source>Keep your %@ connected and this window open until the update has finished. Unplugging the camera during the update can leave it unusable.</source>
        <translation>Tieni la fotocamera %@ collegata e questa finestra aperta fino al termine dell’aggiornamento. Scollegare la fotocamera durante l’aggiornamento può renderla inutilizzabile.</translation>
    </message>
    <message id="Status_Msg_Please_Connect_Your_Cam">
        <source>Please connect your %@ camera.</source>
        <translation>Collega la tua fotocamera %@.</translation>
    </message>
    <message id="Status_Msg_Ready_To_Update">
        <source>%@ is ready to update.</source>
        <translation>La fotocamera %@ è pronta per l’aggiornamento.</translation>
    </message>
    <message id="Status_Msg_New_Firmware_Available">
        <source>Firmware %@ is available (installed: %@).</source>
        <translation>È disponibile il firmware %@ (versione installata: %@).</translation>
    </message>
    <message id="Status_Msg_Already_Up_To_Date">
        <source>Your %@ firmware (version %@) is up to date.</source>
        <translation>Il firmware della tua fotocamera %1$@ (versione %2$@) è già aggiornato.</translation>
    </message>
    <message id="Status_Msg_Deivce_Mismatch">
        <source>This %@ cannot be updated with the %@ updater. To update your %@, get the %@ from our %@.</source>
        <translation>La fotocamera %1$@ non può essere aggiornata con il programma di aggiornamento per %2$@. Per aggiornare la tua %3$@, scarica l’%4$@ dalla nostra %5$@.</translation>
    </message>
    <message id="Status_Msg_Download_Link">
        <source>download page</source>
        <translation>pagina di download</translation>
    </message>
    <message id="Status_Msg_Update_In_Progress">
        <source>Updating firmware… Do not unplug the camera.</source>
        <translation>Aggiornamento del firmware in corso… Non scollegare la fotocamera.</translation>
    </message>
    <message id="Status_Msg_Update_Completed">
        <source>Firmware %@ is now installed on your %@. Please reconnect the camera.</source>
        <translation>Il firmware %@ è ora installato sulla tua fotocamera %@. Ricollega la fotocamera.</translation>
    </message>
    <message id="Status_Msg_Update_Failed">
        <source>The firmware update failed. Please reconnect the camera and try again.</source>
        <translation>L’aggiornamento del firmware non è riuscito. Ricollega la fotocamera e riprova.</translation>
    </message>
    <message id="About_Window_Version">
        <source>Version</source>
        <translation>Versione</translation>
    </message>
    <message id="Status_Msg_Update_Refused_Flash_Part">
        <source>Your %@ was not changed: its flash memory is of a kind this updater cannot write. Nothing was erased.</source>
        <translation>La tua %@ non è stata modificata: la sua memoria flash è di un tipo che questo programma non sa scrivere. Non è stato cancellato nulla.</translation>
    </message>
    <message id="Status_Msg_Update_Refused_Too_Large">
        <source>Your %@ was not changed: the firmware image is larger than its flash memory. Nothing was erased.</source>
        <translation>La tua %@ non è stata modificata: l’immagine del firmware è più grande della sua memoria flash. Non è stato cancellato nulla.</translation>
    </message>
    <message id="Status_Msg_No_Firmware">
        <source>No firmware is available in this updater. Reinstall it or add firmware to its resources folder.</source>
        <translation>Questo programma non contiene alcun firmware. Reinstallalo o aggiungi un firmware alla sua cartella delle risorse.</translation>
    </message>
    <message id="Cli_Proceed_To_Update_Warning">
        <source>Keep the cameras connected and this command running until the update has finished. Unplugging a camera or stopping the command during the update can leave it unusable.</source>
        <translation>Lascia le videocamere collegate e questo comando in esecuzione finché l’aggiornamento non è terminato. Scollegare una videocamera o interrompere il comando durante l’aggiornamento può renderla inutilizzabile.</translation>
    </message>
    <message id="Quit_During_Update_Message">
        <source>The firmware is being written. Quit anyway?</source>
        <translation>Il firmware è in fase di scrittura. Uscire comunque?</translation>
    </message>
    <message id="Quit_During_Update_Warning">
        <source>Quitting now stops the update and leaves your %@ unusable until it is updated again.</source>
        <translation>Uscendo ora l’aggiornamento si interrompe e la tua %@ resta inutilizzabile finché non viene aggiornata di nuovo.</translation>
    </message>
    <message id="Button_Keep_Updating">
        <source>Keep Updating</source>
        <translation>Continua l’aggiornamento</translation>
    </message>
    <message id="Button_Quit_Anyway">
        <source>Quit Anyway</source>
        <translation>Esci comunque</translation>
    </message>
    <message id="Accessible_Update_Description">
        <source>Writes the new firmware to the connected camera.</source>
        <translation>Scrive il nuovo firmware sulla fotocamera collegata.</translation>
    </message>
    <message id="Accessible_Status_Description">
        <source>What the updater is doing, and what to do next.</source>
        <translation>Cosa sta facendo il programma di aggiornamento e cosa fare dopo.</translation>
    </message>
    <message id="Accessible_Progress_Name">
        <source>Update progress</source>
        <translation>Avanzamento dell’aggiornamento</translation>
    </message>
    <message id="Accessible_Progress_Description">
        <source>How much of the firmware has been written to the camera, in percent.</source>
        <translation>Quanto del firmware è già stato scritto sulla fotocamera, in percentuale.</translation>
    </message>
</context>
</TS>
