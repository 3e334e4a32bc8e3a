#pragma once

// Waits for one key pressed at the terminal, without echo, dropping whatever
// was typed ahead. Returns at once when standard input is not a terminal
// (answers piped from a file, CI), since nobody is there to press a key.
void wait_for_terminal_key();
