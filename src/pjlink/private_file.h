#pragma once
// Whether a secret's file is kept from other users, the platform's way.
#include <QString>

class QFile;

// Empty when `file` (open) is a regular file that only its owner may read; else what to do
// about it, after "... must be a file that only its owner may read".
QString privateFileAdvice(const QFile& file);
