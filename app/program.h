// The program's entry on either platform.
#pragma once

namespace quoril {

// Shows the main window and runs its event loop until the window is closed,
// then returns 0; 1 when the window could not be made.
int start_program();

}  // namespace quoril
