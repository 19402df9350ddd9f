#pragma once

namespace rg {

// Ctrl-C and SIGTERM only set a flag that the command's loop reads; the loop then ends its work
// in order (stops transfers, saves the list).
void install_interrupt_handlers();
bool interrupted();

}  // namespace rg
