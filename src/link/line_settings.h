#pragma once
#include <QSerialPort>
#include <QString>
#include <optional>

// A settings string such as "19200,N,8,1": speed, parity letter, data bits, stop bits.
struct LineSettings {
    qint32 baud = 19200;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

struct LineSettingsResult {
    std::optional<LineSettings> settings;
    QString error; // a description when settings is empty
};

LineSettingsResult parseLineSettings(const QString& text);

// The settings strings the panel gives the line: the speed, no parity, 8 data bits, 1 stop bit
// (19200 gives "19200,N,8,1").
QString settingsForSpeed(qint32 baud);
inline constexpr qint32 kStartSpeed = 19200; // the speed the window opens the line at
