<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Localizable</name>
    <message id="MainMenu_Application_Name">
        <source>%@ Firmware Updater</source>
        <translation>%@ Firmware Updater</translation>
    </message>
    <message id="MainMenu_About">
        <source>About %@</source>
        <translation>About %@</translation>
    </message>
    <message id="MainMenu_Preferences">
        <source>Preferences…</source>
        <translation>Preferences…</translation>
    </message>
    <message id="MainMenu_Services">
        <source>Services</source>
        <translation>Services</translation>
    </message>
    <message id="MainMenu_HideApplication">
        <source>Hide %@</source>
        <translation>Hide %@</translation>
    </message>
    <message id="MainMenu_HideOthers">
        <source>Hide Others</source>
        <translation>Hide Others</translation>
    </message>
    <message id="MainMenu_ShowAll">
        <source>Show All</source>
        <translation>Show All</translation>
    </message>
    <message id="MainMenu_QuitApplication">
        <source>Quit %@</source>
        <translation>Quit %@</translation>
    </message>
    <message id="Application_Title">
        <source>%@ Firmware Updater</source>
        <translation>%@ Firmware Updater</translation>
    </message>
    <message id="Button_Update">
        <source>Update</source>
        <translation>Update</translation>
    </message>
    <message id="Button_OK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="Button_Cancel">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="Status_Msg_Proceed_To_Update">
        <source>Update the camera firmware now?</source>
        <translation>Update the camera firmware now?</translation>
    </message>
    <message id="Status_Msg_Proceed_To_Update_Warning">
        <source>Keep your %@ connected and this window open until the update has finished. Unplugging the camera during the update can leave it unusable.</source>
        <translation>Keep your %@ connected and this window open until the update has finished. Unplugging the camera during the update can leave it unusable.</translation>
    </message>
    <message id="Status_Msg_Please_Connect_Your_Cam">
        <source>Please connect your %@ camera.</source>
        <translation>Please connect your %@ camera.</translation>
    </message>
    <message id="Status_Msg_Ready_To_Update">
        <source>%@ is ready to update.</source>
        <translation>%@ is ready to update.</translation>
    </message>
    <message id="Status_Msg_New_Firmware_Available">
        <source>Firmware %@ is available (installed: %@).</source>
        <translation>Firmware %@ is available (installed: %@).</translation>
    </message>
    <message id="Status_Msg_Already_Up_To_Date">
        <source>Your %@ firmware (version %@) is up to date.</source>
        <translation>Your %@ firmware (version %@) is up to date.</translation>
    </message>
    <message id="Status_Msg_Deivce_Mismatch">
        <source>This %@ cannot be updated with the %@ updater. To update your %@, get the %@ from our %@.</source>
        <translation>This %@ cannot be updated with the %@ updater. To update your %@, get the %@ from our %@.</translation>
    </message>
    <message id="Status_Msg_Download_Link">
        <source>download page</source>
        <translation>download page</translation>
    </message>
    <message id="Status_Msg_Update_In_Progress">
        <source>Updating firmware… Do not unplug the camera.</source>
        <translation>Updating firmware… Do not unplug the camera.</translation>
    </message>
    <message id="Status_Msg_Update_Completed">
        <source>Firmware %@ is now installed on your %@. Please reconnect the camera.</source>
        <translation>Firmware %@ is now installed on your %@. Please reconnect the camera.</translation>
    </message>
    <message id="Status_Msg_Update_Failed">
        <source>The firmware update failed. Please reconnect the camera and try again.</source>
        <translation>The firmware update failed. Please reconnect the camera and try again.</translation>
    </message>
    <message id="About_Window_Version">
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message id="Status_Msg_Update_Refused_Flash_Part">
        <source>Your %@ was not changed: its flash memory is of a kind this updater cannot write. Nothing was erased.</source>
        <translation>Your %@ was not changed: its flash memory is of a kind this updater cannot write. Nothing was erased.</translation>
    </message>
    <message id="Status_Msg_Update_Refused_Too_Large">
        <source>Your %@ was not changed: the firmware image is larger than its flash memory. Nothing was erased.</source>
        <translation>Your %@ was not changed: the firmware image is larger than its flash memory. Nothing was erased.</translation>
    </message>
    <message id="Status_Msg_No_Firmware">
        <source>No firmware is available in this updater. Reinstall it or add firmware to its resources folder.</source>
        <translation>No firmware is available in this updater. Reinstall it or add firmware to its resources folder.</translation>
    </message>
    <message id="Cli_Proceed_To_Update_Warning">
        <source>Keep the cameras connected and this command running until the update has finished. Unplugging a camera or stopping the command during the update can leave it unusable.</source>
        <translation>Keep the cameras connected and this command running until the update has finished. Unplugging a camera or stopping the command during the update can leave it unusable.</translation>
    </message>
    <message id="Quit_During_Update_Message">
        <source>The firmware is being written. Quit anyway?</source>
        <translation>The firmware is being written. Quit anyway?</translation>
    </message>
    <message id="Quit_During_Update_Warning">
        <source>Quitting now stops the update and leaves your %@ unusable until it is updated again.</source>
        <translation>Quitting now stops the update and leaves your %@ unusable until it is updated again.</translation>
    </message>
    <message id="Button_Keep_Updating">
        <source>Keep Updating</source>
        <translation>Keep Updating</translation>
    </message>
    <message id="Button_Quit_Anyway">
        <source>Quit Anyway</source>
        <translation>Quit Anyway</translation>
    </message>
    <message id="Accessible_Update_Description">
        <source>Writes the new firmware to the connected camera.</source>
        <translation>Writes the new firmware to the connected camera.</translation>
    </message>
    <message id="Accessible_Status_Description">
        <source>What the updater is doing, and what to do next.</source>
        <translation>What the updater is doing, and what to do next.</translation>
    </message>
    <message id="Accessible_Progress_Name">
        <source>Update progress</source>
        <translation>Update progress</translation>
    </message>
    <message id="Accessible_Progress_Description">
        <source>How much of the firmware has been written to the camera, in percent.</source>
        <translation>How much of the firmware has been written to the camera, in percent.</translation>
    </message>
</context>
</TS>
