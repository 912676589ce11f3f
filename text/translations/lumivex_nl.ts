<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="nl">
<context>
    <name>Localizable</name>
    <message id="MainMenu_Application_Name">
        <source>%@ Firmware Updater</source>
        <translation>%@ firmware-updater</translation>
    </message>
    <message id="MainMenu_About">
        <source>About %@</source>
        <translation>Over %@</translation>
    </message>
    <message id="MainMenu_Preferences">
        <source>Preferences…</source>
        <translation>Voorkeuren…</translation>
    </message>
    <message id="MainMenu_Services">
        <source>Services</source>
        <translation>Voorzieningen</translation>
    </message>
    <message id="MainMenu_HideApplication">
        <source>Hide %@</source>
        <translation>Verberg %@</translation>
    </message>
    <message id="MainMenu_HideOthers">
        <source>Hide Others</source>
        <translation>Verberg andere</translation>
    </message>
    <message id="MainMenu_ShowAll">
        <source>Show All</source>
        <translation>Toon alles</translation>
    </message>
    <message id="MainMenu_QuitApplication">
        <source>Quit %@</source>
        <translation>Stop %@</translation>
    </message>
    <message id="Application_Title">
        <source>%@ Firmware Updater</source>
        <translation>%@ firmware-updater</translation>
    </message>
    <message id="Button_Update">
        <source>Update</source>
        <translation>Bijwerken</translation>
    </message>
    <message id="Button_OK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="Button_Cancel">
        <source>Cancel</source>
        <translation>Annuleren</translation>
    </message>
    <message id="Status_Msg_Proceed_To_Update">
        <source>Update the camera firmware now?</source>
        <translation>De firmware van de camera nu bijwerken?</translation>
    </message>
    <message id="Status_Msg_Proceed_To_Update_Warning">
        <source>Keep your %@ connected and this window open until the update has finished. Unplugging the camera during the update can leave it unusable.</source>
        <translation>Houd uw %@ aangesloten en laat dit venster open tot de update is voltooid. Als u de camera tijdens de update loskoppelt, kan deze onbruikbaar worden.</translation>
    </message>
    <message id="Status_Msg_Please_Connect_Your_Cam">
        <source>Please connect your %@ camera.</source>
        <translation>Sluit uw %@-camera aan.</translation>
    </message>
    <message id="Status_Msg_Ready_To_Update">
        <source>%@ is ready to update.</source>
        <translation>%@ is klaar om te worden bijgewerkt.</translation>
    </message>
    <message id="Status_Msg_New_Firmware_Available">
        <source>Firmware %@ is available (installed: %@).</source>
        <translation>Firmware %@ is beschikbaar (geïnstalleerde versie: %@).</translation>
    </message>
    <message id="Status_Msg_Already_Up_To_Date">
        <source>Your %@ firmware (version %@) is up to date.</source>
        <translation>De firmware van uw %1$@ (versie %2$@) is up-to-date.</translation>
    </message>
    <message id="Status_Msg_Deivce_Mismatch">
        <source>This %@ cannot be updated with the %@ updater. To update your %@, get the %@ from our %@.</source>
        <translation>Deze %1$@ kan niet worden bijgewerkt met de %2$@-updater. Download de %4$@ van onze %5$@ om uw %3$@ bij te werken.</translation>
    </message>
    <message id="Status_Msg_Download_Link">
        <source>download page</source>
        <translation>downloadpagina</translation>
    </message>
    <message id="Status_Msg_Update_In_Progress">
        <source>Updating firmware… Do not unplug the camera.</source>
        <translation>De firmware wordt bijgewerkt… Koppel de camera niet los.</translation>
    </message>
    <message id="Status_Msg_Update_Completed">
        <source>Firmware %@ is now installed on your %@. Please reconnect the camera.</source>
        <translation>Firmware %@ is nu geïnstalleerd op uw %@. Sluit de camera opnieuw aan.</translation>
    </message>
    <message id="Status_Msg_Update_Failed">
        <source>The firmware update failed. Please reconnect the camera and try again.</source>
        <translation>De firmware-update is mislukt. Sluit de camera opnieuw aan en probeer het nog eens.</translation>
    </message>
    <message id="About_Window_Version">
        <source>Version</source>
        <translation>Versie</translation>
    </message>
    <message id="Status_Msg_Update_Refused_Flash_Part">
        <source>Your %@ was not changed: its flash memory is of a kind this updater cannot write. Nothing was erased.</source>
        <translation>Uw %@ is niet gewijzigd: het flashgeheugen is van een soort die dit programma niet kan beschrijven. Er is niets gewist.</translation>
    </message>
    <message id="Status_Msg_Update_Refused_Too_Large">
        <source>Your %@ was not changed: the firmware image is larger than its flash memory. Nothing was erased.</source>
        <translation>Uw %@ is niet gewijzigd: de firmware-image is groter dan het flashgeheugen. Er is niets gewist.</translation>
    </message>
    <message id="Status_Msg_No_Firmware">
        <source>No firmware is available in this updater. Reinstall it or add firmware to its resources folder.</source>
        <translation>Dit programma bevat geen firmware. Installeer het opnieuw of voeg firmware toe aan de map met bronnen.</translation>
    </message>
    <message id="Cli_Proceed_To_Update_Warning">
        <source>Keep the cameras connected and this command running until the update has finished. Unplugging a camera or stopping the command during the update can leave it unusable.</source>
        <translation>Houd de camera’s aangesloten en laat deze opdracht lopen tot de update klaar is. Een camera loskoppelen of de opdracht stoppen tijdens de update kan de camera onbruikbaar maken.</translation>
    </message>
    <message id="Quit_During_Update_Message">
        <source>The firmware is being written. Quit anyway?</source>
        <translation>De firmware wordt geschreven. Toch afsluiten?</translation>
    </message>
    <message id="Quit_During_Update_Warning">
        <source>Quitting now stops the update and leaves your %@ unusable until it is updated again.</source>
        <translation>Nu afsluiten stopt de update en maakt uw %@ onbruikbaar totdat deze opnieuw is bijgewerkt.</translation>
    </message>
    <message id="Button_Keep_Updating">
        <source>Keep Updating</source>
        <translation>Doorgaan met bijwerken</translation>
    </message>
    <message id="Button_Quit_Anyway">
        <source>Quit Anyway</source>
        <translation>Toch afsluiten</translation>
    </message>
    <message id="Accessible_Update_Description">
        <source>Writes the new firmware to the connected camera.</source>
        <translation>Zet de nieuwe firmware op de aangesloten camera.</translation>
    </message>
    <message id="Accessible_Status_Description">
        <source>What the updater is doing, and what to do next.</source>
        <translation>Wat het updateprogramma doet en wat u daarna moet doen.</translation>
    </message>
    <message id="Accessible_Progress_Name">
        <source>Update progress</source>
        <translation>Voortgang van de update</translation>
    </message>
    <message id="Accessible_Progress_Description">
        <source>How much of the firmware has been written to the camera, in percent.</source>
        <translation>Hoeveel van de firmware al naar de camera is geschreven, in procent.</translation>
    </message>
</context>
</TS>
