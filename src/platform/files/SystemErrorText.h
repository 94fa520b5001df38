#pragma once

#include <QString>

// Why a system call failed, in German, for an errno value; "Unerwarteter Systemfehler
// Nummer N" for one the table does not know. Every file failure names its cause this way.
QString germanCause(int error);
