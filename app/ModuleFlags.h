#pragma once

namespace tessary {

// The flags the shared routines keep for the run.
struct ModuleFlags
{
    // Page operations ask for confirmation first. Set at start-up from the setting
    // PromptActions ("Yes" exactly), for the whole run.
    bool PromptBeforeAction = false;
};

} // namespace tessary
