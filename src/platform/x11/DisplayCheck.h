#pragma once

// The arrow keys are read from the X server whichever window has the focus, so the windows go
// there too, whatever platform the environment asks Qt for. Run before the application is
// made: when no X server with XInput 2.1 and both arrow keys answers, it says so in German
// (in a message box where one can be shown, always on standard error) and ends the program
// with exit status 1; otherwise it points Qt at the X server.
void requireX11Display(int& qtArgc, char** qtArgv);
