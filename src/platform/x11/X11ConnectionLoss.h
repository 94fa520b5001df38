#pragma once

// When the X server goes away there is no screen left for a message box, and Qt and Xlib end
// the program with an English line on standard error. From this call on, that line is German;
// the program still ends, with status 1.
void sayX11ConnectionLossInGerman();
