#pragma once
// The folder the running program was started from, found without a QCoreApplication.
#include <QString>

QString programDirectory();
