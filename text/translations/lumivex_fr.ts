<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>Localizable</name>
    <message id="MainMenu_Application_Name">
        <source>%@ Firmware Updater</source>
        <translation>Mise à jour du micrologiciel %@</translation>
    </message>
    <message id="MainMenu_About">
        <source>About %@</source>
        <translation>À propos %@</translation>
    </message>
    <message id="MainMenu_Preferences">
        <source>Preferences…</source>
        <translation>Préférences…</translation>
    </message>
    <message id="MainMenu_Services">
        <source>Services</source>
        <translation>Services</translation>
    </message>
    <message id="MainMenu_HideApplication">
        <source>Hide %@</source>
        <translation>Masquer la %@</translation>
    </message>
    <message id="MainMenu_HideOthers">
        <source>Hide Others</source>
        <translation>Masquer les autres</translation>
    </message>
    <message id="MainMenu_ShowAll">
        <source>Show All</source>
        <translation>Tout afficher</translation>
    </message>
    <message id="MainMenu_QuitApplication">
        <source>Quit %@</source>
        <translation>Quitter la %@</translation>
    </message>
    <message id="Application_Title">
        <source>%@ Firmware Updater</source>
        <translation>Mise à jour du micrologiciel %@</translation>
    </message>
    <message id="Button_Update">
        <source>Update</source>
        <translation>Mettre à jour</translation>
    </message>
    <message id="Button_OK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="Button_Cancel">
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message id="Status_Msg_Proceed_To_Update">
        <source>Update the camera firmware now?</source>
        <translation>Mettre à jour le micrologiciel de la caméra maintenant ?</translation>
    </message>
    <message id="Status_Msg_Proceed_To_Update_Warning">
        <source>Keep your %@ connected and this window open until the update has finished. Unplugging the camera during the update can leave it unusable.</source>
        <translation>Laissez votre caméra %@ branchée et cette fenêtre ouverte jusqu’à la fin de la mise à jour. Débrancher la caméra pendant la mise à jour peut la rendre inutilisable.</translation>
    </message>
    <message id="Status_Msg_Please_Connect_Your_Cam">
        <source>Please connect your %@ camera.</source>
        <translation>Veuillez connecter votre caméra %@.</translation>
    </message>
    <message id="Status_Msg_Ready_To_Update">
        <source>%@ is ready to update.</source>
        <translation>La caméra %@ est prête pour la mise à jour.</translation>
    </message>
    <message id="Status_Msg_New_Firmware_Available">
        <source>Firmware %@ is available (installed: %@).</source>
        <translation>Le micrologiciel %@ est disponible (version installée : %@).</translation>
    </message>
    <message id="Status_Msg_Already_Up_To_Date">
        <source>Your %@ firmware (version %@) is up to date.</source>
        <translation>Le micrologiciel de votre caméra %1$@ (version %2$@) est à jour.</translation>
    </message>
    <message id="Status_Msg_Deivce_Mismatch">
        <source>This %@ cannot be updated with the %@ updater. To update your %@, get the %@ from our %@.</source>
        <translation>La caméra %1$@ ne peut pas être mise à jour avec l’outil de mise à jour %2$@. Pour mettre à jour votre %3$@, téléchargez l’outil qui lui est destiné sur notre %5$@.</translation>
    </message>
    <message id="Status_Msg_Download_Link">
        <source>download page</source>
        <translation>page de téléchargement</translation>
    </message>
    <message id="Status_Msg_Update_In_Progress">
        <source>Updating firmware… Do not unplug the camera.</source>
        <translation>Mise à jour du micrologiciel en cours… Ne débranchez pas la caméra.</translation>
    </message>
    <message id="Status_Msg_Update_Completed">
        <source>Firmware %@ is now installed on your %@. Please reconnect the camera.</source>
        <translation>Le micrologiciel %@ est maintenant installé sur votre caméra %@. Veuillez reconnecter la caméra.</translation>
    </message>
    <message id="Status_Msg_Update_Failed">
        <source>The firmware update failed. Please reconnect the camera and try again.</source>
        <translation>La mise à jour du micrologiciel a échoué. Veuillez reconnecter la caméra et réessayer.</translation>
    </message>
    <message id="About_Window_Version">
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message id="Status_Msg_Update_Refused_Flash_Part">
        <source>Your %@ was not changed: its flash memory is of a kind this updater cannot write. Nothing was erased.</source>
        <translation>Votre %@ n’a pas été modifiée : sa mémoire flash est d’un type que cet outil ne sait pas écrire. Rien n’a été effacé.</translation>
    </message>
    <message id="Status_Msg_Update_Refused_Too_Large">
        <source>Your %@ was not changed: the firmware image is larger than its flash memory. Nothing was erased.</source>
        <translation>Votre %@ n’a pas été modifiée : l’image du micrologiciel est plus grande que sa mémoire flash. Rien n’a été effacé.</translation>
    </message>
    <message id="Status_Msg_No_Firmware">
        <source>No firmware is available in this updater. Reinstall it or add firmware to its resources folder.</source>
        <translation>Cet outil ne contient aucun micrologiciel. Réinstallez-le ou ajoutez un micrologiciel à son dossier de ressources.</translation>
    </message>
    <message id="Cli_Proceed_To_Update_Warning">
        <source>Keep the cameras connected and this command running until the update has finished. Unplugging a camera or stopping the command during the update can leave it unusable.</source>
        <translation>Laissez les caméras connectées et cette commande s’exécuter jusqu’à la fin de la mise à jour. Débrancher une caméra ou interrompre la commande pendant la mise à jour peut la rendre inutilisable.</translation>
    </message>
    <message id="Quit_During_Update_Message">
        <source>The firmware is being written. Quit anyway?</source>
        <translation>Le micrologiciel est en cours d’écriture. Quitter quand même ?</translation>
    </message>
    <message id="Quit_During_Update_Warning">
        <source>Quitting now stops the update and leaves your %@ unusable until it is updated again.</source>
        <translation>Quitter maintenant arrête la mise à jour et rend votre %@ inutilisable jusqu’à une nouvelle mise à jour.</translation>
    </message>
    <message id="Button_Keep_Updating">
        <source>Keep Updating</source>
        <translation>Poursuivre la mise à jour</translation>
    </message>
    <message id="Button_Quit_Anyway">
        <source>Quit Anyway</source>
        <translation>Quitter quand même</translation>
    </message>
    <message id="Accessible_Update_Description">
        <source>Writes the new firmware to the connected camera.</source>
        <translation>Installe le nouveau micrologiciel sur la caméra connectée.</translation>
    </message>
    <message id="Accessible_Status_Description">
        <source>What the updater is doing, and what to do next.</source>
        <translation>Ce que fait le programme de mise à jour et ce qu’il faut faire ensuite.</translation>
    </message>
    <message id="Accessible_Progress_Name">
        <source>Update progress</source>
        <translation>Progression de la mise à jour</translation>
    </message>
    <message id="Accessible_Progress_Description">
        <source>How much of the firmware has been written to the camera, in percent.</source>
        <translation>Part du micrologiciel déjà écrite sur la caméra, en pourcentage.</translation>
    </message>
</context>
</TS>
