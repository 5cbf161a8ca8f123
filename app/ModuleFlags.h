#pragma once

namespace tessary {

// The flags the shared routines keep for the run. The last three are signals from a
// routine to its caller: the routine that meets the condition sets the flag, and the caller
// that tests it sets it back to false.
struct ModuleFlags
{
    // Page operations ask for confirmation first. Set at start-up from the setting
    // PromptActions ("Yes" exactly), for the whole run.
    bool PromptBeforeAction = false;
    // The destination just chosen was refused (it is the source file), or the user
    // cancelled the naming of a new file: nothing was written, so no page may be removed
    // from the source.
    bool SameFileRefused = false;
    // OpenDestinationFile loaded a destination.
    bool DestinationOpened = false;
    // The name chosen for a new file was refused because it is the source file.
    bool NewFileRefused = false;
};

} // namespace tessary
