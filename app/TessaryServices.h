#pragma once

namespace tessary {

class FileDialogService;
class FolderChooser;
class HelpPlatform;
class Launcher;
class MessageBoxService;
class ProgramFolder;
class ScreenSize;
class SettingsStore;

// What the main window reaches of the platform. The program passes the real services;
// tests pass scripted ones, a settings store in a temporary folder and a temporary
// program folder.
struct TessaryServices
{
    MessageBoxService& messageBoxes;
    FileDialogService& fileDialogs;
    FolderChooser& folders;
    Launcher& launcher;
    const ScreenSize& screen;
    const ProgramFolder& programFolder;
    SettingsStore& settings;
    HelpPlatform& help;
};

} // namespace tessary
