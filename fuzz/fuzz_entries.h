#pragma once
// Entry points shared by the libFuzzer targets and by the test that replays their inputs.
// Each takes raw bytes, drives one part of the program and aborts when an invariant breaks,
// so a violation is a crash that the fuzzer keeps as a finding.
#include <cstddef>
#include <cstdint>

class QString;

// The monitor rendering of the bytes as Latin-1 and as little-endian UTF-16 units, each piece
// checked against the mapping; an input of 4096 bytes or more that starts with 0xFF also
// tiled past the longest rendering.
void fuzzDisplayForm(const uint8_t* data, size_t size);
// Byte 0 picks the command (see queryForByte), the rest is the reply as received.
void fuzzDecodeReply(const uint8_t* data, size_t size);
// The bytes as Latin-1 text through readNumber, roundToInt16 and decimalText.
void fuzzNumberReader(const uint8_t* data, size_t size);
// The bytes as a port settings string.
void fuzzLineSettings(const uint8_t* data, size_t size);
// Commands, received pieces and timer ticks through the window's receive path.
// Byte 0 picks LastCommand; the rest is a list of steps separated by kStepMarker, each a
// control byte and a piece (see fuzz_receive_path.cpp).
void fuzzReceivePath(const uint8_t* data, size_t size);
// zeva-control's command line: the bytes as UTF-8, one argument between NULs.
void fuzzControlOptions(const uint8_t* data, size_t size);
// zeva-projector-sim's command line, cut the same way.
void fuzzSimOptions(const uint8_t* data, size_t size);
// The --list-ports listing of made-up ports: records cut at NUL, fields at 0x01, UTF-8.
void fuzzPortList(const uint8_t* data, size_t size);
// The simulator's command framing and its answers; bytes 0-3 seed where the rest is cut.
void fuzzSimFraming(const uint8_t* data, size_t size);
// Bytes from an RFC 2217 server through the Telnet parser (see fuzz_telnet.cpp).
void fuzzTelnet(const uint8_t* data, size_t size);
// A PJLink client's bytes and the projector's replies through the bridge's request side
// (see fuzz_pjlink.cpp).
void fuzzPjlink(const uint8_t* data, size_t size);
// Deletes the window fuzzReceivePath keeps between inputs (before the application goes).
void fuzzReceivePathShutdown();

// The command a byte selects: the decoded queries, "CR LAMPMODE\r", and near misses that
// must not be decoded (lower case, no CR, an extra blank or CR, an unknown command).
QString queryForByte(uint8_t byte);

[[noreturn]] void fuzzFail(const char* condition, const QString& detail, const char* file,
                           int line);

// Stays in release builds, unlike Q_ASSERT: the fuzzers are built optimised.
#define FUZZ_CHECK(condition, detail)                                                              \
    ((condition) ? void() : fuzzFail(#condition, (detail), __FILE__, __LINE__))
