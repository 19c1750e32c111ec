#pragma once
// How the platform's refusals of a serial device read: what to check and where to look differ
// between a Linux device file and a Windows COM port.
#include <QString>

// The device's name is longer than any file name may be, so no device can be named so.
bool deviceNameTooLong(const QString& device);
// The device does not exist (yet): an adapter not plugged in.
bool deviceMissing(const QString& device);
// After "COM1 (device): " when the device does not exist.
QString noSuchDeviceAdvice();
// After "COM1 (device): " when opening the device was refused.
QString accessRefusedAdvice(const QString& device);
