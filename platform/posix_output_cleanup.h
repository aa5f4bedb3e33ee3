// Temporaries removed when the program is stopped by a signal it leaves to
// the default action (SIGINT, SIGTERM, SIGHUP): the handler removes every
// registered temporary file or folder (a folder's files, then the folder)
// and lets the signal end the program as before. Signals the program
// handles itself are not touched. Async-signal-safe on the handler's side;
// at most 64 temporaries at once are covered.
#pragma once

#include <string>

namespace platform {

// Registers `path` (a file, or a folder of files); a slot for ForgetOnSignal,
// or -1 when every slot is taken or the name is too long.
int RemoveOnSignal(const std::string& path, bool folder);
// Unregisters a slot; -1 does nothing.
void ForgetOnSignal(int slot);

}  // namespace platform
