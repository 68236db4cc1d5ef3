#pragma once

// Exit statuses of energizer-cli; scripts rely on these numbers.
enum ExitStatus {
    Done = 0,
    Differences = 1,  // config diff found differing parameters
    Usage = 2,        // bad command line, an option value out of range
    NoLink = 3,       // the link could not be opened, or no reply in time
    PinMismatch = 4,  // installer PIN differs; nothing written
    NotConfirmed = 5, // a write or zone command the energizer did not confirm
    BadFile = 6,      // a file that cannot be read or is no configuration
};
