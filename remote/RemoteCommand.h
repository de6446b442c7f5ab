// The commands a tablet (web API) or a cue system (OSC) sends. The window
// runs each through the same entry point as its key, with the same drop rules.
#pragma once

enum class RemoteCommand {
    Next,      // Space: the page after the selected one
    Previous,  // PageUp
    Blank,     // F4
    Resend,    // F5
    GoTo,      // Ctrl+G: selects a page, sends nothing
    Play,      // F6: timed playback starts, or goes on when paused
    Pause,     // F7 while playing
};

enum class RemoteOutcome {
    Done,
    Dropped,   // a transmission runs: the command was not carried out
    Locked,    // the show lock is on: remote control is locked too
    NoPage,    // no such page, or nothing to send
    Refused,   // the operator is changing the pages or the set-up in a dialog
};
