#pragma once
// The scripted road: sends the commands of the command line in order, through a running panel
// when one holds the device, else through the serial layer directly; prints one line per
// command and returns the exit status (see ScriptExit). Needs a QCoreApplication, no window.
#include "app/options.h"

int runScript(const Options& options);
